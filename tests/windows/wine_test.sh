#!/usr/bin/env bash
# Runs one step of the Windows component's tests under Wine, headless:
#   wine_test.sh prefix        make a fresh Wine prefix (once per test run)
#   wine_test.sh check MODE    run wine_check MODE on borvane.ocx
#   wine_test.sh regsvr32 [/u] register (or unregister) with Wine's regsvr32
#   wine_test.sh cscript       the VBScript client against `borvane serve`
#   wine_test.sh cleanup       stop the prefix's wine server, remove it
# Environment: BORVANE_WINDOWS_DIR (the cross build), BORVANE_BINARY (the
# native borvane program), BORVANE_WINEPREFIX (the prefix to use).
# Exits 77 (skipped) only when Wine itself is not installed.
set -euo pipefail

command -v wine >/dev/null 2>&1 || { echo "wine is not installed: skipped"; exit 77; }

: "${BORVANE_WINDOWS_DIR:?}" "${BORVANE_WINEPREFIX:?}"
export WINEPREFIX="$BORVANE_WINEPREFIX"
export WINEDEBUG=-all
# No browser engine or .NET installer prompts while the prefix is made.
export WINEDLLOVERRIDES="mscoree,mshtml="
# Headless, as in CI: no X or Wayland display for Wine to find.
unset DISPLAY WAYLAND_DISPLAY
# Loopback only: no proxy in the way, and a panel created outside the
# script-host step (its creation runs a query) asks a closed loopback port
# rather than any built-in address.
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY
export BORVANE_SERVICE_URL="http://127.0.0.1:9"
ocx="$BORVANE_WINDOWS_DIR/borvane.ocx"

step="${1:?step}"
shift
case "$step" in
  prefix)
    wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
    # Making a prefix takes seconds to a minute; give up after three. Each
    # step waits for its wine server to end, so that no Wine process keeps
    # the test's output open after the step.
    timeout 180 wine wineboot -i
    timeout 60 wineserver -w
    ;;
  check)
    status=0
    timeout 120 wine "$BORVANE_WINDOWS_DIR/wine_check.exe" "$1" "$ocx" || status=$?
    timeout 60 wineserver -w
    exit "$status"
    ;;
  regsvr32)
    timeout 120 wine regsvr32 /s "$@" "$ocx"
    timeout 60 wineserver -w
    echo "regsvr32 $* borvane.ocx: succeeded"
    ;;
  cscript)
    : "${BORVANE_BINARY:?}"
    log=$(mktemp)
    "$BORVANE_BINARY" serve --listen 127.0.0.1:0 --offset-ms 0 >"$log" 2>&1 &
    server=$!
    trap 'kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; rm -f "$log"' EXIT
    url=""
    for _ in $(seq 1 100); do
      url=$(grep -o 'http://127\.0\.0\.1:[0-9]*' "$log" | head -n1 || true)
      [ -n "$url" ] && break
      kill -0 "$server" 2>/dev/null || { cat "$log"; exit 1; }
      sleep 0.1
    done
    [ -n "$url" ] || { echo "borvane serve did not start"; cat "$log"; exit 1; }
    echo "time service: $url"
    script_dir=$(cd "$(dirname "$0")" && pwd)
    status=0
    BORVANE_SERVICE_URL="$url" timeout 120 wine cscript //nologo \
      "$(winepath -w "$script_dir/client_test.vbs")" || status=$?
    timeout 60 wineserver -w
    exit "$status"
    ;;
  cleanup)
    wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
    ;;
  *)
    echo "unknown step $step" >&2
    exit 2
    ;;
esac
