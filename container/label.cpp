#include "container/label.h"

#include <algorithm>
#include <cmath>

#include "container/stored_values.h"

namespace borvane {

namespace {

void Forward(const MouseHandler& handler, std::int16_t button, std::int16_t shift, float x,
             float y) {
  if (handler) handler(button, shift, x, y);
}
}  // namespace

void Label::SetCaption(std::string caption) {
  if (caption == m_Caption) return;
  m_Caption = std::move(caption);
  FitToText();
  if (OnChange) OnChange();
}

void Label::SetFont(FontRef font) {
  m_Font = std::move(font);
  FitToText();
}

void Label::SetAutoSize(bool auto_size) {
  m_AutoSize = auto_size;
  FitToText();
}

void Label::SetTextEngine(TextEngine* engine) {
  m_TextEngine = engine;
  FitToText();
}

void Label::FitToText() {
  if (!m_AutoSize || m_TextEngine == nullptr) return;
  const Size size = m_TextEngine->Measure(m_Caption, DrawingFont());
  m_Bounds.Width = static_cast<float>(size.Width);
  m_Bounds.Height = static_cast<float>(size.Height);
}

Rect Label::PixelRect() const { return ToPixelRect(m_Bounds); }

void Label::ReadProperties(const PropertyStore& store) {
  m_ForeColor = ReadStoredColour(store, "ForeColor", m_ForeColor);
  m_BackColor = ReadStoredColour(store, "BackColor", m_BackColor);
  m_Transparent = store.Read("BackStyle", static_cast<std::int16_t>(m_Transparent ? 0 : 1)).ToInt16() == 0;
  m_Visible = store.Read("Visible", m_Visible).ToBool();
  m_WordWrap = store.Read("WordWrap", m_WordWrap).ToBool();
  switch (store.Read("Alignment", std::int16_t{0}).ToInt16()) {
    case 1: m_Alignment = Alignment::Right; break;
    case 2: m_Alignment = Alignment::Center; break;
    default: m_Alignment = Alignment::Left; break;
  }
  m_ToolTip = store.Read("ToolTipText", m_ToolTip).ToText();
  m_TabIndex = store.Read("TabIndex", m_TabIndex).ToInt16();
  m_Bounds = ReadTwipsBounds(store, m_Bounds);
  if (store.Contains("Font")) m_Font = store.Read("Font", Variant()).ToFont();
  m_AutoSize = store.Read("AutoSize", m_AutoSize).ToBool();
  FitToText();
  SetCaption(store.Read("Caption", m_Caption).ToText());
}

std::vector<std::string> WrapText(std::string_view text, std::int32_t width,
                                  const std::function<std::int32_t(std::string_view)>& measure) {
  std::vector<std::string> lines;
  std::string line;
  std::size_t pos = 0;
  while (pos < text.size()) {
    // The blanks before the next word, and the word.
    const std::size_t word_start = text.find_first_not_of(' ', pos);
    if (word_start == std::string_view::npos) break;
    const std::size_t word_end = std::min(text.find(' ', word_start), text.size());
    const std::string_view blanks = text.substr(pos, word_start - pos);
    const std::string_view word = text.substr(word_start, word_end - word_start);
    pos = word_end;
    if (line.empty()) {
      // Blanks leading the text are kept; after a break they are dropped.
      line = std::string(lines.empty() ? blanks : std::string_view{}) + std::string(word);
      continue;
    }
    std::string longer = line + std::string(blanks) + std::string(word);
    if (measure(longer) <= width) {
      line = std::move(longer);
    } else {
      lines.push_back(std::move(line));
      line = std::string(word);
    }
  }
  if (!line.empty() || lines.empty()) lines.push_back(std::move(line));
  return lines;
}

void Label::PaintInto(Image& frame, Point origin) const {
  const Rect box{origin.X, origin.Y, PixelRect().Width, PixelRect().Height};
  if (box.IsEmpty()) return;
  if (!m_Transparent) frame.Fill(box, ToPixel(m_BackColor));
  if (m_TextEngine == nullptr || m_Caption.empty()) return;
  const borvane::Font& font = DrawingFont();
  std::vector<std::string> lines;
  if (m_WordWrap && !m_AutoSize) {
    lines = WrapText(m_Caption, box.Width, [&](std::string_view line) {
      return m_TextEngine->Measure(line, font).Width;
    });
  } else {
    lines.push_back(m_Caption);
  }
  std::int32_t y = box.Y;
  for (const std::string& line : lines) {
    if (y >= box.Bottom()) break;
    const Size text = m_TextEngine->Measure(line, font);
    std::int32_t x = box.X;
    if (m_Alignment == Alignment::Center) x += (box.Width - text.Width) / 2;
    if (m_Alignment == Alignment::Right) x += box.Width - text.Width;
    m_TextEngine->Draw(frame, {x, y}, box, line, font, m_ForeColor);
    y += text.Height;
  }
}

void Label::MouseDown(std::int16_t button, std::int16_t shift, float x, float y) {
  Forward(OnMouseDown, button, shift, x, y);
}
void Label::MouseMove(std::int16_t button, std::int16_t shift, float x, float y) {
  Forward(OnMouseMove, button, shift, x, y);
}
void Label::MouseUp(std::int16_t button, std::int16_t shift, float x, float y) {
  Forward(OnMouseUp, button, shift, x, y);
}
void Label::Click() {
  if (OnClick) OnClick();
}
void Label::DblClick() {
  if (OnDblClick) OnDblClick();
}

}  // namespace borvane
