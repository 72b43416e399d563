#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds a recognition model from redistributable stroke data and
# publishes it as src/reco/HRData.c (the embedded model) or as a model file.
#
#   1. fetch and convert the stroke sources (scripts/fetch-strokes.sh)
#   2. build the penrune tool
#   3. synthesise the training samples and a held-out synthetic test set
#      (another seed) for the charset (data/charset unless --charset)
#   4. train (penrune train) and copy the published source text, byte for
#      byte, to src/reco/HRData.c, or the model image to --output
#
# Usage: scripts/make-model.sh [--samples=N] [--hand-samples=N] [--test-samples=N] [--seed=N]
#            [--work=DIR] [--name=NAME] [--retrain=K] [--no-publish]
#            [--charset=DIR] [--output=FILE] [--tree-branches=N] [--synth=--OPTION=VALUE]...
#   --samples       synthetic samples per character for training (50). The
#                   discriminative stage costs about samples x prototypes x 64
#                   per pass: 50 per character keeps the run well within two hours
#                   on two cores.
#   --hand-samples  at least this many training samples per hand of a
#                   character (3): letters and digits, with about 100 real
#                   writers each, get about 300 samples, so every writer's
#                   hand is used
#   --test-samples  held-out synthetic samples per character (5)
#   --seed          seed of the training samples and of the trainer's random
#                   sets; the test set uses seed+1000
#   --work          working directory (build-model)
#   --name          model name of the published files (penrune)
#   --retrain       stage to start from: 1 trains afresh, 0 resumes from the
#                   step log of an interrupted run (default 1)
#   --no-publish    train, but leave src/reco/HRData.c alone
#   --charset       charset directory of the model (data/charset)
#   --output        copy the model image to FILE instead of publishing it as
#                   src/reco/HRData.c (the models/*.dat files)
#   --tree-branches tree centres a training sample may reach its prototype
#                   through (penrune train --tree-branches, default 6); the
#                   larger models take 3, so that their trees stay full
#                   enough for real ink
#   --synth         one more option for penrune synth (see `penrune synth`)
set -euo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
SAMPLES=50
HAND_SAMPLES=3
TEST_SAMPLES=5
SEED=1
WORK="$ROOT/build-model"
NAME=penrune
RETRAIN=1
PUBLISH=1
CHARSET="$ROOT/data/charset"
OUTPUT=
TREE_BRANCHES=6
SYNTH_OPTIONS=()
# Share of the samples of a character taken from each source that has it:
# hanzi half from the main source and half from KanjiVG where its strokes
# match; letters and digits mostly from real UNIPEN writers.
MAIN_WEIGHT=1
KANJIVG_WEIGHT=1
HERSHEY_WEIGHT=1
UNIPEN_WEIGHT=6

for arg in "$@"; do
    case "$arg" in
        --samples=*) SAMPLES="${arg#*=}" ;;
        --hand-samples=*) HAND_SAMPLES="${arg#*=}" ;;
        --test-samples=*) TEST_SAMPLES="${arg#*=}" ;;
        --seed=*) SEED="${arg#*=}" ;;
        --work=*) WORK="$(realpath -m "${arg#*=}")" ;;
        --name=*) NAME="${arg#*=}" ;;
        --retrain=*) RETRAIN="${arg#*=}" ;;
        --no-publish) PUBLISH=0 ;;
        --charset=*) CHARSET="$(realpath "${arg#*=}")" ;;
        --output=*) OUTPUT="$(realpath -m "${arg#*=}")"; PUBLISH=0 ;;
        --tree-branches=*) TREE_BRANCHES="${arg#*=}" ;;
        --synth=*) SYNTH_OPTIONS+=("${arg#*=}") ;;
        *) sed -n '2,/^set -euo/p' "$0" | sed '$d' >&2; exit 2 ;;
    esac
done

step() { printf '\n== %s (%s)\n' "$1" "$(date +%T)"; }
STARTED=$(date +%s)

step "stroke sources"
"$ROOT/scripts/fetch-strokes.sh" "$ROOT/third_party_data"
STROKES="$ROOT/third_party_data/strokes"

step "penrune tool"
BUILD="$WORK/build"
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DPENRUNE_BUILD_TESTS=OFF -DPENRUNE_BUILD_BENCH=OFF >/dev/null
ninja -C "$BUILD" -j2 penrune_tool >/dev/null
PENRUNE="$BUILD/penrune"

SOURCES=("$STROKES/hanzi-main.jsonl:$MAIN_WEIGHT" "$STROKES/kanjivg.jsonl:$KANJIVG_WEIGHT"
         "$STROKES/hershey.jsonl:$HERSHEY_WEIGHT" "$STROKES/unipen-train.jsonl:$UNIPEN_WEIGHT")
synthesise() {  # DIR SEED SAMPLES HAND_SAMPLES
    rm -rf "$1"
    "$PENRUNE" synth --samples="$3" --hand-samples="$4" --seed="$2" --charset="$CHARSET" \
        "${SYNTH_OPTIONS[@]}" "$1" "${SOURCES[@]}"
}
if [ "$RETRAIN" != 0 ] || [ ! -d "$WORK/samples" ]; then
    step "training samples ($SAMPLES per character)"
    synthesise "$WORK/samples" "$SEED" "$SAMPLES" "$HAND_SAMPLES"
    step "held-out synthetic test samples ($TEST_SAMPLES per character)"
    synthesise "$WORK/test" "$((SEED + 1000))" "$TEST_SAMPLES" 0
fi

step "training"
# The discriminative stage carries on from snapshots it finds in the working
# directory; a fresh run must not pick up those of an earlier one.
[ "$RETRAIN" != 1 ] || rm -rf "$WORK/train"
# The random feature sets are seeded from SEED, not the clock, so the same
# inputs give the same model.
"$PENRUNE" train --seed="$SEED" --tree-branches="$TREE_BRANCHES" "$CHARSET" "$WORK/samples" "$WORK/test" "$WORK/model/hrec.dat" \
    "$WORK/train.log" "$WORK/train" "$WORK/out" "$NAME" "$RETRAIN"

if [ "$PUBLISH" = 1 ]; then
    step "publishing"
    cp "$WORK/out/hrec_$NAME.dat.c" "$ROOT/src/reco/HRData.c"
    echo "src/reco/HRData.c <- $WORK/out/hrec_$NAME.dat.c ($(stat -c %s "$WORK/out/hrec_$NAME.dat") bytes of model)"
fi
if [ -n "$OUTPUT" ]; then
    step "model file"
    mkdir -p "$(dirname "$OUTPUT")"
    cp "$WORK/out/hrec_$NAME.dat" "$OUTPUT"
    echo "$OUTPUT <- $WORK/out/hrec_$NAME.dat ($(stat -c %s "$OUTPUT") bytes)"
fi
echo "done in $(( ($(date +%s) - STARTED) / 60 )) min"
