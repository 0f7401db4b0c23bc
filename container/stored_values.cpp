#include "container/stored_values.h"

namespace borvane {

RectF ReadTwipsBounds(const PropertyStore& store, const RectF& fallback) {
  const auto read = [&](const char* name, float pixels) {
    return static_cast<float>(store.Read(name, pixels * kTwipsPerPixel).ToDouble() /
                              kTwipsPerPixel);
  };
  return {read("Left", fallback.X), read("Top", fallback.Y), read("Width", fallback.Width),
          read("Height", fallback.Height)};
}

Colour ReadStoredColour(const PropertyStore& store, const char* name, Colour fallback) {
  const std::int32_t stored =
      store.Read(name, static_cast<std::int32_t>(fallback.Value())).ToInt32();
  return Colour(static_cast<std::uint32_t>(stored));
}

}  // namespace borvane
