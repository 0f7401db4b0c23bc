#include "container/picture.h"

#include <stb_image.h>

#include <algorithm>
#include <climits>
#include <string>

#include "container/error.h"
#include "resources/embedded.h"

namespace borvane {

Picture Picture::FromImage(Image image, std::optional<Colour> transparent) {
  Picture picture;
  picture.m_HasAlpha = std::any_of(image.Pixels().begin(), image.Pixels().end(),
                                   [](Pixel p) { return PixelAlpha(p) != 0xFF; });
  picture.m_Region = image.Bounds();
  picture.m_Pixels = std::make_shared<const Image>(std::move(image));
  picture.m_Transparent = transparent;
  return picture;
}

Picture Picture::Region(const Rect& area) const {
  if (area.X < 0 || area.Y < 0 || area.Width < 0 || area.Height < 0 ||
      area.Right() > Width() || area.Bottom() > Height()) {
    RaiseInvalidPropertyValue("region lies outside the picture");
  }
  Picture part = *this;
  part.m_Region = {m_Region.X + area.X, m_Region.Y + area.Y, area.Width, area.Height};
  return part;
}

Image Picture::ToImage() const {
  Image image(Width(), Height());
  for (std::int32_t y = 0; y < Height(); ++y) {
    std::copy_n(Row(y), Width(), image.Row(y));
  }
  return image;
}

Picture DecodePicture(std::span<const std::uint8_t> bytes, std::optional<Colour> transparent) {
  if (bytes.empty() || bytes.size() > static_cast<std::size_t>(INT_MAX)) {
    throw Error(ErrorCode::InvalidPicture, "invalid picture: no picture data");
  }
  int width = 0;
  int height = 0;
  int channels = 0;
  std::unique_ptr<stbi_uc, void (*)(void*)> rgba(
      stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height,
                            &channels, 4),
      stbi_image_free);
  if (!rgba) {
    throw Error(ErrorCode::InvalidPicture,
                std::string("invalid picture: ") + stbi_failure_reason());
  }
  Image image(width, height);
  const stbi_uc* in = rgba.get();
  for (std::int32_t y = 0; y < height; ++y) {
    Pixel* row = image.Row(y);
    for (std::int32_t x = 0; x < width; ++x, in += 4) {
      row[x] = static_cast<Pixel>(in[0]) | (static_cast<Pixel>(in[1]) << 8) |
               (static_cast<Pixel>(in[2]) << 16) | (static_cast<Pixel>(in[3]) << 24);
    }
  }
  return Picture::FromImage(std::move(image), transparent);
}

Picture EmbeddedPicture(std::string_view name, std::optional<Colour> transparent) {
  const auto bytes = EmbeddedResource(name);
  if (bytes.empty()) {
    throw Error(ErrorCode::InvalidPicture,
                "invalid picture: no embedded file \"" + std::string(name) + "\"");
  }
  return DecodePicture(bytes, transparent);
}

void PictureClip::SetColumns(std::int16_t columns) {
  if (columns < 1) RaiseInvalidPropertyValue("a strip needs at least one column");
  m_Columns = columns;
}

void PictureClip::SetRows(std::int16_t rows) {
  if (rows < 1) RaiseInvalidPropertyValue("a strip needs at least one row");
  m_Rows = rows;
}

Picture PictureClip::GraphicCell(std::int16_t index) const {
  if (m_Picture.IsEmpty()) RaiseInvalidPropertyValue("the strip holds no picture");
  if (index < 0 || index >= m_Columns * m_Rows) {
    RaiseInvalidPropertyValue("no cell " + std::to_string(index) + " in the strip");
  }
  const std::int32_t cell_width = m_Picture.Width() / m_Columns;
  const std::int32_t cell_height = m_Picture.Height() / m_Rows;
  return m_Picture.Region({(index % m_Columns) * cell_width, (index / m_Columns) * cell_height,
                           cell_width, cell_height});
}

}  // namespace borvane
