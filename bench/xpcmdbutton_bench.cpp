// Push button drawing costs: a full face at the panel's size, the hot-face
// redraw each mouse move causes, a caption change with real text layout,
// and the stretch copy against a plain memcpy of the same bytes.

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "bench/fixed_text.h"
#include "container/basic_site.h"
#include "container/manual_event_loop.h"
#include "container/picture.h"
#include "container/surface.h"
#include "platform/gtk/pango_text_engine.h"
#include "xpcmdbutton/xpcmdbutton.h"

namespace borvane {
namespace {

// A placed 41 × 25 button on a site whose handlers do nothing.
struct PlacedButton {
  PlacedButton() {
    button.InitProperties();
    button.Resize({41, 25});
    button.Show();
  }
  FixedText text;
  ManualEventLoop loop;
  FixedCursor cursor;
  BasicSite site{text, loop, cursor};
  xpcmdbutton button{site};
};

// The State setter with an unchanged value is one ShowRestFace: one full
// DrawFace of nine pieces.
void BM_DrawFace41x25(benchmark::State& state) {
  PlacedButton placed;
  for (auto _ : state) {
    placed.button.SetState(0);
    benchmark::DoNotOptimize(placed.button.DrawingSurface().At(20, 12));
  }
}
BENCHMARK(BM_DrawFace41x25);

void BM_HotMouseMove(benchmark::State& state) {
  PlacedButton placed;
  for (auto _ : state) {
    placed.button.MouseMove(0, 0, 2, 2);
    benchmark::DoNotOptimize(placed.button.DrawingSurface().At(20, 1));
  }
}
BENCHMARK(BM_HotMouseMove);

void BM_SetCaptionPango(benchmark::State& state) {
  PangoTextEngine text;
  ManualEventLoop loop;
  FixedCursor cursor;
  BasicSite site(text, loop, cursor);
  site.DisplayName = "Command1";
  xpcmdbutton button(site);
  button.InitProperties();
  button.Resize({41, 25});
  bool flip = false;
  for (auto _ : state) {
    button.SetCaption(flip ? "查询" : "设置");
    flip = !flip;
  }
}
BENCHMARK(BM_SetCaptionPango);

// Destination of 41 × 25 from an opaque 41 × 25 picture, one to one, so the
// bytes moved equal a memcpy's.
void BM_PaintPicture41x25(benchmark::State& state) {
  const Picture picture = Picture::FromImage(Image(41, 25, 0xFF336699u));
  Surface surface({41, 25});
  surface.SetScaleMode(Surface::kPixels);
  for (auto _ : state) {
    surface.PaintPicture(picture, 0, 0, 41, 25, 0, 0, 41, 25);
    benchmark::DoNotOptimize(surface.At(0, 0));
  }
  state.SetBytesProcessed(state.iterations() * 41 * 25 * 4);
}
BENCHMARK(BM_PaintPicture41x25);

// The face's centre piece: 12 × 15 stretched to 35 × 19, the usual case.
void BM_PaintPictureStretch35x19(benchmark::State& state) {
  const Picture picture = Picture::FromImage(Image(12, 15, 0xFF336699u));
  Surface surface({41, 25});
  surface.SetScaleMode(Surface::kPixels);
  for (auto _ : state) {
    surface.PaintPicture(picture, 3, 3, 35, 19, 0, 0, 12, 15);
    benchmark::DoNotOptimize(surface.At(3, 3));
  }
  state.SetBytesProcessed(state.iterations() * 35 * 19 * 4);
}
BENCHMARK(BM_PaintPictureStretch35x19);

void BM_Memcpy41x25(benchmark::State& state) {
  std::vector<Pixel> from(41 * 25, 0xFF336699u);
  std::vector<Pixel> to(41 * 25);
  for (auto _ : state) {
    for (int row = 0; row < 25; ++row) {
      std::memcpy(to.data() + row * 41, from.data() + row * 41, 41 * sizeof(Pixel));
    }
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * 41 * 25 * 4);
}
BENCHMARK(BM_Memcpy41x25);

}  // namespace
}  // namespace borvane

BENCHMARK_MAIN();
