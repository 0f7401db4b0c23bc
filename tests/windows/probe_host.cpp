// probe_host OCX [CASE...]: a host that embeds the control the hard way,
// one table of cases, each a way real hosts have broken it:
//   hung        a service that accepts and never answers: creation returns
//               within 50 ms, a host timer keeps firing during the query,
//               and the status line shows the failure after the deadline;
//   cancel      the host closes and releases the control from a timer
//               while its query waits: the wait ends at once;
//   ticks       the control's own timers count the ticks that fall while
//               it waits, and make them up afterwards;
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
//               logged.
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

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "library/identity.h"
#include "platform/windows/variant_convert.h"
#include "platform/windows/win_event_loop.h"
#include "tests/windows/wine_check.h"

namespace wine_check {
int g_Checks = 0;
int g_Failures = 0;
}  // namespace wine_check

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

// Runs the thread's messages for `ms` milliseconds, or until `done`.
bool PumpUntil(DWORD ms, const std::function<bool()>& done) {
  const ULONGLONG end = ::GetTickCount64() + ms;
  for (;;) {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
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

// A loopback listener that takes connections into its backlog and never
// answers: the kernel completes the handshake, the request waits forever.
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
    ::getsockname(m_Socket, reinterpret_cast<sockaddr*>(&address), &length);
    Url = L"http://127.0.0.1:" + std::to_wstring(ntohs(address.sin_port));
  }
  ~SilentService() {
    ::closesocket(m_Socket);
    ::WSACleanup();
  }
  std::wstring Url;

 private:
  SOCKET m_Socket = INVALID_SOCKET;
};

// The site of one embedded control: client site, in-place site in a
// parent window of the panel's size, and advise sink. With
// ReleaseInDeactivate it lets go of the control inside OnInPlaceDeactivate.
class Site final : public IOleClientSite, public IOleInPlaceSite, public IAdviseSink {
 public:
  HWND Parent = nullptr;
  IUnknown* Control = nullptr;  // the site's own reference, when it keeps one
  bool ReleaseInDeactivate = false;
  int Closed = 0;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite)) {
      *out = static_cast<IOleClientSite*>(this);
    } else if (IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IOleInPlaceSite)) {
      *out = static_cast<IOleInPlaceSite*>(this);
    } else if (IsEqualIID(iid, IID_IAdviseSink)) {
      *out = static_cast<IAdviseSink*>(this);
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
  void STDMETHODCALLTYPE OnViewChange(DWORD, LONG) override {}
  void STDMETHODCALLTYPE OnRename(IMoniker*) override {}
  void STDMETHODCALLTYPE OnSave() override {}
  void STDMETHODCALLTYPE OnClose() override { ++Closed; }

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

IUnknown* s_Control;
IOleObject* s_Object;
SteadyClock::time_point s_ReleasedAt;
bool s_Released;
void CALLBACK LetGo(HWND, UINT, UINT_PTR id, DWORD) {
  ::KillTimer(nullptr, id);
  s_ReleasedAt = SteadyClock::now();
  s_Released = true;
  Finish(s_Control, s_Object);
}

void CaseHung() {
  SilentService service;
  ::SetEnvironmentVariableW(L"BORVANE_SERVICE_URL", service.Url.c_str());
  const auto start = SteadyClock::now();
  double created_ms = 0;
  IUnknown* control = Create(&created_ms);
  std::printf("  CreateInstance against a silent service: %.1f ms\n", created_ms);
  CHECK(created_ms < 50);
  IOleObject* object = As<IOleObject>(control, IID_IOleObject);
  CHECK(object != nullptr);
  if (object == nullptr) return;
  Site site;
  site.Parent = NewParent();
  const HWND window = Activate(object, site);

  // The host's own timer while the first query waits: it keeps firing
  // (the longest gap between two ticks is far below the wait).
  s_HostTicks = 0;
  s_LastTick = SteadyClock::now();
  s_LongestGapMs = 0;
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, &HostTick);
  const bool failed =
      PumpUntil(15000, [&] { return WindowText(window).find(L"(35750)") != std::wstring::npos; });
  const double failed_after_ms = MsSince(start);
  if (!failed) std::printf("  status line: %s\n", Narrow(WindowText(window).c_str()).c_str());
  CHECK(failed);
  std::printf("  failure shown %.1f s after creation; host timer: %d ticks, longest gap %.0f ms\n",
              failed_after_ms / 1000, s_HostTicks, s_LongestGapMs);
  // The deadline is 10 s from the query's start, and no later.
  CHECK(failed_after_ms > 9000 && failed_after_ms < 11500);
  CHECK(s_HostTicks >= 100);
  CHECK(s_LongestGapMs < 500);
  ::KillTimer(nullptr, timer);
  Finish(control, object);
  ::DestroyWindow(site.Parent);
}

