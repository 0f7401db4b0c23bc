#include "platform/windows/com_client.h"

#include <oleauto.h>
#include <olectl.h>

#include <new>

#include "container/error.h"
#include "library/component.h"
#include "library/identity.h"
#include "platform/windows/client_control.h"
#include "platform/windows/com_boundary.h"
#include "platform/windows/com_object.h"
#include "platform/windows/variant_convert.h"

namespace borvane {

namespace {

// The variant a by-reference argument stands for.
VARIANT& Referenced(VARIANT* argument) {
  if (V_VT(argument) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(argument) != nullptr) {
    return *V_VARIANTREF(argument);
  }
  return *argument;
}

}  // namespace

// Errors go to the host as control-facility codes carrying the library's
// error number (13 type mismatch, 35750 transfer failure), with the message
// in the thread's error information.
HRESULT ReportError(std::int32_t code, const std::string& message) noexcept {
  const HRESULT hr =
      MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, static_cast<unsigned>(code) & 0xFFFF);
  ICreateErrorInfo* create = nullptr;
  if (FAILED(::CreateErrorInfo(&create))) return hr;
  try {
    const std::wstring text = Widen(message);
    const std::wstring source = Widen(std::string(identity::kClientProgId));
    create->SetDescription(const_cast<LPOLESTR>(text.c_str()));
    create->SetSource(const_cast<LPOLESTR>(source.c_str()));
  } catch (...) {
    // No memory for the text: the code alone goes.
  }
  create->SetGUID(ToPlatformGuid(identity::kClientIid));
  IErrorInfo* info = nullptr;
  if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
    ::SetErrorInfo(0, info);
    info->Release();
  }
  create->Release();
  return hr;
}

ClientControl::ClientControl(std::unique_ptr<WindowsPanel> panel, ITypeInfo* interface_info,
                             ITypeInfo* class_info)
    : m_Panel(std::move(panel)),
      m_InterfaceInfo(interface_info),
      m_ClassInfo(class_info),
      m_Events(this) {
  com::ModuleCounts::ObjectCreated();
  m_Panel->Changed = [this] { PanelChanged(); };
  m_Panel->PointerShapeChanged = [this](std::int16_t pointer) {
    if (m_Window) m_Window->ShowPointer(pointer);
  };
  // A fetch's completion comes from the host's loop, as any message does:
  // under a reference to the control (the host may let go of it in a
  // sink the answer reaches) and with nothing thrown into the host.
  m_Panel->CallOut = [this](const std::function<void()>& complete) {
    const SelfHold hold(*this);
    Guarded([&]() -> HRESULT {
      complete();
      return S_OK;
    });
  };
  // The document's cache, aggregated: a control without one still works
  // everywhere but in document hosts that cache pictures.
  if (FAILED(::CreateDataCache(static_cast<IClientDual*>(this),
                               ToPlatformGuid(identity::kClientClsid), IID_IUnknown,
                               reinterpret_cast<void**>(&m_Cache)))) {
    m_Cache = nullptr;
  }
  // The first query runs from the host's message loop, not inside the
  // creation call: creation returns at once whatever the service does.
  // Without a window for it (the platform refused one) it runs at the
  // first activation instead.
  try {
    m_Messages =
        std::make_unique<MessageWindow>([this](UINT message, WPARAM) { Posted(message); });
    m_Messages->Post(kFirstQueryMessage);
  } catch (const std::exception&) {
    m_Messages.reset();
  }
}

ClientControl::~ClientControl() {
  m_Messages.reset();
  if (m_Cache != nullptr) {
    m_Cache->Release();
    m_Cache = nullptr;
  }
  m_Storage.Reset();
  m_DataAdvise.Reset();
  // The window goes before the panel it shows, and the panel (with what
  // it holds of the host: nothing past this point calls out) before the
  // host's objects; the module count drops last, once no member of this
  // object is left.
  ControlWindow::Dispose(std::move(m_Window));
  m_Panel.reset();
  m_InPlaceSite.Reset();
  m_Frame.Reset();
  m_UiWindow.Reset();
  m_ViewSink.Reset();
  m_AdviseHolder.Reset();
  m_ClientSite.Reset();
  m_InterfaceInfo->Release();
  m_ClassInfo->Release();
  com::ModuleCounts::ObjectDestroyed();
}

