#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Times the whole training pipeline (stages 1-8) on a generated set of 400
# classes x 50 training samples (+10 test samples each) and prints the run's
# wall time and each stage's logged time in seconds.
#
#   bench/train_pipeline.sh [BUILD_DIR]     (default: build-bench)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPENRUNE_BUILD_BENCH=ON >/dev/null
ninja -C "$build" -j2 train_pipeline_bench >/dev/null
# The training log goes to standard output; keep it apart from the result.
"$build/bench/train_pipeline_bench" --benchmark_counters_tabular=true \
  --benchmark_out="$build/train_pipeline.txt" --benchmark_out_format=console >"$build/train_pipeline.log"
cat "$build/train_pipeline.txt"
