#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs the open recogniser Zinnia (Debian's libzinnia with the Tegaki
# simplified-Chinese model) and libpenrune with its embedded model on the
# real learner set, as it is and thinned, and prints a Markdown table of
# both side by side: accuracy and the median time per character.
#
#   bench/zinnia/compare.sh [BUILD_DIR]   (installs the Debian packages if
#                                          missing; builds Zinnia's side in
#                                          /tmp/build-zinnia)
#
# BUILD_DIR is the project's build (default build): its penrune tool ranks
# the samples, its bench/reco_bench times the embedded model.
# PENRUNE_SHARED_DATA overrides the data folder (default ../shared/data
# beside the project root).
set -euo pipefail

ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
SHARED="${PENRUNE_SHARED_DATA:-$ROOT/../shared/data}"
LEARNER="$SHARED/real/learner/learner.jsonl"
BUILD=/tmp/build-zinnia
PROJECT_BUILD="$(realpath -m "${1:-$ROOT/build}")"
PENRUNE="$PROJECT_BUILD/penrune"
THIN=15
[ -x "$PENRUNE" ] || { echo "no penrune tool in $PROJECT_BUILD: build the project first" >&2; exit 1; }

"$ROOT/scripts/install-deps.sh" g++ pkg-config nlohmann-json3-dev libzinnia-dev \
  tegaki-zinnia-simplified-chinese >/dev/null

MODEL="$(dpkg -L tegaki-zinnia-simplified-chinese | grep '\.model$' | head -n 1)"
[ -f "$MODEL" ] || { echo "no .model file in tegaki-zinnia-simplified-chinese" >&2; exit 1; }
[ -f "$LEARNER" ] || { echo "no learner set at $LEARNER (PENRUNE_SHARED_DATA)" >&2; exit 1; }

zinnia_flags="-lzinnia"
if pkg-config --exists zinnia 2>/dev/null; then
  zinnia_flags="$(pkg-config --cflags --libs zinnia)"
fi
mkdir -p "$BUILD"
# shellcheck disable=SC2086  # the flags are a word list
g++ -O2 -std=c++17 -Wall -Wextra -I"$ROOT/tools" -o "$BUILD/zinnia_compare" \
  "$ROOT/bench/zinnia/zinnia_compare.cpp" "$ROOT/tools/SynthGeometry.cpp" $zinnia_flags

echo "Zinnia $(dpkg-query -W -f='${Version}' libzinnia-dev)," \
     "model $MODEL ($(dpkg-query -W -f='${Version}' tegaki-zinnia-simplified-chinese))"
# libpenrune's median time per character: the embedded-model benchmark
# on the same learner ink (the thinned ink is not timed separately).
penrune_time="n/a"
if [ -x "$PROJECT_BUILD/bench/reco_bench" ]; then
  penrune_time="$("$PROJECT_BUILD/bench/reco_bench" --benchmark_filter=BM_RecognizeEmbedded \
    --benchmark_format=csv 2>/dev/null | awk -F, '/_median"/ { printf "%.1f us", $4 / 1000 }')"
fi
rows=()
run() {  # LABEL SAMPLE_DIR [OPTION]
  local label=$1 samples=$2 out penrune_out
  shift 2
  echo
  echo "== $label"
  out="$("$BUILD/zinnia_compare" "$@" "$MODEL" "$LEARNER")"
  echo "$out"
  field() { awk -F': ' -v key="$1" '$1 == key { print $2 }' <<<"$out"; }
  rows+=("| $label | Zinnia | $(field samples) | $(field top-1) | $(field top-10) | $(field 'classify median') |")
  penrune_out="$("$PENRUNE" rank embedded "$samples" --top=10)"
  rate() { awk -v key="$1" '$1 == key { print $2 " %" }' <<<"$penrune_out"; }
  rows+=("| $label | libpenrune | $(rate samples | cut -d' ' -f1) | $(rate top-1) | $(rate top-10) | $penrune_time |")
}
rm -rf "$BUILD/learner-thin"
"$PENRUNE" tosamples --thin="$THIN" "$BUILD/learner-thin" "$LEARNER" >/dev/null
run learner "$SHARED/real/learner/smp"
run "learner thinned ($THIN)" "$BUILD/learner-thin" --thin="$THIN"

echo
echo "| set | recogniser | samples | top-1 | top-10 | median time per character |"
echo "| --- | --- | ---: | ---: | ---: | ---: |"
printf '%s\n' "${rows[@]}"
