#include "container/image.h"

#include <algorithm>
#include <cstring>

namespace borvane {

Image::Image(std::int32_t width, std::int32_t height, Pixel fill)
    : m_Width(std::max(width, 0)), m_Height(std::max(height, 0)) {
  if (m_Width == 0 || m_Height == 0) m_Width = m_Height = 0;
  m_Pixels.assign(static_cast<std::size_t>(m_Width) * static_cast<std::size_t>(m_Height), fill);
}

Rect Intersect(const Rect& a, const Rect& b) {
  const std::int32_t left = std::max(a.X, b.X);
  const std::int32_t top = std::max(a.Y, b.Y);
  const std::int32_t right = std::min(a.Right(), b.Right());
  const std::int32_t bottom = std::min(a.Bottom(), b.Bottom());
  if (right <= left || bottom <= top) return {left, top, 0, 0};
  return {left, top, right - left, bottom - top};
}

void Image::Fill(const Rect& area, Pixel pixel) {
  const Rect r = Intersect(area, Bounds());
  if (r.IsEmpty()) return;
  // One row filled pixel by pixel, the rest copied from it: memcpy is
  // vectorised where a plain fill loop at -O2 is not (a full clear is most
  // of a redraw).
  Pixel* first = Row(r.Y) + r.X;
  std::fill_n(first, r.Width, pixel);
  const std::size_t bytes = static_cast<std::size_t>(r.Width) * sizeof(Pixel);
  for (std::int32_t y = r.Y + 1; y < r.Bottom(); ++y) std::memcpy(Row(y) + r.X, first, bytes);
}

void Image::Blit(const Image& source, Point at) {
  const Rect r = Intersect({at.X, at.Y, source.Width(), source.Height()}, Bounds());
  if (r.IsEmpty()) return;
  for (std::int32_t y = r.Y; y < r.Bottom(); ++y) {
    std::memcpy(Row(y) + r.X, source.Row(y - at.Y) + (r.X - at.X),
                static_cast<std::size_t>(r.Width) * sizeof(Pixel));
  }
}

void Image::BlendMask(Point at, const std::uint8_t* mask, std::int32_t mask_width,
                      std::int32_t mask_height, std::int32_t mask_stride, Colour colour,
                      const Rect& clip) {
  const Rect r = Intersect(Intersect({at.X, at.Y, mask_width, mask_height}, clip), Bounds());
  if (r.IsEmpty()) return;
  const Pixel ink = ToPixel(colour);
  for (std::int32_t y = r.Y; y < r.Bottom(); ++y) {
    const std::uint8_t* coverage =
        mask + static_cast<std::ptrdiff_t>(y - at.Y) * mask_stride + (r.X - at.X);
    Pixel* row = Row(y);
    for (std::int32_t x = r.X; x < r.Right(); ++x, ++coverage) {
      const std::uint32_t a = *coverage;
      if (a == 0) continue;
      if (a == 255) {
        row[x] = ink;
        continue;
      }
      const Pixel under = row[x];
      Pixel out = 0xFF000000u;
      for (int shift = 0; shift < 24; shift += 8) {
        const std::uint32_t u = (under >> shift) & 0xFF;
        const std::uint32_t i = (ink >> shift) & 0xFF;
        out |= ((i * a + u * (255 - a) + 127) / 255) << shift;
      }
      row[x] = out;
    }
  }
}

}  // namespace borvane
