#include "platform/windows/control_window.h"

#include <commctrl.h>
#include <windowsx.h>

#include <stdexcept>

#include "container/error.h"
#include "platform/windows/com_boundary.h"
#include "platform/windows/frame_painter.h"
#include "platform/windows/this_module.h"
#include "platform/windows/variant_convert.h"

namespace borvane {

namespace {

constexpr wchar_t kClassName[] = L"borvane.client.window";

// The container's codes: shift 1, ctrl 2, alt 4.
std::int16_t ShiftCode() {
  std::int16_t shift = 0;
  if (::GetKeyState(VK_SHIFT) < 0) shift |= 1;
  if (::GetKeyState(VK_CONTROL) < 0) shift |= 2;
  if (::GetKeyState(VK_MENU) < 0) shift |= 4;
  return shift;
}

// Buttons held during a move: left 1, right 2, middle 4.
std::int16_t HeldButtons(WPARAM wparam) {
  std::int16_t held = 0;
  if (wparam & MK_LBUTTON) held |= 1;
  if (wparam & MK_RBUTTON) held |= 2;
  if (wparam & MK_MBUTTON) held |= 4;
  return held;
}

std::int16_t ButtonOf(UINT message) {
  switch (message) {
    case WM_LBUTTONDOWN: case WM_LBUTTONUP: case WM_LBUTTONDBLCLK: return 1;
    case WM_RBUTTONDOWN: case WM_RBUTTONUP: case WM_RBUTTONDBLCLK: return 2;
    default: return 4;
  }
}

}  // namespace

ControlWindow::ControlWindow(HWND parent, const RECT& position, WindowsPanel& panel,
                             IUnknown* owner)
    : m_Panel(panel), m_Owner(owner) {
  const HINSTANCE module = ThisModule();
  WNDCLASSEXW window_class{};
  if (!::GetClassInfoExW(module, kClassName, &window_class)) {
    window_class.cbSize = sizeof(window_class);
    window_class.style = CS_DBLCLKS;
    window_class.lpfnWndProc = &ControlWindow::Procedure;
    window_class.hInstance = module;
    window_class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    window_class.lpszClassName = kClassName;
    if (::RegisterClassExW(&window_class) == 0) {
      throw std::runtime_error("RegisterClassEx failed: " + std::to_string(::GetLastError()));
    }
  }
  HWND made = ::CreateWindowExW(
      0, kClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP, position.left,
      position.top, position.right - position.left, position.bottom - position.top, parent,
      nullptr, module, this);
  if (made == nullptr) {
    m_Window.release();
    throw std::runtime_error("CreateWindowEx failed: " + std::to_string(::GetLastError()));
  }
  MakeToolTip();
  Refresh();
}

ControlWindow::~ControlWindow() {
  if (m_Window && m_Panel.Timers().Window() == m_Window.get()) m_Panel.Timers().Attach(nullptr);
  m_Window.reset();
  // Fails while another instance still has a window of the class; the last
  // one takes it away, so the library can unload.
  ::UnregisterClassW(kClassName, ThisModule());
}

void ControlWindow::Dispose(std::unique_ptr<ControlWindow> window) {
  if (!window) return;
  if (window->m_Depth == 0) return;  // deleted here, on leaving
  ControlWindow* busy = window.release();
  busy->m_Orphaned = true;
  if (busy->m_Window && busy->m_Panel.Timers().Window() == busy->m_Window.get()) {
    busy->m_Panel.Timers().Attach(nullptr);
  }
  ::SetWindowLongPtrW(busy->m_Window.get(), GWLP_USERDATA, 0);
  busy->m_Window.reset();
}

void ControlWindow::MakeToolTip() {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&controls);
  m_ToolTip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_Window.get(),
                                nullptr, ThisModule(), nullptr);
  if (m_ToolTip == nullptr) return;  // no tooltips; the panel works without
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = m_Window.get();
  tool.uId = reinterpret_cast<UINT_PTR>(m_Window.get());
  tool.lpszText = LPSTR_TEXTCALLBACKW;
  ::SendMessageW(m_ToolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void ControlWindow::MoveTo(const RECT& position) {
  if (!m_Window) return;
  ::MoveWindow(m_Window.get(), position.left, position.top, position.right - position.left,
               position.bottom - position.top, TRUE);
}

void ControlWindow::Refresh() {
  if (!m_Window) return;
  ::InvalidateRect(m_Window.get(), nullptr, FALSE);
  const std::wstring status = Widen(m_Panel.StatusLine());
  if (status != m_Status) {
    m_Status = status;
    ::SetWindowTextW(m_Window.get(), m_Status.c_str());
  }
}

void ControlWindow::ShowPointer(std::int16_t pointer) {
  m_Pointer = pointer;
  // The panel may keep this thread busy next (a query blocks it): show
  // the shape now rather than at the next WM_SETCURSOR.
  POINT cursor{};
  if (::GetCursorPos(&cursor) && ::WindowFromPoint(cursor) == m_Window.get()) {
    ::SetCursor(::LoadCursorW(nullptr, pointer == Surface::kBusyPointer ? IDC_WAIT : IDC_ARROW));
  }
}

LRESULT CALLBACK ControlWindow::Procedure(HWND window, UINT message, WPARAM wparam,
                                          LPARAM lparam) {
  if (message == WM_NCCREATE) {
    // From here on the window is the object's, before CreateWindowEx
    // has even returned its handle.
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    auto* owner = static_cast<ControlWindow*>(create->lpCreateParams);
    owner->m_Window.reset(window);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
  }
  auto* self = reinterpret_cast<ControlWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr || message == WM_NCDESTROY) {
    if (message == WM_NCDESTROY) ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    return ::DefWindowProcW(window, message, wparam, lparam);
  }
  if (message == WM_DESTROY) {
    // Destroyed by its parent: the owner must not destroy it again.
    if (self->m_Panel.Timers().Window() == window) self->m_Panel.Timers().Attach(nullptr);
    self->m_Window.release();
    ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    return ::DefWindowProcW(window, message, wparam, lparam);
  }
  // The control lives at least as long as this message is handled, and
  // this object too (Dispose defers its end while m_Depth is above 0).
  IUnknown* owner = self->m_Owner;
  owner->AddRef();
  ++self->m_Depth;
  LRESULT result = 0;
  // No exception may unwind into the host's message loop: what the
  // panel's own handlers did not report goes to the status line here, and
  // what reporting it throws (no memory left) ends in Guarded.
  Guarded([&]() -> HRESULT {
    try {
      result = self->Handle(message, wparam, lparam);
    } catch (const Error& error) {
      self->m_Panel.ReportError(error);
    } catch (const std::exception& error) {
      self->m_Panel.ReportError(Error(static_cast<ErrorCode>(kInternalError), error.what()));
    }
    return S_OK;
  });
  if (--self->m_Depth == 0 && self->m_Orphaned) delete self;
  // May end the control, and with it this object: nothing of it is
  // touched after.
  owner->Release();
  return result;
}

