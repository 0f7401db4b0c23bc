// draw_bench [CALLS]: the cost of one frame through IViewObject::Draw into
// a 353 × 167 memory DC, per call, under the platform (or Wine). Loads
// borvane.ocx from beside itself and creates the control through its class
// factory, so nothing needs registering; the control's first query goes to
// %BORVANE_SERVICE_URL%.

#include <windows.h>
#include <ocidl.h>
#include <oleidl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "library/identity.h"
#include "platform/windows/variant_convert.h"

int wmain(int argc, wchar_t** argv) {
  const int calls = argc > 1 ? std::max(1, _wtoi(argv[1])) : 2000;
  ::OleInitialize(nullptr);
  HMODULE library = ::LoadLibraryW(L"borvane.ocx");
  if (library == nullptr) {
    std::printf("borvane.ocx not found beside draw_bench.exe\n");
    return 1;
  }
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  auto get_class_object = reinterpret_cast<GetClassObject>(
      reinterpret_cast<void*>(::GetProcAddress(library, "DllGetClassObject")));
  IClassFactory* factory = nullptr;
  IViewObject* view = nullptr;
  if (get_class_object == nullptr ||
      FAILED(get_class_object(borvane::ToPlatformGuid(borvane::identity::kClientClsid),
                              IID_IClassFactory, reinterpret_cast<void**>(&factory))) ||
      FAILED(factory->CreateInstance(nullptr, IID_IViewObject, reinterpret_cast<void**>(&view)))) {
    std::printf("the control could not be created\n");
    return 1;
  }
  factory->Release();

  constexpr int kWidth = 353, kHeight = 167;
  HDC dc = ::CreateCompatibleDC(nullptr);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), kWidth, -kHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = ::SelectObject(dc, bitmap);
  const RECTL bounds{0, 0, kWidth, kHeight};

  LARGE_INTEGER frequency, start, end;
  ::QueryPerformanceFrequency(&frequency);
  std::vector<double> rounds;
  // Five rounds; the best and the median per call.
  for (int round = 0; round < 5; ++round) {
    ::QueryPerformanceCounter(&start);
    for (int i = 0; i < calls; ++i) {
      view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0);
    }
    ::GdiFlush();
    ::QueryPerformanceCounter(&end);
    rounds.push_back(static_cast<double>(end.QuadPart - start.QuadPart) * 1e6 /
                     static_cast<double>(frequency.QuadPart) / calls);
  }
  std::sort(rounds.begin(), rounds.end());
  std::printf(
      "IViewObject::Draw 353x167 into a memory DC: best %.1f us, median %.1f us per call (%d calls "
      "a round)\n",
      rounds.front(), rounds[2], calls);

  ::SelectObject(dc, old);
  ::DeleteObject(bitmap);
  ::DeleteDC(dc);
  view->Release();
  ::OleUninitialize();
  return 0;
}