void ClientControl::Posted(UINT message) {
  if (message != kFirstQueryMessage) return;
  const SelfHold hold(*this);
  // From the message window's procedure: nothing may unwind into the
  // host's message loop (the query reports its own errors in the status
  // line; this catches what is left, such as memory running out).
  Guarded([&]() -> HRESULT {
    m_Panel->Initialize();
    return S_OK;
  });
}

HRESULT ClientControl::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
      IsEqualIID(iid, ToPlatformGuid(identity::kClientIid))) {
    *out = static_cast<IClientDual*>(this);
  } else if (IsEqualIID(iid, IID_IProvideClassInfo) || IsEqualIID(iid, IID_IProvideClassInfo2)) {
    *out = static_cast<IProvideClassInfo2*>(this);
  } else if (IsEqualIID(iid, IID_IConnectionPointContainer)) {
    *out = static_cast<IConnectionPointContainer*>(this);
  } else if (IsEqualIID(iid, IID_ISupportErrorInfo)) {
    *out = static_cast<ISupportErrorInfo*>(this);
  } else if (IsEqualIID(iid, IID_IOleObject)) {
    *out = static_cast<IOleObject*>(this);
  } else if (IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IOleInPlaceObject)) {
    *out = static_cast<IOleInPlaceObject*>(this);
  } else if (IsEqualIID(iid, IID_IOleInPlaceActiveObject)) {
    *out = static_cast<IOleInPlaceActiveObject*>(this);
  } else if (IsEqualIID(iid, IID_IOleControl)) {
    *out = static_cast<IOleControl*>(this);
  } else if (IsEqualIID(iid, IID_IViewObject) || IsEqualIID(iid, IID_IViewObject2)) {
    *out = static_cast<IViewObject2*>(this);
  } else if (IsEqualIID(iid, IID_IPersist) || IsEqualIID(iid, IID_IPersistStreamInit)) {
    *out = static_cast<IPersistStreamInit*>(this);
  } else if (IsEqualIID(iid, IID_IPersistPropertyBag)) {
    *out = static_cast<IPersistPropertyBag*>(this);
  } else if (IsEqualIID(iid, IID_IPersistStorage)) {
    *out = static_cast<IPersistStorage*>(this);
  } else if (IsEqualIID(iid, IID_IDataObject)) {
    *out = static_cast<IDataObject*>(this);
  } else if (IsEqualIID(iid, IID_IQuickActivate)) {
    *out = static_cast<IQuickActivate*>(this);
  } else if (IsEqualIID(iid, IID_IObjectSafety)) {
    *out = static_cast<IObjectSafety*>(this);
  } else if (m_Cache != nullptr &&
             (IsEqualIID(iid, IID_IOleCache) || IsEqualIID(iid, IID_IOleCache2) ||
              IsEqualIID(iid, IID_IOleCacheControl))) {
    // The aggregated cache's own interfaces (their references count on
    // this object).
    return m_Cache->QueryInterface(iid, out);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG ClientControl::Release() {
  const ULONG left = --m_References;
  if (left == 0) {
    delete this;
  } else if (left == m_SelfHolds) {
    // Only the control's own holds are left: the host has let go in the
    // middle of a call. A query in flight ends now (its answer never
    // comes), and no more news goes out to the host's sinks.
    m_Released = true;
    m_Panel->CancelQuery();
  }
  return left;
}

// IDispatch, through the type information of _client.
HRESULT ClientControl::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 1;
  return S_OK;
}

HRESULT ClientControl::GetTypeInfo(UINT index, LCID, ITypeInfo** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  m_InterfaceInfo->AddRef();
  *out = m_InterfaceInfo;
  return S_OK;
}

HRESULT ClientControl::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  return ::DispGetIDsOfNames(m_InterfaceInfo, names, count, ids);
}

HRESULT ClientControl::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                              VARIANT* result, EXCEPINFO* exception, UINT* bad_arg) {
  ::SetErrorInfo(0, nullptr);
  return m_InterfaceInfo->Invoke(static_cast<IClientDual*>(this), id, flags, params, result,
                                 exception, bad_arg);
}

// _client
HRESULT ClientControl::DisplayTime(BSTR* result) {
  if (result == nullptr) return E_POINTER;
  *result = nullptr;
  const SelfHold hold(*this);
  return Guarded([&]() -> HRESULT {
    *result = ToBstr(m_Panel->DisplayTime());
    return S_OK;
  });
}

