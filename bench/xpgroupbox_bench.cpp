// Group box drawing cost: one full redraw (clear, caption placement and the
// eight frame pieces) at the panel's size, 353 × 161 pixels.

#include <benchmark/benchmark.h>

#include "bench/fixed_text.h"
#include "container/basic_site.h"
#include "container/manual_event_loop.h"
#include "xpgroupbox/xpgroupbox.h"

namespace borvane {
namespace {

// The BackColor setter redraws exactly once; the colour is unchanged, so
// each call does the same work.
void BM_Redraw353x161(benchmark::State& state) {
  FixedText text;
  ManualEventLoop loop;
  FixedCursor cursor;
  BasicSite site(text, loop, cursor);
  site.DisplayName = "xpgroupbox1";
  xpgroupbox box(site);
  box.InitProperties();
  box.Resize({353, 161});
  const Colour back(0x00C0FFFFu);
  for (auto _ : state) {
    box.SetBackColor(back);
    benchmark::DoNotOptimize(box.DrawingSurface().At(176, 160));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Redraw353x161);

}  // namespace
}  // namespace borvane

BENCHMARK_MAIN();
