#include "container/label.h"

#include <cmath>

namespace borvane {

namespace {
std::int32_t ToDevice(float units) { return static_cast<std::int32_t>(std::floor(units + 0.5f)); }

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

Rect Label::PixelRect() const {
  const std::int32_t left = ToDevice(m_Bounds.X);
  const std::int32_t top = ToDevice(m_Bounds.Y);
  return {left, top, ToDevice(m_Bounds.X + m_Bounds.Width) - left,
          ToDevice(m_Bounds.Y + m_Bounds.Height) - top};
}

void Label::PaintInto(Image& frame, Point origin) const {
  const Rect box{origin.X, origin.Y, PixelRect().Width, PixelRect().Height};
  if (box.IsEmpty()) return;
  if (!m_Transparent) frame.Fill(box, ToPixel(m_BackColor));
  if (m_TextEngine == nullptr || m_Caption.empty()) return;
  const borvane::Font& font = DrawingFont();
  const Size text = m_TextEngine->Measure(m_Caption, font);
  std::int32_t x = box.X;
  if (m_Alignment == Alignment::Center) x += (box.Width - text.Width) / 2;
  if (m_Alignment == Alignment::Right) x += box.Width - text.Width;
  m_TextEngine->Draw(frame, {x, box.Y}, box, m_Caption, font, m_ForeColor);
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
