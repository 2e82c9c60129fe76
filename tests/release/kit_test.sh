#!/usr/bin/env bash
# The Windows test kit, run by ctest inside scripts/test.sh's session: it holds no path of the
# sources or the build, and unpacked alone into C:\kit of a fresh Wine prefix, its run-tests.cmd
# passes under Wine's cmd.exe with every test program that ctest runs.
# Usage: kit_test.sh <build folder>
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$1
work=$(mktemp -d)

. "$root/scripts/wine-env.sh"
trap 'stop_wine_session; rm -rf "$work"' EXIT

kit=$(VIMLET_BUILD_DIR=$build "$root/scripts/windows-test-kit.sh" | tail -n 1)
# A display of its own, as a machine of its own would have: the session's server keeps windows
# on the other one, and the pointer and X's keyboard focus there are shared with it.
start_private_xvfb
ensure_wine_prefix "$work/prefix"
folder=$WINEPREFIX/drive_c/kit
python3 -m zipfile -e "$kit" "$folder"

# Narrow and UTF-16, with either slash: what a compiled-in path would look like.
python3 - "$folder" "$root" "$build" <<'EOF'
import pathlib, sys
folder, paths = pathlib.Path(sys.argv[1]), sys.argv[2:]
forms = []
for path in paths:
    for text in (path, path.replace("/", "\\")):
        forms += [text.encode(), text.encode("utf-16-le")]
found = [f.name for f in folder.iterdir() if any(form in f.read_bytes() for form in forms)]
if found:
    sys.exit(f"FAIL: a path of the sources or the build is in {', '.join(found)}")
EOF

start_wineserver
status=0
"$WINELOADER" cmd.exe /c 'C:\kit\run-tests.cmd' >"$work/out.txt" 2>&1 || status=$?
tr -d '\r' <"$work/out.txt" >"$work/log.txt"
# Each program's result, and why any test skipped.
awk '/: Skipped$/ { getline why; print "skipped: " why; next }
     /^(===|passed:|FAILED:|\[  PASSED  \])|passed, / { print }' "$work/log.txt"
programs=$(cd "$build" && ctest --show-only=json-v1 |
  python3 -c 'import json, sys; print(sum(t.get("command", [""])[0] == sys.argv[1] for t in json.load(sys.stdin)["tests"]))' \
    "$root/scripts/wine-run")
passed=$(grep -c '^passed: ' "$work/log.txt" || true)
if [ "$status" -ne 0 ] || [ "$passed" -lt "$programs" ]; then
  echo "FAIL: run-tests.cmd exited with $status; $passed of the $programs programs that ctest runs passed" >&2
  # The whole output of each program that failed.
  awk '/^=== / { section = "" } { section = section $0 "\n" } /^FAILED: / { printf "%s", section }' \
    "$work/log.txt" >&2
  exit 1
fi
echo "the kit passed: $passed test programs, $(grep -oE '^\[  PASSED  \] [0-9]+' "$work/log.txt" |
  awk '{ s += $4 } END { print s }') tests"
