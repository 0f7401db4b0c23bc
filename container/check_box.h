#pragma once
// The check box constituent: a 13 × 13 pixel box with a tick, and an
// optional caption to its right. Its value is 0 (not ticked), 1 (ticked) or
// 2 (greyed: drawn with a grey tick, read by handlers as not ticked).
//
// A click (a press and a release over it, or Space while it has the focus)
// turns 1 and 2 into 0 and 0 into 1, then runs OnClick: handlers read the
// value that the click has just set. Setting the value from code does not
// run OnClick.
//
// Bounds are in the parent's pixels. Drawing is flat and crisp: a grey
// one-pixel border, a white well (light grey while pressed or disabled)
// and a tick of whole pixels, so it looks the same at every scale.

#include <cstdint>
#include <functional>
#include <string>

#include "container/colour.h"
#include "container/constituent.h"
#include "container/font.h"
#include "container/geometry.h"
#include "container/property_store.h"
#include "container/text_engine.h"

namespace borvane {

class CheckBox : public Constituent {
 public:
  static constexpr std::int32_t kBoxPixels = 13;

  std::int16_t Value() const { return m_Value; }
  // Raises InvalidPropertyValue outside 0..2.
  void SetValue(std::int16_t value);

  const std::string& Caption() const { return m_Caption; }
  void SetCaption(std::string caption) { m_Caption = std::move(caption); }
  Colour BackColor() const { return m_BackColor; }
  void SetBackColor(Colour colour) { m_BackColor = colour; }
  Colour ForeColor() const { return m_ForeColor; }
  void SetForeColor(Colour colour) { m_ForeColor = colour; }
  const FontRef& Font() const { return m_Font; }
  void SetFont(FontRef font) { m_Font = std::move(font); }
  bool Visible() const { return m_Visible; }
  void SetVisible(bool visible) { m_Visible = visible; }
  bool Enabled() const { return m_Enabled; }
  void SetEnabled(bool enabled) { m_Enabled = enabled; }
  const RectF& Bounds() const { return m_Bounds; }
  void SetBounds(RectF bounds) { m_Bounds = bounds; }
  const std::string& ToolTipText() const { return m_ToolTip; }
  void SetToolTipText(std::string text) { m_ToolTip = std::move(text); }
  std::int16_t TabIndex() const { return m_TabIndex; }
  void SetTabIndex(std::int16_t index) { m_TabIndex = index; }
  // Whether the host's keyboard focus is on it (drawn as a dotted ring).
  bool HasFocus() const { return m_Focus; }
  void SetFocus(bool focus) { m_Focus = focus; }
  void SetTextEngine(TextEngine* engine) { m_TextEngine = engine; }

  // Loads a stored check box: "Value", "Caption", "BackColor", "ForeColor",
  // "Font", "Visible", "Enabled", "ToolTipText", "TabIndex", and "Left",
  // "Top", "Width", "Height" in twips.
  void ReadProperties(const PropertyStore& store);

  // Space while focused: the same as a click.
  void KeyPress(std::int16_t key_ascii);

  std::function<void()> OnClick;

  // Constituent.
  Rect PixelRect() const override;
  bool IsShown() const override { return m_Visible; }
  void PaintInto(Image& frame, Point origin) const override;
  void MouseDown(std::int16_t button, std::int16_t shift, float x, float y) override;
  void MouseMove(std::int16_t button, std::int16_t shift, float x, float y) override;
  void MouseUp(std::int16_t button, std::int16_t shift, float x, float y) override;
  void Click() override;
  void DblClick() override;

 private:
  std::int16_t m_Value = 0;
  std::string m_Caption;
  Colour m_BackColor = colours::kButtonFace;
  Colour m_ForeColor = colours::kWindowText;
  FontRef m_Font;
  bool m_Visible = true;
  bool m_Enabled = true;
  bool m_Pressed = false;
  bool m_Focus = false;
  RectF m_Bounds{0, 0, kBoxPixels, kBoxPixels};
  std::string m_ToolTip;
  std::int16_t m_TabIndex = 0;
  TextEngine* m_TextEngine = nullptr;
};

}  // namespace borvane
