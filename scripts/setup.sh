#!/usr/bin/env bash
# Installs the Debian packages borvane needs, by purpose:
#   setup.sh run    building and running the panel (the run command)
#   setup.sh test   that, plus everything the test suite, the Windows
#                   component, the fuzz harnesses and the benchmarks use
# Safe to run again: packages already present are left alone.
set -euo pipefail
cd "$(dirname "$0")/.."

purpose="${1:-test}"

run_packages=(
  cmake ninja-build g++ pkg-config
  libcurl4-openssl-dev libboost-dev libssl-dev nlohmann-json3-dev libcli11-dev
  libpango1.0-dev libcairo2-dev libstb-dev libgtk-4-dev
  fonts-liberation2 fonts-wqy-microhei
)
test_packages=(
  googletest libgtest-dev libgmock-dev libbenchmark-dev libcpp-httplib-dev openssl
  xvfb xauth xdotool wrk nginx-light
  # Time tools beside ours: a real NTP server for the tests (run with -x,
  # never steering the clock), the metrics parser, and the peers the
  # accuracy benchmark compares with.
  chrony python3-prometheus-client ntpsec-ntpdate htpdate
  dpkg-dev time hyperfine man-db python3
  wine wine64 libwine-dev mingw-w64 mingw-w64-tools
  clang libclang-rt-14-dev
  emscripten libfast-float-dev chromium nodejs
)

case "$purpose" in
  run) packages=("${run_packages[@]}") ;;
  test)
    packages=("${run_packages[@]}" "${test_packages[@]}")
    # npm installs the web tests' browser driver. Some nodejs builds bring
    # their own npm and conflict with Debian's package.
    command -v npm >/dev/null 2>&1 || packages+=(npm)
    # 32-bit Wine, for the 32-bit borvane.ocx (about two minutes to
    # install), only where this kernel runs 32-bit programs: elsewhere its
    # loader cannot start, and the 32-bit steps skip.
    if why=$(scripts/runs_32bit.sh); then
      packages+=(wine32:i386)
    else
      echo "borvane: $why; 32-bit Wine is not installed" >&2
    fi
    ;;
  *) echo "usage: scripts/setup.sh [run|test]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "borvane: installing ${missing[*]}" >&2
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  # wine32 is an i386 package: the machine must accept that architecture.
  if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386
  fi
  # No package may start its service while it installs: chrony's, started
  # as root, would steer this machine's clock. Debian asks policy-rc.d;
  # where the machine has none, one that refuses every start stands in for
  # the install.
  policy=/usr/sbin/policy-rc.d
  if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\n# borvane setup: no service starts while packages install\nexit 101\n' |
      "${sudo_cmd[@]}" tee "$policy" >/dev/null
    "${sudo_cmd[@]}" chmod 755 "$policy"
    trap '"${sudo_cmd[@]}" rm -f "$policy"' EXIT
  fi
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
