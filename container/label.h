#pragma once
// The label constituent: a line of text above its parent's surface. Its
// position and size are in the parent's unit (pixels once ScaleMode is 3).

#include <functional>
#include <string>

#include "container/colour.h"
#include "container/font.h"
#include "container/geometry.h"

namespace borvane {

class Label {
 public:
  enum class Alignment { Left, Right, Center };

  const std::string& Caption() const { return m_Caption; }
  // Runs OnChange when the text actually changes.
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

  const FontRef& Font() const { return m_Font; }
  void SetFont(FontRef font) { m_Font = std::move(font); }

  Alignment TextAlignment() const { return m_Alignment; }
  void SetAlignment(Alignment alignment) { m_Alignment = alignment; }

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

  // Text change notification.
  std::function<void()> OnChange;

 private:
  std::string m_Caption;
  Colour m_ForeColor = colours::kWindowText;
  Colour m_BackColor = colours::kButtonFace;
  bool m_Transparent = false;
  bool m_Visible = true;
  FontRef m_Font;
  Alignment m_Alignment = Alignment::Left;
  RectF m_Bounds;
  std::string m_ToolTip;
};

}  // namespace borvane
