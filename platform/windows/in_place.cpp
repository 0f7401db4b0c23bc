// In-place activation: the control's own child window in the site's
// window (the platform's hosts forward no input to windowless controls),
// UI activation, and the rectangles the host gives.

#include <stdexcept>

#include "platform/windows/client_control.h"
#include "platform/windows/com_boundary.h"

namespace borvane {

namespace {
Size SizeOf(const RECT& rect) { return {rect.right - rect.left, rect.bottom - rect.top}; }
}  // namespace

bool ClientControl::ValidRect(const RECT& rect) {
  const long long width = static_cast<long long>(rect.right) - rect.left;
  const long long height = static_cast<long long>(rect.bottom) - rect.top;
  return width >= 0 && height >= 0 && width <= kMaxSidePixels && height <= kMaxSidePixels;
}

HRESULT ClientControl::InPlaceActivate(bool with_ui, LPCRECT position) {
  if (!m_ClientSite) return E_UNEXPECTED;
  const SelfHold hold(*this);
  if (!m_InPlaceSite) {
    auto site = ComRef<IOleInPlaceSite>::Query(m_ClientSite.Get(), IID_IOleInPlaceSite);
    if (!site) return E_NOINTERFACE;
    if (site->CanInPlaceActivate() != S_OK) return E_FAIL;
    site->OnInPlaceActivate();
    m_InPlaceSite = site;
  }
  HWND parent = nullptr;
  HRESULT hr = m_InPlaceSite->GetWindow(&parent);
  if (FAILED(hr)) return hr;
  RECT place{};
  RECT clip{};
  OLEINPLACEFRAMEINFO frame_info{};
  frame_info.cb = sizeof(frame_info);
  hr = m_InPlaceSite->GetWindowContext(m_Frame.Put(), m_UiWindow.Put(), &place, &clip,
                                       &frame_info);
  if (FAILED(hr) && position == nullptr) return hr;
  if (FAILED(hr)) clip = *position;
  if (position != nullptr) place = *position;

  if (parent == nullptr || !::IsWindow(parent)) return E_UNEXPECTED;
  if (!ValidRect(place)) return E_INVALIDARG;
  // A window its host destroyed (with the host's own window) is gone for
  // good: the next activation makes a new one.
  if (m_Window && !m_Window->Alive()) {
    m_UiActive = false;
    ControlWindow::Dispose(std::move(m_Window));
  }
  if (m_Window && ::GetParent(m_Window->Handle()) != parent) {
    ::SetParent(m_Window->Handle(), parent);
  }
  if (!m_Window) {
    try {
      m_Window = std::make_unique<ControlWindow>(parent, place, *m_Panel,
                                                 static_cast<IOleObject*>(this));
    } catch (const std::exception&) {
      return E_FAIL;
    }
    m_Window->FocusGained = [this] {
      if (!m_UiActive) InPlaceActivate(true, nullptr);
    };
  } else {
    m_Window->MoveTo(place);
    ::ShowWindow(m_Window->Handle(), SW_SHOW);
  }
  m_Panel->Panel().Resize(SizeOf(place));
  ApplyClip(place, clip);
  ExtentFromRect(place);
  UpdateTimers();
  // A first query the host's loop has not run yet (no loop ran since
  // creation, or the message window was refused) is not left out.
  if (!m_Messages) Posted(kFirstQueryMessage);
  m_Window->Refresh();

  if (with_ui && !m_UiActive) {
    m_UiActive = true;
    m_InPlaceSite->OnUIActivate();
    if (::GetFocus() != m_Window->Handle()) ::SetFocus(m_Window->Handle());
    IOleInPlaceActiveObject* active = this;
    if (m_Frame) {
      m_Frame->SetActiveObject(active, nullptr);
      m_Frame->SetBorderSpace(nullptr);
    }
    if (m_UiWindow) {
      m_UiWindow->SetActiveObject(active, nullptr);
      m_UiWindow->SetBorderSpace(nullptr);
    }
  }
  m_ClientSite->ShowObject();
  return S_OK;
}

HRESULT ClientControl::GetWindow(HWND* out) {
  if (out == nullptr) return E_POINTER;
  const bool alive = m_Window && m_Window->Alive();
  *out = alive ? m_Window->Handle() : nullptr;
  return alive ? S_OK : E_FAIL;
}

HRESULT ClientControl::InPlaceDeactivate() {
  return Guarded([&]() -> HRESULT {
    const SelfHold hold(*this);
    UIDeactivate();
    // The window's end stops the timers; they are kept for a next window.
    ControlWindow::Dispose(std::move(m_Window));
    UpdateTimers();
    m_Frame.Reset();
    m_UiWindow.Reset();
    if (m_InPlaceSite) {
      const ComRef<IOleInPlaceSite> site = m_InPlaceSite;
      m_InPlaceSite.Reset();
      site->OnInPlaceDeactivate();
    }
    return S_OK;
  });
}

HRESULT ClientControl::UIDeactivate() {
  return Guarded([&]() -> HRESULT {
    if (!m_UiActive) return S_OK;
    const SelfHold hold(*this);
    m_UiActive = false;
    if (m_Frame) m_Frame->SetActiveObject(nullptr, nullptr);
    if (m_UiWindow) m_UiWindow->SetActiveObject(nullptr, nullptr);
    if (m_InPlaceSite) m_InPlaceSite->OnUIDeactivate(FALSE);
    return S_OK;
  });
}

HRESULT ClientControl::SetObjectRects(LPCRECT position, LPCRECT clip) {
  return Guarded([&]() -> HRESULT {
    if (position == nullptr) return E_POINTER;
    if (!ValidRect(*position)) return E_INVALIDARG;
    // The panel is as big as the rectangle the host gives: the extent a
    // host passes may be rounded, the rectangle is what it shows.
    m_Panel->Panel().Resize(SizeOf(*position));
    if (m_Window) {
      m_Window->MoveTo(*position);
      ApplyClip(*position, clip != nullptr ? *clip : *position);
      m_Window->Refresh();
    }
    ExtentFromRect(*position);
    return S_OK;
  });
}

HRESULT ClientControl::TranslateAccelerator(LPMSG message) {
  if (message == nullptr) return E_POINTER;
  return Guarded([&]() -> HRESULT {
    // Hosts that run dialog navigation see Tab before the control's window
    // does, and would take the focus away at the first press: Tab and
    // Shift+Tab move through the panel's buttons and check boxes here, and
    // only past its last (or first) part is the key the host's. The panel
    // has no other accelerators; its other keys arrive through its window.
    if (message->message != WM_KEYDOWN || message->wParam != VK_TAB || !m_Window) return S_FALSE;
    const bool moved = m_Panel->Panel().MoveFocus(::GetKeyState(VK_SHIFT) < 0);
    m_Window->Refresh();
    if (!moved) return S_FALSE;
    if (::GetFocus() != m_Window->Handle()) ::SetFocus(m_Window->Handle());
    return S_OK;
  });
}

void ClientControl::ApplyClip(const RECT& position, const RECT& clip) {
  if (!m_Window) return;
  RECT visible{};
  ::IntersectRect(&visible, &position, &clip);  // empty when they do not meet
  if (::EqualRect(&visible, &position)) {
    ::SetWindowRgn(m_Window->Handle(), nullptr, TRUE);
    return;
  }
  ::OffsetRect(&visible, -position.left, -position.top);
  HRGN region = ::CreateRectRgnIndirect(&visible);
  // Once set, the region is the window's: it frees it.
  if (region != nullptr && !::SetWindowRgn(m_Window->Handle(), region, TRUE)) {
    ::DeleteObject(region);
  }
}

void ClientControl::ExtentFromRect(const RECT& rect) {
  // HIMETRIC at the screen's resolution, as hosts convert both ways.
  HDC screen = ::GetDC(nullptr);
  const int dpi_x = screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSX) : 96;
  const int dpi_y = screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen != nullptr) ::ReleaseDC(nullptr, screen);
  if (dpi_x <= 0 || dpi_y <= 0) return;
  const Size shown = SizeOf(rect);
  // An extent the host set that rounds to the same pixels stays as set.
  if (::MulDiv(m_Extent.cx, dpi_x, 2540) == shown.Width &&
      ::MulDiv(m_Extent.cy, dpi_y, 2540) == shown.Height) {
    return;
  }
  const SIZEL extent{::MulDiv(shown.Width, 2540, dpi_x), ::MulDiv(shown.Height, 2540, dpi_y)};
  if (!ValidExtent(extent)) return;
  m_Extent = extent;
  m_Dirty = true;
}

void ClientControl::UpdateTimers() {
  m_Panel->Timers().Attach(m_Window && m_UserMode ? m_Window->Handle() : nullptr);
}

void ClientControl::PanelChanged() {
  if (m_Window) m_Window->Refresh();
  if (m_Released) return;
  const SelfHold hold(*this);
  if (m_DataAdvise) m_DataAdvise->SendOnDataChange(static_cast<IDataObject*>(this), 0, 0);
  if (m_ViewSink && (m_ViewAspects & DVASPECT_CONTENT) != 0) {
    const ComRef<IAdviseSink> sink = m_ViewSink;
    if ((m_ViewFlags & ADVF_ONLYONCE) != 0) m_ViewSink.Reset();
    sink->OnViewChange(DVASPECT_CONTENT, -1);
  }
}

}  // namespace borvane
