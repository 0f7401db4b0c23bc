#include "platform/windows/com_client.h"

#include <oleauto.h>
#include <olectl.h>

#include <atomic>
#include <map>
#include <new>

#include "container/error.h"
#include "library/component.h"
#include "library/identity.h"
#include "platform/windows/com_object.h"
#include "platform/windows/variant_convert.h"

namespace borvane {

namespace {

// Errors go to the host as control-facility codes carrying the library's
// error number (13 type mismatch, 35750 transfer failure), with the message
// in the thread's error information.
HRESULT ReportError(std::int32_t code, const std::string& message) {
  ICreateErrorInfo* create = nullptr;
  if (SUCCEEDED(::CreateErrorInfo(&create))) {
    const std::wstring text = Widen(message);
    const std::wstring source = Widen(std::string(identity::kClientProgId));
    const GUID iid = ToPlatformGuid(identity::kClientIid);
    create->SetDescription(const_cast<LPOLESTR>(text.c_str()));
    create->SetSource(const_cast<LPOLESTR>(source.c_str()));
    create->SetGUID(iid);
    IErrorInfo* info = nullptr;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
      ::SetErrorInfo(0, info);
      info->Release();
    }
    create->Release();
  }
  return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, static_cast<unsigned>(code) & 0xFFFF);
}

// The variant a by-reference argument stands for.
VARIANT& Referenced(VARIANT* argument) {
  if (V_VT(argument) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(argument) != nullptr) {
    return *V_VARIANTREF(argument);
  }
  return *argument;
}

class ClientObject;

class EventPoint final : public IConnectionPoint {
 public:
  explicit EventPoint(IConnectionPointContainer* owner) : m_Owner(owner) {}
  ~EventPoint() {
    for (auto& [cookie, sink] : m_Sinks) sink->Release();
  }
  EventPoint(const EventPoint&) = delete;
  EventPoint& operator=(const EventPoint&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IConnectionPoint)) {
      *out = static_cast<IConnectionPoint*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // Lives as long as the object that holds it.
  ULONG STDMETHODCALLTYPE AddRef() override { return m_Owner->AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return m_Owner->Release(); }

  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override {
    if (iid == nullptr) return E_POINTER;
    *iid = ToPlatformGuid(identity::kClientEventsIid);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** out) override {
    if (out == nullptr) return E_POINTER;
    *out = m_Owner;
    m_Owner->AddRef();
    return S_OK;
  }
  // client raises no events: the sink is kept until Unadvise and never called.
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override {
    if (sink == nullptr || cookie == nullptr) return E_POINTER;
    sink->AddRef();
    *cookie = ++m_LastCookie;
    m_Sinks[*cookie] = sink;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
    const auto it = m_Sinks.find(cookie);
    if (it == m_Sinks.end()) return CONNECT_E_NOCONNECTION;
    it->second->Release();
    m_Sinks.erase(it);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** out) override {
    if (out != nullptr) *out = nullptr;
    return E_NOTIMPL;
  }

 private:
  IConnectionPointContainer* m_Owner;
  std::map<DWORD, IUnknown*> m_Sinks;
  DWORD m_LastCookie = 0;
};

// Enumerates the one connection point.
class PointEnumerator final : public SingleInterfaceObject<PointEnumerator, IEnumConnectionPoints> {
 public:
  PointEnumerator(IConnectionPoint* point, ULONG position)
      : SingleInterfaceObject(IID_IEnumConnectionPoints), m_Point(point), m_Position(position) {
    m_Point->AddRef();
  }
  ~PointEnumerator() { m_Point->Release(); }

  HRESULT STDMETHODCALLTYPE Next(ULONG count, IConnectionPoint** points, ULONG* fetched) override {
    if (points == nullptr) return E_POINTER;
    ULONG given = 0;
    if (count > 0 && m_Position == 0) {
      points[0] = m_Point;
      m_Point->AddRef();
      given = 1;
      m_Position = 1;
    }
    if (fetched != nullptr) *fetched = given;
    return given == count ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    const ULONG left = m_Position == 0 ? 1 : 0;
    m_Position = count >= 1 ? 1 : m_Position;
    return count <= left ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    m_Position = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumConnectionPoints** out) override {
    if (out == nullptr) return E_POINTER;
    *out = new (std::nothrow) PointEnumerator(m_Point, m_Position);
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
  }

 private:
  IConnectionPoint* m_Point;
  ULONG m_Position;
};

