// One time check against the in-process reference service over loopback:
// per-query latency (median, p99) with the connection reused, and the
// accuracy of the reported offset against a known service skew.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <regex>
#include <vector>

#include "platform/gtk/headless_panel.h"
#include "platform/posix/posix_clock.h"
#include "service/time_service.h"

namespace borvane {
namespace {

double Percentile(std::vector<double> samples, double p) {
  std::sort(samples.begin(), samples.end());
  const auto index = static_cast<std::size_t>(p * static_cast<double>(samples.size() - 1));
  return samples[index];
}

void BM_DisplayTimeLoopback(benchmark::State& state) {
  TimeService service(TimeServiceOptions{});
  service.Start();
  PosixClock clock;
  HeadlessPanel headless(clock, service.BaseUrl());
  client& panel = headless.Panel;

  std::vector<double> micros;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    panel.DisplayTime();
    const auto end = std::chrono::steady_clock::now();
    micros.push_back(std::chrono::duration<double, std::micro>(end - start).count());
  }
  state.counters["median_us"] = Percentile(micros, 0.5);
  state.counters["p99_us"] = Percentile(micros, 0.99);
  service.Stop();
}
BENCHMARK(BM_DisplayTimeLoopback)->Iterations(2000)->UseRealTime();

// Skews the service by 500 ms and compares the figure in the status line
// with the skew. Queries whose verdict has no figure (a minute boundary
// between the two clocks) are counted apart.
void BM_OffsetAccuracy(benchmark::State& state) {
  constexpr int kSkewMs = 500;
  TimeServiceOptions options;
  options.offset_ms = -kSkewMs;  // service behind: this clock reads 500 ms fast
  TimeService service(options);
  service.Start();
  PosixClock clock;
  HeadlessPanel headless(clock, service.BaseUrl());
  client& panel = headless.Panel;
  const std::regex figure("(快|慢)([0-9]+)ms");

  int within = 0;
  int measured = 0;
  int without_figure = 0;
  int worst = 0;
  for (auto _ : state) {
    panel.DisplayTime();
    std::smatch m;
    const std::string status = panel.Label2.Caption();
    if (!std::regex_search(status, m, figure)) {
      ++without_figure;
      continue;
    }
    const int reported = (m[1] == "快" ? 1 : -1) * std::stoi(m[2]);
    const int error = reported - kSkewMs;
    worst = std::max(worst, std::abs(error));
    ++measured;
    if (std::abs(error) <= 1) ++within;
  }
  state.counters["within_1ms_pct"] = measured ? 100.0 * within / measured : 0;
  state.counters["worst_ms"] = worst;
  state.counters["no_figure"] = without_figure;
  service.Stop();
}
BENCHMARK(BM_OffsetAccuracy)->Iterations(1000)->UseRealTime();

}  // namespace
}  // namespace borvane

BENCHMARK_MAIN();
