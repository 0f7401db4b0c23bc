#pragma once
// The control's own child window in its host's window. Its procedure turns
// paint, mouse (with capture and leave), keyboard, focus, cursor-shape and
// timer messages into the same notifications the GTK host delivers, shows
// the parts' tooltips through the platform's tooltip control, and puts the
// panel's frame on screen with one blit. Its window text is the status
// line, so accessibility tools read the panel's verdict.

#include <windows.h>

#include <functional>
#include <string>

#include "platform/windows/gdi_handles.h"
#include "platform/windows/windows_panel.h"

namespace borvane {

class ControlWindow {
 public:
  // Creates the window at `position` (pixels of `parent`), visible.
  // Throws std::runtime_error when the platform refuses.
  ControlWindow(HWND parent, const RECT& position, WindowsPanel& panel);
  ~ControlWindow();  // destroys the window; the panel's timers stop
  ControlWindow(const ControlWindow&) = delete;
  ControlWindow& operator=(const ControlWindow&) = delete;

  HWND Handle() const { return m_Window.get(); }
  void MoveTo(const RECT& position);
  // Asks for a repaint and refreshes the window text.
  void Refresh();
  void ShowPointer(std::int16_t pointer);

  // The window got the keyboard focus (the host may UI-activate).
  std::function<void()> FocusGained;

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);
  void Paint();
  void Mouse(UINT message, WPARAM wparam, LPARAM lparam);
  void UpdateToolTip(Point at);
  void MakeToolTip();

  WindowsPanel& m_Panel;
  UniqueWindow m_Window;
  HWND m_ToolTip = nullptr;  // owned by m_Window: destroyed with it
  std::wstring m_TipText;
  std::wstring m_Status;
  std::int16_t m_Pointer = 0;
  bool m_TrackingLeave = false;
};

}  // namespace borvane
