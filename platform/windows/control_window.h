#pragma once
// The control's own child window in its host's window. Its procedure turns
// paint, mouse (with capture and leave), keyboard, focus, cursor-shape and
// timer messages into the same notifications the GTK host delivers, shows
// the parts' tooltips through the platform's tooltip control, and puts the
// panel's frame on screen with one blit. Its window text is the status
// line, so accessibility tools read the panel's verdict.

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/windows/gdi_handles.h"
#include "platform/windows/windows_panel.h"

namespace borvane {

class ControlWindow {
 public:
  // Creates the window at `position` (pixels of `parent`), visible.
  // `owner` (the control object) is held for as long as a message is
  // handled, so a host that lets go of the control meanwhile ends it only
  // afterwards. Throws std::runtime_error when the platform refuses.
  ControlWindow(HWND parent, const RECT& position, WindowsPanel& panel, IUnknown* owner);
  ~ControlWindow();  // destroys the window; the panel's timers stop
  // Ends a window: at once, or, while one of its messages is still being
  // handled further up the stack (a click whose handler reaches the host,
  // which deactivates the control from there), its window at once and the
  // object when that message is done.
  static void Dispose(std::unique_ptr<ControlWindow> window);
  ControlWindow(const ControlWindow&) = delete;
  ControlWindow& operator=(const ControlWindow&) = delete;

  HWND Handle() const { return m_Window.get(); }
  void MoveTo(const RECT& position);
  // Asks for a repaint and refreshes the window text.
  void Refresh();
  void ShowPointer(std::int16_t pointer);
  // Whether the window still exists (its parent may have destroyed it).
  bool Alive() const { return m_Window != nullptr && ::IsWindow(m_Window.get()); }

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
  IUnknown* m_Owner;
  UniqueWindow m_Window;
  int m_Depth = 0;         // messages being handled, nested
  bool m_Orphaned = false;  // disposed during one: deleted when it ends
  HWND m_ToolTip = nullptr;  // owned by m_Window: destroyed with it
  std::wstring m_TipText;
  std::wstring m_Status;
  std::int16_t m_Pointer = 0;
  bool m_TrackingLeave = false;
};

}  // namespace borvane
