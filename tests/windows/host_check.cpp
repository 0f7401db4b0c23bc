// host_check SNAPSHOT.png QUERY_LOG HOURLY_DIR: the registered control
// inside the platform's own control host window (atl100's AtlAxWin100, created with
// the ProgID as its text), against `borvane serve` on loopback:
//   - the control answers IOleObject and IViewObject;
//   - a BitBlt of the host window matches the Linux panel's snapshot on
//     the parts no font draws (frame edges, separator, button faces, check
//     boxes) and shows the Beijing time in its colour;
//   - a click under 查询's centre makes exactly one more query reach the
//     service (QUERY_LOG: the service's --report-queries lines);
//   - IViewObject::Draw into a memory DC gives the window's picture;
//   - stream and property-bag persistence keep what was stored;
//   - with no service, the failed first query shows in the status line;
//   - the hourly re-check fires through the tick: the host asks for a
//     service answering hh:59:59 by writing HOURLY_DIR\ready, reads its
//     address from HOURLY_DIR\url and expects the clock-setting refusal in
//     the status line (the process may not set the clock);
//   - destroying the host releases everything (DllCanUnloadNow is S_OK).
// With BORVANE_HOST_PICTURE set, the window's picture is written there as
// a BMP. Prints each failed check; exits 1 when any failed.

#include <windows.h>
#include <objidl.h>
#include <ocidl.h>
#include <oleidl.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "platform/windows/variant_convert.h"
#include "tests/windows/png_reader.h"
#include "tests/windows/wine_check.h"

