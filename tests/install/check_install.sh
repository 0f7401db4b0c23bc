#!/usr/bin/env bash
# Installs a built tree into a temporary prefix and checks it from there:
# the program and its drawing half, the GTK4 example built once through
# pkg-config and once through find_package(borvane) and run headless until
# the panel's first query is answered, and the Debian package unpacked and
# run. Everything talks only to a `borvane serve` on loopback started here.
#   check_install.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$(realpath "$1")
source=$(realpath "$2")
work=$(mktemp -d)
serve_pid=
cleanup() {
  [ -n "$serve_pid" ] && kill -TERM "$serve_pid" 2>/dev/null && wait "$serve_pid" || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
# Nothing started here may set the real clock: the GTK example has a
# working 校准 button and an hourly re-check, and CI runs as root.
no_clock=(setpriv --bounding-set=-sys_time --inh-caps=-sys_time)

prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
echo "== installed files"
(cd "$prefix" && find . -type f -o -type l | sort)

for f in bin/borvane libexec/borvane/borvane-panel include/borvane/panel_widget.h \
         share/man/man1/borvane.1 share/applications/borvane.desktop \
         share/icons/hicolor/scalable/apps/borvane.svg lib/systemd/system/borvane-watch.service; do
  [ -e "$prefix/$f" ] || fail "$f not installed"
done
libdir=$(dirname "$(find "$prefix" -name 'libborvane-gtk.so.1' | head -1)")
[ -d "$libdir" ] || fail "libborvane-gtk.so.1 not installed"
man -l "$prefix/share/man/man1/borvane.1" >/dev/null 2>&1 || fail "the man page does not render"

# The service, on a free loopback port.
"$prefix/bin/borvane" serve --listen 127.0.0.1:0 >"$work/serve.log" &
serve_pid=$!
for _ in $(seq 50); do grep -q 'http://' "$work/serve.log" && break; sleep 0.1; done
url=$(grep -o -m1 'http://127.0.0.1:[0-9]*' "$work/serve.log" | head -n1 || true)
[ -n "$url" ] || fail "borvane serve did not start"

"$prefix/bin/borvane" query --service "$url" | grep -q '北京时间' || fail "installed borvane query"
"$prefix/bin/borvane" panel --help | grep -q -- '--snapshot' || fail "installed borvane panel --help"
# No address: handed over to borvane-serve in libexec, which starts the service.
"$prefix/bin/borvane" query | grep -q 'embedded reference service' \
  || fail "installed borvane query against the embedded service"

echo "== the example through pkg-config"
export PKG_CONFIG_PATH="$libdir/pkgconfig"
c++ -std=c++17 -o "$work/embed-pc" "$source/examples/gtk-embed/main.cpp" \
  $(pkg-config --cflags --libs borvane) || fail "the example does not build through pkg-config"

echo "== the example through find_package"
cmake -S "$source/examples/gtk-embed" -B "$work/embed-cmake" -G Ninja \
  -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/embed-cmake" >/dev/null || fail "the example does not build through find_package"

for program in "$work/embed-pc" "$work/embed-cmake/gtk-embed"; do
  out=$(LD_LIBRARY_PATH="$libdir" timeout 60 xvfb-run -a "${no_clock[@]}" \
        "$program" --service "$url" --dry-run --exit-after-first-query 2>"$work/embed.err") \
    || { cat "$work/embed.err" >&2; fail "$program did not run"; }
  echo "$out"
  grep -Eq '^first query: [0-9]{4}-[0-9]{2}-[0-9]{2} [0-9:]{8}\.[0-9]{3} \| \[ 您的系统时间' <<<"$out" \
    || fail "$program showed no answered query"
done

echo "== the Debian package"
(cd "$work" && cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/package" >/dev/null) \
  || fail "cpack -G DEB failed"
deb=$(ls "$work"/package/borvane_*_amd64.deb) || fail "no borvane_<version>_amd64.deb"
basename "$deb"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
grep -q libcurl <<<"$depends" || fail "the package's dependencies were not found"
dpkg-deb -x "$deb" "$work/root"
"$work/root/usr/bin/borvane" --help | grep -q watch || fail "packaged borvane --help"
"$work/root/usr/bin/borvane" query --service "$url" | grep -q '北京时间' \
  || fail "packaged borvane query"
"$work/root/usr/bin/borvane" query | grep -q 'embedded reference service' \
  || fail "packaged borvane query against the embedded service"
echo "install, example and package: all checks passed"
