// probe_host OCX [CASE...]: a host that embeds the control the hard way,
// one table of cases, each a way real hosts have broken it:
//   hung        a service that accepts and never answers: creation returns
//               within 50 ms, the host's own loop keeps running during the
//               query (no message of it takes long, a host timer keeps
//               firing), the status line shows the failure after the
//               deadline, and a click made meanwhile runs one query after
//               it;
//   cancel      the host closes the control from a timer while its query
//               is in flight: past the deadline the query's answer never
//               reaches the panel or the site (the hung case releases its
//               control with a query in flight);
//   rects       a huge SetObjectRects or extent is refused, the host lives;
//   release     the site releases its last pointer inside
//               OnInPlaceDeactivate, during Close (run with heap checks);
//   reactivate  the host's window dies; the next activation makes a new
//               window in the new parent;
//   lock        an unbalanced LockServer(FALSE) leaves the module unloadable;
//   decrypt     Invoke of DeCrypt with VT_BYREF|VT_I4 and VT_BYREF|VT_BSTR
//               keys writes the shift back in the caller's type;
//   boundary    what the core throws (GDI exhausted in Draw, a type
//               mismatch in DeCrypt) comes back as an HRESULT with the
//               library's message in the error information;
//   stream      version-1 and a later build's longer stream records load,
//               damaged ones are refused; a bad bag value is skipped and
//               logged;
//   document    OleCreate with OLERENDER_DRAW into a storage, OleRun, the
//               cache, OleDraw against IViewObject::Draw, the picture as
//               an enhanced metafile and a metafile picture, OleSave,
//               OleLoad and OleDraw again;
//   quick       IQuickActivate: site, view sink and extent in one call;
//   safety      safety options on IDispatch and every other interface, and
//               nothing a page reaches sets the service address;
//   tab         TranslateAccelerator: Tab and Shift+Tab through the four
//               parts, then the host's;
//   clip        SetObjectRects clips the window; GetExtent follows the
//               host's rectangle.
// After each case DllCanUnloadNow must say S_OK. The service address comes
// from BORVANE_SERVICE_URL as the control reads it; `hung` and `cancel`
// set it to a listener of their own. Prints each failed check; exits 1
// when any failed.

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>
#include <oleidl.h>
#include <objsafe.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "library/identity.h"
#include "platform/windows/variant_convert.h"
#include "tests/windows/wine_check.h"

namespace {

using borvane::Narrow;
using SteadyClock = std::chrono::steady_clock;

HMODULE g_Ocx = nullptr;
using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
GetClassObject g_GetClass = nullptr;

// The class object, held only while used (it counts as one of the
// module's objects).
IClassFactory* Factory() {
  IClassFactory* factory = nullptr;
  CHECK(SUCCEEDED(g_GetClass(borvane::ToPlatformGuid(borvane::identity::kClientClsid),
                             IID_IClassFactory, reinterpret_cast<void**>(&factory))));
  return factory;
}

double MsSince(SteadyClock::time_point start) {
  return std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count();
}

// The longest single DispatchMessage of this host's loop so far: a
// control that waits inside one of them holds the host's loop.
double s_LongestDispatchMs;
UINT s_LongestMessage;

// Runs the thread's messages for `ms` milliseconds, or until `done`.
bool PumpUntil(DWORD ms, const std::function<bool()>& done) {
  const ULONGLONG end = ::GetTickCount64() + ms;
  for (;;) {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      const auto start = SteadyClock::now();
      ::DispatchMessageW(&message);
      const double took = MsSince(start);
      if (took > s_LongestDispatchMs) {
        s_LongestDispatchMs = took;
        s_LongestMessage = message.message;
      }
    }
    if (done()) return true;
    if (::GetTickCount64() >= end) return false;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}
void Pump(DWORD ms) { PumpUntil(ms, [] { return false; }); }

std::wstring WindowText(HWND window) {
  wchar_t text[512] = L"";
  if (window != nullptr) ::GetWindowTextW(window, text, 512);
  return text;
}

// A loopback listener that takes connections and never answers: the
// request waits forever. Counts the connections (one per query).
class SilentService {
 public:
  SilentService() {
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
    m_Socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    CHECK(::bind(m_Socket, reinterpret_cast<sockaddr*>(&address), length) == 0);
    CHECK(::listen(m_Socket, 8) == 0);
    u_long non_blocking = 1;
    ::ioctlsocket(m_Socket, FIONBIO, &non_blocking);
    ::getsockname(m_Socket, reinterpret_cast<sockaddr*>(&address), &length);
    Url = L"http://127.0.0.1:" + std::to_wstring(ntohs(address.sin_port));
  }
  ~SilentService() {
    for (SOCKET taken : m_Taken) ::closesocket(taken);
    ::closesocket(m_Socket);
    ::WSACleanup();
  }
  // Connections so far; each stays open and unanswered.
  std::size_t Connections() {
    for (SOCKET taken; (taken = ::accept(m_Socket, nullptr, nullptr)) != INVALID_SOCKET;) {
      m_Taken.push_back(taken);
    }
    return m_Taken.size();
  }
  std::wstring Url;