void CaseCancel() {
  SilentService service;
  ::SetEnvironmentVariableW(L"BORVANE_SERVICE_URL", service.Url.c_str());
  IUnknown* control = Create();
  IOleObject* object = As<IOleObject>(control, IID_IOleObject);
  CHECK(object != nullptr);
  if (object == nullptr) return;
  Site site;
  site.Parent = NewParent();
  Activate(object, site);
  // One second into the wait, the host lets go from a timer of its own:
  // the wait that runs that timer must end at once, not at the deadline.
  s_Control = control;
  s_Object = object;
  s_Released = false;
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 1000, &LetGo);
  using CanUnload = HRESULT(STDAPICALLTYPE*)();
  auto can_unload = reinterpret_cast<CanUnload>(
      reinterpret_cast<void*>(::GetProcAddress(g_Ocx, "DllCanUnloadNow")));
  const bool ended = PumpUntil(12000, [&] { return s_Released && can_unload() == S_OK; });
  CHECK(ended);
  if (ended) {
    std::printf("  the control ended %.1f ms after the host let go during its query\n",
                MsSince(s_ReleasedAt));
    CHECK(MsSince(s_ReleasedAt) < 1000);
  }
  ::KillTimer(nullptr, timer);
  CHECK(site.References() == 0);
  ::DestroyWindow(site.Parent);
}

// The control's event loop on a window of this program: ticks that fall
// while it is held are counted and made up after.
LRESULT CALLBACK LoopWindow(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* loop = reinterpret_cast<borvane::WinEventLoop*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (loop != nullptr && message == WM_TIMER && loop->Dispatch(wparam)) return 0;
  if (loop != nullptr && message == borvane::WinEventLoop::kReplayMessage) {
    loop->ReplayMissed();
    return 0;
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

void CaseTicks() {
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = &LoopWindow;
  window_class.lpszClassName = L"probe.loop";
  ::RegisterClassW(&window_class);
  HWND window = ::CreateWindowExW(0, L"probe.loop", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  nullptr, nullptr);
  borvane::WinEventLoop loop;
  ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&loop));
  int ticks = 0;
  loop.StartRepeating(100, [&] { ++ticks; });
  loop.Attach(window);
  loop.SetHeld(true);
  Pump(1500);
  CHECK(ticks == 0);
  const auto missed = loop.MissedTicks();
  std::printf("  ticks counted during a 1.5 s hold: %llu\n", static_cast<unsigned long long>(missed));
  CHECK(missed >= 5);
  loop.SetHeld(false);
  Pump(100);
  CHECK(ticks >= static_cast<int>(missed));
  CHECK(loop.MissedTicks() == 0);
  loop.Attach(nullptr);
  ::DestroyWindow(window);
}

void CaseRects() {
  IUnknown* control = Create();
  IOleObject* object = As<IOleObject>(control, IID_IOleObject);
  CHECK(object != nullptr);
  if (object == nullptr) return;
  Site site;
  site.Parent = NewParent();
  Activate(object, site);
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
  IUnknown* control = Create();
  IOleObject* object = As<IOleObject>(control, IID_IOleObject);
  CHECK(object != nullptr);
  if (object == nullptr) return;
  Site site;
  site.Parent = NewParent();
  Activate(object, site);
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
  IUnknown* control = Create();
  IOleObject* object = As<IOleObject>(control, IID_IOleObject);
  CHECK(object != nullptr);
  if (object == nullptr) return;
  Site site;
  site.Parent = NewParent();
  const HWND first = Activate(object, site);
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

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
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

struct Case {
  const char* Name;
  void (*Run)();
};
constexpr Case kCases[] = {
    {"hung", &CaseHung},       {"cancel", &CaseCancel},         {"ticks", &CaseTicks},
    {"rects", &CaseRects},     {"release", &CaseRelease},       {"reactivate", &CaseReactivate},
    {"lock", &CaseLock},       {"decrypt", &CaseDecrypt},       {"boundary", &CaseBoundary},
    {"stream", &CaseStream},
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
