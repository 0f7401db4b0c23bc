// Answers per second of the in-process reference time service, with several
// clients each on its own kept-alive connection (one libcurl handle each), and
// the cost of producing one answer's text.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <memory>

#include "platform/posix/curl_transfer.h"
#include "service/time_encoding.h"
#include "service/time_service.h"

namespace {

borvane::TimeService& Service() {
  static borvane::TimeService* service = [] {
    ::setenv("no_proxy", "127.0.0.1,localhost", 1);
    ::setenv("NO_PROXY", "127.0.0.1,localhost", 1);
    auto* started = new borvane::TimeService(borvane::TimeServiceOptions{});
    started->Start();
    return started;
  }();
  return *service;
}

void BM_KeptAliveQueries(benchmark::State& state) {
  const std::string url = Service().BaseUrl() + "/times/nolvera.aspx?borvane=12345";
  borvane::CurlTransfer transfer;
  for (auto _ : state) {
    benchmark::DoNotOptimize(transfer.OpenUrl(url, std::chrono::seconds(10)));
  }
  state.SetItemsProcessed(state.iterations());  // items/s = answers per second
}
BENCHMARK(BM_KeptAliveQueries)->Threads(1)->Threads(4)->UseRealTime()->MinTime(1.0);

void BM_AnswerText(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        borvane::EncodeTime(borvane::FormatBeijingTime(std::chrono::system_clock::now())));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AnswerText);

}  // namespace

BENCHMARK_MAIN();
