#!/bin/sh
# SPDX-License-Identifier: MIT
# Checks the dynamic symbol table of libpenrune against its public headers:
# the library defines exactly the functions that the headers mark
# PENRUNE_API, no internal symbol more and no declared function less.
#
# usage: exported_symbols.sh LIBRARY HEADER...
set -eu
library=$1
shift
exported=$(nm -D --defined-only "$library" | awk '{print $3}' | sort -u)
declared=$(grep -h '^PENRUNE_API ' "$@" | sed 's/(.*//; s/.*[[:space:]*]//' | sort -u)

stray=$(printf '%s\n' "$exported" | grep -vxF "$declared" || true)
missing=$(printf '%s\n' "$declared" | grep -vxF "$exported" || true)
if [ -n "$stray" ]; then
  echo "exported but not declared in a public header:"
  printf '%s\n' "$stray"
fi
if [ -n "$missing" ]; then
  echo "declared in a public header but not exported:"
  printf '%s\n' "$missing"
fi
[ -z "$stray$missing" ] || exit 1
echo "exported symbols: $(printf '%s\n' "$exported" | wc -l), as declared by $# headers"
