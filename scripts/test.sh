#!/usr/bin/env bash
# Builds everything and runs every test under Wine on a private Xvfb. Usage: scripts/test.sh [ctest args]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VIMLET_BUILD_DIR:-$root/build}

"$root/scripts/install-deps.sh" test
"$root/scripts/build.sh"

. "$root/scripts/wine-env.sh"
trap stop_wine_session EXIT
start_private_xvfb
start_two_monitor_xorg "$build/xorg"
ensure_wine_prefix "$build/wineprefix"
start_wineserver

cd "$build"
ctest --output-on-failure "$@"
