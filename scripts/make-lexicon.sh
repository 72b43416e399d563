#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Regenerates the embedded phrase lexicon, src/lex/HWLexData.c.
#
# The phrases come from the word-frequency dictionary of Debian's
# python3-jieba package (Expat licence), installed here when missing.
# scripts/make-lexicon.py selects them into data/lexicon/phrases.txt and
# writes data/lexicon/description.txt; the builder of this library
# (`penrune lexicon`) turns them into the image, whose C source is copied to
# src/lex/HWLexData.c byte for byte. Two runs give the same image apart from
# the four build-date bytes of its header.
#
# usage: scripts/make-lexicon.sh [BUILD_DIR]   (default: build-lexicon)
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${1:-build-lexicon}"
package=python3-jieba

scripts/install-deps.sh "$package"
dictionary="$(dpkg -L "$package" | grep '/jieba/dict\.txt$' | head -n 1)"
[ -f "$dictionary" ] || { echo "no dict.txt in $package" >&2; exit 1; }
version="$(dpkg-query -W -f='${Version}' "$package")"
# The packaged version's own date keeps the description reproducible.
released="$(date -u -d "$(zcat "/usr/share/doc/$package/changelog.Debian.gz" |
  sed -n 's/^ -- .*>  //p' | head -n 1)" +%Y-%m-%d)"

mkdir -p data/lexicon
python3 scripts/make-lexicon.py "$dictionary" data/lexicon/phrases.txt data/lexicon/description.txt \
  --source "Debian $package $version ($released), jieba/dict.txt"

cmake -S . -B "$build_dir" -G Ninja -DPENRUNE_BUILD_TESTS=OFF -DPENRUNE_BUILD_BENCH=OFF >/dev/null
ninja -C "$build_dir" -j2 penrune_tool

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$build_dir/penrune" lexicon data/lexicon/description.txt data/lexicon/phrases.txt \
  "$work/lexicon.dat" "$work/errors.txt" >"$work/report.txt"
if [ -s "$work/errors.txt" ] || grep -q '^rep: ' "$work/report.txt"; then
  echo "the builder rejected lines of data/lexicon/phrases.txt:" >&2
  cat "$work/report.txt" >&2
  exit 1
fi
cp "$work/lexicon.dat.c" src/lex/HWLexData.c
echo "wrote src/lex/HWLexData.c ($(wc -c <"$work/lexicon.dat") byte lexicon image," \
  "$(wc -l <data/lexicon/phrases.txt) phrases)"
