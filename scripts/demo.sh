#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The newcomer's first command: installs what is needed, builds libpenrune and
# recognises a bundled line of handwriting (我们学习中文, six characters) with
# the embedded model and lexicon, printing the ranked candidates.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target penrune penrune_tool
example=${1:-examples/xuexi.json}
echo "recognising $example"
build/penrune recognize "$example"
