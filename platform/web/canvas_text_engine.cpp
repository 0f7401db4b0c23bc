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

CanvasTextEngine::Line& CanvasTextEngine::Lookup(std::string_view text, const Font& font) {
  const std::string valid = ValidUtf8(text);
  // The font's name and size and its four styles, then the text.
  std::string key = font.Name + '\n' + std::to_string(PixelSize(font)) + '\n' +
                    static_cast<char>('0' + font.Bold + 2 * font.Italic + 4 * font.Underline +
                                      8 * font.Strikethrough) +
                    '\n' + valid;
  const auto found = m_Lines.find(key);
  if (found != m_Lines.end()) return found->second;
  if (m_Lines.size() >= kMaxLines) m_Lines.clear();
  const int packed = BorvaneMeasureText(valid.c_str(), font.Name.c_str(), PixelSize(font),
                                        font.Bold, font.Italic);
  Line& line = m_Lines[std::move(key)];
  line.Box = {packed >> 16, packed & 0xFFFF};
  return line;
}

Size CanvasTextEngine::Measure(std::string_view text, const Font& font) {
  return Lookup(text, font).Box;
}

void CanvasTextEngine::Draw(Image& target, Point origin, const Rect& clip, std::string_view text,
                            const Font& font, Colour colour) {
  Line& line = Lookup(text, font);
  const Size size = line.Box;
  if (size.Width <= 0 || size.Height <= 0) return;
  if (line.Mask.empty()) {
    const std::string valid = ValidUtf8(text);
    line.Mask.assign(static_cast<std::size_t>(size.Width) * static_cast<std::size_t>(size.Height), 0);
    BorvaneDrawText(valid.c_str(), font.Name.c_str(), PixelSize(font), font.Bold, font.Italic,
                    font.Underline, font.Strikethrough, size.Width, size.Height, line.Mask.data());
  }
  target.BlendMask(origin, line.Mask.data(), size.Width, size.Height, size.Width, colour, clip);
}

}  // namespace borvane
