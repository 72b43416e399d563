#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The browser pad's work natively and in WebAssembly, one after the other:
# bench/examples_bench (Google Benchmark) on the optimised build in BUILD,
# then web/bench.mjs on web/penrune.wasm. Builds what is missing.
#
# usage: web/bench.sh [BUILD]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

[ -f "$build/build.ninja" ] || cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build "$build" -j 2 --target examples_bench
[ -f web/penrune.wasm ] || web/build.sh
echo "== native"
"$build/bench/examples_bench"
echo "== WebAssembly (node $(node --version))"
node web/bench.mjs
