// IOleObject: the control's embedding in a container, its verbs, extent
// and status flags, and the container's advise sinks.

#include <windows.h>
#include <olectl.h>

#include "library/identity.h"
#include "platform/windows/client_control.h"
#include "platform/windows/com_boundary.h"
#include "platform/windows/variant_convert.h"

namespace borvane {

HRESULT ClientControl::SetClientSite(IOleClientSite* site) {
  return Guarded([&]() -> HRESULT {
    const SelfHold hold(*this);
    // A host that takes the site away first ends any activation it left.
    if (site == nullptr) InPlaceDeactivate();
    m_ClientSite = ComRef<IOleClientSite>::Share(site);
    // The status flags ask for the site before anything else, so the
    // ambient values are there before the first activation.
    if (m_ClientSite) ReadAmbient(DISPID_UNKNOWN);
    return S_OK;
  });
}

HRESULT ClientControl::GetClientSite(IOleClientSite** out) {
  if (out == nullptr) return E_POINTER;
  *out = m_ClientSite.Get();
  if (*out != nullptr) (*out)->AddRef();
  return S_OK;
}

HRESULT ClientControl::Close(DWORD save_option) {
  return Guarded([&]() -> HRESULT {
    // The host may let go of its last pointer in any of the calls below.
    const SelfHold hold(*this);
    m_Panel->CancelQuery();
    if (m_Dirty && m_ClientSite &&
        (save_option == OLECLOSE_SAVEIFDIRTY || save_option == OLECLOSE_PROMPTSAVE)) {
      m_ClientSite->SaveObject();
    }
    InPlaceDeactivate();
    if (m_AdviseHolder) m_AdviseHolder->SendOnClose();
    return S_OK;
  });
}

HRESULT ClientControl::GetMoniker(DWORD, DWORD, IMoniker** out) {
  if (out != nullptr) *out = nullptr;
  return E_NOTIMPL;
}

HRESULT ClientControl::GetClipboardData(DWORD, IDataObject** out) {
  if (out != nullptr) *out = nullptr;
  return E_NOTIMPL;
}

HRESULT ClientControl::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND,
                              LPCRECT position) {
  return Guarded([&]() -> HRESULT {
    // A host that skipped SetClientSite passes its site here.
    if (!m_ClientSite && site != nullptr) SetClientSite(site);
    switch (verb) {
      case OLEIVERB_PRIMARY:
      case OLEIVERB_SHOW:
      case OLEIVERB_UIACTIVATE:
        return InPlaceActivate(true, position);
      case OLEIVERB_INPLACEACTIVATE:
        return InPlaceActivate(false, position);
      case OLEIVERB_HIDE:
        UIDeactivate();
        if (m_Window) ::ShowWindow(m_Window->Handle(), SW_HIDE);
        return S_OK;
      case OLEIVERB_DISCARDUNDOSTATE:
        return S_OK;  // nothing to undo
      default:
        if (verb > 0) {
          // Unknown verbs of the class's own range run the primary one.
          const HRESULT hr = InPlaceActivate(true, position);
          return FAILED(hr) ? hr : OLEOBJ_S_INVALIDVERB;
        }
        return E_NOTIMPL;
    }
  });
}

HRESULT ClientControl::EnumVerbs(IEnumOLEVERB** out) {
  if (out == nullptr) return E_POINTER;
  return ::OleRegEnumVerbs(ToPlatformGuid(identity::kClientClsid), out);
}

HRESULT ClientControl::GetUserClassID(CLSID* out) { return GetClassID(out); }

HRESULT ClientControl::GetUserType(DWORD form, LPOLESTR* out) {
  if (out == nullptr) return E_POINTER;
  return ::OleRegGetUserType(ToPlatformGuid(identity::kClientClsid), form, out);
}

HRESULT ClientControl::SetExtent(DWORD aspect, SIZEL* size) {
  if (size == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (!ValidExtent(*size)) return E_INVALIDARG;
  if (size->cx != m_Extent.cx || size->cy != m_Extent.cy) m_Dirty = true;
  // The panel itself takes its size from the rectangle the host places it
  // in (SetObjectRects): some hosts round the extent they pass.
  m_Extent = *size;
  return S_OK;
}

HRESULT ClientControl::GetExtent(DWORD aspect, SIZEL* size) {
  if (size == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  *size = m_Extent;
  return S_OK;
}

HRESULT ClientControl::Advise(IAdviseSink* sink, DWORD* cookie) {
  if (sink == nullptr || cookie == nullptr) return E_POINTER;
  if (!m_AdviseHolder) {
    const HRESULT hr = ::CreateOleAdviseHolder(m_AdviseHolder.Put());
    if (FAILED(hr)) return hr;
  }
  return m_AdviseHolder->Advise(sink, cookie);
}

HRESULT ClientControl::Unadvise(DWORD cookie) {
  if (!m_AdviseHolder) return OLE_E_NOCONNECTION;
  return m_AdviseHolder->Unadvise(cookie);
}

HRESULT ClientControl::EnumAdvise(IEnumSTATDATA** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (!m_AdviseHolder) return S_OK;  // no connection: an empty answer
  return m_AdviseHolder->EnumAdvise(out);
}

HRESULT ClientControl::GetMiscStatus(DWORD, DWORD* status) {
  if (status == nullptr) return E_POINTER;
  *status = identity::kClientMiscStatus;
  return S_OK;
}

}  // namespace borvane
