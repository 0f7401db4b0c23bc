// IOleControl: the ambient values of the container (user mode, font,
// display name), and IObjectSafety: what script and page hosts may do.

#include <windows.h>
#include <olectl.h>

#include "library/identity.h"
#include "platform/windows/client_control.h"
#include "platform/windows/com_boundary.h"
#include "platform/windows/variant_convert.h"

namespace borvane {

namespace {

// One ambient property from the site's dispatch; VT_EMPTY when the host
// offers none.
VARIANT AmbientValue(IDispatch* ambient, DISPID id) {
  VARIANT value;
  ::VariantInit(&value);
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  if (FAILED(ambient->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &value,
                             nullptr, nullptr))) {
    ::VariantClear(&value);
  }
  return value;
}

// The font object a host passes as its ambient font.
bool ReadFont(IUnknown* object, Font& font) {
  auto platform_font = ComRef<IFont>::Query(object, IID_IFont);
  if (!platform_font) return false;
  BSTR name = nullptr;
  CY size{};
  BOOL bold = FALSE, italic = FALSE, underline = FALSE, strikethrough = FALSE;
  if (FAILED(platform_font->get_Name(&name)) || FAILED(platform_font->get_Size(&size))) {
    ::SysFreeString(name);
    return false;
  }
  font.Name = Narrow(name, static_cast<int>(::SysStringLen(name)));
  ::SysFreeString(name);
  font.Size = static_cast<double>(size.int64) / 10000.0;  // currency: points × 10000
  platform_font->get_Bold(&bold);
  platform_font->get_Italic(&italic);
  platform_font->get_Underline(&underline);
  platform_font->get_Strikethrough(&strikethrough);
  font.Bold = bold != FALSE;
  font.Italic = italic != FALSE;
  font.Underline = underline != FALSE;
  font.Strikethrough = strikethrough != FALSE;
  return !font.Name.empty() && font.Size > 0;
}

}  // namespace

void ClientControl::ReadAmbient(DISPID id) {
  auto ambient = ComRef<IDispatch>::Query(m_ClientSite.Get(), IID_IDispatch);
  if (!ambient) return;  // the host offers none: the defaults stay
  const bool all = id == DISPID_UNKNOWN;
  if (all || id == DISPID_AMBIENT_USERMODE) {
    VARIANT mode = AmbientValue(ambient.Get(), DISPID_AMBIENT_USERMODE);
    if (V_VT(&mode) == VT_BOOL) {
      m_UserMode = V_BOOL(&mode) != VARIANT_FALSE;
      UpdateTimers();
    }
    ::VariantClear(&mode);
  }
  if (all || id == DISPID_AMBIENT_DISPLAYNAME) {
    VARIANT name = AmbientValue(ambient.Get(), DISPID_AMBIENT_DISPLAYNAME);
    if (V_VT(&name) == VT_BSTR && V_BSTR(&name) != nullptr) {
      m_Panel->SetDisplayName(
          Narrow(V_BSTR(&name), static_cast<int>(::SysStringLen(V_BSTR(&name)))));
    }
    ::VariantClear(&name);
  }
  if (all || id == DISPID_AMBIENT_FONT) {
    VARIANT font = AmbientValue(ambient.Get(), DISPID_AMBIENT_FONT);
    Font read;
    if ((V_VT(&font) == VT_DISPATCH || V_VT(&font) == VT_UNKNOWN) && V_UNKNOWN(&font) != nullptr &&
        ReadFont(V_UNKNOWN(&font), read)) {
      m_Panel->SetAmbientFont(read);
    }
    ::VariantClear(&font);
  }
}

HRESULT ClientControl::GetControlInfo(CONTROLINFO* info) {
  if (info == nullptr) return E_POINTER;
  // No mnemonics: the panel's parts have no access keys.
  info->hAccel = nullptr;
  info->cAccel = 0;
  info->dwFlags = 0;
  return S_OK;
}

