#pragma once
// An RGBA pixel buffer: the retained content of a surface, the pixels of a
// decoded picture, a composed frame. A pixel is a 32-bit value 0xAABBGGRR,
// so a plain colour is its Colour value with alpha 0xFF, and the bytes in
// memory run R, G, B, A on the little-endian machines we build for.

#include <cstdint>
#include <vector>

#include "container/colour.h"
#include "container/geometry.h"

namespace borvane {

using Pixel = std::uint32_t;

// The opaque pixel of a colour; system colours are resolved first.
inline Pixel ToPixel(Colour colour) { return colour.Resolved().Value() | 0xFF000000u; }
// The colour of a pixel, alpha dropped.
constexpr Colour PixelColour(Pixel pixel) { return Colour(pixel & 0x00FFFFFFu); }
constexpr std::uint8_t PixelAlpha(Pixel pixel) { return static_cast<std::uint8_t>(pixel >> 24); }

class Image {
 public:
  Image() = default;
  // Negative sizes give an empty image.
  Image(std::int32_t width, std::int32_t height, Pixel fill = 0);

  std::int32_t Width() const { return m_Width; }
  std::int32_t Height() const { return m_Height; }
  Size GetSize() const { return {m_Width, m_Height}; }
  bool IsEmpty() const { return m_Width == 0 || m_Height == 0; }
  Rect Bounds() const { return {0, 0, m_Width, m_Height}; }

  // Unchecked access; (x, y) must lie inside.
  Pixel At(std::int32_t x, std::int32_t y) const { return m_Pixels[Index(x, y)]; }
  void Set(std::int32_t x, std::int32_t y, Pixel pixel) { m_Pixels[Index(x, y)] = pixel; }
  Pixel* Row(std::int32_t y) { return m_Pixels.data() + Index(0, y); }
  const Pixel* Row(std::int32_t y) const { return m_Pixels.data() + Index(0, y); }
  const std::vector<Pixel>& Pixels() const { return m_Pixels; }

  // Fills the part of `area` that lies inside the image.
  void Fill(const Rect& area, Pixel pixel);
  // Copies `source` with its top-left corner at `at`, clipped to this image.
  void Blit(const Image& source, Point at);
  // Blends `colour` into the image through an 8-bit coverage mask (0 leaves
  // the pixel, 255 replaces it) whose top-left corner lands at `at`; only
  // pixels inside `clip` and inside the image change.
  void BlendMask(Point at, const std::uint8_t* mask, std::int32_t mask_width,
                 std::int32_t mask_height, std::int32_t mask_stride, Colour colour,
                 const Rect& clip);

  bool operator==(const Image&) const = default;

 private:
  std::size_t Index(std::int32_t x, std::int32_t y) const {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(m_Width) +
           static_cast<std::size_t>(x);
  }

  std::int32_t m_Width = 0;
  std::int32_t m_Height = 0;
  std::vector<Pixel> m_Pixels;
};

// The overlap of two rectangles (empty when they do not meet).
Rect Intersect(const Rect& a, const Rect& b);

}  // namespace borvane
