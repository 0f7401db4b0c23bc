#pragma once
// Settings as design data stores them: positions in twips (15 to the
// pixel) and colours as 32-bit signed integers (system colours, top bit
// set, are negative there); and the placement of parts on whole pixels.

#include <cmath>
#include <cstdint>

#include "container/colour.h"
#include "container/geometry.h"
#include "container/property_store.h"

namespace borvane {

// "Left", "Top", "Width", "Height" in twips, read as parent pixels; a
// missing entry keeps the value in `fallback` (pixels).
RectF ReadTwipsBounds(const PropertyStore& store, const RectF& fallback);

// The colour stored under `name`, or `fallback`.
Colour ReadStoredColour(const PropertyStore& store, const char* name, Colour fallback);

// Whole pixels covering a rectangle whose edges are rounded to the nearest
// pixel, so neighbouring parts never overlap or leave a gap.
inline Rect ToPixelRect(const RectF& bounds) {
  const auto device = [](float units) {
    return static_cast<std::int32_t>(std::floor(units + 0.5f));
  };
  const std::int32_t left = device(bounds.X);
  const std::int32_t top = device(bounds.Y);
  return {left, top, device(bounds.X + bounds.Width) - left,
          device(bounds.Y + bounds.Height) - top};
}

}  // namespace borvane
