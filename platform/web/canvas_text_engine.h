#pragma once
// Text measured and drawn by the page's canvas: the browser lays the line
// out in the panel's fonts (with a CJK fallback the page may set), draws it
// into a coverage mask, and the mask is blended into the control's frame
// like every other host's text.

#include <cstdint>
#include <vector>

#include "container/text_engine.h"

namespace borvane {

class CanvasTextEngine final : public TextEngine {
 public:
  Size Measure(std::string_view text, const Font& font) override;
  void Draw(Image& target, Point origin, const Rect& clip, std::string_view text,
            const Font& font, Colour colour) override;

 private:
  std::vector<std::uint8_t> m_Mask;
};

}  // namespace borvane
