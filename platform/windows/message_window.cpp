#include "platform/windows/message_window.h"

#include <stdexcept>
#include <string>

#include "platform/windows/this_module.h"

namespace borvane {

namespace {

constexpr wchar_t kClassName[] = L"borvane.client.messages";

}  // namespace

MessageWindow::MessageWindow(std::function<void(UINT, WPARAM)> handler) : m_Handler(std::move(handler)) {
  const HINSTANCE module = ThisModule();
  WNDCLASSEXW window_class{};
  if (!::GetClassInfoExW(module, kClassName, &window_class)) {
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = &MessageWindow::Procedure;
    window_class.hInstance = module;
    window_class.lpszClassName = kClassName;
    if (::RegisterClassExW(&window_class) == 0) {
      throw std::runtime_error("RegisterClassEx failed: " + std::to_string(::GetLastError()));
    }
  }
  m_Window.reset(::CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   module, nullptr));
  if (!m_Window) {
    throw std::runtime_error("CreateWindowEx failed: " + std::to_string(::GetLastError()));
  }
  ::SetWindowLongPtrW(m_Window.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

MessageWindow::~MessageWindow() {
  ::SetWindowLongPtrW(m_Window.get(), GWLP_USERDATA, 0);
  m_Window.reset();
  // Fails while another instance still has one; the last one takes the
  // class away, so the library can unload.
  ::UnregisterClassW(kClassName, ThisModule());
}

LRESULT CALLBACK MessageWindow::Procedure(HWND window, UINT message, WPARAM wparam,
                                          LPARAM lparam) {
  auto* self = reinterpret_cast<MessageWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self != nullptr && (message == WM_TIMER || (message >= WM_APP && message <= 0xBFFF))) {
    // The handler is the control's: it catches what it raises, and a
    // copy keeps it whole should the handler end this window's owner.
    const std::function<void(UINT, WPARAM)> handler = self->m_Handler;
    handler(message, wparam);
    return 0;
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace borvane