 private:
  SOCKET m_Socket = INVALID_SOCKET;
  std::vector<SOCKET> m_Taken;
};

// The site of one embedded control: client site, in-place site in a
// parent window of the panel's size, and advise sink. With
// ReleaseInDeactivate it lets go of the control inside OnInPlaceDeactivate.
class Site final : public IOleClientSite, public IOleInPlaceSite, public IAdviseSinkEx {
 public:
  HWND Parent = nullptr;
  IUnknown* Control = nullptr;  // the site's own reference, when it keeps one
  bool ReleaseInDeactivate = false;
  int Closed = 0;
  int ViewChanges = 0;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite)) {
      *out = static_cast<IOleClientSite*>(this);
    } else if (IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IOleInPlaceSite)) {
      *out = static_cast<IOleInPlaceSite*>(this);
    } else if (IsEqualIID(iid, IID_IAdviseSink) || IsEqualIID(iid, IID_IAdviseSinkEx)) {
      *out = static_cast<IAdviseSinkEx*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  // Lives on the case's stack; counts only to catch a control that
  // releases more than it took.
  ULONG STDMETHODCALLTYPE AddRef() override { return ++m_References; }
  ULONG STDMETHODCALLTYPE Release() override {
    CHECK(m_References > 0);
    return --m_References;
  }
  ULONG References() const { return m_References; }

  // IOleClientSite
  HRESULT STDMETHODCALLTYPE SaveObject() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** out) override {
    *out = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow, IOleInPlaceSite
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* out) override {
    *out = Parent;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc,
                                             LPRECT position, LPRECT clip,
                                             LPOLEINPLACEFRAMEINFO) override {
    *frame = nullptr;
    *doc = nullptr;
    *position = RECT{0, 0, 353, 167};
    *clip = *position;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override {
    if (ReleaseInDeactivate && Control != nullptr) {
      IUnknown* last = Control;
      Control = nullptr;
      last->Release();
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }

  // IAdviseSink
  void STDMETHODCALLTYPE OnDataChange(FORMATETC*, STGMEDIUM*) override {}
  void STDMETHODCALLTYPE OnViewChange(DWORD, LONG) override { ++ViewChanges; }
  void STDMETHODCALLTYPE OnRename(IMoniker*) override {}
  void STDMETHODCALLTYPE OnSave() override {}
  void STDMETHODCALLTYPE OnClose() override { ++Closed; }
  void STDMETHODCALLTYPE OnViewStatusChange(DWORD) override {}

 private:
  ULONG m_References = 0;
};

HWND NewParent() {
  return ::CreateWindowExW(0, L"STATIC", L"probe", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400,
                           220, nullptr, nullptr, nullptr, nullptr);
}

// A new control; `took_ms` gets the time CreateInstance took.
IUnknown* Create(double* took_ms = nullptr) {
  IClassFactory* factory = Factory();
  if (factory == nullptr) return nullptr;
  IUnknown* made = nullptr;
  const auto start = SteadyClock::now();
  CHECK(SUCCEEDED(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&made))));
  if (took_ms != nullptr) *took_ms = MsSince(start);
  factory->Release();
  return made;
}

template <class Interface>
Interface* As(IUnknown* object, REFIID iid) {
  Interface* out = nullptr;
  if (object == nullptr || FAILED(object->QueryInterface(iid, reinterpret_cast<void**>(&out)))) {
    return nullptr;
  }
  return out;
}

// Sets the site and activates the control in the site's parent; returns
// the control's window.
HWND Activate(IOleObject* object, Site& site) {
  CHECK(SUCCEEDED(object->SetClientSite(&site)));
  RECT place{0, 0, 353, 167};
  const HRESULT hr = object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, site.Parent, &place);
  if (FAILED(hr)) std::printf("  DoVerb: 0x%08lX\n", static_cast<unsigned long>(hr));
  CHECK(SUCCEEDED(hr));
  HWND window = nullptr;
  if (auto* ole_window = As<IOleInPlaceObject>(object, IID_IOleInPlaceObject)) {
    CHECK(SUCCEEDED(ole_window->GetWindow(&window)) && ::IsWindow(window));
    ole_window->Release();
  }
  return window;
}

// A new control, activated in a new parent window of the site's; its
// object is null (after a failed check) when it has no IOleObject.
struct Placed {
  IUnknown* Control = nullptr;
  IOleObject* Object = nullptr;
  HWND Window = nullptr;
};
Placed Place(Site& site, double* took_ms = nullptr) {
  Placed placed;
  placed.Control = Create(took_ms);
  placed.Object = As<IOleObject>(placed.Control, IID_IOleObject);
  CHECK(placed.Object != nullptr);
  if (placed.Object == nullptr) return placed;
  site.Parent = NewParent();
  placed.Window = Activate(placed.Object, site);
  return placed;
}

// Close, site taken away, last reference released.
void Finish(IUnknown* control, IOleObject* object) {
  if (object != nullptr) {
    object->Close(OLECLOSE_NOSAVE);
    object->SetClientSite(nullptr);
    object->Release();
  }
  if (control != nullptr) control->Release();
}

// Timer procedures are stdcall on 32-bit Windows, which no lambda is:
// named functions over the cases' statics.
int s_HostTicks;
SteadyClock::time_point s_LastTick;
double s_LongestGapMs;
void CALLBACK HostTick(HWND, UINT, UINT_PTR, DWORD) {
  ++s_HostTicks;
  const double gap = MsSince(s_LastTick);
  if (gap > s_LongestGapMs) s_LongestGapMs = gap;
  s_LastTick = SteadyClock::now();
}

IOleObject* s_Object;
bool s_Closed;
void CALLBACK CloseNow(HWND, UINT, UINT_PTR id, DWORD) {
  ::KillTimer(nullptr, id);
  s_Object->Close(OLECLOSE_NOSAVE);
  s_Closed = true;
}

void CaseHung() {
  SilentService service;
  ::SetEnvironmentVariableW(L"BORVANE_SERVICE_URL", service.Url.c_str());
  const auto start = SteadyClock::now();
  double created_ms = 0;
  Site site;
  const auto [control, object, window] = Place(site, &created_ms);
  std::printf("  CreateInstance against a silent service: %.1f ms\n", created_ms);
  CHECK(created_ms < 50);
  if (object == nullptr) return;

  // While the first query waits: the host's own timer keeps firing, and no
  // message of the host's loop takes long (the fetch runs elsewhere).
  s_HostTicks = 0;
  s_LastTick = SteadyClock::now();
  s_LongestGapMs = 0;
  s_LongestDispatchMs = 0;
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, &HostTick);
  // A click on 查询 a second into the wait: it runs one query once this
  // one has ended.
  Pump(1000);
  const LPARAM centre = MAKELPARAM(316, 44);
  ::PostMessageW(window, WM_MOUSEMOVE, 0, centre);
  ::PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, centre);
  ::PostMessageW(window, WM_LBUTTONUP, 0, centre);
  const bool failed =
      PumpUntil(15000, [&] { return WindowText(window).find(L"(35750)") != std::wstring::npos; });
  const double failed_after_ms = MsSince(start);
  if (!failed) std::printf("  status line: %s\n", Narrow(WindowText(window).c_str()).c_str());
  CHECK(failed);
  std::printf("  failure shown %.1f s after creation; host timer: %d ticks, longest gap %.0f ms;"
              " longest dispatch %.0f ms (message 0x%X)\n",
              failed_after_ms / 1000, s_HostTicks, s_LongestGapMs, s_LongestDispatchMs,
              s_LongestMessage);
  // The deadline is 10 s from the query's start, and no later.
  CHECK(failed_after_ms > 9000 && failed_after_ms < 11500);
  CHECK(s_HostTicks >= 100);
  // A loaded machine can delay a tick or a message by some hundreds of
  // milliseconds; a host held by the control loses whole seconds.
  CHECK(s_LongestGapMs < 1500);
  CHECK(s_LongestDispatchMs < 500);
  // The click's query: one more connection, and only one.
  const bool asked_again = PumpUntil(3000, [&] { return service.Connections() >= 2; });
  Pump(300);
  std::printf("  connections: %lu\n", static_cast<unsigned long>(service.Connections()));
  CHECK(asked_again && service.Connections() == 2);
  ::KillTimer(nullptr, timer);
  // Closed and released with that query in flight.
  Finish(control, object);
  CHECK(site.References() == 0);
  ::DestroyWindow(site.Parent);
}

