#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks the sources' layout (scripts/check-format.sh), then builds
# libpenrune and runs the whole test suite twice: once in the normal
# optimised build, once under AddressSanitizer and UndefinedBehaviorSanitizer;
# then runs every fuzz target for 20 seconds. Between the two builds it
# checks the staged installation and the recognition-only library
# (scripts/check-install.sh), runs the Python binding's tests over the
# optimised library, tests the IBus engine and the pad (hosts/ibus/test.sh)
# and runs the two-thread kernel test under ThreadSanitizer. Last it tests
# the browser pad in headless Chromium (web/test.sh, which installs
# emscripten and chromium itself). Any failing
# test, sanitizer report or fuzzer finding fails the script.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc 2>/dev/null || echo 2)

scripts/check-format.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"
scripts/check-install.sh build
# Debian's interpreter, the one the python3-* packages of install-deps.sh serve.
python=/usr/bin/python3
[ -x "$python" ] || python=python3
PENRUNE_LIBRARY="$PWD/build/libpenrune.so" "$python" -m pytest -q -p no:cacheprovider python/tests
# The IBus engine and the GTK pad, headless, package installation included.
timeout 900 hosts/ibus/test.sh

cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPENRUNE_THREAD_SANITIZE=ON -DPENRUNE_BUILD_BENCH=OFF
cmake --build build-tsan -j "$jobs" --target KernelThreads_test
TSAN_OPTIONS=halt_on_error=1 build-tsan/tests/KernelThreads_test

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPENRUNE_SANITIZE=ON -DPENRUNE_BUILD_BENCH=OFF
cmake --build build-asan -j "$jobs"
ctest --test-dir build-asan --output-on-failure -j "$jobs"

scripts/fuzz.sh 20
# The browser pad: WebAssembly build and headless Chromium, bounded in time
# package installation included.
timeout 1200 web/test.sh
