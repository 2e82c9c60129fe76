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
xorg_pid=""
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

# Usage: start_two_monitor_xorg FOLDER. A second display where many users work: Xorg's dummy
# driver with two monitors, a primary of 1920x1080 and a second of 1280x1024 beside it, exported
# as VIMLET_MONITORS_DISPLAY; DISPLAY stays as it was. Its config and log go into FOLDER. Xorg
# needs root; without it, only the tests that ask for that display fail, and say why.
start_two_monitor_xorg() {
  local folder=$1 fifo display_number
  mkdir -p "$folder/xorg.conf.d"
  # No input devices and no terminal of the machine's: the display only shows Wine's windows.
  cat >"$folder/xorg.conf" <<'EOF'
Section "ServerFlags"
  Option "AutoAddDevices" "false"
  Option "AutoEnableDevices" "false"
  Option "DontVTSwitch" "true"
EndSection
Section "Device"
  Identifier "dummy"
  Driver "dummy"
  VideoRam 64000
EndSection
Section "Monitor"
  Identifier "monitor"
  HorizSync 5.0-1000.0
  VertRefresh 5.0-200.0
EndSection
Section "Screen"
  Identifier "screen"
  Device "dummy"
  Monitor "monitor"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Virtual 3200 1200
  EndSubSection
EndSection
EOF
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xorg -displayfd 3 -config "$folder/xorg.conf" -configdir "$folder/xorg.conf.d" -logfile "$folder/xorg.log" \
    -noreset -nolisten tcp -novtswitch -sharevts -keeptty 3>"$fifo" >/dev/null 2>&1 &
  xorg_pid=$!
  if ! read -r -t 30 display_number <"$fifo"; then
    rm -f "$fifo"
    echo "warning: Xorg did not start (it needs root; see $folder/xorg.log): the two-monitor tests will fail" >&2
    xorg_pid=""
    return 0
  fi
  rm -f "$fifo"
  export VIMLET_MONITORS_DISPLAY=":$display_number"
  DISPLAY=$VIMLET_MONITORS_DISPLAY xrandr --newmode vimlet-second 109.00 1280 1368 1496 1712 1024 1027 1034 1063 -hsync +vsync
  DISPLAY=$VIMLET_MONITORS_DISPLAY xrandr --addmode DUMMY1 vimlet-second
}

# Usage: use_two_monitor_display right|left. Moves to that display, the second monitor on that
# side of the primary (on the left, Windows gives it negative coordinates). Wine reads the
# monitors when its desktop process starts: call this before the prefix's wineserver starts.
use_two_monitor_display() {
  if [ -z "${VIMLET_MONITORS_DISPLAY:-}" ]; then
    echo "no two-monitor display: scripts/test.sh starts one (Xorg, as root)" >&2
    return 1
  fi
  export DISPLAY=$VIMLET_MONITORS_DISPLAY
  xrandr --output DUMMY0 --mode 1920x1080 --primary --output DUMMY1 --mode vimlet-second "--$1-of" DUMMY0
  # Wine's own query sees a change only after a full one.
  xrandr --listmonitors >/dev/null
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
  for pid in $xvfb_pid $xorg_pid; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
}
