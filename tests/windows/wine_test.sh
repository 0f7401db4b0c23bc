#!/usr/bin/env bash
# Runs one step of the Windows component's tests under Wine, headless:
#   wine_test.sh [--32] prefix        make a fresh Wine prefix (once per test run)
#   wine_test.sh [--32] check MODE    run wine_check MODE on borvane.ocx
#   wine_test.sh --32 check64 MODE    the same on the 64-bit build, as a 32-bit step
#   wine_test.sh [--32] regsvr32 [/u] register (or unregister) with Wine's regsvr32
#   wine_test.sh [--32] cscript       the VBScript client against `borvane serve`
#   wine_test.sh [--32] host          the control in the platform's control host
#                                     window (host_check.exe) against `borvane serve`
#   wine_test.sh [--32] probe         probe_host.exe: the control in a host of our
#                                     own, hostile cases, with Wine's heap checks
#   wine_test.sh cleanup              stop the prefix's wine server, remove it
# --32 runs the step on the 32-bit build with Wine's 32-bit programs
# (regsvr32, cscript from syswow64); the 64-bit build is the default. Both
# builds share one prefix, so they are registered side by side.
# Environment: BORVANE_WINDOWS_DIR and BORVANE_WINDOWS32_DIR (the cross
# builds), BORVANE_BINARY (the native borvane program), BORVANE_WINEPREFIX
# (the prefix to use).
# Exits 77 (skipped), with the reason, only when Wine itself is not
# installed or, for --32, when this machine runs no 32-bit program or 32-bit
# Wine is not installed.
set -euo pipefail

# Debian's `wine` starts the 32-bit loader whenever 32-bit Wine is installed,
# even on a kernel that refuses 32-bit programs, and a 32-bit script host
# cannot load the 64-bit build nor the other way round: every step names its
# loader.
loader64=/usr/lib/wine/wine64
loader=$loader64
[ -x "$loader" ] || { echo "64-bit Wine (wine64) is not installed: skipped"; exit 77; }
# One wine server for both widths: the 64-bit one serves 32-bit programs too.
wineserver=/usr/lib/wine/wineserver64

: "${BORVANE_WINEPREFIX:?}"
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

# Wine's SetLocalTime ends in settimeofday: with CAP_SYS_TIME (root in CI)
# a component under test could set this machine's real clock. Every Wine
# process (wine, the wine server it starts, the Windows programs) runs
# without that right, in its effective, permitted and bounding sets, so
# nothing started below it can regain it.
without_clock_right() {
  setpriv --bounding-set=-sys_time --inh-caps=-sys_time "$@"
}

system_dir='C:\windows\system32'
build_dir="${BORVANE_WINDOWS_DIR:-}"
if [ "${1:-}" = "--32" ]; then
  shift
  # Whether 32-bit programs run is the kernel's choice, not the packages':
  # ask by running one.
  if ! why=$("$(dirname "$0")/../../scripts/runs_32bit.sh"); then
    echo "$why: skipped"
    exit 77
  fi
  # Debian's wine32 package brings the 32-bit loader; without it a prefix
  # runs no 32-bit program.
  loader=/usr/lib/wine/wine
  if [ ! -x "$loader" ]; then
    echo "32-bit Wine (wine32:i386) is not installed: skipped"
    exit 77
  fi
  system_dir='C:\windows\syswow64'
  build_dir="${BORVANE_WINDOWS32_DIR:-}"
fi
ocx="$build_dir/borvane.ocx"

wait_for_server() {
  without_clock_right timeout 60 "$wineserver" -w
}

# A Unix path as Wine names it, on its Z: drive.
winpath() { local p="$1"; printf 'Z:%s' "${p//\//\\}"; }

