#!/usr/bin/env bash
# Runs every benchmark under Wine on a private Xvfb, prints one table, and writes it with the
# machine, the date, the command and a plot of the hide and restore latencies to
# docs/PERFORMANCE.md. Takes about five minutes after the build. Usage: scripts/bench.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VIMLET_BUILD_DIR:-$root/build}
bin=$build/bin
out=$build/bench-results

"$root/scripts/install-deps.sh" test
"$root/scripts/build.sh"
rm -rf "$out"
mkdir -p "$out/pointer"
# The X11 harness is a native program of this machine.
cc -O2 -o "$out/pointer_harness" "$root/bench/x11/pointer_harness.c" -lX11 -lXtst

. "$root/scripts/wine-env.sh"
started=()
stop_started() {
  local pid
  for pid in "${started[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  started=()
}
# The Wine setups run in hosts that remove their hooks and end when their input closes: a
# killed Wine process's hooks go on running in the other processes, and would act in the next
# setup. host_pid and host_fd by host name.
declare -A host_pid host_fd
start_host() {
  rm -f "$1.fifo" "$1.out"
  mkfifo "$1.fifo"
  "$WINELOADER" "$bin/$1.exe" <"$1.fifo" >"$1.out" 2>&1 &
  host_pid[$1]=$!
  exec {fd}>"$1.fifo"
  host_fd[$1]=$fd
  timeout 60 sh -c "until grep -q ready '$1.out'; do sleep 0.1; done"
}
# A child that has ended is a zombie until it is waited for.
has_ended() {
  local state
  state=$(sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | cut -d' ' -f1)
  [ -z "$state" ] || [ "$state" = Z ]
}
stop_host() {
  local pid=${host_pid[$1]} fd=${host_fd[$1]} i
  exec {fd}>&-
  unset "host_pid[$1]" "host_fd[$1]"
  for ((i = 0; i < 600; i++)); do has_ended "$pid" && break; sleep 0.1; done
  if ! has_ended "$pid" || ! wait "$pid"; then
    echo "$1 did not end by itself with exit code 0: its hooks may be left" >&2
    return 1
  fi
}
stop_hosts() {
  local name
  for name in "${!host_pid[@]}"; do stop_host "$name" || true; done
}
trap 'stop_hosts; stop_started; stop_wine_session' EXIT
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
# Nothing may hide or restore the pointer outside its own setup.
check_idle() {
  "$out/pointer_harness" --idle "$x" "$y" "$notepad_window" ||
    { echo "a hook is left $1: the run is not valid" >&2; exit 1; }
}
measure() {
  case $1 in
    xbanish) xbanish -m se & started+=($!); sleep 1
             "$out/pointer_harness" 30 "$x" "$y" >"pointer/$1-$2.txt"; stop_started ;;
    *) start_host "$1_host"
       "$out/pointer_harness" 30 "$x" "$y" "$notepad_window" >"pointer/$1-$2.txt"; stop_host "$1_host" ;;
  esac
  check_idle "after the $1 setup"
}
check_idle "before the first setup"
# Odd rounds in one order, even rounds in the reverse, so that no setup always follows another.
for round in 1 2 3 4 5 6; do
  order=(xbanish floor vimlet)
  ((round % 2)) || order=(vimlet floor xbanish)
  for setup in "${order[@]}"; do measure "$setup" "$round"; done
done
kill "$notepad" 2>/dev/null || true
wait "$notepad" 2>/dev/null || true
report pointer pointer

echo "== footprint (item 6)"
report footprint "$bin"
start_host vimlet_host
start_host floor_host
report idle "$(pgrep -n -f 'Vimlet\.exe')" "${host_pid[floor_host]}" 60
stop_host floor_host
stop_host vimlet_host

gnuplot -e "samples='$out/latency-samples.txt'; output='$root/docs/performance-latency.png'" "$root/bench/latency.gnuplot"
python3 "$root/bench/report.py" page "$rows" "scripts/bench.sh" "$root/docs/PERFORMANCE.md"
