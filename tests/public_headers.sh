#!/bin/sh
# SPDX-License-Identifier: MIT
# The public headers are the files of include/penrune/, all of them listed
# for installation and all of them compiled as C by c_api_test.c.
#
# usage: public_headers.sh SOURCE_DIR INSTALLED_HEADER...
set -eu
source=$1
shift
files=$(cd "$source/include/penrune" && ls ./*.h | sed 's|^\./||' | sort)
listed=$(for header in "$@"; do basename "$header"; done | sort)
compiled=$(sed -n 's|^#include "penrune/\(.*\)"$|\1|p' "$source/tests/c_api_test.c" | sort)
differ() {
  echo "include/penrune/ and $1 differ:"
  printf 'include/penrune/: %s\n%s: %s\n' "$(echo $files)" "$1" "$(echo $2)"
  exit 1
}
[ "$files" = "$listed" ] || differ "the installed headers" "$listed"
[ "$files" = "$compiled" ] || differ "the headers of c_api_test.c" "$compiled"
echo "public headers: $(echo "$files" | wc -l), all installed and compiled as C"
