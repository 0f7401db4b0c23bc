#pragma once
// A text engine for hosts that never show the control (a component created
// only to be called through its methods): every text measures 0 × 0 and
// nothing is drawn. Labels keep their stored sizes.

#include "container/text_engine.h"

namespace borvane {

class NullTextEngine final : public TextEngine {
 public:
  Size Measure(std::string_view, const Font&) override { return {}; }
  void Draw(Image&, Point, const Rect&, std::string_view, const Font&, Colour) override {}
};

}  // namespace borvane