void CaseCancel() {
  SilentService service;
  ::SetEnvironmentVariableW(L"BORVANE_SERVICE_URL", service.Url.c_str());
  const auto start = SteadyClock::now();
  Site site;
  const auto [control, object, window] = Place(site);
  auto* view = As<IViewObject>(control, IID_IViewObject);
  CHECK(view != nullptr);
  if (object == nullptr || view == nullptr) return;
  DWORD cookie = 0;
  CHECK(SUCCEEDED(object->Advise(&site, &cookie)));
  CHECK(SUCCEEDED(view->SetAdvise(DVASPECT_CONTENT, 0, &site)));
  // A second into the query the host closes the control from a timer of
  // its own, and keeps it: past the query's deadline its answer (a
  // failure) never reaches the panel, nor any news the site.
  s_Object = object;
  s_Closed = false;
  ::SetTimer(nullptr, 0, 1000, &CloseNow);
  CHECK(PumpUntil(3000, [] { return s_Closed; }));
  const int changes = site.ViewChanges;
  const double to_deadline = 11000 - MsSince(start);
  if (to_deadline > 0) Pump(static_cast<DWORD>(to_deadline));
  std::printf("  view changes after Close, up to %.1f s: %d\n", MsSince(start) / 1000,
              site.ViewChanges - changes);
  CHECK(site.ViewChanges == changes && site.Closed == 1);
  CHECK(service.Connections() == 1);
  view->SetAdvise(DVASPECT_CONTENT, 0, nullptr);
  view->Release();
  Finish(control, object);
  CHECK(site.References() == 0);
  ::DestroyWindow(site.Parent);
}

void CaseRects() {
  Site site;
  const auto [control, object, window] = Place(site);
  if (object == nullptr) return;
  if (auto* in_place = As<IOleInPlaceObject>(control, IID_IOleInPlaceObject)) {
    const RECT huge{0, 0, 2000000, 2000000};
    CHECK(in_place->SetObjectRects(&huge, &huge) == E_INVALIDARG);
    const RECT inverted{10, 10, 0, 0};
    CHECK(in_place->SetObjectRects(&inverted, &inverted) == E_INVALIDARG);
    const RECT fine{0, 0, 400, 200};
    CHECK(in_place->SetObjectRects(&fine, &fine) == S_OK);
    in_place->Release();
  }
  SIZEL huge_extent{1000000, 1000000};
  CHECK(object->SetExtent(DVASPECT_CONTENT, &huge_extent) == E_INVALIDARG);
  if (auto* view = As<IViewObject>(control, IID_IViewObject)) {
    HDC dc = ::CreateCompatibleDC(nullptr);
    const RECTL empty{5, 5, 5, 5};
    CHECK(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &empty, nullptr,
                     nullptr, 0) == S_OK);
    ::DeleteDC(dc);
    view->Release();
  }
  Finish(control, object);
  ::DestroyWindow(site.Parent);
}

void CaseRelease() {
  Site site;
  const auto [control, object, window] = Place(site);
  if (object == nullptr) return;
  DWORD cookie = 0;
  CHECK(SUCCEEDED(object->Advise(&site, &cookie)));
  // From here on the site's pointer is the only one the host keeps.
  site.Control = control;
  site.ReleaseInDeactivate = true;
  object->Release();
  CHECK(object->Close(OLECLOSE_NOSAVE) == S_OK);
  CHECK(site.Control == nullptr);
  // Close finished its work with the host gone: the sink heard of it.
  CHECK(site.Closed == 1);
  CHECK(site.References() == 0);
  ::DestroyWindow(site.Parent);
}

void CaseReactivate() {
  Site site;
  const auto [control, object, first] = Place(site);
  if (object == nullptr) return;
  // The host's window goes, and the control's with it, before any
  // deactivation.
  ::DestroyWindow(site.Parent);
  CHECK(!::IsWindow(first));
  if (auto* in_place = As<IOleInPlaceObject>(control, IID_IOleInPlaceObject)) {
    HWND none = nullptr;
    CHECK(in_place->GetWindow(&none) == E_FAIL && none == nullptr);
    in_place->Release();
  }
  site.Parent = NewParent();
  const HWND second = Activate(object, site);
  CHECK(second != nullptr && ::GetParent(second) == site.Parent);
  Finish(control, object);
  ::DestroyWindow(site.Parent);
}

void CaseLock() {
  IClassFactory* factory = Factory();
  if (factory == nullptr) return;
  CHECK(factory->LockServer(FALSE) == S_OK);
  CHECK(factory->LockServer(FALSE) == S_OK);
  CHECK(factory->LockServer(TRUE) == S_OK);
  factory->Release();
  using CanUnload = HRESULT(STDAPICALLTYPE*)();
  auto can_unload = reinterpret_cast<CanUnload>(
      reinterpret_cast<void*>(::GetProcAddress(g_Ocx, "DllCanUnloadNow")));
  CHECK(can_unload() == S_FALSE);  // the one real lock holds it
  factory = Factory();
  if (factory == nullptr) return;
  CHECK(factory->LockServer(FALSE) == S_OK);
  factory->Release();
}

