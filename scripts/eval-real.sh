#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Measures a model on real handwriting and on held-out data:
#   learner       the learner set of ../shared/data/real (one writer, 37
#                 characters x 5); evaluation only, never trained on
#   learner-thin  the same ink vertex-reduced (Douglas-Peucker, --thin units
#                 of a 1024 box), like sparse mouse or touch input
#   unipen        letters and digits of the UNIPEN writers held out of
#                 training (third_party_data/strokes/unipen-eval.jsonl)
#   synthetic     the held-out synthetic test set of make-model.sh
#                 (--synthetic, default build-model/test), when present
#
# Usage: scripts/eval-real.sh MODEL [--work=DIR] [--thin=TOLERANCE] [--tool=PENRUNE]
#                             [--synthetic=DIR]
set -euo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
SHARED="${PENRUNE_SHARED_DATA:-$ROOT/../shared/data}"
MODEL="${1:?usage: eval-real.sh MODEL [--work=DIR] [--thin=TOLERANCE] [--tool=PENRUNE] [--synthetic=DIR]}"
shift
WORK="$ROOT/build-model/eval"
THIN=15
PENRUNE="$ROOT/build-model/build/penrune"
SYNTHETIC="$ROOT/build-model/test"
for arg in "$@"; do
    case "$arg" in
        --work=*) WORK="$(realpath -m "${arg#*=}")" ;;
        --thin=*) THIN="${arg#*=}" ;;
        --tool=*) PENRUNE="$(realpath -m "${arg#*=}")" ;;
        --synthetic=*) SYNTHETIC="$(realpath -m "${arg#*=}")" ;;
        *) echo "unknown option $arg" >&2; exit 2 ;;
    esac
done
[ -x "$PENRUNE" ] || { echo "no penrune tool at $PENRUNE (--tool=...)" >&2; exit 1; }
UNIPEN_EVAL="$ROOT/third_party_data/strokes/unipen-eval.jsonl"
[ -f "$UNIPEN_EVAL" ] || "$ROOT/scripts/fetch-strokes.sh" "$ROOT/third_party_data" >/dev/null

rm -rf "$WORK" && mkdir -p "$WORK/learner"
cp "$SHARED/real/learner/smp/learner.smp" "$WORK/learner/"
"$PENRUNE" tosamples --thin="$THIN" "$WORK/learner-thin" "$SHARED/real/learner/learner.jsonl" >/dev/null
"$PENRUNE" tosamples "$WORK/unipen" "$UNIPEN_EVAL" >/dev/null

evaluate() {  # LABEL DIR
    printf '\n== %s (%s)\n' "$1" "$2"
    "$PENRUNE" eval "$MODEL" "$2"
}
evaluate learner "$WORK/learner"
evaluate "learner-thin (tolerance $THIN)" "$WORK/learner-thin"
evaluate "unipen held-out writers" "$WORK/unipen"
if [ -d "$SYNTHETIC" ]; then
    evaluate "synthetic held-out" "$SYNTHETIC"
fi
