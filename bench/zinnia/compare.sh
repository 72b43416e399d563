#!/usr/bin/env bash
# Runs the open recogniser Zinnia (Debian's libzinnia with the Tegaki
# simplified-Chinese model) on the real learner set, as it is and thinned,
# and prints a Markdown table of its accuracy and speed, for comparison with
# libpenrune's own figures from scripts/eval-real.sh on the same ink.
#
#   bench/zinnia/compare.sh        (installs the Debian packages if missing;
#                                   builds in /tmp/build-zinnia)
#
# PENRUNE_SHARED_DATA overrides the data folder (default ../shared/data
# beside the project root).
set -euo pipefail

ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
SHARED="${PENRUNE_SHARED_DATA:-$ROOT/../shared/data}"
LEARNER="$SHARED/real/learner/learner.jsonl"
BUILD=/tmp/build-zinnia
THIN=15

packages=(g++ pkg-config nlohmann-json3-dev libzinnia-dev tegaki-zinnia-simplified-chinese)
missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
if [ "${#missing[@]}" -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

MODEL="$(dpkg -L tegaki-zinnia-simplified-chinese | grep '\.model$' | head -n 1)"
[ -f "$MODEL" ] || { echo "no .model file in tegaki-zinnia-simplified-chinese" >&2; exit 1; }
[ -f "$LEARNER" ] || { echo "no learner set at $LEARNER (PENRUNE_SHARED_DATA)" >&2; exit 1; }

zinnia_flags="-lzinnia"
if pkg-config --exists zinnia 2>/dev/null; then
  zinnia_flags="$(pkg-config --cflags --libs zinnia)"
fi
mkdir -p "$BUILD"
# shellcheck disable=SC2086  # the flags are a word list
g++ -O2 -std=c++17 -Wall -Wextra -o "$BUILD/zinnia_compare" \
  "$ROOT/bench/zinnia/zinnia_compare.cpp" $zinnia_flags

echo "Zinnia $(dpkg-query -W -f='${Version}' libzinnia-dev)," \
     "model $MODEL ($(dpkg-query -W -f='${Version}' tegaki-zinnia-simplified-chinese))"
rows=()
run() {  # LABEL [OPTION]
  local label=$1 out
  shift
  echo
  echo "== $label"
  out="$("$BUILD/zinnia_compare" "$@" "$MODEL" "$LEARNER")"
  echo "$out"
  field() { awk -F': ' -v key="$1" '$1 == key { print $2 }' <<<"$out"; }
  rows+=("| $label | $(field samples) | $(field top-1) | $(field top-10) | $(field 'classify median') |")
}
run learner
run "learner thinned ($THIN)" --thin="$THIN"

echo
echo "| set | samples | top-1 | top-10 | median time per character |"
echo "| --- | ---: | ---: | ---: | ---: |"
printf '%s\n' "${rows[@]}"