namespace {

using borvane::Narrow;
using borvane::Widen;
using host_check::Picture;

constexpr int kWidth = 353;
constexpr int kHeight = 167;

using AxWinInit = BOOL(WINAPI*)();
using AxGetControl = HRESULT(WINAPI*)(HWND, IUnknown**);
AxGetControl g_GetControl = nullptr;

// An export by name as the function type it has.
template <typename Function>
Function Export(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

// Runs the message loop for `ms` milliseconds, or until `done` says so.
template <typename Done>
bool PumpUntil(DWORD ms, Done done) {
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
void Pump(DWORD ms) {
  PumpUntil(ms, [] { return false; });
}

std::string ReadText(const std::wstring& path) {
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string text(::GetFileSize(file, nullptr), '\0');
  DWORD read = 0;
  ::ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &read, nullptr);
  ::CloseHandle(file);
  text.resize(read);
  return text;
}

// The service's count of answered time queries, from its log.
unsigned long Queries(const std::wstring& log) {
  const std::string text = ReadText(log);
  unsigned long count = 0;
  for (std::size_t at = text.find("time query "); at != std::string::npos;
       at = text.find("time query ", at + 1)) {
    count = std::strtoul(text.c_str() + at + 11, nullptr, 10);
  }
  return count;
}

// Pixels of a window's (or a DC's) area as 0x00RRGGBB.
struct Capture {
  std::vector<std::uint32_t> Pixels;
  std::uint32_t At(int x, int y) const { return Pixels[static_cast<std::size_t>(y) * kWidth + x]; }
};

// A 32-bit top-down DIB section of the panel's size in a memory DC.
class MemoryPicture {
 public:
  MemoryPicture() : m_Dc(::CreateCompatibleDC(nullptr)) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = kWidth;
    info.bmiHeader.biHeight = -kHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    m_Bitmap = ::CreateDIBSection(m_Dc, &info, DIB_RGB_COLORS, &m_Bits, nullptr, 0);
    m_Old = ::SelectObject(m_Dc, m_Bitmap);
    // A colour the panel never has, so an undrawn picture shows.
    ::PatBlt(m_Dc, 0, 0, kWidth, kHeight, BLACKNESS);
  }
  ~MemoryPicture() {
    ::SelectObject(m_Dc, m_Old);
    ::DeleteObject(m_Bitmap);
    ::DeleteDC(m_Dc);
  }
  MemoryPicture(const MemoryPicture&) = delete;
  MemoryPicture& operator=(const MemoryPicture&) = delete;
  HDC Dc() const { return m_Dc; }
  Capture Read() const {
    ::GdiFlush();
    Capture capture;
    const auto* bits = static_cast<const std::uint32_t*>(m_Bits);
    capture.Pixels.assign(bits, bits + kWidth * kHeight);
    for (auto& pixel : capture.Pixels) pixel &= 0xFFFFFFu;
    return capture;
  }

 private:
  HDC m_Dc;
  HBITMAP m_Bitmap = nullptr;
  HGDIOBJ m_Old = nullptr;
  void* m_Bits = nullptr;
};

Capture BitBltOf(HWND window) {
  MemoryPicture picture;
  HDC dc = ::GetDC(window);
  CHECK(::BitBlt(picture.Dc(), 0, 0, kWidth, kHeight, dc, 0, 0, SRCCOPY));
  ::ReleaseDC(window, dc);
  return picture.Read();
}

void WriteBmp(const wchar_t* path, const Capture& capture) {
  BITMAPFILEHEADER file{};
  BITMAPINFOHEADER info{};
  info.biSize = sizeof(info);
  info.biWidth = kWidth;
  info.biHeight = -kHeight;
  info.biPlanes = 1;
  info.biBitCount = 32;
  info.biCompression = BI_RGB;
  const DWORD bytes = kWidth * kHeight * 4;
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof(file) + sizeof(info);
  file.bfSize = file.bfOffBits + bytes;
  HANDLE out = ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (out == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  ::WriteFile(out, &file, sizeof(file), &written, nullptr);
  ::WriteFile(out, &info, sizeof(info), &written, nullptr);
  ::WriteFile(out, capture.Pixels.data(), bytes, &written, nullptr);
  ::CloseHandle(out);
}

// The parts of the panel that no font draws, in panel pixels: the group
// box's side and bottom edges, the separator line, the two button faces
// round their captions, the two check boxes.
struct Region {
  const char* Name;
  RECT Area;
  RECT Hole;  // left out (a caption); empty for none
};
constexpr Region kFontFreeRegions[] = {
    {"frame left edge", {0, 14, 3, 161}, {}},
    {"frame right edge", {350, 14, 353, 161}, {}},
    {"frame bottom edge", {0, 158, 353, 161}, {}},
    {"separator line", {3, 127, 350, 130}, {}},
    {"查询 face", {296, 32, 337, 57}, {300, 36, 333, 53}},
    {"校准 face", {296, 80, 337, 105}, {300, 84, 333, 101}},
    {"显示毫秒 box", {200, 112, 213, 125}, {}},
    {"每小时校准 box", {272, 113, 285, 126}, {}},
};

bool Inside(const RECT& r, int x, int y) {
  return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

void CompareWithSnapshot(const Capture& window, const Picture& snapshot) {
  for (const Region& region : kFontFreeRegions) {
    int differing = 0;
    int first_x = -1, first_y = -1;
    for (int y = region.Area.top; y < region.Area.bottom; ++y) {
      for (int x = region.Area.left; x < region.Area.right; ++x) {
        if (Inside(region.Hole, x, y)) continue;
        const std::uint32_t rgba =
            snapshot.Pixels[static_cast<std::size_t>(y) * snapshot.Width + x];
        const std::uint32_t expected =
            ((rgba & 0xFFu) << 16) | (rgba & 0xFF00u) | ((rgba >> 16) & 0xFFu);
        if (window.At(x, y) != expected) {
          if (differing++ == 0) {
            first_x = x;
            first_y = y;
          }
        }
      }
    }
    if (differing != 0) {
      std::printf("  %s: %d pixels differ, first at (%d, %d): window %06X, snapshot %06X\n",
                  region.Name, differing, first_x, first_y, window.At(first_x, first_y),
                  snapshot.Pixels[static_cast<std::size_t>(first_y) * snapshot.Width + first_x] &
                      0xFFFFFFu);
    }
    CHECK(differing == 0);
  }
}

// Pixels of exactly one colour (0x00RRGGBB) in an area.
int CountColour(const Capture& capture, const RECT& area, std::uint32_t colour) {
  int count = 0;
  for (int y = area.top; y < area.bottom; ++y) {
    for (int x = area.left; x < area.right; ++x) count += capture.At(x, y) == colour ? 1 : 0;
  }
  return count;
}

// A property bag in memory, as a page's param elements or a text form.
class MemoryBag final : public IPropertyBag {
 public:
  ~MemoryBag() {
    for (auto& [name, value] : Values) ::VariantClear(&value);
  }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPropertyBag)) {
      *out = static_cast<IPropertyBag*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
    const auto found = Values.find(name);
    if (found == Values.end()) return E_INVALIDARG;
    return ::VariantCopy(value, &found->second);
  }
  HRESULT STDMETHODCALLTYPE Write(LPCOLESTR name, VARIANT* value) override {
    VARIANT& kept = Values[name];
    ::VariantClear(&kept);
    return ::VariantCopy(&kept, value);
  }
  std::map<std::wstring, VARIANT> Values;
};

// A fresh control from the registered class (its first query runs from
// the message loop).
IUnknown* NewControl() {
  CLSID clsid{};
  ::CLSIDFromProgID(L"borvane.client", &clsid);
  IUnknown* made = nullptr;
  CHECK(SUCCEEDED(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                     reinterpret_cast<void**>(&made))));
  return made;
}

