#!/usr/bin/env bash
# Builds everything and packs the test kit for a Windows machine: every test program that ctest
# runs under Wine, the programs they start, Vimlet.exe and vimlet.dll, and at the top
# run-tests.cmd, which runs each of them (or the one named: run-tests.cmd NAME) with ctest's
# arguments and exits non-zero when any fails. Prints the kit's path. Usage: scripts/windows-test-kit.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VIMLET_BUILD_DIR:-$root/build}

"$root/scripts/build.sh" >&2
version=$(head -n 1 "$root/VERSION")
kit="$build/release/Vimlet-$version-tests.zip"
mkdir -p "$build/release"
tests=$(cd "$build" && ctest --show-only=json-v1)
python3 - "$tests" "$root/scripts/wine-run" "$build/bin" "$kit" <<'EOF'
import json, pathlib, sys, zipfile

tests, emulator, binaries, kit = json.loads(sys.argv[1]), sys.argv[2], pathlib.Path(sys.argv[3]), sys.argv[4]
runs = []
for test in tests["tests"]:
    command = test.get("command", [])
    if len(command) > 1 and command[0] == emulator:
        runs.append((test["name"], pathlib.PureWindowsPath(command[1]).name, command[2:]))

lines = ["@echo off",
         "rem Runs every test program of this kit, or the one named (run-tests.cmd NAME), from the",
         "rem folder it lies in; exits 1 if any fails or none has that name.",
         "setlocal",
         'cd /d "%~dp0"',
         "set passed=0",
         "set failed=0",
         "set all=1",
         'if not "%~1"=="" set all=0']
# Wine's cmd.exe takes no if inside an if: the choice goes through a variable.
for name, program, arguments in runs:
    lines += ["set run=%all%",
              f'if /i "%~1"=="{name}" set run=1',
              f"if %run%==0 goto after_{name}",
              f"echo === {name}",
              " ".join([program] + arguments),
              f"if errorlevel 1 (set /a failed+=1 & echo FAILED: {name}) else (set /a passed+=1 & echo passed: {name})",
              f":after_{name}"]
lines += ["echo %passed% passed, %failed% failed",
          "if not %failed%==0 exit /b 1",
          "if %passed%==0 (echo no test program is named %~1& exit /b 1)",
          "exit /b 0"]

with zipfile.ZipFile(kit, "w", zipfile.ZIP_DEFLATED) as archive:
    archive.writestr("run-tests.cmd", "\r\n".join(lines) + "\r\n")
    for path in sorted(binaries.iterdir()):
        if path.suffix in (".exe", ".dll") or path.name == "VERSION":
            archive.write(path, path.name)
print(kit)
EOF
