#!/usr/bin/env bash
# The release zip, run by ctest inside scripts/test.sh's session (DISPLAY set).
# 1. Packed from this build and from a second build of a copy of the sources at another path,
#    the zips are the same bytes: no time stamps or build paths in the binaries or the archive.
# 2. Unpacked into the user's profile in a fresh Wine prefix, the files match SHA256SUMS,
#    Vimlet starts from there, and typing into an application parks the cursor.
# Usage: release_test.sh <build folder>
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$1
work=$(mktemp -d)

. "$root/scripts/wine-env.sh"
trap 'stop_wine_session; rm -rf "$work"' EXIT

VIMLET_BUILD_DIR=$build "$root/scripts/release.sh" >"$work/first.txt"
zip=$(head -n 1 "$work/first.txt")

mkdir "$work/sources"
tar -C "$root" --exclude='./build*' --exclude=./.git -cf - . | tar -C "$work/sources" -xf -
VIMLET_BUILD_DIR=$work/sources/out "$work/sources/scripts/release.sh" >"$work/second.txt"
if ! cmp "$zip" "$(head -n 1 "$work/second.txt")"; then
  echo "FAIL: two builds gave different zips" >&2
  exit 1
fi
echo "same bytes from two builds: $(tail -n 1 "$work/first.txt")"

ensure_wine_prefix "$work/prefix"
start_wineserver
profile=$("$WINELOADER" cmd.exe /c echo %USERPROFILE% | tr -d '\r')
folder=$("$WINELOADER" winepath.exe -u "$profile\\Vimlet" | tr -d '\r')
python3 -m zipfile -e "$zip" "$folder"
(cd "$folder" && sha256sum --check --quiet SHA256SUMS)
# The test program, beside the unpacked Vimlet.exe, loads the unpacked vimlet.dll and starts
# the unpacked Vimlet.exe.
cp "$build/bin/app_program_test.exe" "$folder/"
"$WINELOADER" "$folder/app_program_test.exe" \
  --gtest_filter='Program.TypingParksTheCursorAndTheMouseBringsItBack:Program.AddsItsIconToTheTray'
