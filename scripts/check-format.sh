#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Fails when a C or C++ source differs from the layout of .clang-format.
# Generated data files are left out. With --fix, rewrites the files instead.
#
# usage: scripts/check-format.sh [--fix]
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t files < <(git ls-files '*.c' '*.cpp' '*.h' |
  grep -v -e '^src/reco/HRData\.c$' -e '^src/lex/HWLexData\.c$' -e '^src/kernel/HWShapeData\.c$' -e '^src/feature/HRTableData\.h$')
if [ "${1:-}" = "--fix" ]; then
  clang-format -i "${files[@]}"
else
  clang-format --dry-run -Werror "${files[@]}"
fi