# headless_registry [LINE...]: Wine's null graphics driver, which still
# paints windows and reads them back without a display, plus any further
# .reg lines; then lets the wine server end, since it chooses the driver
# when it starts.
headless_registry() {
  local reg
  reg=$(mktemp --suffix=.reg)
  {
    printf 'Windows Registry Editor Version 5.00\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\Drivers]\r\n"Graphics"="null"\r\n\r\n'
    if (($#)); then printf '%s\r\n' "$@"; fi
  } >"$reg"
  without_clock_right timeout 60 "$loader" regedit /S "$(winpath "$reg")"
  rm -f "$reg"
  wait_for_server
}

step="${1:?step}"
shift
case "$step" in
  prefix)
    without_clock_right "$wineserver" -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
    # Making a prefix takes seconds to a minute; give up after three. Each
    # step waits for its wine server to end, so that no Wine process keeps
    # the test's output open after the step.
    without_clock_right timeout 180 "$loader" wineboot -i
    wait_for_server
    ;;
  check|check64)
    # check64: the 64-bit build's check, as a step of the 32-bit run (what
    # unregistering the 32-bit build left of the 64-bit one).
    if [ "$step" = check64 ]; then
      loader=$loader64
      build_dir="${BORVANE_WINDOWS_DIR:-}"
      ocx="$build_dir/borvane.ocx"
    fi
    : "${build_dir:?}"
    status=0
    without_clock_right timeout 120 "$loader" "$build_dir/wine_check.exe" "$1" "$ocx" || status=$?
    wait_for_server
    exit "$status"
    ;;
  regsvr32)
    : "${build_dir:?}"
    without_clock_right timeout 120 "$loader" "$system_dir\\regsvr32.exe" /s "$@" "$ocx"
    wait_for_server
    echo "regsvr32 $* $ocx: succeeded"
    ;;
  cscript)
    : "${BORVANE_BINARY:?}"
    log=$(mktemp)
    output=$(mktemp)
    "$BORVANE_BINARY" serve --listen 127.0.0.1:0 --offset-ms 0 >"$log" 2>&1 &
    server=$!
    trap 'kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; rm -f "$log" "$output"' EXIT
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
    BORVANE_SERVICE_URL="$url" without_clock_right timeout 120 "$loader" "$system_dir\\cscript.exe" \
      //nologo "$(without_clock_right "$loader" winepath.exe -w "$script_dir/client_test.vbs")" \
      >"$output" 2>&1 || status=$?
    wait_for_server
    tr -d '\r' <"$output"
    # Wine's script host exits 0 when a script stops on a run-time error
    # (no object, no member): only a script that reached its last line ran
    # every check.
    if [ "$(tr -d '\r' <"$output" | grep -v '^$' | tail -n1)" != "all checks ran" ]; then
      echo "the script stopped before its last check"
      [ "$status" -ne 0 ] || status=1
    fi
    exit "$status"
    ;;
  host)
    # The control's hourly re-check sets the clock here: without the right
    # (without_clock_right above), the refusal line shows.
    : "${BORVANE_BINARY:?}"
    work=$(mktemp -d)
    services=()
    cleanup_host() {
      for pid in "${services[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
      rm -rf "$work"
    }
    trap cleanup_host EXIT
    # start_service LOG OFFSET_MS: a time service on a free loopback port
    # that logs every query it answers; leaves its address in service_url.
    # (It runs in this shell, not in a $(...) subshell, so that the
    # cleanup knows every service it has to stop.)
    start_service() {
      "$BORVANE_BINARY" serve --listen 127.0.0.1:0 --offset-ms "$2" --report-queries >"$1" 2>&1 &
      services+=($!)
      service_url=""
      for _ in $(seq 1 100); do
        service_url=$(grep -o 'http://127\.0\.0\.1:[0-9]*' "$1" | head -n1 || true)
        [ -n "$service_url" ] && return 0
        sleep 0.05
      done
      echo "borvane serve did not start" >&2; cat "$1" >&2
      return 1
    }
    # Headless. The panel names Latin faces (Arial, MS Sans Serif) for its
    # Chinese texts; Wine's own fonts have no CJK glyphs and it links no
    # face behind them, so in this prefix only the two names stand for the
    # CJK face, which has Latin letters too.
    cp /usr/share/fonts/truetype/wqy/wqy-microhei.ttc "$WINEPREFIX/drive_c/windows/Fonts/"
    headless_registry \
      '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]' \
      '"Arial"="WenQuanYi Micro Hei"' '"MS Sans Serif"="WenQuanYi Micro Hei"'

    start_service "$work/queries.log" 0
    url=$service_url
    echo "time service: $url"
    # The Linux panel's picture, for the parts no font draws.
    "$BORVANE_BINARY" panel --snapshot "$work/linux.png" --service "$url" >/dev/null
    mkdir "$work/hourly"
    BORVANE_SERVICE_URL="$url" without_clock_right timeout 150 "$loader" "$build_dir/host_check.exe" \
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
      start_service "$work/hourly/queries" "$(offset)"
      hourly=$service_url
      echo "hourly service: $hourly"
      echo "$hourly" >"$work/hourly/url.part"
      mv "$work/hourly/url.part" "$work/hourly/url"
    fi
    status=0
    wait "$host" || status=$?
    wait_for_server
    exit "$status"
    ;;
  probe)
    : "${build_dir:?}"
    headless_registry
    status=0
    # warn+heap: Wine checks its heap on every call, so a use after free
    # in a callback shows as a fault or a heap warning.
    WINEDEBUG=warn+heap without_clock_right timeout 120 "$loader" "$build_dir/probe_host.exe" \
      "$(without_clock_right "$loader" winepath.exe -w "$ocx")" "$@" 2>"$build_dir/probe.err" \
      || status=$?
    wait_for_server
    if grep -i "heap" "$build_dir/probe.err" | grep -iv "^fixme" | head -n 20 | grep -q .; then
      echo "Wine's heap checks complained:"
      grep -i "heap" "$build_dir/probe.err" | head -n 20
      [ "$status" -ne 0 ] || status=1
    fi
    exit "$status"
    ;;
  cleanup)
    without_clock_right "$wineserver" -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
    ;;
  *)
    echo "unknown step $step" >&2
    exit 2
    ;;
esac