SIZEL ExtentOf(IUnknown* control) {
  SIZEL size{0, 0};
  IOleObject* object = nullptr;
  if (control != nullptr &&
      SUCCEEDED(control->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&object)))) {
    object->GetExtent(DVASPECT_CONTENT, &size);
    object->Release();
  }
  return size;
}

void CheckPersistence(IUnknown* hosted) {
  IOleObject* object = nullptr;
  CHECK(SUCCEEDED(hosted->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&object))));
  if (object == nullptr) return;
  SIZEL stored{8000, 3000};
  CHECK(SUCCEEDED(object->SetExtent(DVASPECT_CONTENT, &stored)));
  SIZEL refused{-5, 100};
  CHECK(object->SetExtent(DVASPECT_CONTENT, &refused) == E_INVALIDARG);
  object->Release();

  // Stream: saved from the hosted control, loaded into a new one.
  IPersistStreamInit* saver = nullptr;
  CHECK(
      SUCCEEDED(hosted->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&saver))));
  IStream* stream = nullptr;
  CHECK(SUCCEEDED(::CreateStreamOnHGlobal(nullptr, TRUE, &stream)));
  if (saver != nullptr && stream != nullptr) {
    CHECK(saver->IsDirty() == S_OK);
    CHECK(SUCCEEDED(saver->Save(stream, TRUE)));
    CHECK(saver->IsDirty() == S_FALSE);
    const LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    IUnknown* loaded = NewControl();
    IPersistStreamInit* loader = nullptr;
    if (loaded != nullptr && SUCCEEDED(loaded->QueryInterface(IID_IPersistStreamInit,
                                                              reinterpret_cast<void**>(&loader)))) {
      CHECK(SUCCEEDED(loader->Load(stream)));
      const SIZEL got = ExtentOf(loaded);
      CHECK(got.cx == 8000 && got.cy == 3000);
      loader->Release();
    }
    if (loaded != nullptr) loaded->Release();
  }
  if (stream != nullptr) stream->Release();
  if (saver != nullptr) saver->Release();

  // Property bag: saved, loaded into a new one; and a page's param
  // elements, which give text.
  MemoryBag bag;
  IPersistPropertyBag* bag_saver = nullptr;
  CHECK(SUCCEEDED(
      hosted->QueryInterface(IID_IPersistPropertyBag, reinterpret_cast<void**>(&bag_saver))));
  if (bag_saver != nullptr) {
    CHECK(SUCCEEDED(bag_saver->Save(&bag, TRUE, TRUE)));
    bag_saver->Release();
  }
  CHECK(bag.Values.count(L"_ExtentX") == 1 && V_VT(&bag.Values[L"_ExtentX"]) == VT_I4 &&
        V_I4(&bag.Values[L"_ExtentX"]) == 8000);
  MemoryBag page;
  VARIANT text;
  V_VT(&text) = VT_BSTR;
  V_BSTR(&text) = ::SysAllocString(L"9000");
  page.Write(L"_ExtentX", &text);
  ::VariantClear(&text);
  for (MemoryBag* source : {&bag, &page}) {
    IUnknown* loaded = NewControl();
    IPersistPropertyBag* loader = nullptr;
    if (loaded != nullptr && SUCCEEDED(loaded->QueryInterface(IID_IPersistPropertyBag,
                                                              reinterpret_cast<void**>(&loader)))) {
      CHECK(SUCCEEDED(loader->Load(source, nullptr)));
      const SIZEL got = ExtentOf(loaded);
      if (source == &bag) {
        CHECK(got.cx == 8000 && got.cy == 3000);
      } else {
        // What the page left out keeps the design size.
        CHECK(got.cx == 9000 && got.cy == 4419);
      }
      loader->Release();
    }
    if (loaded != nullptr) loaded->Release();
  }
}

