#pragma once
// A message-only window on the thread that makes it: work the control
// starts for later (its first query, a fetch's completion, a fetch's
// deadline) arrives there as a posted message or a timer, in whatever
// message loop the host runs. Destroying it drops what is still queued for
// it and stops its timers.

#include <windows.h>

#include <functional>

#include "platform/windows/gdi_handles.h"

namespace borvane {

class MessageWindow {
 public:
  // Throws std::runtime_error when the platform refuses the window.
  // The handler gets posted messages (WM_APP and up) and WM_TIMER, with
  // their WPARAM (a timer's id).
  explicit MessageWindow(std::function<void(UINT, WPARAM)> handler);
  ~MessageWindow();
  MessageWindow(const MessageWindow&) = delete;
  MessageWindow& operator=(const MessageWindow&) = delete;

  // Queues `message` (WM_APP and up) for the handler.
  bool Post(UINT message, WPARAM wparam = 0) {
    return ::PostMessageW(m_Window.get(), message, wparam, 0) != FALSE;
  }
  // A timer whose WM_TIMER goes to the handler every `ms` until stopped.
  bool StartTimer(UINT_PTR id, UINT ms) { return ::SetTimer(m_Window.get(), id, ms, nullptr) != 0; }
  void StopTimer(UINT_PTR id) { ::KillTimer(m_Window.get(), id); }
  HWND Handle() const { return m_Window.get(); }

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  std::function<void(UINT, WPARAM)> m_Handler;
  UniqueWindow m_Window;
};

}  // namespace borvane
