#pragma once
// A message-only window on the thread that makes it: work the control
// starts for later (its first query) arrives there as a posted message,
// in whatever message loop the host runs. Destroying it drops what is
// still queued for it.

#include <windows.h>

#include <functional>

#include "platform/windows/gdi_handles.h"

namespace borvane {

class MessageWindow {
 public:
  // Throws std::runtime_error when the platform refuses the window.
  explicit MessageWindow(std::function<void(UINT)> handler);
  ~MessageWindow();
  MessageWindow(const MessageWindow&) = delete;
  MessageWindow& operator=(const MessageWindow&) = delete;

  // Queues `message` (WM_APP and up) for the handler.
  bool Post(UINT message) { return ::PostMessageW(m_Window.get(), message, 0, 0) != FALSE; }

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  std::function<void(UINT)> m_Handler;
  UniqueWindow m_Window;
};

}  // namespace borvane
