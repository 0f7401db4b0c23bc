#!/usr/bin/env bash
# Runs one step of the Windows component's tests under Wine, headless:
#   wine_test.sh prefix        make a fresh Wine prefix (once per test run)
#   wine_test.sh check MODE    run wine_check MODE on borvane.ocx
#   wine_test.sh regsvr32 [/u] register (or unregister) with Wine's regsvr32
#   wine_test.sh cscript       the VBScript client against `borvane serve`
#   wine_test.sh host          the control in the platform's control host
#                              window (host_check.exe) against `borvane serve`
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
  host)
    # Every Wine process of this step runs without the right to set the
    # clock: the control's hourly re-check sets it, and under Wine that
    # would reach this machine's real clock.
    nocap() { setpriv --bounding-set=-sys_time --inh-caps=-sys_time "$@"; }
    winpath() { local p="$1"; printf 'Z:%s' "${p//\//\\}"; }
    : "${BORVANE_BINARY:?}"
    work=$(mktemp -d)
    services=()
    cleanup_host() {
      for pid in "${services[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
      rm -rf "$work"
    }
    trap cleanup_host EXIT
    # start_service LOG OFFSET_MS: a time service on a free loopback port
    # that logs every query it answers; prints its address.
    start_service() {
      "$BORVANE_BINARY" serve --listen 127.0.0.1:0 --offset-ms "$2" --report-queries >"$1" 2>&1 &
      services+=($!)
      local url=""
      for _ in $(seq 1 100); do
        url=$(grep -o 'http://127\.0\.0\.1:[0-9]*' "$1" | head -n1 || true)
        [ -n "$url" ] && { echo "$url"; return 0; }
        sleep 0.05
      done
      echo "borvane serve did not start" >&2; cat "$1" >&2
      return 1
    }
    # Headless: Wine's null graphics driver still paints windows and reads
    # them back. The panel names Latin faces (Arial, MS Sans Serif) for its
    # Chinese texts; Wine's own fonts have no CJK glyphs and it links no
    # face behind them, so in this prefix only the two names stand for the
    # CJK face, which has Latin letters too.
    cp /usr/share/fonts/truetype/wqy/wqy-microhei.ttc "$WINEPREFIX/drive_c/windows/Fonts/"
    {
      printf 'Windows Registry Editor Version 5.00\r\n\r\n'
      printf '[HKEY_CURRENT_USER\\Software\\Wine\\Drivers]\r\n"Graphics"="null"\r\n\r\n'
      printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes]\r\n'
      printf '"Arial"="WenQuanYi Micro Hei"\r\n"MS Sans Serif"="WenQuanYi Micro Hei"\r\n'
    } >"$work/host.reg"
    nocap timeout 60 wine regedit /S "$(winpath "$work/host.reg")"
    # The driver is chosen when the wine server starts: let this one end.
    nocap timeout 60 wineserver -w

    url=$(start_service "$work/queries.log" 0)
    echo "time service: $url"
    # The Linux panel's picture, for the parts no font draws.
    "$BORVANE_BINARY" panel --snapshot "$work/linux.png" --service "$url" >/dev/null
    mkdir "$work/hourly"
    BORVANE_SERVICE_URL="$url" nocap timeout 150 wine "$BORVANE_WINDOWS_DIR/host_check.exe" \
      "$(winpath "$work/linux.png")" "$(winpath "$work/queries.log")" \
      "$(winpath "$work/hourly")" &
    host=$!
    # When the host asks for it, a service whose clock reads hh:59:58.7
    # now (Beijing time keeps the minutes and seconds of UTC), so that the
    # panel's count passes the hour a tick or two after its first query.
    while kill -0 "$host" 2>/dev/null && [ ! -e "$work/hourly/ready" ]; do sleep 0.05; done
    if [ -e "$work/hourly/ready" ]; then
      offset() { echo $(( (3598700 - $(date +%s%3N) % 3600000 + 3600000) % 3600000 )); }
      # Too close to the real hour, the refused setting would be no
      # setting at all (the clock would already be right): wait it out.
      if [ "$(offset)" -lt 5000 ]; then sleep 6; fi
      hourly=$(start_service "$work/hourly/queries" "$(offset)")
      echo "hourly service: $hourly"
      echo "$hourly" >"$work/hourly/url.part"
      mv "$work/hourly/url.part" "$work/hourly/url"
    fi
    status=0
    wait "$host" || status=$?
    nocap timeout 60 wineserver -w
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
