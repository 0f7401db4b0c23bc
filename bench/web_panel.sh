#!/usr/bin/env bash
# The web panel's figures: the module script and wasm, raw and gzipped; then
# in headless Chromium against borvane serve on loopback, the time from
# navigation to the first frame and to the answer painted, from a click on
# 查询 to the redraw, and memory; beside them, the GTK panel's first frame
# (under Xvfb).
#
#   [RUNS=5] bench/web_panel.sh [BUILD_DIR]
#
# Needs the web build, chromium and the test driver (ctest -L web installs
# it into BUILD_DIR/web-tests).
set -euo pipefail
build=${1:-build/release}
runs=${RUNS:-5}
web="$build/web"
modules="$build/web-tests/node_modules"
[ -f "$web/borvane-client.wasm" ] || { echo "no web build in $web (emscripten missing?)" >&2; exit 1; }
[ -d "$modules/puppeteer-core" ] || { echo "no puppeteer-core in $modules (run ctest -L web)" >&2; exit 1; }

source "$(dirname "$0")/common.sh"

echo "file                    raw        gzip -9"
for f in borvane-client.js borvane-client.wasm; do
  printf '%-22s %8d B %8d B\n' "$f" "$(stat -c %s "$web/$f")" "$(gzip -9 -n -c "$web/$f" | wc -c)"
done
total=$(( $(gzip -9 -n -c "$web/borvane-client.js" | wc -c) + $(gzip -9 -n -c "$web/borvane-client.wasm" | wc -c) ))
echo "compressed transfer     $total B"

"$build/borvane-serve" serve --listen 127.0.0.1:0 > "$work/serve.log" &
pids+=($!)
for _ in $(seq 100); do
  grep -q "serving Beijing time" "$work/serve.log" && break
  sleep 0.05
done
origin=$(sed -n 's|.*on \(http://127\.0\.0\.1:[0-9]*\)/times.*|\1|p' "$work/serve.log")
node "$(dirname "$0")/web_panel_bench.mjs" "$origin" "$modules" "$work/profile" "$runs"

if command -v xvfb-run >/dev/null && [ -x "$build/borvane" ]; then
  for _ in $(seq "$runs"); do
    BORVANE_PANEL_FIRST_FRAME_EXIT=1 xvfb-run -a "$build/borvane" panel --service "$origin" 2>/dev/null |
      sed -n 's/.*first frame after \([0-9.]*\) ms.*/\1/p'
  done | sort -n | awk '{ v[NR] = $1 } END { printf "GTK panel: process start to first frame  %s ms (median of %d)\n", v[int((NR + 1) / 2)], NR }'
fi
