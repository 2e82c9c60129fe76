#!/usr/bin/env bash
# The Windows test kit, run by ctest inside scripts/test.sh's session. The kit holds every
# program that ctest runs and no path of the sources or the build; unpacked alone into C:\kit of
# a fresh Wine prefix, its run-tests.cmd runs one of them there under Wine's cmd.exe and reports
# it as it would on Windows. The programs' own results are ctest's: running them all a second
# time here would show nothing new.
# Usage: kit_test.sh <build folder>
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$1
work=$(mktemp -d)
# It reads the files beside it: VERSION, Vimlet.exe and vimlet.dll.
program=app_resources_test

. "$root/scripts/wine-env.sh"
trap 'stop_wine_session; rm -rf "$work"' EXIT

kit=$(VIMLET_BUILD_DIR=$build "$root/scripts/windows-test-kit.sh" | tail -n 1)
tests=$(cd "$build" && ctest --show-only=json-v1)
python3 - "$kit" "$tests" "$root/scripts/wine-run" "$root/scripts/wine-own-prefix" "$root" "$build" <<'EOF'
import json, pathlib, sys, zipfile

kit, tests, emulator, own_prefix, *paths = sys.argv[1:]
archive = zipfile.ZipFile(kit)
names = set(archive.namelist())
script = archive.read("run-tests.cmd").decode()
failures = []
for test in json.loads(tests)["tests"]:
    command = test.get("command", [""])
    if command[0] == emulator:
        program = command[1]
        if f"echo === {test['name']}\r\n" not in script:
            failures.append(f"run-tests.cmd does not run {test['name']}")
    elif command[0] == own_prefix:
        program = command[3]
    else:
        continue
    if pathlib.PurePath(program).name not in names:
        failures.append(f"{test['name']} runs {pathlib.PurePath(program).name}, which is not in the kit")
# Narrow and UTF-16, with either slash: what a compiled-in path would look like.
forms = []
for path in paths:
    for text in (path, path.replace("/", "\\")):
        forms += [text.encode(), text.encode("utf-16-le")]
failures += [f"{name} names a path of the sources or the build"
             for name in sorted(names) if any(form in archive.read(name) for form in forms)]
sys.exit("\n".join(f"FAIL: {failure}" for failure in failures) or None)
EOF

# A display of its own, as a machine of its own would have: the session's server keeps windows
# on the other one, and the pointer and X's keyboard focus there are shared with it.
start_private_xvfb
ensure_wine_prefix "$work/prefix"
python3 -m zipfile -e "$kit" "$WINEPREFIX/drive_c/kit"
start_wineserver

# Usage: expect_report EXIT_CODE ARGUMENT PATTERN... Runs C:\kit\run-tests.cmd ARGUMENT and
# checks its exit code and that each PATTERN matches a whole line of its output.
expect_report() {
  local expected=$1 argument=$2 status=0
  shift 2
  "$WINELOADER" cmd.exe /c 'C:\kit\run-tests.cmd' "$argument" 2>&1 | tr -d '\r' >"$work/log.txt" || status=$?
  local missing=()
  for pattern in "$@"; do grep -qxE -- "$pattern" "$work/log.txt" || missing+=("$pattern"); done
  if [ "$status" -ne "$expected" ] || [ ${#missing[@]} -gt 0 ]; then
    cat "$work/log.txt" >&2
    echo "FAIL: run-tests.cmd $argument exited with $status (expected $expected); no line matches: ${missing[*]}" >&2
    exit 1
  fi
}

expect_report 0 "$program" "=== $program" "\[  PASSED  \] [0-9]+ tests?\." "passed: $program" "1 passed, 0 failed"
grep -E '^\[  PASSED  \]|^passed|passed,' "$work/log.txt"
# Without a file it reads beside it, the same program fails, and the kit says so.
rm "$WINEPREFIX/drive_c/kit/VERSION"
expect_report 1 "$program" "FAILED: $program" "0 passed, 1 failed"
expect_report 1 no_such_test "no test program is named no_such_test"
echo "the kit holds every program that ctest runs, names no build path, and reports $program as on Windows"
