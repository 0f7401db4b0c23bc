#!/usr/bin/env bash
# Installs what is missing, builds borvane twice (warnings as errors; then
# with address and undefined-behaviour sanitizers) and runs the whole test
# suite on each build; then builds the fuzz harnesses and runs each for a
# few seconds, so they keep building and running. Every stage runs even when
# an earlier one failed; the summary at the end says what passed, what was
# skipped and why, and the command exits non-zero if anything failed.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh test

jobs=$(nproc)
reports=()
failed=()

# run_suite NAME BUILD_DIR [ENV=VALUE...]: the build's whole suite, with a
# JUnit report for the summary.
run_suite() {
  local name=$1 build=$2
  shift 2
  local report="$PWD/$build/ctest-junit.xml"
  rm -f "$report"
  reports+=("$name=$report")
  env "$@" ctest --test-dir "$build" --output-on-failure -j "$jobs" --output-junit "$report" ||
    failed+=("$name tests")
}

echo "== release build (warnings are errors)"
if cmake -S . -B build/release -G Ninja -DBORVANE_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
         -DBORVANE_TESTS=ON -DBORVANE_BENCH=ON -DBORVANE_WINDOWS_TESTS=ON >/dev/null &&
   cmake --build build/release -j "$jobs"; then
  run_suite release build/release
else
  failed+=("release build")
fi

echo "== sanitizer build (address, undefined)"
if cmake -S . -B build/sanitize -G Ninja -DBORVANE_WERROR=ON -DBORVANE_SANITIZE=ON \
         -DBORVANE_TESTS=ON -DBORVANE_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug >/dev/null &&
   cmake --build build/sanitize -j "$jobs"; then
  run_suite sanitize build/sanitize ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1
else
  failed+=("sanitizer build")
fi

echo "== fuzz harnesses (clang, libFuzzer; ${BORVANE_FUZZ_SECONDS:-5} s each)"
scripts/fuzz.sh "${BORVANE_FUZZ_SECONDS:-5}" || failed+=("fuzz harnesses")

echo "== summary"
python3 scripts/test_summary.py "${reports[@]}" || true
if ((${#failed[@]})); then
  printf 'failed: %s\n' "${failed[@]}"
  exit 1
fi