HRESULT ClientControl::DeCrypt(VARIANT* texti, VARIANT* salasana, BSTR* result) {
  if (texti == nullptr || salasana == nullptr || result == nullptr) return E_POINTER;
  *result = nullptr;
  return Guarded([&]() -> HRESULT {
    VARIANT& text_ref = Referenced(texti);
    VARIANT& key_ref = Referenced(salasana);
    Variant text = FromPlatformVariant(text_ref);
    Variant key = FromPlatformVariant(key_ref);
    const Variant text_before = text;
    const std::string decoded = m_Panel->DeCrypt(text, key);
    // Both are passed by reference: what the method leaves in them goes
    // back to the caller's variables (the key always changes).
    // A typed reference (a script's or late-bound caller's typed
    // variable: VT_BYREF|VT_I4, VT_BYREF|VT_BSTR, ...) gets the value in
    // its own type.
    if (!(text == text_before)) StoreThroughReference(text, text_ref);
    StoreThroughReference(key, key_ref);
    *result = ToBstr(decoded);
    return S_OK;
  });
}

// IProvideClassInfo2
HRESULT ClientControl::GetClassInfo(ITypeInfo** out) {
  if (out == nullptr) return E_POINTER;
  m_ClassInfo->AddRef();
  *out = m_ClassInfo;
  return S_OK;
}

HRESULT ClientControl::GetGUID(DWORD kind, GUID* out) {
  if (out == nullptr) return E_POINTER;
  if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
    *out = GUID_NULL;
    return E_INVALIDARG;
  }
  *out = ToPlatformGuid(identity::kClientEventsIid);
  return S_OK;
}

// IConnectionPointContainer
HRESULT ClientControl::EnumConnectionPoints(IEnumConnectionPoints** out) {
  if (out == nullptr) return E_POINTER;
  *out = new (std::nothrow) PointEnumerator(&m_Events, 0);
  return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT ClientControl::FindConnectionPoint(REFIID iid, IConnectionPoint** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (!IsEqualIID(iid, ToPlatformGuid(identity::kClientEventsIid))) return CONNECT_E_NOCONNECTION;
  m_Events.AddRef();
  *out = &m_Events;
  return S_OK;
}

// ISupportErrorInfo
HRESULT ClientControl::InterfaceSupportsErrorInfo(REFIID iid) {
  return IsEqualIID(iid, ToPlatformGuid(identity::kClientIid)) ? S_OK : S_FALSE;
}

HRESULT CreateClientObject(HMODULE module, std::unique_ptr<WindowsPanel> panel, REFIID iid,
                           void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  wchar_t path[MAX_PATH];
  const DWORD length = ::GetModuleFileNameW(module, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return E_FAIL;

  ITypeLib* library = nullptr;
  HRESULT hr = ::LoadTypeLibEx(path, REGKIND_NONE, &library);
  if (FAILED(hr)) return hr;
  ITypeInfo* interface_info = nullptr;
  ITypeInfo* class_info = nullptr;
  hr = library->GetTypeInfoOfGuid(ToPlatformGuid(identity::kClientIid), &interface_info);
  if (SUCCEEDED(hr)) {
    // The library describes _client as a dispatch interface; calls through
    // the function table need its dual twin, the interface description.
    HREFTYPE twin = 0;
    ITypeInfo* function_table_info = nullptr;
    hr = interface_info->GetRefTypeOfImplType(static_cast<UINT>(-1), &twin);
    if (SUCCEEDED(hr)) hr = interface_info->GetRefTypeInfo(twin, &function_table_info);
    interface_info->Release();
    interface_info = SUCCEEDED(hr) ? function_table_info : nullptr;
  }
  if (SUCCEEDED(hr)) {
    hr = library->GetTypeInfoOfGuid(ToPlatformGuid(identity::kClientClsid), &class_info);
  }
  library->Release();
  if (FAILED(hr)) {
    if (interface_info != nullptr) interface_info->Release();
    return hr;
  }

  auto* object = new (std::nothrow) ClientControl(std::move(panel), interface_info, class_info);
  if (object == nullptr) {
    interface_info->Release();
    class_info->Release();
    return E_OUTOFMEMORY;
  }
  hr = object->QueryInterface(iid, out);
  object->Release();
  return hr;
}

}  // namespace borvane
