#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Regenerates the embedded phrase lexicon, src/lex/HWLexData.c, or with
# --output the lexicon file of a larger model (models/*.lex).
#
# The phrases come from the word-frequency dictionary of Debian's
# python3-jieba package (Expat licence), installed here when missing.
# scripts/make-lexicon.py selects them into data/lexicon/phrases.txt and
# writes data/lexicon/description.txt; the builder of this library
# (`penrune lexicon`) turns them into the image, whose C source is copied to
# src/lex/HWLexData.c byte for byte. Two runs give the same image apart from
# the four build-date bytes of its header.
#
# usage: scripts/make-lexicon.sh [--charset=DIR] [--opencc=PROFILE] [--output=FILE] [BUILD_DIR]
#   --charset  charset directory of the model the lexicon serves: its words
#              with rarer hanzi join at the level-1 words' frequency floor
#   --opencc   OpenCC profile (Debian opencc) whose converted forms are added,
#              e.g. s2tw.json for the traditional characters of Big5
#   --output   write the image to FILE; the phrase list stays in a temporary
#              directory and the embedded lexicon is left alone
#   BUILD_DIR  default: build-lexicon
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=build-lexicon
output=
select_options=()
for arg in "$@"; do
  case "$arg" in
    --charset=*) select_options+=(--charset "${arg#*=}") ;;
    --opencc=*) opencc_profile="${arg#*=}" ;;
    --output=*) output="$(realpath -m "${arg#*=}")" ;;
    -*) sed -n '2,/^set -euo/p' "$0" | sed '$d' >&2; exit 2 ;;
    *) build_dir="$arg" ;;
  esac
done
package=python3-jieba

scripts/install-deps.sh "$package"
if [ -n "${opencc_profile:-}" ]; then
  scripts/install-deps.sh opencc
  select_options+=(--opencc "$opencc_profile"
                   --opencc-source "Debian opencc $(dpkg-query -W -f='${Version}' opencc)")
fi
dictionary="$(dpkg -L "$package" | grep '/jieba/dict\.txt$' | head -n 1)"
[ -f "$dictionary" ] || { echo "no dict.txt in $package" >&2; exit 1; }
version="$(dpkg-query -W -f='${Version}' "$package")"
# The packaged version's own date keeps the description reproducible.
released="$(date -u -d "$(zcat "/usr/share/doc/$package/changelog.Debian.gz" |
  sed -n 's/^ -- .*>  //p' | head -n 1)" +%Y-%m-%d)"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
input=data/lexicon
[ -z "$output" ] || input="$work/input"
mkdir -p "$input"
python3 scripts/make-lexicon.py "$dictionary" "$input/phrases.txt" "$input/description.txt" \
  --source "Debian $package $version ($released), jieba/dict.txt" "${select_options[@]}"

cmake -S . -B "$build_dir" -G Ninja -DPENRUNE_BUILD_TESTS=OFF -DPENRUNE_BUILD_BENCH=OFF >/dev/null
ninja -C "$build_dir" -j2 penrune_tool

"$build_dir/penrune" lexicon "$input/description.txt" "$input/phrases.txt" \
  "$work/lexicon.dat" "$work/errors.txt" >"$work/report.txt"
if [ -s "$work/errors.txt" ] || grep -q '^rep: ' "$work/report.txt"; then
  echo "the builder rejected lines of $input/phrases.txt:" >&2
  cat "$work/report.txt" >&2
  exit 1
fi
if [ -n "$output" ]; then
  mkdir -p "$(dirname "$output")"
  cp "$work/lexicon.dat" "$output"
  echo "wrote $output ($(wc -c <"$output") byte lexicon image, $(wc -l <"$input/phrases.txt") phrases)"
  exit 0
fi
cp "$work/lexicon.dat.c" src/lex/HWLexData.c
echo "wrote src/lex/HWLexData.c ($(wc -c <"$work/lexicon.dat") byte lexicon image," \
  "$(wc -l <data/lexicon/phrases.txt) phrases)"
