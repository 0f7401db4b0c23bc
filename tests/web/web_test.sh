#!/bin/sh
# The web panel's test steps, each skipping (exit 77) with its reason where
# something it needs is missing:
#   web_test.sh npm          install the pinned browser driver (npm ci from
#                            the lock file, from npm's cache when offline)
#   web_test.sh charconv     the web build's double conversion, under node
#   web_test.sh browser      the element in headless Chromium against
#                            borvane serve on loopback
# Environment: BORVANE_WEB_DIR (the web build), BORVANE_WEB_TESTS_DIR (where
# the driver is installed), BORVANE_SERVE and BORVANE_BINARY (the programs).
set -u
here=$(cd "$(dirname "$0")" && pwd)
skip() { echo "$1: skipped"; exit 77; }

command -v node >/dev/null 2>&1 || skip "node is not installed (scripts/setup.sh installs nodejs)"
[ -f "$BORVANE_WEB_DIR/borvane-client.js" ] || skip "the web panel was not built (emscripten is missing)"

case "$1" in
  npm)
    command -v npm >/dev/null 2>&1 || skip "npm is not installed (scripts/setup.sh installs it)"
    mkdir -p "$BORVANE_WEB_TESTS_DIR"
    # Installed once per lock file.
    if cmp -s "$here/package-lock.json" "$BORVANE_WEB_TESTS_DIR/package-lock.json" &&
       [ -d "$BORVANE_WEB_TESTS_DIR/node_modules/puppeteer-core" ]; then
      echo "puppeteer-core is installed from this lock file"
      exit 0
    fi
    cp "$here/package.json" "$here/package-lock.json" "$BORVANE_WEB_TESTS_DIR/"
    # --ignore-scripts: no install script runs, so no browser is downloaded.
    if ! (cd "$BORVANE_WEB_TESTS_DIR" &&
          npm ci --prefer-offline --ignore-scripts --no-audit --no-fund); then
      rm -f "$BORVANE_WEB_TESTS_DIR/package-lock.json"
      skip "npm could not install puppeteer-core (no network and not in npm's cache)"
    fi
    ;;
  charconv)
    exec node "$BORVANE_WEB_DIR/charconv_check.js"
    ;;
  browser)
    [ -x /usr/bin/chromium ] || skip "chromium is not installed (scripts/setup.sh installs it)"
    [ -d "$BORVANE_WEB_TESTS_DIR/node_modules/puppeteer-core" ] ||
      skip "puppeteer-core is not installed (the web_npm step installs it)"
    exec node "$here/web_panel_test.mjs" "$BORVANE_SERVE" "$BORVANE_BINARY" \
      "$BORVANE_WEB_TESTS_DIR/node_modules"
    ;;
  *)
    echo "usage: web_test.sh npm|charconv|browser" >&2
    exit 2
    ;;
esac
