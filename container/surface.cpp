#include "container/surface.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "container/error.h"
#include "container/text_engine.h"

namespace borvane {

namespace {
WindowHandle NextWindowHandle() {
  static WindowHandle next = 0x10000;
  return next += 4;
}

// Rounds a position in pixels to the device pixel grid; halves go up.
std::int32_t ToDevice(double pixels) { return static_cast<std::int32_t>(std::floor(pixels + 0.5)); }
}  // namespace

const Font& FallbackFont() {
  static const Font font{};
  return font;
}

Surface::Surface(Size pixels) : m_Image(pixels.Width, pixels.Height), m_Window(NextWindowHandle()) {
  Cls();
}

void Surface::SetPixelSize(Size pixels) {
  if (pixels == PixelSize()) return;
  Image grown(pixels.Width, pixels.Height, ToPixel(m_BackColor));
  grown.Blit(m_Image, {0, 0});
  m_Image = std::move(grown);
}

void Surface::SetScaleMode(std::int16_t mode) {
  if (mode != kTwips && mode != kPixels) {
    RaiseInvalidPropertyValue("ScaleMode " + std::to_string(mode) + " is not supported");
  }
  m_ScaleMode = mode;
}

void Surface::Cls() { m_Image.Fill(m_Image.Bounds(), ToPixel(m_BackColor)); }

void Surface::PaintPicture(const Picture& picture, float x, float y, float width, float height,
                           float source_x, float source_y, float source_width,
                           float source_height) {
  if (!(width > 0 && height > 0 && source_width > 0 && source_height > 0)) return;
  if (picture.IsEmpty()) return;
  // Destination edges on the device grid; the stretch maps each device
  // pixel's centre back into the source rectangle.
  const double per_pixel = UnitsPerPixel();
  const std::int32_t left = ToDevice(x / per_pixel);
  const std::int32_t top = ToDevice(y / per_pixel);
  const std::int32_t right = ToDevice((static_cast<double>(x) + width) / per_pixel);
  const std::int32_t bottom = ToDevice((static_cast<double>(y) + height) / per_pixel);
  const std::int32_t dest_width = right - left;
  const std::int32_t dest_height = bottom - top;
  if (dest_width <= 0 || dest_height <= 0) return;
  const Rect visible = Intersect({left, top, dest_width, dest_height}, m_Image.Bounds());
  if (visible.IsEmpty()) return;

  const double x_step = static_cast<double>(source_width) / dest_width;
  const double y_step = static_cast<double>(source_height) / dest_height;
  // Source column of each visible destination column; -1 where the source
  // falls outside the picture (clipped like the surface edge).
  std::vector<std::int32_t>& columns = m_Columns;
  columns.resize(static_cast<std::size_t>(visible.Width));
  bool contiguous = true;
  for (std::int32_t i = 0; i < visible.Width; ++i) {
    const double sx = std::floor(source_x + (visible.X - left + i + 0.5) * x_step);
    const std::int32_t column =
        (sx >= 0 && sx < picture.Width()) ? static_cast<std::int32_t>(sx) : -1;
    columns[static_cast<std::size_t>(i)] = column;
    contiguous = contiguous && column >= 0 && column == columns[0] + i;
  }
  const bool keyed = picture.MayBeTransparent();
  for (std::int32_t dy = visible.Y; dy < visible.Bottom(); ++dy) {
    const double sy = std::floor(source_y + (dy - top + 0.5) * y_step);
    if (sy < 0 || sy >= picture.Height()) continue;
    const Pixel* source = picture.Row(static_cast<std::int32_t>(sy));
    Pixel* target = m_Image.Row(dy) + visible.X;
    if (contiguous && !keyed) {
      // Unstretched rows of an opaque picture: a straight copy.
      std::memcpy(target, source + columns[0], static_cast<std::size_t>(visible.Width) * sizeof(Pixel));
      continue;
    }
    for (std::int32_t i = 0; i < visible.Width; ++i) {
      const std::int32_t sx = columns[static_cast<std::size_t>(i)];
      if (sx < 0) continue;
      const Pixel pixel = source[sx];
      if (keyed && picture.IsTransparent(pixel)) continue;
      target[i] = pixel | 0xFF000000u;
    }
  }
}

}  // namespace borvane
