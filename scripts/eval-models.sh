#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Measures a model per charset: top-1 and top-10 of penrune rank on synthetic
# samples of each charset of the model's charset directory, and on the real
# learner set (one writer, level-1 hanzi; evaluation only, never trained on
# or tuned to), once with every character enabled and once narrowed to the
# mask 0x000F (level 1, letters, digits, U+3002) when the model has more.
#
#   level1  GB2312 level-1 hanzi (charset bit 2)
#   level2  GB2312 level-2 hanzi (bit 4)
#   big5    Big5 level-1 hanzi outside GB2312 (bit 5)
#   latin   digits and Latin letters (bit 0)
#
# The synthetic sets are made like make-model.sh's held-out set (5 samples
# per character, seed 1001 by default: the same samples per character for
# every model, so the embedded model's level-1 figures compare directly).
# Another --seed gives a set that no reported figure uses, for choosing the
# charset penalty (--penalty, see penrune rank).
#
# Usage: scripts/eval-models.sh MODEL CHARSET_DIR [--penalty=N] [--seed=N]
#            [--work=DIR] [--tool=PENRUNE] [--samples=N]
set -euo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
SHARED="${PENRUNE_SHARED_DATA:-$ROOT/../shared/data}"
MODEL="${1:?usage: eval-models.sh MODEL CHARSET_DIR [--penalty=N] [--seed=N] [--work=DIR] [--tool=PENRUNE]}"
CHARSET="$(realpath "${2:?charset directory missing}")"
shift 2
PENALTY=()
SEED=1001
SAMPLES=5
WORK="$ROOT/build-model/eval-models"
PENRUNE="$ROOT/build/penrune"
for arg in "$@"; do
    case "$arg" in
        --penalty=*) PENALTY=("$arg") ;;
        --seed=*) SEED="${arg#*=}" ;;
        --samples=*) SAMPLES="${arg#*=}" ;;
        --work=*) WORK="$(realpath -m "${arg#*=}")" ;;
        --tool=*) PENRUNE="$(realpath -m "${arg#*=}")" ;;
        *) sed -n '2,/^set -euo/p' "$0" | sed '$d' >&2; exit 2 ;;
    esac
done
[ -x "$PENRUNE" ] || { echo "no penrune tool at $PENRUNE (--tool=...)" >&2; exit 1; }
STROKES="$ROOT/third_party_data/strokes"
[ -f "$STROKES/hanzi-main.jsonl" ] || "$ROOT/scripts/fetch-strokes.sh" "$ROOT/third_party_data" >/dev/null
SOURCES=("$STROKES/hanzi-main.jsonl:1" "$STROKES/kanjivg.jsonl:1" "$STROKES/hershey.jsonl:1"
         "$STROKES/unipen-train.jsonl:6")

# The samples of one charset file, made once per seed and sample count.
test_set() {  # NAME BIT
    local dir="$WORK/seed$SEED-$SAMPLES/$1"
    if [ ! -d "$dir/smp" ]; then
        mkdir -p "$dir/charset"
        sed 's/$/ 1/' "$CHARSET/char_bit$2.txt" >"$dir/charset/char_number.txt"
        "$PENRUNE" synth --samples="$SAMPLES" --seed="$SEED" --charset="$dir/charset" \
            "$dir/partial" "${SOURCES[@]}" >/dev/null
        mv "$dir/partial" "$dir/smp"
    fi
    echo "$dir/smp"
}

# penrune rank's top-1 and top-10 of one set, as "top-1 top-10 samples". Ten
# candidates, as the model cards' figures: the coarse search keeps as many
# centres as candidates are asked for.
rates() {  # DIR [OPTION...]
    "$PENRUNE" rank "$MODEL" "$@" --top=10 "${PENALTY[@]}" |
        awk '/^samples/ {n = $2} /^top-1 / {t1 = $2} /^top-10 / {t10 = $2} END {print t1, t10, n}'
}

printf '%-8s %-8s %8s %8s %8s\n' set mask top-1 top-10 samples
report() {  # NAME DIR
    printf '%-8s %-8s %8s %8s %8s\n' "$1" all $(rates "$2")
    if [ -s "$CHARSET/char_bit4.txt" ] && [ "$1" != level2 ] && [ "$1" != big5 ]; then
        printf '%-8s %-8s %8s %8s %8s\n' "$1" 0x000F $(rates "$2" --charset=0x000F)
    fi
}
report learner "$SHARED/real/learner/smp"
report level1 "$(test_set level1 2)"
[ ! -s "$CHARSET/char_bit4.txt" ] || report level2 "$(test_set level2 4)"
[ ! -s "$CHARSET/char_bit5.txt" ] || report big5 "$(test_set big5 5)"
report latin "$(test_set latin 0)"
