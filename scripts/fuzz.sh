#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the fuzz targets of tests/fuzz (clang, libFuzzer, ASan + UBSan) in
# build-fuzz and runs each of them in turn for SECONDS (default 60), one
# process at a time, starting from the seed corpus in the tree. Prints
# "target: N execs, K crashes" per target; any crash, leak, timeout or
# sanitizer report fails the script. Inputs that fail are kept in
# build-fuzz/artifacts/TARGET/; the corpus grown by a run in
# build-fuzz/corpus/TARGET/, from which the next run goes on.
#
# usage: scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPENRUNE_FUZZ=ON -DPENRUNE_BUILD_TESTS=OFF -DPENRUNE_BUILD_BENCH=OFF >/dev/null
targets=("$@")
if [ "${#targets[@]}" -eq 0 ]; then
  for source in tests/fuzz/fuzz_*.cpp; do targets+=("$(basename "$source" .cpp)"); done
fi
cmake --build build-fuzz -j 2 --target "${targets[@]}"

export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
failed=0
for target in "${targets[@]}"; do
  corpus=build-fuzz/corpus/$target
  artifacts=build-fuzz/artifacts/$target
  mkdir -p "$corpus" "$artifacts"
  log=build-fuzz/$target.log
  start=build-fuzz/$target.start
  touch "$start"
  status=0
  # Standard output is closed: the training readers log every file.
  "build-fuzz/tests/fuzz/$target" -max_total_time="$seconds" -max_len=65536 -len_control=0 \
    -timeout=60 -rss_limit_mb=4096 -close_fd_mask=1 -print_final_stats=1 \
    -artifact_prefix="$artifacts/" "$corpus" "tests/fuzz/corpus/$target" >"$log" 2>&1 || status=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  crashes=$(find "$artifacts" -type f -newer "$start" | wc -l)
  if [ "$status" -ne 0 ] && [ "$crashes" -eq 0 ]; then crashes=1; fi
  echo "$target: ${execs:-0} execs, $crashes crashes"
  if [ "$crashes" -ne 0 ]; then
    failed=1
    grep -E "ERROR|runtime error|invariant|SUMMARY" "$log" | head -n 5 || true
  fi
done
exit "$failed"