// A top-level window holding one control host window of the panel's size.
HWND MakeHost(HWND& top) {
  RECT frame{0, 0, kWidth, kHeight};
  ::AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
  top = ::CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10,
                          frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                          nullptr, nullptr);
  return ::CreateWindowExW(0, L"AtlAxWin100", L"borvane.client", WS_CHILD | WS_VISIBLE, 0, 0,
                           kWidth, kHeight, top, nullptr, nullptr, nullptr);
}

std::wstring WindowText(HWND window) {
  wchar_t text[512] = L"";
  ::GetWindowTextW(window, text, 512);
  return text;
}

// A service that is not there: creation still gives a panel, and the
// failed first query shows in its status line with its error number.
void CheckDeadService() {
  ::SetEnvironmentVariableW(L"BORVANE_SERVICE_URL", L"http://127.0.0.1:9");
  HWND top = nullptr;
  HWND host = MakeHost(top);
  HWND window = host != nullptr ? ::GetWindow(host, GW_CHILD) : nullptr;
  CHECK(window != nullptr);
  // The first query runs from the message loop once the control is made.
  PumpUntil(5000, [&] {
    return window != nullptr && WindowText(window).find(L"(35750)") != std::wstring::npos;
  });
  const std::wstring status = window != nullptr ? WindowText(window) : L"";
  if (status.find(L"(35750)") == std::wstring::npos) {
    std::printf("  status line with no service: %s\n", Narrow(status.c_str()).c_str());
  }
  CHECK(status.find(L"(35750)") != std::wstring::npos);
  ::DestroyWindow(top);
}

