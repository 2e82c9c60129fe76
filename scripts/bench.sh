#!/usr/bin/env bash
# Runs every benchmark under Wine on a private Xvfb, prints one table, and writes it with the
# machine, the date, the command and a plot of the hide and restore latencies to
# docs/PERFORMANCE.md. Takes about five minutes after the build. Usage: scripts/bench.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VIMLET_BUILD_DIR:-$root/build}
bin=$build/bin
out=$build/bench-results

"$root/scripts/build.sh"
rm -rf "$out"
mkdir -p "$out/pointer"
# The X11 harness is a native program of this machine.
cc -O2 -o "$out/pointer_harness" "$root/bench/x11/pointer_harness.c" -lX11 -lXtst

. "$root/scripts/wine-env.sh"
started=()
# The floor host ends, its hooks removed, when its input (fd 5) closes; the others by PID.
stop_started() {
  local pid
  exec 5>&-
  for pid in "${started[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  started=()
}
trap 'stop_started; stop_wine_session' EXIT
start_private_xvfb
ensure_wine_prefix "$build/wineprefix"
start_wineserver
cd "$out"
rows=$out/rows.txt
report() { python3 "$root/bench/report.py" "$@" | tee -a "$rows"; }
# A benchmark that fails (a lost key) says so and the others still run.
run_windows() { "$WINELOADER" "$bin/$1" "${@:2}" 2>&1 | tee -a "$rows" || echo "$1 failed: see above"; }
# The visible X window whose name is exactly $1, once it is there.
x_window() { timeout 60 xdotool search --sync --onlyvisible --name "^$1\$" | head -1; }
start_vimlet() { "$WINELOADER" "$bin/Vimlet.exe" >/dev/null 2>&1 & started+=($!); x_window Vimlet >/dev/null; }
start_floor() {
  rm -f floor.fifo floor.out
  mkfifo floor.fifo
  "$WINELOADER" "$bin/floor_host.exe" <floor.fifo >floor.out 2>&1 & started+=($!)
  exec 5>floor.fifo
  timeout 60 sh -c 'until grep -q ready floor.out; do sleep 0.1; done'
}

echo "== hook paths (items 1, 2, 5)"
run_windows hook_paths_bench.exe
echo "== end-to-end input under Wine (items 3, 7)"
run_windows input_bench.exe --samples latency-samples.txt
echo "== the program's windows as the desktop and the list grow (item 5)"
run_windows ui_bench.exe

echo "== the X11 harness: xbanish, the floor and Vimlet (item 4)"
"$WINELOADER" notepad >/dev/null 2>&1 & notepad=$!
x_window '.*Notepad' >/dev/null
sleep 2  # Wine may still replace the window's X window after first showing it
notepad_window=$(x_window '.*Notepad')
eval "$(xdotool getwindowgeometry --shell "$notepad_window")"
x=$((X + WIDTH / 2)); y=$((Y + HEIGHT / 2))
for round in 1 2 3; do
  xbanish -m se & started+=($!); sleep 1
  "$out/pointer_harness" 30 "$x" "$y" >"pointer/xbanish-$round.txt"; stop_started
  start_floor
  "$out/pointer_harness" 30 "$x" "$y" "$notepad_window" >"pointer/floor-$round.txt"; stop_started
  start_vimlet
  "$out/pointer_harness" 30 "$x" "$y" "$notepad_window" >"pointer/vimlet-$round.txt"; stop_started
done
kill "$notepad" 2>/dev/null || true
report pointer pointer

echo "== footprint (item 6)"
report footprint "$bin"
start_vimlet; vimlet=${started[-1]}
start_floor; reference=${started[-1]}
report idle "$vimlet" "$reference" 60
stop_started

gnuplot -e "samples='$out/latency-samples.txt'; output='$root/docs/performance-latency.png'" "$root/bench/latency.gnuplot"
# The notes on the last committed run stay with the page; edit bench/NOTES.md after a run.
python3 "$root/bench/report.py" page "$rows" "$root/bench/NOTES.md" "scripts/bench.sh" "$root/docs/PERFORMANCE.md"
