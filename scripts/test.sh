#!/usr/bin/env bash
# Installs what is missing, builds borvane twice (warnings as errors; then
# with address and undefined-behaviour sanitizers) and runs the whole test
# suite on each build; then builds the fuzz harnesses and runs each for a
# few seconds, so they keep building and running.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

jobs=$(nproc)

echo "== release build (warnings are errors)"
cmake -S . -B build/release -G Ninja -DBORVANE_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release -j "$jobs"
ctest --test-dir build/release --output-on-failure -j "$jobs"

echo "== sanitizer build (address, undefined)"
cmake -S . -B build/sanitize -G Ninja -DBORVANE_WERROR=ON -DBORVANE_SANITIZE=ON \
      -DBORVANE_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build/sanitize -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/sanitize --output-on-failure -j "$jobs"

echo "== fuzz harnesses (clang, libFuzzer; ${BORVANE_FUZZ_SECONDS:-5} s each)"
scripts/fuzz.sh "${BORVANE_FUZZ_SECONDS:-5}"