// DeCrypt through Invoke, the key a typed variable of the caller's.
void CaseDecrypt() {
  IUnknown* control = Create();
  IDispatch* dispatch = As<IDispatch>(control, IID_IDispatch);
  CHECK(dispatch != nullptr);
  if (dispatch == nullptr) return;
  LPOLESTR name = const_cast<LPOLESTR>(L"DeCrypt");
  DISPID id = 0;
  CHECK(SUCCEEDED(dispatch->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id)));
  const auto invoke = [&](VARIANT& key, std::string& result) {
    BSTR text = ::SysAllocString(L"40763,6-98&-4::5@18.>9?");
    VARIANT args[2];
    V_VT(&args[1]) = VT_BYREF | VT_BSTR;  // texti (arguments go last first)
    V_BSTRREF(&args[1]) = &text;
    args[0] = key;  // salasana
    DISPPARAMS params{args, nullptr, 2, 0};
    VARIANT out;
    ::VariantInit(&out);
    const HRESULT hr = dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                        &params, &out, nullptr, nullptr);
    if (V_VT(&out) == VT_BSTR) result = Narrow(V_BSTR(&out));
    ::VariantClear(&out);
    ::SysFreeString(text);
    return hr;
  };
  LONG number = 53190427;
  VARIANT key;
  V_VT(&key) = VT_BYREF | VT_I4;
  V_I4REF(&key) = &number;
  std::string result;
  CHECK(invoke(key, result) == S_OK);
  CHECK(result == "2005-04-27 12:34:56.789");
  if (number != 6) std::printf("  VT_BYREF|VT_I4 key after the call: %ld\n", number);
  CHECK(number == 6);

  BSTR text_key = ::SysAllocString(L"53190427");
  V_VT(&key) = VT_BYREF | VT_BSTR;
  V_BSTRREF(&key) = &text_key;
  result.clear();
  CHECK(invoke(key, result) == S_OK);
  CHECK(result == "2005-04-27 12:34:56.789");
  CHECK(text_key != nullptr && std::wcscmp(text_key, L"6") == 0);
  ::SysFreeString(text_key);

  double real = 53190427;
  V_VT(&key) = VT_BYREF | VT_R8;
  V_R8REF(&key) = &real;
  CHECK(invoke(key, result) == S_OK);
  CHECK(real == 6);
  dispatch->Release();
  control->Release();
}

// What the core throws comes back as an HRESULT, with the library's
// message in the error information.
void CaseBoundary() {
  IUnknown* control = Create();
  IViewObject* view = As<IViewObject>(control, IID_IViewObject);
  CHECK(view != nullptr);
  if (view != nullptr) {
    HDC dc = ::CreateCompatibleDC(nullptr);
    HBITMAP bitmap = ::CreateBitmap(353, 167, 1, 32, nullptr);
    HGDIOBJ old = ::SelectObject(dc, bitmap);
    const RECTL bounds{0, 0, 353, 167};
    // The process's GDI handles all taken: the panel's text engine cannot
    // make the bitmaps it draws its texts with, and throws.
    std::vector<HRGN> taken;
    while (taken.size() < 200000) {
      HRGN region = ::CreateRectRgn(0, 0, 1, 1);
      if (region == nullptr) break;
      taken.push_back(region);
    }
    ::SetErrorInfo(0, nullptr);
    const HRESULT starved =
        view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0);
    for (HRGN region : taken) ::DeleteObject(region);
    std::printf("  Draw with no GDI handle left (%zu taken): 0x%08lX\n", taken.size(),
                static_cast<unsigned long>(starved));
    CHECK(starved == static_cast<HRESULT>(0x800A0033));  // internal error, 51
    IErrorInfo* info = nullptr;
    BSTR description = nullptr;
    CHECK(::GetErrorInfo(0, &info) == S_OK && info != nullptr &&
          SUCCEEDED(info->GetDescription(&description)) && ::SysStringLen(description) > 0);
    if (description != nullptr) std::printf("  its error: %s\n", Narrow(description).c_str());
    ::SysFreeString(description);
    if (info != nullptr) info->Release();
    // With handles back the same control draws again.
    CHECK(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr,
                     nullptr, 0) == S_OK);
    ::SelectObject(dc, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(dc);
    view->Release();
  }
  // The library's own error (a key of no type DeCrypt takes) reaches the
  // caller as its number, 13, with its message.
  if (IDispatch* dispatch = As<IDispatch>(control, IID_IDispatch)) {
    LPOLESTR name = const_cast<LPOLESTR>(L"DeCrypt");
    DISPID id = 0;
    CHECK(SUCCEEDED(dispatch->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id)));
    VARIANT args[2];
    V_VT(&args[1]) = VT_BSTR;
    V_BSTR(&args[1]) = ::SysAllocString(L"40763,6-98&-4::5@18.>9?");
    V_VT(&args[0]) = VT_DISPATCH;
    V_DISPATCH(&args[0]) = nullptr;
    DISPPARAMS params{args, nullptr, 2, 0};
    EXCEPINFO exception{};
    VARIANT out;
    ::VariantInit(&out);
    const HRESULT hr = dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                        &params, &out, &exception, nullptr);
    CHECK(hr == DISP_E_EXCEPTION && exception.scode == static_cast<HRESULT>(0x800A000D));
    CHECK(exception.bstrDescription != nullptr &&
          std::wstring(exception.bstrDescription).find(L"type mismatch") != std::wstring::npos);
    ::SysFreeString(exception.bstrDescription);
    ::SysFreeString(exception.bstrSource);
    ::SysFreeString(exception.bstrHelpFile);
    ::VariantClear(&out);
    ::VariantClear(&args[1]);
    dispatch->Release();
  }
  control->Release();
}

