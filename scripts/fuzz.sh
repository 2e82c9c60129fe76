#!/usr/bin/env bash
# Builds the fuzz targets natively with clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs each for the given number of seconds (default 60) from
# the seed corpus in fuzz/corpus. Every target runs even when another finds something; the end
# reports each, writes the report to fuzz/RECORDED-RUN.txt and exits 1 if any found something.
# Not part of the test command. Usage: scripts/fuzz.sh [seconds]
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
# The exclusion check itself, over the few Windows names it needs.
"$cxx" "${flags[@]}" -I"$root/fuzz/native" -I"$root/hooklib" "$root/fuzz/exclusion_path_fuzz.cpp" "$root/hooklib/exclusion.cpp" \
  -o "$out/exclusion_path_fuzz"

targets=(hook_list_fuzz program_list_fuzz exclusion_path_fuzz)
report=("Recorded by scripts/fuzz.sh $seconds on $(date -u '+%Y-%m-%d %H:%M UTC'), commit $(git -C "$root" rev-parse HEAD), $(nproc) cores.")
found=0
for target in "${targets[@]}"; do
  work="$out/$target-run"
  mkdir -p "$work/corpus"
  rm -f "$work"/crash-* "$work"/leak-* "$work"/timeout-* "$work"/oom-*
  cp -n "$root/fuzz/corpus/"* "$work/corpus/" 2>/dev/null || true
  echo "== $target for ${seconds}s"
  status=0
  (cd "$work" && "$out/$target" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 corpus) \
    2>&1 | tee "$work/log.txt" || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log.txt" | tail -1)
  crashes=$(cd "$work" && ls crash-* leak-* timeout-* oom-* 2>/dev/null | tr '\n' ' ' || true)
  if [ "$status" -ne 0 ] || [ -n "$crashes" ]; then
    found=1
    report+=("$target: ${runs:-?} executions, FOUND something (exit $status): ${crashes:-see $work/log.txt}")
  else
    report+=("$target: ${runs:-?} executions, $(ls "$work/corpus" | wc -l) inputs in the corpus, no findings")
  fi
done
printf '%s\n' "${report[@]}" | tee "$root/fuzz/RECORDED-RUN.txt"
exit "$found"
