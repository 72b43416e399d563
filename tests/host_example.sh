#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs the example host program: on the JSON and on the plain-text form of
# the same line (the latter through standard input) it prints the same
# candidates, and they are those that `penrune recognize` ranks.
#
# usage: host_example.sh PENRUNE_HOST PENRUNE SOURCE_DIR
set -eu
host=$1 tool=$2 source=$3
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

"$host" -n 5 "$source/examples/zhongguo.json" >"$tmp/json"
"$host" -n 5 - <"$source/examples/host/zhongguo.txt" >"$tmp/text"
"$tool" recognize "$source/examples/zhongguo.json" | cut -f1,2 | head -n 5 >"$tmp/tool"
diff "$tmp/json" "$tmp/text"
diff "$tmp/json" "$tmp/tool"
head -n 1 "$tmp/json" | grep -qx "1	中国" || { echo "first candidate is not 中国:"; cat "$tmp/json"; exit 1; }
if printf '[[[1,2],[3]]]' | "$host" - 2>/dev/null; then
  echo "a point without y was accepted"
  exit 1
fi
echo "penrune-host: $(wc -l <"$tmp/json") candidates, as penrune recognize ranks them"
