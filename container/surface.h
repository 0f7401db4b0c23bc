#pragma once
// A control's drawing surface: a retained RGBA image that keeps whatever is
// drawn on it until it is drawn over, plus the settings the controls read
// from it (unit, enabled flag, background colour, font, mouse pointer,
// window handle).
//
// Units: the size is held in pixels; ScaleWidth and ScaleHeight report it in
// the current ScaleMode (twips, 15 to the pixel, or pixels). The scale
// origin is always (0, 0).

#include <cstdint>
#include <vector>

#include "container/colour.h"
#include "container/font.h"
#include "container/geometry.h"
#include "container/image.h"
#include "container/picture.h"

namespace borvane {

// Stands in for the platform window a surface would have; unique per surface.
using WindowHandle = std::uintptr_t;

class Surface {
 public:
  static constexpr std::int16_t kTwips = 1;
  static constexpr std::int16_t kPixels = 3;
  static constexpr std::int16_t kDefaultPointer = 0;
  static constexpr std::int16_t kBusyPointer = 11;

  explicit Surface(Size pixels = {});
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  // Size in pixels. Growing keeps the drawing where it was and fills the new
  // area with the background colour.
  Size PixelSize() const { return m_Image.GetSize(); }
  void SetPixelSize(Size pixels);

  std::int16_t ScaleMode() const { return m_ScaleMode; }
  // Raises InvalidPropertyValue for units other than twips and pixels.
  void SetScaleMode(std::int16_t mode);
  // Current units per pixel: 15 in twips, 1 in pixels.
  float UnitsPerPixel() const { return m_ScaleMode == kTwips ? kTwipsPerPixel : 1.0f; }
  float ScaleLeft() const { return 0.0f; }
  float ScaleTop() const { return 0.0f; }
  float ScaleWidth() const { return static_cast<float>(PixelSize().Width) * UnitsPerPixel(); }
  float ScaleHeight() const { return static_cast<float>(PixelSize().Height) * UnitsPerPixel(); }

  // Fills the whole surface with the background colour.
  void Cls();

  // Copies the source rectangle of `picture` (picture pixels) stretched to
  // the destination rectangle (current units), nearest pixel, skipping the
  // picture's transparent pixels and clipping to the surface. A piece with
  // zero or negative extent draws nothing.
  void PaintPicture(const Picture& picture, float x, float y, float width, float height,
                    float source_x, float source_y, float source_width, float source_height);

  bool Enabled() const { return m_Enabled; }
  void SetEnabled(bool enabled) { m_Enabled = enabled; }

  Colour BackColor() const { return m_BackColor; }
  void SetBackColor(Colour colour) { m_BackColor = colour; }

  // Shared with the control and its caption; never copied.
  const FontRef& Font() const { return m_Font; }
  void SetFont(FontRef font) { m_Font = std::move(font); }

  std::int16_t MousePointer() const { return m_MousePointer; }
  void SetMousePointer(std::int16_t pointer) { m_MousePointer = pointer; }

  WindowHandle hWnd() const { return m_Window; }

  // The retained drawing, pixels, origin top left.
  const Image& Pixels() const { return m_Image; }
  Pixel At(std::int32_t x, std::int32_t y) const { return m_Image.At(x, y); }

 private:
  Image m_Image;
  std::int16_t m_ScaleMode = kTwips;
  bool m_Enabled = true;
  Colour m_BackColor = colours::kButtonFace;
  FontRef m_Font;
  std::int16_t m_MousePointer = kDefaultPointer;
  WindowHandle m_Window;
  std::vector<std::int32_t> m_Columns;  // PaintPicture's column map, kept to spare allocations
};

}  // namespace borvane