class ClientObject final : public IClientDual,
                           public IProvideClassInfo,
                           public IConnectionPointContainer,
                           public ISupportErrorInfo {
 public:
  ClientObject(std::unique_ptr<Automatable> target, ITypeInfo* interface_info,
               ITypeInfo* class_info)
      : m_Target(std::move(target)),
        m_InterfaceInfo(interface_info),
        m_ClassInfo(class_info),
        m_Events(this) {
    com::ModuleCounts::ObjectCreated();
  }
  ~ClientObject() {
    m_InterfaceInfo->Release();
    m_ClassInfo->Release();
    com::ModuleCounts::ObjectDestroyed();
  }
  ClientObject(const ClientObject&) = delete;
  ClientObject& operator=(const ClientObject&) = delete;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
        IsEqualIID(iid, ToPlatformGuid(identity::kClientIid))) {
      *out = static_cast<IClientDual*>(this);
    } else if (IsEqualIID(iid, IID_IProvideClassInfo)) {
      *out = static_cast<IProvideClassInfo*>(this);
    } else if (IsEqualIID(iid, IID_IConnectionPointContainer)) {
      *out = static_cast<IConnectionPointContainer*>(this);
    } else if (IsEqualIID(iid, IID_ISupportErrorInfo)) {
      *out = static_cast<ISupportErrorInfo*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++m_References; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --m_References;
    if (left == 0) delete this;
    return left;
  }

  // IDispatch, through the type information of _client.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    m_InterfaceInfo->AddRef();
    *out = m_InterfaceInfo;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    return ::DispGetIDsOfNames(m_InterfaceInfo, names, count, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* bad_arg) override {
    ::SetErrorInfo(0, nullptr);
    return m_InterfaceInfo->Invoke(static_cast<IClientDual*>(this), id, flags, params, result,
                                   exception, bad_arg);
  }

  // _client
  HRESULT STDMETHODCALLTYPE DisplayTime(BSTR* result) override {
    if (result == nullptr) return E_POINTER;
    *result = nullptr;
    try {
      *result = ToBstr(m_Target->DisplayTime());
      return S_OK;
    } catch (const Error& error) {
      return ReportError(static_cast<std::int32_t>(error.Code()), error.what());
    } catch (const std::exception& error) {
      return ReportError(51, error.what());
    }
  }
  HRESULT STDMETHODCALLTYPE DeCrypt(VARIANT* texti, VARIANT* salasana, BSTR* result) override {
    if (texti == nullptr || salasana == nullptr || result == nullptr) return E_POINTER;
    *result = nullptr;
    try {
      VARIANT& text_ref = Referenced(texti);
      VARIANT& key_ref = Referenced(salasana);
      Variant text = FromPlatformVariant(text_ref);
      Variant key = FromPlatformVariant(key_ref);
      const Variant text_before = text;
      const std::string decoded = m_Target->DeCrypt(text, key);
      // Both are passed by reference: what the method leaves in them goes
      // back to the caller's variables (the key always changes).
      if (!(text == text_before)) ToPlatformVariant(text, text_ref);
      ToPlatformVariant(key, key_ref);
      *result = ToBstr(decoded);
      return S_OK;
    } catch (const Error& error) {
      return ReportError(static_cast<std::int32_t>(error.Code()), error.what());
    } catch (const std::exception& error) {
      return ReportError(51, error.what());
    }
  }

  // IProvideClassInfo
  HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** out) override {
    if (out == nullptr) return E_POINTER;
    m_ClassInfo->AddRef();
    *out = m_ClassInfo;
    return S_OK;
  }

  // IConnectionPointContainer
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** out) override {
    if (out == nullptr) return E_POINTER;
    *out = new (std::nothrow) PointEnumerator(&m_Events, 0);
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, ToPlatformGuid(identity::kClientEventsIid))) return CONNECT_E_NOCONNECTION;
    m_Events.AddRef();
    *out = &m_Events;
    return S_OK;
  }

  // ISupportErrorInfo
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override {
    return IsEqualIID(iid, ToPlatformGuid(identity::kClientIid)) ? S_OK : S_FALSE;
  }

 private:
  std::unique_ptr<Automatable> m_Target;
  ITypeInfo* m_InterfaceInfo;
  ITypeInfo* m_ClassInfo;
  EventPoint m_Events;
  std::atomic<ULONG> m_References{1};
};

}  // namespace

HRESULT CreateClientObject(HMODULE module, std::unique_ptr<Automatable> target, REFIID iid,
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

  auto* object = new (std::nothrow) ClientObject(std::move(target), interface_info, class_info);
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
