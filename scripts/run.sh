#!/usr/bin/env bash
# Installs what is missing, builds borvane and opens the time panel against
# the embedded reference service (headless, writing borvane-panel.png, when
# there is no display).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release -j "$(nproc)" --target borvane

exec build/release/borvane panel "$@"