HRESULT ClientControl::OnAmbientPropertyChange(DISPID id) {
  return Guarded([&]() -> HRESULT {
    ReadAmbient(id);
    return S_OK;
  });
}

HRESULT ClientControl::FreezeEvents(BOOL freeze) {
  // client raises no events; the count is kept for hosts that pair calls.
  m_FrozenEvents += freeze ? 1 : (m_FrozenEvents > 0 ? -1 : 0);
  return S_OK;
}

HRESULT ClientControl::QuickActivate(QACONTAINER* container, QACONTROL* control) {
  if (container == nullptr || control == nullptr) return E_POINTER;
  if (container->cbSize < sizeof(QACONTAINER) || control->cbSize < sizeof(QACONTROL)) {
    return E_INVALIDARG;
  }
  return Guarded([&]() -> HRESULT {
    const SelfHold hold(*this);
    // What a host would otherwise do in several calls: the site (which
    // reads the ambient values its dispatch offers), the view's sink and
    // the event sink; then the ambient values the container passed here.
    HRESULT hr = SetClientSite(container->pClientSite);
    if (FAILED(hr)) return hr;
    if (container->pAdviseSink != nullptr) {
      hr = SetAdvise(DVASPECT_CONTENT, 0, container->pAdviseSink);
      if (FAILED(hr)) return hr;
    }
    DWORD event_cookie = 0;
    if (container->pUnkEventSink != nullptr) {
      m_Events.Advise(container->pUnkEventSink, &event_cookie);
    }
    m_UserMode = (container->dwAmbientFlags & QACONTAINER_USERMODE) != 0;
    UpdateTimers();
    *control = QACONTROL{};
    control->cbSize = sizeof(QACONTROL);
    control->dwMiscStatus = identity::kClientMiscStatus;
    control->dwViewStatus = VIEWSTATUS_OPAQUE;
    control->dwEventCookie = event_cookie;
    control->dwPropNotifyCookie = 0;  // no bindable properties
    control->dwPointerActivationPolicy = 0;
    return S_OK;
  });
}

HRESULT ClientControl::SetContentExtent(LPSIZEL size) { return SetExtent(DVASPECT_CONTENT, size); }

HRESULT ClientControl::GetContentExtent(LPSIZEL size) { return GetExtent(DVASPECT_CONTENT, size); }

// Safety is a property of the whole object, not of the interface a host
// happens to ask about (page hosts ask for initialisation on IDispatch, for
// scripting on the control's own interface, ...), and holds on the same
// grounds for every one it answers: scripts reach only DisplayTime and
// DeCrypt, neither of which sets the clock, and initialisation reads
// nothing but the extent (a page cannot set the service address: it is
// the machine's setting, no stored property). So both options are offered
// on every interface the object has; one it lacks is E_NOINTERFACE.
namespace {
constexpr DWORD kSafeOptions = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;
}  // namespace

bool ClientControl::Answers(REFIID iid) {
  void* probe = nullptr;
  if (FAILED(QueryInterface(iid, &probe)) || probe == nullptr) return false;
  Release();
  return true;
}

HRESULT ClientControl::GetInterfaceSafetyOptions(REFIID iid, DWORD* supported, DWORD* enabled) {
  if (supported == nullptr || enabled == nullptr) return E_POINTER;
  *supported = 0;
  *enabled = 0;
  if (!Answers(iid)) return E_NOINTERFACE;
  *supported = kSafeOptions;
  *enabled = m_SafeOptions;
  return S_OK;
}

HRESULT ClientControl::SetInterfaceSafetyOptions(REFIID iid, DWORD mask, DWORD enabled) {
  if (!Answers(iid)) return E_NOINTERFACE;
  if ((mask & ~kSafeOptions) != 0) return E_FAIL;
  m_SafeOptions = (m_SafeOptions & ~mask) | (enabled & mask);
  return S_OK;
}

}  // namespace borvane
