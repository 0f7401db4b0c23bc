#!/usr/bin/env bash
# Installs what building and running the panel needs, builds the `borvane`
# program and opens the time panel against the embedded reference service
# (headless, writing borvane-panel.png, when there is no display).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh run
# Only the program, optimised and without debug information: no tests,
# benchmarks or Windows component, so nothing but the run packages is
# needed. The test command builds in build/release and build/sanitize.
cmake -S . -B build/run -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DBORVANE_TESTS=OFF -DBORVANE_BENCH=OFF -DBORVANE_WINDOWS_TESTS=OFF >/dev/null
cmake --build build/run -j "$(nproc)" --target borvane

exec build/run/borvane panel "$@"
