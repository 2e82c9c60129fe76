#!/usr/bin/env bash
# Builds the two exclusion-list fuzz targets natively with clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs each for the given number of seconds (default 60) from
# the seed corpus in fuzz/corpus. Not part of the test command. Usage: scripts/fuzz.sh [seconds]
# Findings land in build-fuzz/<target>-run/ as crash-* files; new inputs stay in build-fuzz too.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${VIMLET_FUZZ_DIR:-$root/build-fuzz}
seconds=${1:-60}
cxx=clang++-14
flags=(-std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
       -I"$root/hooklib/include" -I"$root/app" -I"$root/fuzz")

"$root/scripts/install-deps.sh" clang-14 libclang-rt-14-dev
mkdir -p "$out"
"$cxx" "${flags[@]}" "$root/fuzz/hook_list_fuzz.cpp" -o "$out/hook_list_fuzz"
"$cxx" "${flags[@]}" "$root/fuzz/program_list_fuzz.cpp" "$root/app/ExcludeListLines.cpp" \
  -o "$out/program_list_fuzz"

for target in hook_list_fuzz program_list_fuzz; do
  work="$out/$target-run"
  mkdir -p "$work/corpus"
  cp -n "$root/fuzz/corpus/"* "$work/corpus/" 2>/dev/null || true
  echo "== $target for ${seconds}s"
  (cd "$work" && "$out/$target" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 corpus)
done
