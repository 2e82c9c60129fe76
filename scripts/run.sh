#!/usr/bin/env bash
# Builds Vimlet and starts it under Wine: on $DISPLAY when there is one, else on a private Xvfb.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VIMLET_BUILD_DIR:-$root/build}

"$root/scripts/install-deps.sh" run
"$root/scripts/build.sh" Vimlet

. "$root/scripts/wine-env.sh"
trap stop_wine_session EXIT
if [ -z "${DISPLAY:-}" ]; then
  start_private_xvfb
  echo "No display: Vimlet runs on a private Xvfb at DISPLAY=$DISPLAY (1920x1080)."
  echo "Look at it with: import -display $DISPLAY -window root screen.png"
  echo "Type into a Wine program on it with: DISPLAY=$DISPLAY WINEPREFIX=$build/wineprefix wine notepad"
fi
ensure_wine_prefix "$build/wineprefix"
start_wineserver
echo "Vimlet is running (Ctrl+C ends it)."
"$WINELOADER" "$build/bin/Vimlet.exe"
