#pragma once
// How labels measure and draw text. The real engine (pango/cairo) lives in
// platform/; tests use fixed metrics so no result depends on installed fonts.

#include <string_view>

#include "container/colour.h"
#include "container/font.h"
#include "container/geometry.h"
#include "container/image.h"

namespace borvane {

class TextEngine {
 public:
  virtual ~TextEngine() = default;

  // The size in whole pixels of one line of `text` in `font`: the box an
  // auto-sized label takes.
  virtual Size Measure(std::string_view text, const Font& font) = 0;

  // Draws one line of `text` with the top-left of its box at `origin`
  // (pixels of `target`), changing only pixels inside `clip`.
  virtual void Draw(Image& target, Point origin, const Rect& clip, std::string_view text,
                    const Font& font, Colour colour) = 0;
};

// The font a label or surface uses while it has none assigned.
const Font& FallbackFont();

}  // namespace borvane
