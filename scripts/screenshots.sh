#!/usr/bin/env bash
# Renders the settings, add-application and About dialogs on a private Xvfb and writes them to
# docs/: <name>.png at 96 DPI, <name>-144dpi.png at 144 DPI (150 % display scaling), and for
# the English guide <name>-en.png, the 144-DPI image with its controls labelled in English.
# Usage: scripts/screenshots.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VIMLET_BUILD_DIR:-$root/build}

"$root/scripts/install-deps.sh" test
"$root/scripts/build.sh" screenshot_driver

. "$root/scripts/wine-env.sh"
trap stop_wine_session EXIT
start_private_xvfb

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

# Renders every dialog in a prefix whose display runs at the given DPI; suffix names the files.
render() {
  local dpi=$1 suffix=$2 name left top width height controls
  # The prefix leaves window frames to Wine (no window manager runs on Xvfb to draw them).
  ensure_wine_prefix "$build/wineprefix${suffix}"
  "$WINELOADER" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  # Wine reads the DPI when its server starts.
  "$WINESERVER" -w
  start_wineserver
  # The caption buttons' glyphs come from Marlett (Debian's fonts-wine).
  local marlett=/usr/share/wine/fonts/marlett.ttf
  if [ -f "$marlett" ]; then
    cp "$marlett" "$WINEPREFIX/drive_c/windows/Fonts/"
  else
    echo "no $marlett (package fonts-wine): the close boxes will show a letter" >&2
  fi

  coproc driver { cd "$build/bin" && exec "$WINELOADER" ./screenshot_driver.exe 2>/dev/null; }
  # The driver prints "<name> <left> <top> <width> <height> <control>..." for each dialog it
  # has put on screen.
  while read -r -t 120 -u "${driver[0]}" name left top width height controls; do
    controls=${controls%$'\r'}
    [ "${name%$'\r'}" = done ] && break
    capture "$root/docs/$name$suffix.png" "$left" "$top" "$width" "$height"
    if [ "$suffix" = -144dpi ] && [ "$name" != about-dialog ]; then
      # shellcheck disable=SC2086 # one argument per control
      python3 "$root/scripts/annotate-screenshot.py" "$name" "$root/docs/$name$suffix.png" \
        "$root/docs/$name-en.png" $controls | sed "s|$root/||"
    fi
    echo >&"${driver[1]}"
  done
  wait "$driver_PID"
  stop_wineserver
}

mkdir -p "$root/docs"
render 96 ""
render 144 -144dpi
