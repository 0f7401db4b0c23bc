#pragma once
// xpcmdbutton: a push button whose whole face is a picture. Five faces
// (plain rest, pressed, disabled, hot, highlighted rest) sit side by side in
// one 90 × 21 strip; the button shows one at any size as nine pieces of its
// 18 × 21 cell. The caption is an auto-sized, centred, transparent label
// floating above the face.
//
// The face follows the mouse: hot while the cursor moves over the button,
// pressed from a press, rest on release. The container says nothing when
// the cursor leaves, so from the first move the button polls the cursor
// every 10 ms and, when it finds it outside, stops polling, raises MouseOut
// and shows the rest face.
//
// All coordinates are pixels, origin top left: the first draw, at creation,
// switches the surface to pixels.

#include <cstdint>
#include <string>

#include "container/font.h"
#include "container/label.h"
#include "container/picture.h"
#include "container/timer.h"
#include "container/dispatch_ids.h"
#include "container/user_control.h"

namespace borvane {

class xpcmdbutton final : public UserControl {
 public:
  // The button's own identifiers; its other events and properties carry
  // the standard ones (container/dispatch_ids.h): Click, KeyDown, KeyPress,
  // KeyUp, MouseOut, MouseDown, MouseMove, MouseUp in interface order.
  static constexpr std::int32_t kMouseOut = 1;
  static constexpr std::int32_t kStateId = 1;

  // Creation: draws the plain rest face with the design-time caption.
  explicit xpcmdbutton(Site& site);

  bool Enabled() const;
  void SetEnabled(bool New_Enabled);
  // 0: plain rest face, 1: highlighted rest face; other values are kept
  // but leave the rest face as it was.
  std::int32_t State() const;
  void SetState(std::int32_t vNewValue);
  std::string Caption() const;
  void SetCaption(const std::string& vNewCaption);
  // The shared font object itself.
  FontRef Font() const;
  void SetFont(FontRef vNewFont);

  // Read-only views for hosts and tests.
  const Label& CaptionLabel() const { return lbl; }
  bool Polling() const { return Timer1.Enabled(); }
  // The strip cell the rest face uses (0 or 4).
  std::int16_t RestFace() const { return m_RestFace; }
  // The face strip, as the button cuts it.
  const PictureClip& FaceStrip() const { return pc; }

 private:
  void UserControl_Initialize();
  void UserControl_InitProperties() override;
  void UserControl_ReadProperties(const PropertyStore& PropBag) override;
  void UserControl_WriteProperties(PropertyStore& PropBag) override;
  void UserControl_Resize() override;
  void UserControl_Show() override;
  void UserControl_MouseDown(std::int16_t& Button, std::int16_t& Shift, float& X,
                             float& Y) override;
  void UserControl_MouseMove(std::int16_t& Button, std::int16_t& Shift, float& X,
                             float& Y) override;
  void UserControl_MouseUp(std::int16_t& Button, std::int16_t& Shift, float& X,
                           float& Y) override;
  void UserControl_Click() override;
  void UserControl_KeyDown(std::int16_t& KeyCode, std::int16_t& Shift) override;
  void UserControl_KeyPress(std::int16_t& KeyAscii) override;
  void UserControl_KeyUp(std::int16_t& KeyCode, std::int16_t& Shift) override;
  void UserControl_AccessKeyPress(std::int16_t& KeyAscii) override;

  void lbl_Click();
  void lbl_Change();
  void lbl_MouseDown(std::int16_t& Button, std::int16_t& Shift, float& X, float& Y);
  void lbl_MouseMove(std::int16_t& Button, std::int16_t& Shift, float& X, float& Y);
  void lbl_MouseUp(std::int16_t& Button, std::int16_t& Shift, float& X, float& Y);
  void Timer1_Timer();

  void ShowRestFace();
  void DrawFace(const std::int16_t& Cell);

  Label lbl;
  PictureClip pc;
  Timer Timer1;
  std::int16_t m_RestFace = 0;
  std::int32_t m_State = 0;
  FontRef m_Font;
};

}  // namespace borvane
