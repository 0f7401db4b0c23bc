#pragma once
// xpgroupbox: a thin light frame with small rounded corners round the whole
// control, and a one-line caption set into its top edge 15 pixels from the
// left. The frame is not drawn with lines: it is assembled from eight
// pieces of a 22 × 20 artwork (see frame_pieces.h) onto the retained
// surface by one redraw, UserControl_Resize. The caption is an auto-sized
// opaque label in the group box's back colour, so it hides the part of the
// top edge behind the text.
//
// A host can place its own controls inside the group box (Contain): they
// are drawn above the frame and the caption, take positions relative to the
// group box's top-left corner and receive their own mouse input. The group
// box neither moves nor redraws them.
//
// All coordinates are pixels, origin top left: the first redraw, at
// creation, switches the surface to pixels. Mouse events over the caption
// carry the caption label's own coordinates (its top-left corner sits at
// (15, 0) in the control); over the rest of the control, the control's.

#include <cstdint>
#include <string>

#include "container/colour.h"
#include "container/constituent.h"
#include "container/font.h"
#include "container/label.h"
#include "container/picture.h"
#include "container/dispatch_ids.h"
#include "container/user_control.h"

namespace borvane {

class xpgroupbox final : public UserControl {
 public:
  // Events (Click, DblClick, MouseDown, MouseMove, MouseUp) and the
  // Enabled and Font properties carry the standard identifiers
  // (container/dispatch_ids.h).

  // The caption's text colour while enabled and while disabled.
  static constexpr Colour kEnabledCaption{0x00D54600u};
  static constexpr Colour kDisabledCaption{0x0092A1A1u};
  // Background of a newly placed group box (yellow).
  static constexpr Colour kDefaultBackColor{0x0000FFFFu};

  // Creation: 200 × 89 pixels (3001 × 1335 twips), drawn once with the
  // design-time caption "Label1".
  explicit xpgroupbox(Site& site);

  bool Enabled() const;
  // Recolours the caption only; the frame is not redrawn.
  void SetEnabled(bool New_Enabled);
  // The shared font object itself.
  FontRef Font() const;
  void SetFont(FontRef vNewFont);
  Colour BackColor() const;
  void SetBackColor(Colour New_BackColor);
  std::string Caption() const;
  void SetCaption(const std::string& vNewCaption);

  // Places `child` inside the group box, above the frame, the caption and
  // the children placed before it. The child's PixelRect is relative to the
  // group box's top-left corner. The child must outlive the group box (the
  // host holds both as members).
  void Contain(Constituent& child) { AddConstituent(child); }

  // Read-only views for hosts and tests.
  const Label& CaptionLabel() const { return lbl; }
  const Picture& FrameArt() const { return m_Art; }
  // Redraws begun since creation: a host that caches the composed picture
  // repaints when this moves.
  std::uint64_t Redraws() const { return m_Redraws; }

 private:
  void UserControl_Initialize();
  void UserControl_InitProperties() override;
  void UserControl_ReadProperties(const PropertyStore& PropBag) override;
  void UserControl_WriteProperties(PropertyStore& PropBag) override;
  void UserControl_Resize() override;
  void UserControl_MouseDown(std::int16_t& Button, std::int16_t& Shift, float& X,
                             float& Y) override;
  void UserControl_MouseMove(std::int16_t& Button, std::int16_t& Shift, float& X,
                             float& Y) override;
  void UserControl_MouseUp(std::int16_t& Button, std::int16_t& Shift, float& X,
                           float& Y) override;

  void lbl_Change();
  void lbl_Click();
  void lbl_DblClick();
  void lbl_MouseDown(std::int16_t& Button, std::int16_t& Shift, float& X, float& Y);
  void lbl_MouseMove(std::int16_t& Button, std::int16_t& Shift, float& X, float& Y);
  void lbl_MouseUp(std::int16_t& Button, std::int16_t& Shift, float& X, float& Y);


  Label lbl;
  // The artwork holder: never shown, it only carries the frame picture.
  Picture m_Art;
  FontRef m_Font;
  Colour m_BackColor;
  std::uint64_t m_Redraws = 0;
};

}  // namespace borvane