void CheckHourly(const std::wstring& dir) {
  // Ask for the service that answers hh:59:59, and wait for its address.
  const std::wstring ready = dir + L"\\ready";
  HANDLE marker =
      ::CreateFileW(ready.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  CHECK(marker != INVALID_HANDLE_VALUE);
  ::CloseHandle(marker);
  std::string url;
  PumpUntil(30000, [&] {
    url = ReadText(dir + L"\\url");
    return url.find('\n') != std::string::npos;
  });
  CHECK(!url.empty());
  if (url.empty()) return;
  url.resize(url.find('\n'));
  ::SetEnvironmentVariableW(L"BORVANE_SERVICE_URL", Widen(url).c_str());

  FILETIME before{};
  ::GetSystemTimeAsFileTime(&before);
  const ULONGLONG ticks_before = ::GetTickCount64();
  HWND top = nullptr;
  HWND host = MakeHost(top);
  CHECK(host != nullptr);
  HWND window = ::GetWindow(host, GW_CHILD);
  CHECK(window != nullptr);
  // The re-check comes on the first tick past the hour, then 校准 runs
  // because 每小时校准 is ticked, and this process may not set the clock.
  const std::wstring refusal = Widen("[ SetLocalTime()错误");
  const bool refused = PumpUntil(
      12000, [&] { return window != nullptr && WindowText(window).rfind(refusal, 0) == 0; });
  if (!refused) std::printf("  status line: %s\n", Narrow(WindowText(window).c_str()).c_str());
  CHECK(refused);
  // Creation asked once; the re-check and the clock setting once each.
  const unsigned long asked = Queries(dir + L"\\queries");
  if (asked < 3) std::printf("  hourly service answered %lu queries\n", asked);
  CHECK(asked >= 3);
  // And the clock still runs as it did.
  FILETIME after{};
  ::GetSystemTimeAsFileTime(&after);
  const auto as_ms = [](const FILETIME& t) {
    return static_cast<long long>(
        (static_cast<ULONGLONG>(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 10000);
  };
  const long long drift =
      as_ms(after) - as_ms(before) - static_cast<long long>(::GetTickCount64() - ticks_before);
  CHECK(drift > -2000 && drift < 2000);
  ::DestroyWindow(top);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    std::printf("usage: host_check SNAPSHOT.png QUERY_LOG HOURLY_DIR\n");
    return 2;
  }
  const std::wstring query_log = argv[2];
  Picture snapshot;
  CHECK(host_check::ReadPng(argv[1], snapshot) && snapshot.Width == kWidth &&
        snapshot.Height == kHeight);
  if (wine_check::g_Failures != 0) return 1;

  CHECK(SUCCEEDED(::OleInitialize(nullptr)));
  HMODULE atl = ::LoadLibraryW(L"atl100.dll");
  CHECK(atl != nullptr);
  if (atl == nullptr) return 1;
  auto init = Export<AxWinInit>(atl, "AtlAxWinInit");
  g_GetControl = Export<AxGetControl>(atl, "AtlAxGetControl");
  CHECK(init != nullptr && g_GetControl != nullptr && init());

  HWND top = nullptr;
  HWND host = MakeHost(top);
  CHECK(host != nullptr);
  Pump(500);

  IUnknown* control = nullptr;
  CHECK(SUCCEEDED(g_GetControl(host, &control)) && control != nullptr);
  if (control == nullptr) return 1;
  IOleObject* object = nullptr;
  IViewObject* view = nullptr;
  CHECK(SUCCEEDED(control->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&object))));
  CHECK(SUCCEEDED(control->QueryInterface(IID_IViewObject, reinterpret_cast<void**>(&view))));
  HWND window = ::GetWindow(host, GW_CHILD);
  CHECK(window != nullptr);
  if (window != nullptr) ::UpdateWindow(window);
  Pump(200);

  // The host window's picture against the Linux snapshot.
  const Capture shown = BitBltOf(host);
  if (const wchar_t* out = _wgetenv(L"BORVANE_HOST_PICTURE")) WriteBmp(out, shown);
  CompareWithSnapshot(shown, snapshot);
  // Beijing time in its dark orange-brown (0x4080: red 128, green 64).
  const RECT label1{96, 32, 273, 57};
  const int time_pixels = CountColour(shown, label1, 0x804000);
  if (time_pixels < 20) std::printf("  Label1 has %d pixels of its colour\n", time_pixels);
  CHECK(time_pixels >= 20);

  // The same picture through IViewObject::Draw into a memory DC.
  if (view != nullptr) {
    MemoryPicture drawn;
    const RECTL bounds{0, 0, kWidth, kHeight};
    CHECK(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, drawn.Dc(), &bounds, nullptr,
                     nullptr, 0) == S_OK);
    // A change the window has not painted yet (a tick) shows first.
    if (window != nullptr) ::UpdateWindow(window);
    const Capture again = BitBltOf(host);
    const Capture through_draw = drawn.Read();
    int differing = 0, first = -1;
    for (std::size_t i = 0; i < again.Pixels.size(); ++i) {
      if (again.Pixels[i] != through_draw.Pixels[i] && differing++ == 0) first = static_cast<int>(i);
    }
    if (differing != 0) {
      std::printf("  Draw and the window differ in %d pixels, first at (%d, %d)\n", differing,
                  first % kWidth, first / kWidth);
    }
    CHECK(through_draw.Pixels == again.Pixels);
  }

  // One click under 查询's centre: exactly one more query. The click
  // waits for the first 800 ms of a second, so the round-trip correction
  // cannot carry the service's milliseconds past 999 and repeat the query.
  if (window != nullptr) {
    const unsigned long before = Queries(query_log);
    PumpUntil(2000, [] {
      SYSTEMTIME now;
      ::GetSystemTime(&now);
      return now.wMilliseconds > 50 && now.wMilliseconds < 800;
    });
    const LPARAM centre = MAKELPARAM(316, 44);
    ::SendMessageW(window, WM_MOUSEMOVE, 0, centre);
    ::SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, centre);
    ::SendMessageW(window, WM_LBUTTONUP, 0, centre);
    PumpUntil(5000, [&] { return Queries(query_log) > before; });
    Pump(1000);
    const unsigned long after = Queries(query_log);
    if (after != before + 1)
      std::printf("  queries before the click %lu, after %lu\n", before, after);
    CHECK(after == before + 1);
  }

  CheckPersistence(control);
  if (view != nullptr) view->Release();
  if (object != nullptr) object->Release();
  control->Release();

  CheckDeadService();
  CheckHourly(argv[3]);

  // Everything goes with the host.
  ::DestroyWindow(top);
  Pump(200);
  HMODULE library = ::GetModuleHandleW(L"borvane.ocx");
  CHECK(library != nullptr);
  if (library != nullptr) {
    using CanUnload = HRESULT(STDAPICALLTYPE*)();
    auto can_unload = Export<CanUnload>(library, "DllCanUnloadNow");
    CHECK(can_unload != nullptr && can_unload() == S_OK);
  }
  ::OleUninitialize();

  std::printf("%d checks, %d failed\n", wine_check::g_Checks, wine_check::g_Failures);
  return wine_check::g_Failures == 0 ? 0 : 1;
}
