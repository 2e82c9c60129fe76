#!/usr/bin/env bash
# The release zip, run by ctest inside scripts/test.sh's session.
# 1. Packed from this build and from a second build of a copy of the sources at another path,
#    in another time zone and locale, with the clock three years ahead, the zips are the same
#    bytes: no time stamps, build paths or locale in the binaries or the archive.
# 2. Unpacked into the user's profile in a fresh Wine prefix, the files match SHA256SUMS and
#    hold every file README.txt names, every link and picture of the HTML guides is in the
#    zip, Vimlet starts from there, and typing into an application parks the cursor: on a
#    display of its own, as a machine of its own would have, so that the session's other tests
#    may use theirs meanwhile.
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
VIMLET_BUILD_DIR=$work/sources/out TZ=Asia/Tokyo LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 \
  faketime -f +1100d "$work/sources/scripts/release.sh" >"$work/second.txt"
cmp "$zip" "$(head -n 1 "$work/second.txt")" || { echo "FAIL: two builds gave different zips" >&2; exit 1; }
echo "same bytes from two builds: $(tail -n 1 "$work/first.txt")"

start_private_xvfb
ensure_wine_prefix "$work/prefix"
start_wineserver
profile=$("$WINELOADER" cmd.exe /c echo %USERPROFILE% | tr -d '\r')
folder=$("$WINELOADER" winepath.exe -u "$profile\\Vimlet" | tr -d '\r')
python3 -m zipfile -e "$zip" "$folder"
(cd "$folder" && sha256sum --check --quiet SHA256SUMS)
# Every file of the zip that its README points to is there.
grep -oE 'docs\\[A-Za-z.]+\.html|[A-Z][A-Z-]*\.txt|SHA256SUMS' "$folder/README.txt" | tr '\\' / | sort -u |
  while read -r name; do [ -f "$folder/$name" ] || { echo "FAIL: README.txt names $name" >&2; exit 1; }; done
python3 "$root/tests/release/check_links.py" "$folder"
# The test program, beside the unpacked Vimlet.exe, loads the unpacked vimlet.dll and starts
# the unpacked Vimlet.exe, and the application it types into.
cp "$build/bin/app_program_test.exe" "$build/bin/target_app.exe" "$folder/"
tests=Program.TypingParksTheCursorAndTheMouseBringsItBackASecondStartOpensTheSettingsAndARestartTakesTheIniFlags
tests+=:Program.TrayIconIsAddedOnceTheShellIsReadyAndAgainAfterItRestartsAndOnlyClosingTheMainFrameEndsItAndDeletesIt
"$WINELOADER" "$folder/app_program_test.exe" --gtest_filter="$tests" | tr -d '\r' | tee "$work/tests.txt"
# A renamed test would leave the filter matching nothing, and nothing passes as success.
expected=$(tr ':' '\n' <<<"$tests" | wc -l)
grep -qx "\[  PASSED  \] $expected tests\?\." "$work/tests.txt" ||
  { echo "FAIL: expected $expected tests to run and pass" >&2; exit 1; }
