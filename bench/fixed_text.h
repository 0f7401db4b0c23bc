#pragma once
// A text engine with fixed metrics (6 px a byte, 13 px high) that draws
// nothing, so drawing benchmarks measure drawing, not text layout.

#include "container/text_engine.h"

namespace borvane {

class FixedText final : public TextEngine {
 public:
  Size Measure(std::string_view text, const Font&) override {
    return {static_cast<std::int32_t>(text.size()) * 6, 13};
  }
  void Draw(Image&, Point, const Rect&, std::string_view, const Font&, Colour) override {}
};

}  // namespace borvane