LRESULT ControlWindow::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  client& panel = m_Panel.Panel();
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the frame covers everything
    case WM_MOUSEMOVE: case WM_LBUTTONDOWN: case WM_RBUTTONDOWN: case WM_MBUTTONDOWN:
    case WM_LBUTTONUP: case WM_RBUTTONUP: case WM_MBUTTONUP: case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK: case WM_MBUTTONDBLCLK:
      Mouse(message, wparam, lparam);
      return 0;
    case WM_MOUSELEAVE:
      m_TrackingLeave = false;
      // Far outside every part, so a polling button sees the pointer gone.
      if (::GetCapture() != m_Window.get()) m_Panel.SetPointer(WindowsPanel::kPointerAway);
      return 0;
    case WM_SETCURSOR:
      if (LOWORD(lparam) == HTCLIENT) {
        ::SetCursor(::LoadCursorW(
            nullptr, m_Pointer == Surface::kBusyPointer ? IDC_WAIT : IDC_ARROW));
        return TRUE;
      }
      break;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_WANTTAB;
    case WM_KEYDOWN:
      if (wparam == VK_TAB) {
        // Through the panel's parts; past the last one the host's
        // dialog navigation takes over.
        if (!panel.MoveFocus(::GetKeyState(VK_SHIFT) < 0)) {
          ::SetFocus(::GetParent(m_Window.get()));
        }
      } else {
        panel.KeyDown(static_cast<std::int16_t>(wparam), ShiftCode());
      }
      Refresh();
      return 0;
    case WM_CHAR:
      if (wparam > 0 && wparam < 128 && wparam != '\t') {
        panel.KeyPress(static_cast<std::int16_t>(wparam));
        Refresh();
      }
      return 0;
    case WM_KEYUP:
      panel.KeyUp(static_cast<std::int16_t>(wparam), ShiftCode());
      Refresh();
      return 0;
    case WM_SETFOCUS:
      if (FocusGained) FocusGained();
      return 0;
    case WM_KILLFOCUS:
      panel.ClearFocus();
      Refresh();
      return 0;
    case WM_TIMER:
      if (m_Panel.Timers().Dispatch(wparam)) return 0;
      break;
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lparam);
      if (header->hwndFrom == m_ToolTip && header->code == TTN_GETDISPINFOW) {
        auto* info = reinterpret_cast<NMTTDISPINFOW*>(lparam);
        info->lpszText = m_TipText.data();
        return 0;
      }
      break;
    }
    default:
      break;
  }
  return ::DefWindowProcW(m_Window.get(), message, wparam, lparam);
}

