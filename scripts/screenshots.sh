#!/usr/bin/env bash
# Renders the settings, add-application and About dialogs on a private Xvfb and writes them to
# docs/*.png. Usage: scripts/screenshots.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VIMLET_BUILD_DIR:-$root/build}

"$root/scripts/build.sh" screenshot_driver

. "$root/scripts/wine-env.sh"
trap stop_wine_session EXIT
start_private_xvfb
# The prefix leaves window frames to Wine (no window manager runs on Xvfb to draw them).
ensure_wine_prefix "$build/wineprefix"
start_wineserver
# The caption buttons' glyphs come from Marlett (Debian's fonts-wine).
marlett=/usr/share/wine/fonts/marlett.ttf
if [ -f "$marlett" ]; then
  cp "$marlett" "$WINEPREFIX/drive_c/windows/Fonts/"
else
  echo "no $marlett (package fonts-wine): the close boxes will show a letter" >&2
fi

# Captures the rectangle until two captures in a row agree, so that no half-painted dialog
# ends up in the documentation.
capture() {
  local out=$1 geometry="$4x$5+$2+$3" previous
  previous=$(mktemp --suffix=.png)
  import -window root -crop "$geometry" +repage -strip "$previous"
  for _ in $(seq 50); do
    import -window root -crop "$geometry" +repage -strip "$out"
    cmp -s "$out" "$previous" && break
    cp "$out" "$previous"
    sleep 0.2
  done
  rm -f "$previous"
  echo "wrote ${out#"$root"/}"
}

mkdir -p "$root/docs"
coproc driver { cd "$build/bin" && exec "$WINELOADER" ./screenshot_driver.exe 2>/dev/null; }
# The driver prints "<name> <left> <top> <width> <height>" for each dialog it has put on screen.
while read -r -t 120 -u "${driver[0]}" name left top width height; do
  height=${height%$'\r'}
  [ "${name%$'\r'}" = done ] && break
  capture "$root/docs/$name.png" "$left" "$top" "$width" "$height"
  echo >&"${driver[1]}"
done
wait "$driver_PID"
