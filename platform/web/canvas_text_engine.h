#pragma once
// Text measured and drawn by the page's canvas: the browser lays the line
// out in the panel's fonts (with a CJK fallback the page may set), draws it
// into a coverage mask, and the mask is blended into the control's frame
// like every other host's text.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "container/text_engine.h"

namespace borvane {

class CanvasTextEngine final : public TextEngine {
 public:
  Size Measure(std::string_view text, const Font& font) override;
  void Draw(Image& target, Point origin, const Rect& clip, std::string_view text,
            const Font& font, Colour colour) override;

 private:
  // A line's mask depends only on its text and font. The panel redraws
  // the same few dozen lines after every input, and asking the canvas
  // again costs it a layout and a pixel read-back each time.
  struct Line {
    Size Box;
    std::vector<std::uint8_t> Mask;  // Box.Width × Box.Height, empty until drawn
  };
  Line& Lookup(std::string_view text, const Font& font);

  std::map<std::string, Line> m_Lines;
  // Past this many lines (a service sending a new text each second) the
  // cache starts again.
  static constexpr std::size_t kMaxLines = 256;
};

}  // namespace borvane
