// The time panel's drawing and building costs, with the real text engine.
//
//   BM_PanelCompose: one full frame of the panel (group box, frame, every
//     label's text, buttons, check boxes, line) composed into a 353 × 167
//     picture, as a host does for every presented frame. Target: < 1 ms.
//   BM_PanelCreate: building the panel from its design data (every part
//     loaded through its stored settings), no query.
//
// Start-up to the first presented frame and the running panel's resident
// memory are measured on the program itself (see the README).

#include <benchmark/benchmark.h>

#include "client/client.h"
#include "container/basic_site.h"
#include "container/manual_event_loop.h"
#include "platform/posix/curl_transfer.h"
#include "platform/gtk/pango_text_engine.h"
#include "platform/posix/posix_clock.h"
#include "service/time_service.h"

namespace borvane {
namespace {

// Never sets the clock: only reads it.
class ReadOnlyClock final : public Clock {
 public:
  SystemTime Now() override { return m_Real.Now(); }
  std::int32_t SetLocalTime(const SystemTime&, std::int64_t) override { return 0; }
  std::int32_t UtcOffsetSeconds(std::int64_t utc) override { return m_Real.UtcOffsetSeconds(utc); }

 private:
  PosixClock m_Real;
};

struct Rig {
  ReadOnlyClock clock;
  CurlTransfer transfer;
  PangoTextEngine text;
  ManualEventLoop loop;
  FixedCursor cursor;
  BasicSite site{text, loop, cursor};
};

void BM_PanelCompose(benchmark::State& state) {
  Rig rig;
  TimeService service(TimeServiceOptions{});
  service.Start();
  client panel(rig.site, ClientServices{rig.clock, rig.transfer, service.BaseUrl()});
  // A panel showing a result, with both millisecond labels.
  panel.Initialize();
  panel.CheckDisplayMs.SetValue(1);
  panel.CheckDisplayMs_Click();
  for (auto _ : state) {
    Image frame = panel.Compose();
    benchmark::DoNotOptimize(frame);
  }
  service.Stop();
}
BENCHMARK(BM_PanelCompose)->Unit(benchmark::kMicrosecond);

void BM_PanelCreate(benchmark::State& state) {
  Rig rig;
  for (auto _ : state) {
    client panel(rig.site, ClientServices{rig.clock, rig.transfer, "http://127.0.0.1:8080"});
    benchmark::DoNotOptimize(panel.Label1.Caption());
  }
}
BENCHMARK(BM_PanelCreate)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace borvane

BENCHMARK_MAIN();