// A page's param elements: a bag of texts, read as asked, and the error
// log a page host passes with it.
class TextBag final : public IPropertyBag, public IErrorLog {
 public:
  std::map<std::wstring, std::wstring> Values;
  std::vector<std::wstring> Logged;
  std::vector<std::wstring> Asked;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
    Asked.emplace_back(name);
    const auto found = Values.find(name);
    if (found == Values.end()) return E_INVALIDARG;
    VARIANT text;
    V_VT(&text) = VT_BSTR;
    V_BSTR(&text) = ::SysAllocString(found->second.c_str());
    const VARTYPE wanted = V_VT(value);
    HRESULT hr = S_OK;
    if (wanted == VT_EMPTY || wanted == VT_BSTR) {
      *value = text;
      return S_OK;
    }
    hr = ::VariantChangeType(value, &text, 0, wanted);
    ::VariantClear(&text);
    return hr;
  }
  HRESULT STDMETHODCALLTYPE Write(LPCOLESTR, VARIANT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE AddError(LPCOLESTR name, EXCEPINFO*) override {
    Logged.emplace_back(name);
    return S_OK;
  }
};

// The saved stream: version 1 still loads, a "later" build's longer
// record loads what this build knows and leaves the stream past it, a
// damaged header is refused; a bad bag value is skipped and logged.
void CaseStream() {
  IUnknown* control = Create();
  auto* persist = As<IPersistStreamInit>(control, IID_IPersistStreamInit);
  auto* object = As<IOleObject>(control, IID_IOleObject);
  CHECK(persist != nullptr && object != nullptr);
  if (persist == nullptr || object == nullptr) return;
  // Loads `words` followed by a marker the next control of a form would
  // own; the marker must be what comes next.
  const auto load = [&](std::vector<std::uint32_t> words) {
    words.push_back(0xC0FFEEu);
    IStream* stream = nullptr;
    ::CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    stream->Write(words.data(), static_cast<ULONG>(words.size() * 4), nullptr);
    const LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    const HRESULT hr = persist->Load(stream);
    std::uint32_t next = 0;
    if (SUCCEEDED(hr)) CHECK(SUCCEEDED(stream->Read(&next, 4, nullptr)) && next == 0xC0FFEEu);
    stream->Release();
    return hr;
  };
  const auto extent_is = [&](LONG cx, LONG cy) {
    SIZEL size{};
    object->GetExtent(DVASPECT_CONTENT, &size);
    if (size.cx != cx || size.cy != cy) std::printf("  extent %ld x %ld\n", size.cx, size.cy);
    return size.cx == cx && size.cy == cy;
  };
  CHECK(load({1, 7000, 2000}) == S_OK);
  CHECK(extent_is(7000, 2000));
  // Version 3, with 12 bytes of fields this build has never heard of.
  CHECK(load({3, 20, 7100, 2100, 0xAAAAAAAAu, 0xBBBBBBBBu, 0xCCCCCCCCu}) == S_OK);
  CHECK(extent_is(7100, 2100));
  // A record too short for its fields, absurdly long, or of version 0.
  CHECK(FAILED(load({2, 4, 7200})));
  CHECK(FAILED(load({2, 0x7FFFFFFFu, 7200, 2200})));
  CHECK(FAILED(load({0, 7200, 2200})));
  CHECK(extent_is(7100, 2100));
  // What this build saves: version 2, its length, the extent.
  IStream* saved = nullptr;
  ::CreateStreamOnHGlobal(nullptr, TRUE, &saved);
  CHECK(SUCCEEDED(persist->Save(saved, TRUE)));
  STATSTG stat{};
  saved->Stat(&stat, STATFLAG_NONAME);
  ULARGE_INTEGER most{};
  persist->GetSizeMax(&most);
  std::uint32_t words[4] = {};
  const LARGE_INTEGER start{};
  saved->Seek(start, STREAM_SEEK_SET, nullptr);
  saved->Read(words, sizeof words, nullptr);
  saved->Release();
  CHECK(stat.cbSize.QuadPart == 16 && most.QuadPart == 16);
  CHECK(words[0] == 2 && words[1] == 8 && words[2] == 7100 && words[3] == 2100);
  persist->Release();

  // A page: one bad value and one fine one; the bad one is skipped and
  // logged, the control loads.
  if (auto* bag_persist = As<IPersistPropertyBag>(control, IID_IPersistPropertyBag)) {
    TextBag bag;
    bag.Values[L"_ExtentX"] = L"wide";
    bag.Values[L"_ExtentY"] = L"3000";
    CHECK(bag_persist->Load(&bag, &bag) == S_OK);
    CHECK(extent_is(9340, 3000));
    CHECK(bag.Logged.size() == 1 && bag.Logged[0] == L"_ExtentX");
    bag.Values[L"_ExtentX"] = L"5000";
    bag.Values[L"_ExtentY"] = L"1000000";
    bag.Logged.clear();
    CHECK(bag_persist->Load(&bag, &bag) == S_OK);
    CHECK(extent_is(5000, 4419));
    CHECK(bag.Logged.size() == 1 && bag.Logged[0] == L"_ExtentY");
    // Without a log, the same.
    CHECK(bag_persist->Load(&bag, nullptr) == S_OK);
    bag_persist->Release();
  }
  object->Release();
  control->Release();
}

// The picture `draw` paints into a white 353 x 167 bitmap, a pixel each.
using Picture = std::vector<std::uint32_t>;
Picture Drawn(const std::function<void(HDC, const RECT&)>& draw) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = 353;
  info.bmiHeader.biHeight = -167;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  HDC dc = ::CreateCompatibleDC(nullptr);
  void* bits = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  Picture pixels;
  if (bitmap != nullptr && bits != nullptr) {
    HGDIOBJ old = ::SelectObject(dc, bitmap);
    ::PatBlt(dc, 0, 0, 353, 167, WHITENESS);
    draw(dc, RECT{0, 0, 353, 167});
    ::GdiFlush();
    const auto* first = static_cast<const std::uint32_t*>(bits);
    pixels.assign(first, first + 353 * 167);
    ::SelectObject(dc, old);
    ::DeleteObject(bitmap);
  }
  ::DeleteDC(dc);
  return pixels;
}
Picture DrawnByView(IUnknown* control) {
  IViewObject* view = As<IViewObject>(control, IID_IViewObject);
  if (view == nullptr) return {};
  Picture pixels = Drawn([&](HDC dc, const RECT& rect) {
    const RECTL bounds{rect.left, rect.top, rect.right, rect.bottom};
    CHECK(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr,
                     nullptr, 0) == S_OK);
  });
  view->Release();
  return pixels;
}
// Share of pixels two pictures have alike, 0..1.
double Alike(const Picture& a, const Picture& b) {
  if (a.empty() || a.size() != b.size()) return 0;
  std::size_t same = 0;
  for (std::size_t i = 0; i < a.size(); ++i) same += (a[i] & 0xFFFFFFu) == (b[i] & 0xFFFFFFu);
  return static_cast<double>(same) / static_cast<double>(a.size());
}
// Whether a picture shows more than one colour (the panel, not a blank).
bool Painted(const Picture& picture) {
  for (std::uint32_t pixel : picture) {
    if ((pixel & 0xFFFFFFu) != (picture[0] & 0xFFFFFFu)) return true;
  }
  return false;
}

