#include "platform/web/canvas_text_engine.h"

#include <emscripten.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "container/utf8.h"

namespace borvane {

namespace {

// Points at 96 dots per inch, as the desktop hosts draw them.
double PixelSize(const Font& font) {
  const double points =
      std::isnan(font.Size) ? kMinFontSize : std::clamp(font.Size, kMinFontSize, kMaxFontSize);
  return points * 96.0 / 72.0;
}

// Width in the high half, height in the low half.
EM_JS(int, BorvaneMeasureText, (const char* text, const char* family, double px, int bold,
                                int italic), {
  return Module.borvaneText.measure(UTF8ToString(text), UTF8ToString(family), px, bold, italic);
});

EM_JS(void, BorvaneDrawText, (const char* text, const char* family, double px, int bold,
                              int italic, int underline, int strike, int width, int height,
                              std::uint8_t* mask), {
  Module.borvaneText.draw(UTF8ToString(text), UTF8ToString(family), px, bold, italic,
                          underline, strike, width, height, mask);
});

}  // namespace

Size CanvasTextEngine::Measure(std::string_view text, const Font& font) {
  const std::string valid = ValidUtf8(text);
  const int packed = BorvaneMeasureText(valid.c_str(), font.Name.c_str(), PixelSize(font),
                                        font.Bold, font.Italic);
  return {packed >> 16, packed & 0xFFFF};
}

void CanvasTextEngine::Draw(Image& target, Point origin, const Rect& clip, std::string_view text,
                            const Font& font, Colour colour) {
  const std::string valid = ValidUtf8(text);
  const Size size = Measure(valid, font);
  if (size.Width <= 0 || size.Height <= 0) return;
  m_Mask.assign(static_cast<std::size_t>(size.Width) * static_cast<std::size_t>(size.Height), 0);
  BorvaneDrawText(valid.c_str(), font.Name.c_str(), PixelSize(font), font.Bold, font.Italic,
                  font.Underline, font.Strikethrough, size.Width, size.Height, m_Mask.data());
  target.BlendMask(origin, m_Mask.data(), size.Width, size.Height, size.Width, colour, clip);
}

}  // namespace borvane
