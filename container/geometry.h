#pragma once
// Geometry value types. Control coordinates are single-precision, as the
// controls' own properties are; device pixels are whole numbers.

#include <cstdint>

namespace borvane {

struct PointF {
  float X = 0;
  float Y = 0;
  constexpr bool operator==(const PointF&) const = default;
};

struct Point {
  std::int32_t X = 0;
  std::int32_t Y = 0;
  constexpr bool operator==(const Point&) const = default;
};

struct Size {
  std::int32_t Width = 0;
  std::int32_t Height = 0;
  constexpr bool operator==(const Size&) const = default;
};

// A rectangle in whole pixels: origin top left, width and height may be
// zero or negative (empty).
struct Rect {
  std::int32_t X = 0;
  std::int32_t Y = 0;
  std::int32_t Width = 0;
  std::int32_t Height = 0;

  constexpr std::int32_t Right() const { return X + Width; }
  constexpr std::int32_t Bottom() const { return Y + Height; }
  constexpr bool IsEmpty() const { return Width <= 0 || Height <= 0; }
  constexpr bool Contains(Point p) const {
    return p.X >= X && p.Y >= Y && p.X < Right() && p.Y < Bottom();
  }
  constexpr bool operator==(const Rect&) const = default;
};

// A rectangle in control units (pixels after ScaleMode 3), single precision.
struct RectF {
  float X = 0;
  float Y = 0;
  float Width = 0;
  float Height = 0;
  constexpr bool operator==(const RectF&) const = default;
};

// 15 twips to the pixel at the design resolution.
inline constexpr float kTwipsPerPixel = 15.0f;

}  // namespace borvane