void ControlWindow::Paint() {
  PAINTSTRUCT paint{};
  HDC dc = ::BeginPaint(m_Window.get(), &paint);
  if (dc == nullptr) return;
  const Image frame = m_Panel.Frame();
  // Unstretched: the panel's surface already has the window's size.
  const RECT bounds{0, 0, frame.Width(), frame.Height()};
  PaintFrame(dc, frame, bounds);
  ::EndPaint(m_Window.get(), &paint);
}

void ControlWindow::Mouse(UINT message, WPARAM wparam, LPARAM lparam) {
  client& panel = m_Panel.Panel();
  const int x = GET_X_LPARAM(lparam);
  const int y = GET_Y_LPARAM(lparam);
  m_Panel.SetPointer({x, y});
  const auto fx = static_cast<float>(x);
  const auto fy = static_cast<float>(y);
  switch (message) {
    case WM_MOUSEMOVE:
      if (!m_TrackingLeave) {
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, m_Window.get(), 0};
        m_TrackingLeave = ::TrackMouseEvent(&track) != FALSE;
      }
      UpdateToolTip({x, y});
      panel.MouseMove(HeldButtons(wparam), ShiftCode(), fx, fy);
      break;
    case WM_LBUTTONDOWN: case WM_RBUTTONDOWN: case WM_MBUTTONDOWN:
      if (::GetFocus() != m_Window.get()) ::SetFocus(m_Window.get());
      // Moves and the release reach the panel even outside the window.
      ::SetCapture(m_Window.get());
      panel.MouseDown(ButtonOf(message), ShiftCode(), fx, fy);
      break;
    case WM_LBUTTONUP: case WM_RBUTTONUP: case WM_MBUTTONUP:
      if ((wparam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) == 0 &&
          ::GetCapture() == m_Window.get()) {
        ::ReleaseCapture();
      }
      panel.MouseUp(ButtonOf(message), ShiftCode(), fx, fy);
      break;
    default:
      // The second press of a double-click is a double-click, not a
      // press: the release after it clicks nothing.
      panel.DblClickAt(fx, fy);
      break;
  }
  Refresh();
}

void ControlWindow::UpdateToolTip(Point at) {
  if (m_ToolTip == nullptr) return;
  const std::wstring text =
      Widen(m_Panel.Panel().ToolTipAt(static_cast<float>(at.X), static_cast<float>(at.Y)));
  if (text == m_TipText) return;
  m_TipText = text;
  if (m_TipText.empty()) {
    ::SendMessageW(m_ToolTip, TTM_POP, 0, 0);
  } else {
    ::SendMessageW(m_ToolTip, TTM_UPDATE, 0, 0);
  }
  ::SendMessageW(m_ToolTip, TTM_ACTIVATE, !m_TipText.empty(), 0);
}

}  // namespace borvane
