#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The line benchmark: lines composed from the real learner samples and from
# synthesised characters (seed 7001, never used in training; the ordinary
# synthesis and a careless writer's), recognised stroke by stroke in both
# kernel modes. Prints the accuracy tables and the AddStroke times.
#
# usage: bench/lines/run.sh [BUILD_DIR]   (default build; needs the stroke
#        sources of scripts/fetch-strokes.sh for the synthetic sets)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
TOOL="${1:-$ROOT/build}/penrune"
PHRASES="$ROOT/data/lexicon/phrases.txt"
SOURCE="$ROOT/third_party_data/strokes/hanzi-main.jsonl"

"$TOOL" lines --samples="$ROOT/../shared/data/real/learner/learner.jsonl" --phrases="$PHRASES" \
    --name=learner --count=40
if [ -f "$SOURCE" ]; then
    echo
    "$TOOL" lines --source="$SOURCE" --phrases="$PHRASES" --name=synthetic --seed=7001 --count=40 --long=20
    echo
    "$TOOL" lines --source="$SOURCE" --phrases="$PHRASES" --name=careless --seed=7001 --count=40 --long=20 \
        --careless --no-latency
else
    echo "no stroke sources: run scripts/fetch-strokes.sh for the synthetic sets" >&2
fi
