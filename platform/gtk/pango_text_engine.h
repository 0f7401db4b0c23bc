#pragma once
// The real text engine: pango lays out and measures, cairo rasterises into
// a coverage mask that is blended into the frame. Sizes are points at
// 96 dots per inch, so a 9-point font is 12 pixels.

#include <memory>

#include "container/text_engine.h"

namespace borvane {

class PangoTextEngine final : public TextEngine {
 public:
  PangoTextEngine();
  ~PangoTextEngine() override;
  PangoTextEngine(const PangoTextEngine&) = delete;
  PangoTextEngine& operator=(const PangoTextEngine&) = delete;

  Size Measure(std::string_view text, const Font& font) override;
  void Draw(Image& target, Point origin, const Rect& clip, std::string_view text,
            const Font& font, Colour colour) override;

 private:
  struct Impl;
  std::unique_ptr<Impl> m_Impl;
};

}  // namespace borvane
