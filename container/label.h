#pragma once
// The label constituent: a line of text above its parent's surface.
//
// Its position and size are in the parent's unit; parents keep their labels
// in pixels (every control here switches its surface to pixels on its first
// draw), and the label is drawn at its position rounded to whole pixels.
// Text is measured and drawn through the text engine the parent gives it;
// without one an auto-sized label keeps its size and draws no text.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "container/colour.h"
#include "container/constituent.h"
#include "container/font.h"
#include "container/geometry.h"
#include "container/property_store.h"
#include "container/text_engine.h"

namespace borvane {

class Label : public Constituent {
 public:
  enum class Alignment { Left, Right, Center };

  const std::string& Caption() const { return m_Caption; }
  // Sizes itself to the new text (when auto-sized), then runs OnChange; both
  // only when the text actually changes.
  void SetCaption(std::string caption);

  Colour ForeColor() const { return m_ForeColor; }
  void SetForeColor(Colour colour) { m_ForeColor = colour; }
  Colour BackColor() const { return m_BackColor; }
  void SetBackColor(Colour colour) { m_BackColor = colour; }
  // Transparent labels paint no background; opaque ones fill their rectangle.
  bool Transparent() const { return m_Transparent; }
  void SetTransparent(bool transparent) { m_Transparent = transparent; }

  bool Visible() const { return m_Visible; }
  void SetVisible(bool visible) { m_Visible = visible; }

  // Shared with the control that assigned it; the label never copies it.
  const FontRef& Font() const { return m_Font; }
  // Sizes itself to its text in the new font (when auto-sized).
  void SetFont(FontRef font);

  Alignment TextAlignment() const { return m_Alignment; }
  void SetAlignment(Alignment alignment) { m_Alignment = alignment; }

  // An auto-sized label takes the measured size of its text whenever its
  // text, font or engine changes; its left and top stay where they are.
  bool AutoSize() const { return m_AutoSize; }
  void SetAutoSize(bool auto_size);

  TextEngine* GetTextEngine() const { return m_TextEngine; }
  void SetTextEngine(TextEngine* engine);

  float Left() const { return m_Bounds.X; }
  float Top() const { return m_Bounds.Y; }
  float Width() const { return m_Bounds.Width; }
  float Height() const { return m_Bounds.Height; }
  void SetLeft(float left) { m_Bounds.X = left; }
  void SetTop(float top) { m_Bounds.Y = top; }
  void SetBounds(RectF bounds) { m_Bounds = bounds; }
  const RectF& Bounds() const { return m_Bounds; }

  const std::string& ToolTipText() const { return m_ToolTip; }
  void SetToolTipText(std::string text) { m_ToolTip = std::move(text); }

  // A label that is not auto-sized breaks its text at blanks onto further
  // lines when it is wider than the label; lines below the label's height
  // are cut off. Off: one line, cut at the right edge.
  bool WordWrap() const { return m_WordWrap; }
  void SetWordWrap(bool wrap) { m_WordWrap = wrap; }

  // Its place in the parent's keyboard order (labels never take the focus).
  std::int16_t TabIndex() const { return m_TabIndex; }
  void SetTabIndex(std::int16_t index) { m_TabIndex = index; }

  // Loads a stored label: "Caption", "ForeColor", "BackColor", "BackStyle"
  // (0 transparent, 1 opaque), "Font", "Visible", "AutoSize", "WordWrap",
  // "Alignment" (0 left, 1 right, 2 centre), "ToolTipText", "TabIndex", and
  // "Left", "Top", "Width", "Height" in twips. A missing entry keeps the
  // current value; OnChange runs when the caption changes.
  void ReadProperties(const PropertyStore& store);

  // Text change notification.
  std::function<void()> OnChange;
  // Mouse notifications with X and Y in the label's own pixels, and clicks.
  MouseHandler OnMouseDown;
  MouseHandler OnMouseMove;
  MouseHandler OnMouseUp;
  std::function<void()> OnClick;
  std::function<void()> OnDblClick;

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
  const borvane::Font& DrawingFont() const { return m_Font ? *m_Font : FallbackFont(); }
  void FitToText();

  std::string m_Caption;
  Colour m_ForeColor = colours::kWindowText;
  Colour m_BackColor = colours::kButtonFace;
  bool m_Transparent = false;
  bool m_Visible = true;
  bool m_AutoSize = false;
  FontRef m_Font;
  TextEngine* m_TextEngine = nullptr;
  Alignment m_Alignment = Alignment::Left;
  RectF m_Bounds;
  std::string m_ToolTip;
  bool m_WordWrap = false;
  std::int16_t m_TabIndex = 0;
};

// Breaks `text` at blanks into lines no wider than `width` pixels as
// `measure` reports them; a word wider than `width` keeps a line of its
// own. Blanks at a break are dropped; runs of blanks inside a line stay.
std::vector<std::string> WrapText(std::string_view text, std::int32_t width,
                                  const std::function<std::int32_t(std::string_view)>& measure);

}  // namespace borvane
