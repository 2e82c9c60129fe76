# Sourced by the run and test scripts: a private Wine prefix and, when needed, a private Xvfb.
# Everything started here is stopped again by stop_wine_session, by PID.

export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
export WINELOADER=/usr/lib/wine/wine64
export WINESERVER=/usr/lib/wine/wineserver64
# No Mono or Gecko installer prompts while the prefix is made, and no debugger that waits
# forever on a crashed program: a crash ends the process.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"

xvfb_pid=""
wineserver_pid=""

# Usage: start_private_xvfb [WIDTHxHEIGHT] (1920x1080, the size the tests expect, unless given)
start_private_xvfb() {
  local fifo display_number size=${1:-1920x1080}
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 "${size}x24" -noreset -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  xvfb_pid=$!
  read -r -t 30 display_number <"$fifo" || { echo "Xvfb did not start" >&2; rm -f "$fifo"; return 1; }
  rm -f "$fifo"
  export DISPLAY=":$display_number"
}

# Makes the prefix on first use; the marker is written only once it is complete. A second
# argument sets the display's DPI (LogPixels) for the prefix.
ensure_wine_prefix() {
  export WINEPREFIX=$1
  [ -f "$WINEPREFIX/.vimlet-ready" ] && return 0
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  "$WINELOADER" wineboot --init >/dev/null 2>&1
  # Japanese dialog text asks for MS UI Gothic; IPA's P Gothic has the glyphs.
  "$WINELOADER" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'MS UI Gothic' /d 'IPAPGothic' /f >/dev/null 2>&1
  # Without a window manager, Wine would wait for one on every hide or destroy of a window.
  "$WINELOADER" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  if [ -n "${2:-}" ]; then
    "$WINELOADER" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$2" /f >/dev/null 2>&1
  fi
  "$WINESERVER" -w
  touch "$WINEPREFIX/.vimlet-ready"
}

# One warm wineserver for the whole session; otherwise each process pays for a new one. A
# console that waits on a pipe keeps Wine's service processes up, started with our output
# redirected, so that they never hold a test runner's output pipe open.
start_wineserver() {
  "$WINESERVER" -p >/dev/null 2>&1 &
  wineserver_pid=$!
  local fifo
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  "$WINELOADER" cmd.exe /q <"$fifo" >/dev/null 2>&1 &
  exec 4>"$fifo"
  rm -f "$fifo"
  # Waits for the desktop process, so that no test program is the one that starts it.
  "$WINELOADER" cmd.exe /c exit >/dev/null 2>&1
}

stop_wineserver() {
  if [ -n "$wineserver_pid" ]; then
    exec 4>&-
    "$WINESERVER" -k >/dev/null 2>&1 || true
    wait "$wineserver_pid" 2>/dev/null || true
    wineserver_pid=""
  fi
}

stop_wine_session() {
  stop_wineserver
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
}
