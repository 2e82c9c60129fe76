#!/usr/bin/env bash
# Records docs/demo.gif from a real run: Vimlet and Wine's Notepad on a small private Xvfb,
# text typed into Notepad, then one mouse movement. X screenshots leave the pointer out, so a
# pointer is drawn at the position recorded with each frame, except where Vimlet has parked it
# (on the parking window no cursor is shown). Usage: scripts/record-demo.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VIMLET_BUILD_DIR:-$root/build}
width=640 height=360
parked="$((width - 2)),$((height - 2))"

"$root/scripts/install-deps.sh" test
"$root/scripts/build.sh" Vimlet

. "$root/scripts/wine-env.sh"
frames=$(mktemp -d)
trap 'stop_wine_session; rm -rf "$frames"' EXIT
start_private_xvfb "${width}x${height}"
# A prefix of its own whose Wine desktop fills the screen, as the desktop does on Windows: the
# mouse movement that leaves the parking window lands on a window of Wine's, where the hooks run.
ensure_wine_prefix "$build/wineprefix-demo"
"$WINELOADER" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
"$WINELOADER" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d "${width}x${height}" /f >/dev/null 2>&1
"$WINESERVER" -w
start_wineserver

# Waits (bounded) until the command succeeds.
wait_for() {
  for _ in $(seq 300); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "gave up waiting for: $*" >&2
  return 1
}
pointer() { xdotool getmouselocation | sed -E 's/x:([0-9]+) y:([0-9]+).*/\1,\2/'; }
pointer_is() { [ "$(pointer)" = "$1" ]; }

# Notepad opens where this says, at this size.
notepad_key='HKCU\Software\Microsoft\Notepad'
for value in iWindowPosX=40 iWindowPosY=30 iWindowPosDX=520 iWindowPosDY=260 iPointSize=140; do
  "$WINELOADER" reg add "$notepad_key" /v "${value%=*}" /t REG_DWORD /d "${value#*=}" /f >/dev/null 2>&1
done
"$WINELOADER" "$build/bin/Vimlet.exe" &
wait_for xdotool search --name '^Vimlet$'
"$WINELOADER" notepad.exe &
wait_for xdotool search --name 'Notepad'

count=0
# One frame: the screen, and where the pointer is.
frame() {
  local name
  name=$(printf '%s/%03d' "$frames" "$count")
  import -window root "$name.png"
  pointer >"$name.pointer"
  count=$((count + 1))
}

xdotool mousemove 330 170
wait_for pointer_is 330,170
for _ in 1 2 3; do
  xdotool mousemove_relative -- -8 4
  frame
done
# A click puts Notepad in front. Until its edit control has seen the button go up it holds
# the mouse capture, and Vimlet leaves the cursor alone during a drag: let the click finish.
xdotool mousedown 1
sleep 0.3
xdotool mouseup 1
sleep 1
before_typing=$(pointer)
# Lower case only: Left Shift is a suppressor key, and here, after a capital typed through X,
# the following keys did not park the cursor either.
for word in "typing " "hides " "the " "cursor"; do
  xdotool type --delay 60 "$word"
  wait_for pointer_is "$parked"
  frame
done
for _ in 1 2 3; do frame; done
# The first movement brings the pointer back to where it was.
xdotool mousemove_relative 3 3
wait_for pointer_is "$before_typing"
for _ in 1 2 3 4 5 6; do
  frame
  xdotool mousemove_relative 6 -3
done
for _ in 1 2 3; do frame; done

# The pointer: a white arrow with a black edge, its tip at the recorded point.
sprite="$frames/pointer.png"
convert -size 13x20 xc:none -fill white -stroke black -strokewidth 1 \
  -draw 'polygon 0,0 0,16 4,12 7,18 9,17 6,11 11,11' "$sprite"
for shot in "$frames"/[0-9]*.png; do
  at=$(cat "${shot%.png}.pointer")
  [ "$at" = "$parked" ] && continue
  convert "$shot" "$sprite" -geometry "+${at%,*}+${at#*,}" -composite "$shot"
done
convert -delay 40 -loop 0 "$frames"/[0-9]*.png -layers Optimize "$root/docs/demo.gif"
echo "wrote docs/demo.gif ($count frames)"
