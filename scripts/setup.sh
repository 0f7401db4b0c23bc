#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running borvane need.
# Safe to run again: packages already present are left alone.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libcurl4-openssl-dev libboost-dev libssl-dev openssl libcpp-httplib-dev nlohmann-json3-dev libcli11-dev
  libpango1.0-dev libcairo2-dev libstb-dev libgtk-4-dev
  fonts-liberation2 fonts-wqy-microhei
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xdotool wrk nginx-light
  # Time tools beside ours: a real NTP server for the tests (run with -x,
  # never steering the clock), the metrics parser, and the peers the
  # accuracy benchmark compares with.
  chrony python3-prometheus-client ntpsec-ntpdate htpdate
  dpkg-dev time hyperfine man-db
  wine wine64 libwine-dev mingw-w64 mingw-w64-tools
  # 32-bit Wine, for the 32-bit borvane.ocx (about two minutes to install).
  wine32:i386
  clang libclang-rt-14-dev
)

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
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386
  fi
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
