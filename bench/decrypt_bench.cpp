// The decoder on a 23-character encoded service time, per call: what one
// query attempt spends decoding.

#include <benchmark/benchmark.h>

#include "client/decrypt.h"

namespace {

void BM_DeCryptServiceTime(benchmark::State& state) {
  // "2005-04-27 15:32:08.007" encoded for the fixed key (shift 6).
  const borvane::Variant text(std::string("40763,6-98&-7::3@,:.71="));
  {
    borvane::Variant texti = text;
    borvane::Variant key(borvane::kDecoderKey);
    if (borvane::DeCrypt(texti, key) != "2005-04-27 15:32:08.007") {
      state.SkipWithError("the sample does not decode to the service time");
      return;
    }
  }
  for (auto _ : state) {
    borvane::Variant texti = text;
    borvane::Variant key(borvane::kDecoderKey);
    std::string decoded = borvane::DeCrypt(texti, key);
    benchmark::DoNotOptimize(decoded);
  }
}
BENCHMARK(BM_DeCryptServiceTime);

}  // namespace

BENCHMARK_MAIN();