// A document host: OleCreate with OLERENDER_DRAW into a storage, OleRun,
// OleDraw, the picture as data, OleSave, OleLoad and OleDraw again.
void CaseDocument() {
  ILockBytes* bytes = nullptr;
  IStorage* storage = nullptr;
  CHECK(SUCCEEDED(::CreateILockBytesOnHGlobal(nullptr, TRUE, &bytes)));
  CHECK(SUCCEEDED(::StgCreateDocfileOnILockBytes(
      bytes, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, &storage)));
  if (storage == nullptr) return;
  // OleCreate and OleLoad create by class: the class object, registered
  // for this process (this step runs without the library's registration).
  const CLSID clsid = borvane::ToPlatformGuid(borvane::identity::kClientClsid);
  DWORD registration = 0;
  if (IClassFactory* factory = Factory()) {
    CHECK(SUCCEEDED(::CoRegisterClassObject(clsid, factory, CLSCTX_INPROC_SERVER,
                                            REGCLS_MULTIPLEUSE, &registration)));
    factory->Release();
  }
  Site site;
  site.Parent = NewParent();
  IOleObject* object = nullptr;
  const HRESULT created = ::OleCreate(clsid, IID_IOleObject, OLERENDER_DRAW, nullptr, &site,
                                      storage, reinterpret_cast<void**>(&object));
  if (FAILED(created)) std::printf("  OleCreate: 0x%08lX\n", static_cast<unsigned long>(created));
  CHECK(created == S_OK && object != nullptr);
  if (object == nullptr) {
    storage->Release();
    bytes->Release();
    ::CoRevokeClassObject(registration);
    ::DestroyWindow(site.Parent);
    return;
  }
  CHECK(::OleRun(object) == S_OK);
  // The document's cache holds the drawing OleCreate asked for.
  if (auto* cache = As<IOleCache>(object, IID_IOleCache)) {
    IEnumSTATDATA* entries = nullptr;
    STATDATA entry{};
    CHECK(SUCCEEDED(cache->EnumCache(&entries)) && entries != nullptr &&
          entries->Next(1, &entry, nullptr) == S_OK);
    if (entry.pAdvSink != nullptr) entry.pAdvSink->Release();
    if (entries != nullptr) entries->Release();
    cache->Release();
  } else {
    CHECK(!"IOleCache");
  }
  const Picture by_view = DrawnByView(object);
  const Picture by_ole = Drawn([&](HDC dc, const RECT& rect) {
    CHECK(::OleDraw(object, DVASPECT_CONTENT, dc, &rect) == S_OK);
  });
  CHECK(Painted(by_view) && Alike(by_ole, by_view) == 1.0);
  // The picture as data, played back, is the drawn one.
  if (auto* data = As<IDataObject>(object, IID_IDataObject)) {
    FORMATETC enhanced{CF_ENHMETAFILE, nullptr, DVASPECT_CONTENT, -1, TYMED_ENHMF};
    STGMEDIUM medium{};
    CHECK(data->GetData(&enhanced, &medium) == S_OK && medium.tymed == TYMED_ENHMF);
    const Picture played = Drawn([&](HDC dc, const RECT& rect) {
      CHECK(::PlayEnhMetaFile(dc, medium.hEnhMetaFile, &rect) != FALSE);
    });
    ::ReleaseStgMedium(&medium);
    std::printf("  enhanced metafile alike %.4f, ", Alike(played, by_view));
    CHECK(Alike(played, by_view) > 0.99);
    FORMATETC old_style{CF_METAFILEPICT, nullptr, DVASPECT_CONTENT, -1, TYMED_MFPICT};
    medium = STGMEDIUM{};
    CHECK(data->GetData(&old_style, &medium) == S_OK && medium.tymed == TYMED_MFPICT);
    SIZEL extent{};
    object->GetExtent(DVASPECT_CONTENT, &extent);
    const Picture old_played = Drawn([&](HDC dc, const RECT& rect) {
      const auto* picture = static_cast<const METAFILEPICT*>(::GlobalLock(medium.hMetaFilePict));
      CHECK(picture != nullptr && picture->mm == MM_ANISOTROPIC && picture->xExt == extent.cx &&
            picture->yExt == extent.cy);
      if (picture == nullptr) return;
      ::SetMapMode(dc, MM_ANISOTROPIC);
      ::SetViewportExtEx(dc, rect.right, rect.bottom, nullptr);
      CHECK(::PlayMetaFile(dc, picture->hMF) != FALSE);
      ::GlobalUnlock(medium.hMetaFilePict);
    });
    ::ReleaseStgMedium(&medium);
    std::printf("metafile picture alike %.4f\n", Alike(old_played, by_view));
    CHECK(Alike(old_played, by_view) > 0.99);
    FORMATETC bitmap{CF_BITMAP, nullptr, DVASPECT_CONTENT, -1, TYMED_GDI};
    CHECK(data->QueryGetData(&bitmap) == DV_E_FORMATETC);
    data->Release();
  }
  // Saved with an extent of the host's, loaded into a new control.
  SIZEL stored{7000, 3000};
  CHECK(object->SetExtent(DVASPECT_CONTENT, &stored) == S_OK);
  if (auto* persist = As<IPersistStorage>(object, IID_IPersistStorage)) {
    const HRESULT saved = ::OleSave(persist, storage, TRUE);
    if (FAILED(saved)) std::printf("  OleSave: 0x%08lX\n", static_cast<unsigned long>(saved));
    CHECK(saved == S_OK);
    CHECK(persist->SaveCompleted(nullptr) == S_OK);
    persist->Release();
  }
  Finish(nullptr, object);
  IOleObject* loaded = nullptr;
  const HRESULT load = ::OleLoad(storage, IID_IOleObject, &site, reinterpret_cast<void**>(&loaded));
  if (FAILED(load)) std::printf("  OleLoad: 0x%08lX\n", static_cast<unsigned long>(load));
  CHECK(load == S_OK && loaded != nullptr);
  if (loaded != nullptr) {
    SIZEL extent{};
    loaded->GetExtent(DVASPECT_CONTENT, &extent);
    CHECK(extent.cx == 7000 && extent.cy == 3000);
    const Picture again = Drawn([&](HDC dc, const RECT& rect) {
      CHECK(::OleDraw(loaded, DVASPECT_CONTENT, dc, &rect) == S_OK);
    });
    CHECK(Painted(again) && Alike(again, DrawnByView(loaded)) == 1.0);
    Finish(nullptr, loaded);
  }
  storage->Release();
  bytes->Release();
  ::CoRevokeClassObject(registration);
  CHECK(site.References() == 0);
  ::DestroyWindow(site.Parent);
}

