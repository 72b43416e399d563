#!/usr/bin/env bash
# Builds libpenrune and runs the whole test suite twice: once in the normal
# optimised build, once under AddressSanitizer and UndefinedBehaviorSanitizer;
# then runs every fuzz target for 20 seconds. Any failing test, sanitizer
# report or fuzzer finding fails the script.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc 2>/dev/null || echo 2)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPENRUNE_SANITIZE=ON -DPENRUNE_BUILD_BENCH=OFF
cmake --build build-asan -j "$jobs"
ctest --test-dir build-asan --output-on-failure -j "$jobs"

scripts/fuzz.sh 20
