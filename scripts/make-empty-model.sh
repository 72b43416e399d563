#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Regenerates src/reco/HRData.c, the embedded model, as a well-formed model
# image with no prototypes and no tree centres (131,118 bytes). The library
# links and runs with it; recognition then yields no candidates until a
# trained model replaces it (scripts/make-model.sh).
#
# usage: scripts/make-empty-model.sh [BUILD_DIR]   (default: build-empty-model)
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${1:-build-empty-model}"

cmake -S . -B "$build_dir" -G Ninja -DPENRUNE_BUILD_TESTS=OFF -DPENRUNE_BUILD_BENCH=OFF >/dev/null
ninja -C "$build_dir" -j2 penrune_tool

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$build_dir/penrune" empty-model "$work/empty.dat"
"$build_dir/penrune" export-model "$work/empty.dat" "$work/HRData.c"
# Leave an unchanged file untouched so builds need not recompile it.
if cmp -s "$work/HRData.c" src/reco/HRData.c; then
    echo "src/reco/HRData.c is up to date"
else
    cp "$work/HRData.c" src/reco/HRData.c
    echo "wrote src/reco/HRData.c ($(wc -c <"$work/empty.dat")-byte model image)"
fi