// A page host's activation: IQuickActivate in one call.
void CaseQuick() {
  IUnknown* control = Create();
  auto* quick = As<IQuickActivate>(control, IID_IQuickActivate);
  IOleObject* object = As<IOleObject>(control, IID_IOleObject);
  CHECK(quick != nullptr && object != nullptr);
  if (quick == nullptr || object == nullptr) return;
  Site site;
  site.Parent = NewParent();
  QACONTAINER container{};
  container.cbSize = sizeof(container);
  container.pClientSite = &site;
  container.pAdviseSink = &site;
  container.dwAmbientFlags = QACONTAINER_USERMODE;
  QACONTROL answer{};
  answer.cbSize = sizeof(answer);
  CHECK(quick->QuickActivate(&container, &answer) == S_OK);
  DWORD status = 0;
  object->GetMiscStatus(DVASPECT_CONTENT, &status);
  CHECK(status != 0 && answer.dwMiscStatus == status);
  IOleClientSite* kept = nullptr;
  CHECK(object->GetClientSite(&kept) == S_OK && kept == &site);
  if (kept != nullptr) kept->Release();
  SIZEL extent{8000, 3000};
  SIZEL read{};
  CHECK(quick->SetContentExtent(&extent) == S_OK);
  CHECK(quick->GetContentExtent(&read) == S_OK && read.cx == 8000 && read.cy == 3000);
  // Activated, it paints and tells the view sink the host passed.
  RECT place{0, 0, 353, 167};
  CHECK(object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, site.Parent, &place) == S_OK);
  CHECK(PumpUntil(3000, [&] { return site.ViewChanges > 0; }));
  quick->Release();
  Finish(control, object);
  CHECK(site.References() == 0);
  ::DestroyWindow(site.Parent);
}

// Safety options on every interface a page host asks about, on the same
// grounds: scripts reach only DisplayTime and DeCrypt, pages set only the
// extent.
void CaseSafety() {
  IUnknown* control = Create();
  auto* safety = As<IObjectSafety>(control, IID_IObjectSafety);
  CHECK(safety != nullptr);
  if (safety == nullptr) return;
  constexpr DWORD kBoth = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;
  CHECK(safety->SetInterfaceSafetyOptions(IID_IDispatch, INTERFACESAFE_FOR_UNTRUSTED_DATA,
                                          INTERFACESAFE_FOR_UNTRUSTED_DATA) == S_OK);
  CHECK(safety->SetInterfaceSafetyOptions(IID_IDispatch, INTERFACESAFE_FOR_UNTRUSTED_CALLER,
                                          INTERFACESAFE_FOR_UNTRUSTED_CALLER) == S_OK);
  const IID asked[] = {IID_IDispatch, borvane::ToPlatformGuid(borvane::identity::kClientIid),
                       IID_IPersistPropertyBag, IID_IPersistStreamInit, IID_IPersistStorage,
                       IID_IUnknown};
  for (const IID& iid : asked) {
    DWORD supported = 0;
    DWORD enabled = 0;
    CHECK(safety->GetInterfaceSafetyOptions(iid, &supported, &enabled) == S_OK &&
          supported == kBoth && enabled == kBoth);
  }
  CHECK(safety->SetInterfaceSafetyOptions(IID_IOleLink, INTERFACESAFE_FOR_UNTRUSTED_DATA,
                                          INTERFACESAFE_FOR_UNTRUSTED_DATA) == E_NOINTERFACE);
  CHECK(safety->SetInterfaceSafetyOptions(IID_IDispatch, INTERFACE_USES_DISPEX,
                                          INTERFACE_USES_DISPEX) == E_FAIL);
  safety->Release();
  // No member a script could set the service address with, and a page's
  // params are read for the extent only.
  if (IDispatch* dispatch = As<IDispatch>(control, IID_IDispatch)) {
    for (const wchar_t* name : {L"ServiceUrl", L"Url", L"Service", L"Server"}) {
      LPOLESTR asked_name = const_cast<LPOLESTR>(name);
      DISPID id = 0;
      CHECK(FAILED(dispatch->GetIDsOfNames(IID_NULL, &asked_name, 1, LOCALE_USER_DEFAULT, &id)));
    }
    dispatch->Release();
  }
  if (auto* bag_persist = As<IPersistPropertyBag>(control, IID_IPersistPropertyBag)) {
    TextBag page;
    page.Values[L"ServiceUrl"] = L"http://192.0.2.1/";
    page.Values[L"Url"] = L"http://192.0.2.1/";
    page.Values[L"_ExtentX"] = L"5000";
    CHECK(bag_persist->Load(&page, &page) == S_OK);
    for (const std::wstring& name : page.Asked) CHECK(name.rfind(L"_Extent", 0) == 0);
    bag_persist->Release();
  }
  control->Release();
}

