#pragma once
// Pictures as controls hold them, and the image strip that cuts one into a
// grid of cells.
//
// A Picture shares immutable pixels and names the region of them it shows,
// so a strip's cell is a cheap view, never a copy. Pixels of the picture's
// transparent colour, and pixels with alpha 0 (GIF transparency), are left
// undrawn by Surface::PaintPicture.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

#include "container/colour.h"
#include "container/geometry.h"
#include "container/image.h"

namespace borvane {

class Picture {
 public:
  Picture() = default;
  static Picture FromImage(Image image, std::optional<Colour> transparent = std::nullopt);

  bool IsEmpty() const { return m_Region.IsEmpty(); }
  std::int32_t Width() const { return m_Region.Width; }
  std::int32_t Height() const { return m_Region.Height; }
  std::optional<Colour> TransparentColour() const { return m_Transparent; }
  // Whether some pixel may be left undrawn (a transparent colour is set or
  // some pixel has alpha below 255).
  bool MayBeTransparent() const { return m_Transparent.has_value() || m_HasAlpha; }

  // Pixel (x, y) of the picture (0 <= x < Width, 0 <= y < Height).
  Pixel At(std::int32_t x, std::int32_t y) const {
    return m_Pixels->At(m_Region.X + x, m_Region.Y + y);
  }
  const Pixel* Row(std::int32_t y) const { return m_Pixels->Row(m_Region.Y + y) + m_Region.X; }
  // Whether PaintPicture leaves this pixel undrawn.
  bool IsTransparent(Pixel pixel) const {
    return PixelAlpha(pixel) == 0 || (m_Transparent && PixelColour(pixel) == *m_Transparent);
  }

  // The part of this picture inside `area` (picture pixels), sharing pixels.
  // Raises InvalidPropertyValue when `area` is not wholly inside.
  Picture Region(const Rect& area) const;

  // A standalone copy of the shown pixels.
  Image ToImage() const;

 private:
  std::shared_ptr<const Image> m_Pixels;
  Rect m_Region;
  std::optional<Colour> m_Transparent;
  bool m_HasAlpha = false;
};

// Decodes a BMP, GIF or PNG file held in memory. Raises InvalidPicture when
// the bytes are not a picture.
Picture DecodePicture(std::span<const std::uint8_t> bytes,
                      std::optional<Colour> transparent = std::nullopt);

// Decodes a picture file embedded in the library from resources/.
Picture EmbeddedPicture(std::string_view name, std::optional<Colour> transparent = std::nullopt);

// The image strip: a picture divided into Columns × Rows equal cells,
// numbered left to right, then top to bottom, from 0.
class PictureClip {
 public:
  const Picture& GetPicture() const { return m_Picture; }
  void SetPicture(Picture picture) { m_Picture = std::move(picture); }

  std::int16_t Columns() const { return m_Columns; }
  std::int16_t Rows() const { return m_Rows; }
  // Raises InvalidPropertyValue for fewer than one column or row.
  void SetColumns(std::int16_t columns);
  void SetRows(std::int16_t rows);

  // The picture of cell `index`; raises InvalidPropertyValue when there is
  // no picture or no such cell.
  Picture GraphicCell(std::int16_t index) const;

 private:
  Picture m_Picture;
  std::int16_t m_Columns = 1;
  std::int16_t m_Rows = 1;
};

}  // namespace borvane
