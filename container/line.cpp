#include "container/line.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "container/stored_values.h"

namespace borvane {

namespace {
std::int32_t Device(float pixels) { return static_cast<std::int32_t>(std::floor(pixels + 0.5f)); }
}  // namespace

void Line::ReadProperties(const PropertyStore& store) {
  const auto twips = [&](const char* name, float pixels) {
    return static_cast<float>(store.Read(name, pixels * kTwipsPerPixel).ToDouble() /
                              kTwipsPerPixel);
  };
  m_From = {twips("X1", m_From.X), twips("Y1", m_From.Y)};
  m_To = {twips("X2", m_To.X), twips("Y2", m_To.Y)};
  m_Colour = ReadStoredColour(store, "BorderColor", m_Colour);
  m_Visible = store.Read("Visible", true).ToBool();
}

Rect Line::PixelRect() const {
  const std::int32_t x1 = Device(m_From.X), y1 = Device(m_From.Y);
  const std::int32_t x2 = Device(m_To.X), y2 = Device(m_To.Y);
  return {std::min(x1, x2), std::min(y1, y2), std::abs(x2 - x1) + 1, std::abs(y2 - y1) + 1};
}

void Line::PaintInto(Image& frame, Point origin) const {
  // Bresenham from end to end, in frame pixels relative to the bounding box.
  const Rect box = PixelRect();
  std::int32_t x = Device(m_From.X) - box.X + origin.X;
  std::int32_t y = Device(m_From.Y) - box.Y + origin.Y;
  const std::int32_t x_end = Device(m_To.X) - box.X + origin.X;
  const std::int32_t y_end = Device(m_To.Y) - box.Y + origin.Y;
  const std::int32_t dx = std::abs(x_end - x), sx = x < x_end ? 1 : -1;
  const std::int32_t dy = -std::abs(y_end - y), sy = y < y_end ? 1 : -1;
  std::int32_t error = dx + dy;
  const Pixel ink = ToPixel(m_Colour);
  const Rect bounds = frame.Bounds();
  for (;;) {
    if (bounds.Contains({x, y})) frame.Set(x, y, ink);
    if (x == x_end && y == y_end) break;
    const std::int32_t twice = 2 * error;
    if (twice >= dy) {
      error += dy;
      x += sx;
    }
    if (twice <= dx) {
      error += dx;
      y += sy;
    }
  }
}

}  // namespace borvane