// Tab and Shift+Tab in a host that pre-translates keys: four stops (two
// buttons, two check boxes), then the key is the host's.
void CaseTab() {
  Site site;
  const auto [control, object, window] = Place(site);
  if (object == nullptr) return;
  auto* active = As<IOleInPlaceActiveObject>(control, IID_IOleInPlaceActiveObject);
  CHECK(active != nullptr);
  if (active != nullptr) {
    BYTE keys[256] = {};
    const Picture unfocused = DrawnByView(control);
    int focus_shown = 0;
    for (const bool shift : {false, true}) {
      keys[VK_SHIFT] = shift ? 0x80 : 0;
      ::SetKeyboardState(keys);
      std::string stops;
      for (int press = 0; press < 5; ++press) {
        MSG tab{window, WM_KEYDOWN, VK_TAB, 0, 0, {0, 0}};
        const HRESULT hr = active->TranslateAccelerator(&tab);
        stops += hr == S_OK ? 'S' : (hr == S_FALSE ? '-' : '?');
        if (!shift && hr == S_OK && Alike(DrawnByView(control), unfocused) < 1.0) ++focus_shown;
      }
      std::printf("  %s: %s\n", shift ? "Shift+Tab" : "Tab", stops.c_str());
      CHECK(stops == "SSSS-");
    }
    keys[VK_SHIFT] = 0;
    ::SetKeyboardState(keys);
    // The check boxes, at least, show where the focus is.
    CHECK(focus_shown >= 2);
    MSG letter{window, WM_KEYDOWN, 'A', 0, 0, {0, 0}};
    CHECK(active->TranslateAccelerator(&letter) == S_FALSE);
    active->Release();
  }
  Finish(control, object);
  ::DestroyWindow(site.Parent);
}

// SetObjectRects: the clip rectangle cuts the window; the extent follows
// the size the host gives.
void CaseClip() {
  Site site;
  const auto [control, object, window] = Place(site);
  if (object == nullptr) return;
  auto* in_place = As<IOleInPlaceObject>(control, IID_IOleInPlaceObject);
  CHECK(in_place != nullptr);
  if (in_place != nullptr) {
    HRGN region = ::CreateRectRgn(0, 0, 0, 0);
    const auto window_region = [&](RECT* box) {
      const int kind = ::GetWindowRgn(window, region);
      if (kind != ERROR) ::GetRgnBox(region, box);
      return kind;
    };
    RECT box{};
    const RECT place{20, 10, 373, 177};
    const RECT clip{0, 0, 120, 60};
    CHECK(in_place->SetObjectRects(&place, &clip) == S_OK);
    CHECK(window_region(&box) == SIMPLEREGION && box.left == 0 && box.top == 0 &&
          box.right == 100 && box.bottom == 50);
    const RECT everything{-100, -100, 2000, 2000};
    CHECK(in_place->SetObjectRects(&place, &everything) == S_OK);
    CHECK(window_region(&box) == ERROR);  // no region: all of it shows
    ::DeleteObject(region);

    HDC screen = ::GetDC(nullptr);
    const int dpi_x = ::GetDeviceCaps(screen, LOGPIXELSX);
    const int dpi_y = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    const RECT larger{0, 0, 400, 200};
    CHECK(in_place->SetObjectRects(&larger, &larger) == S_OK);
    SIZEL extent{};
    object->GetExtent(DVASPECT_CONTENT, &extent);
    std::printf("  400 x 200 px at %d dpi: extent %ld x %ld\n", dpi_x, extent.cx, extent.cy);
    CHECK(extent.cx == ::MulDiv(400, 2540, dpi_x) && extent.cy == ::MulDiv(200, 2540, dpi_y));
    // An extent of the host's own that rounds to the same pixels stays.
    SIZEL rounded{extent.cx + 1, extent.cy};
    CHECK(object->SetExtent(DVASPECT_CONTENT, &rounded) == S_OK);
    CHECK(in_place->SetObjectRects(&larger, &larger) == S_OK);
    object->GetExtent(DVASPECT_CONTENT, &extent);
    CHECK(extent.cx == rounded.cx && extent.cy == rounded.cy);
    in_place->Release();
  }
  Finish(control, object);
  ::DestroyWindow(site.Parent);
}

struct Case {
  const char* Name;
  void (*Run)();
};
constexpr Case kCases[] = {
    {"hung", &CaseHung},          {"cancel", &CaseCancel},     {"rects", &CaseRects},
    {"release", &CaseRelease},    {"reactivate", &CaseReactivate}, {"lock", &CaseLock},
    {"decrypt", &CaseDecrypt},    {"boundary", &CaseBoundary}, {"stream", &CaseStream},
    {"document", &CaseDocument},  {"quick", &CaseQuick},       {"safety", &CaseSafety},
    {"tab", &CaseTab},            {"clip", &CaseClip},
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::printf("usage: probe_host OCX [CASE...]\n");
    return 2;
  }
  CHECK(SUCCEEDED(::OleInitialize(nullptr)));
  g_Ocx = ::LoadLibraryW(argv[1]);
  CHECK(g_Ocx != nullptr);
  if (g_Ocx == nullptr) return 1;
  using CanUnload = HRESULT(STDAPICALLTYPE*)();
  g_GetClass = reinterpret_cast<GetClassObject>(
      reinterpret_cast<void*>(::GetProcAddress(g_Ocx, "DllGetClassObject")));
  auto can_unload = reinterpret_cast<CanUnload>(
      reinterpret_cast<void*>(::GetProcAddress(g_Ocx, "DllCanUnloadNow")));
  CHECK(g_GetClass != nullptr && can_unload != nullptr);
  if (g_GetClass == nullptr || can_unload == nullptr) return 1;
  // Loaded once before any timing: the first creation reads the type
  // library from the file.
  if (IUnknown* warm = Create()) warm->Release();

  for (const Case& probe : kCases) {
    bool wanted = argc == 2;
    for (int i = 2; i < argc; ++i) wanted = wanted || Narrow(argv[i]) == probe.Name;
    if (!wanted) continue;
    const int failures_before = wine_check::g_Failures;
    std::printf("%s\n", probe.Name);
    std::fflush(stdout);
    probe.Run();
    Pump(100);
    // Nothing of the case is left holding the module.
    CHECK(can_unload() == S_OK);
    std::printf("%s: %s\n", probe.Name, wine_check::g_Failures == failures_before ? "ok" : "FAILED");
    std::fflush(stdout);
  }
  ::OleUninitialize();
  std::printf("%d checks, %d failed\n", wine_check::g_Checks, wine_check::g_Failures);
  return wine_check::g_Failures == 0 ? 0 : 1;
}
