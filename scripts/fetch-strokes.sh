#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Fetches the stroke sources of the training data and converts them into the
# common stroke format (third_party_data/strokes/*.jsonl, see
# scripts/convert-strokes.py). Sources and licences: data/README.md.
#
#   hanzi-writer-data 2.0.1   npm registry      Arphic Public License
#   KanjiVG centre lines      ../shared/data    CC BY-SA 3.0
#   UNIPEN train_r01_v07      ../shared/data    CC BY 4.0
#   Hershey fonts             Debian hershey-fonts-data (installed here by apt-get)
#
# Usage: scripts/fetch-strokes.sh [OUT_ROOT]   (default third_party_data)
set -euo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
OUT="${1:-$ROOT/third_party_data}"
SHARED="${PENRUNE_SHARED_DATA:-$ROOT/../shared/data}"
HWD_VERSION=2.0.1
HWD_SHA256=72baf3d82b114e60d6e40ea05f24d2262a05cd39d544e2f322ba2fceb7beff15
HERSHEY_DIR=/usr/share/hershey-fonts

mkdir -p "$OUT"
HWD_DIR="$OUT/hanzi-writer-data"
if [ ! -f "$HWD_DIR/package.json" ]; then
    tmp="$(mktemp -d)"
    trap 'rm -rf "$tmp"' EXIT
    (cd "$tmp" && npm pack --silent "hanzi-writer-data@$HWD_VERSION" >/dev/null)
    tarball="$tmp/hanzi-writer-data-$HWD_VERSION.tgz"
    echo "$HWD_SHA256  $tarball" | sha256sum --check --quiet
    rm -rf "$HWD_DIR" && mkdir -p "$HWD_DIR"
    tar -xzf "$tarball" -C "$HWD_DIR" --strip-components=1
fi
test -f "$HWD_DIR/ARPHICPL.TXT"

"$(dirname "$0")/install-deps.sh" hershey-fonts-data
mkdir -p "$OUT/hershey-fonts"
install -m 0644 /usr/share/doc/hershey-fonts-data/copyright "$OUT/hershey-fonts/COPYRIGHT"

mkdir -p "$OUT/strokes"
install -m 0644 "$SHARED/strokes/KANJIVG-LICENSE.txt" "$OUT/strokes/KANJIVG-LICENSE.txt"
install -m 0644 "$SHARED/unipen/LICENSE.txt" "$OUT/strokes/UNIPEN-LICENSE.txt"
install -m 0644 "$HWD_DIR/ARPHICPL.TXT" "$OUT/strokes/ARPHICPL.TXT"
python3 "$ROOT/scripts/convert-strokes.py" \
    --hanzi-writer "$HWD_DIR" \
    --kanjivg "$SHARED/strokes/kanjivg.jsonl" \
    --unipen "$SHARED/unipen" \
    --hershey "$HERSHEY_DIR" \
    --charset "$ROOT/data/charset-gb2312-big5" \
    --out "$OUT/strokes"
