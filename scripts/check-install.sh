#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks libpenrune as a packager and a host developer meet it:
#  1. installs the full build BUILD_DIR (default build) into a staging
#     prefix, checks the installed files, and builds and runs the example
#     host against the staged library twice, through pkg-config and through
#     find_package(penrune);
#  2. configures a recognition-only library (PENRUNE_BUILD_TOOLS=OFF),
#     checks that it found neither LAPACK nor nlohmann-json, that its shared
#     object exports exactly what its installed headers declare and that
#     neither the shared object nor the archive holds training code, and runs
#     the example host linked statically against it.
# Any failed check fails the script.
#
# usage: scripts/check-install.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD
build=${1:-build}
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
example=examples/zhongguo.json

fail() { echo "check-install: $*" >&2; exit 1; }

# The first candidate the host program prints for the example line.
check_host() {
  local first
  first=$("$@" -n 1 "$source_dir/$example" | cut -f2)
  [ "$first" = "中国" ] || fail "$1 recognised '$first' instead of 中国"
}

# 1. The full build, staged.
full=$stage/full
cmake --install "$build" --prefix "$full" >/dev/null
pc=$(find "$full" -name penrune.pc)
libdir=$(dirname "$(dirname "$pc")")
for file in "$libdir/libpenrune.so.0" "$libdir/libpenrune.a" "$full/bin/penrune" \
    "$full/include/penrune/HWKernel.h" "$full/include/penrune/HTTools.h" \
    "$libdir/cmake/penrune/penruneConfig.cmake" "$libdir/cmake/penrune/penruneConfigVersion.cmake" \
    "$full/share/man/man1/penrune.1" "$full/share/doc/penrune/LICENSE" "$full/share/doc/penrune/NOTICE" \
    "$full/share/penrune/models/gb2312.dat" "$full/share/penrune/models/gb2312.lex" \
    "$full/share/penrune/models/gb2312-big5.dat" "$full/share/penrune/models/gb2312-big5.lex"; do
  [ -e "$file" ] || fail "not installed: ${file#$stage/}"
done
version=$(sed -n 's/^#define PENRUNE_VERSION_STRING "\(.*\)"$/\1/p' "$full/include/penrune/penrune_version.h")
[ "$("$full/bin/penrune" --version)" = "penrune $version" ] || fail "bin/penrune --version is not $version"
[ "$(PKG_CONFIG_PATH=$libdir/pkgconfig pkg-config --modversion penrune)" = "$version" ] ||
  fail "pkg-config does not report version $version"

# Through pkg-config: the compiler and linker flags it gives, nothing else.
flags=$(PKG_CONFIG_PATH=$libdir/pkgconfig pkg-config --cflags --libs penrune)
# shellcheck disable=SC2086
cc -std=c11 -Wall -Wextra -Werror -o "$stage/host-pkgconfig" examples/host/penrune-host.c $flags
LD_LIBRARY_PATH=$libdir check_host "$stage/host-pkgconfig"

# Through find_package(penrune), the example's own CMake project.
cmake -S examples/host -B "$stage/host-cmake" -G Ninja -DCMAKE_PREFIX_PATH="$full" >/dev/null
cmake --build "$stage/host-cmake" >/dev/null
check_host "$stage/host-cmake/penrune-host"
echo "check-install: staged install of $build: host built through pkg-config and find_package, both recognise $example"

# 2. The recognition-only library.
reco=$stage/reco-build
cmake -S . -B "$reco" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPENRUNE_BUILD_TOOLS=OFF >/dev/null
if grep -E '^(LAPACK|BLAS|nlohmann_json)[A-Za-z_]*(:|=)' "$reco/CMakeCache.txt" | grep -qv NOTFOUND; then
  fail "the recognition-only configuration looked for LAPACK or nlohmann-json"
fi
cmake --build "$reco" -j 2 >/dev/null
cmake --install "$reco" --prefix "$stage/reco" >/dev/null
reco_pc=$(find "$stage/reco" -name penrune.pc)
reco_libdir=$(dirname "$(dirname "$reco_pc")")
[ ! -e "$stage/reco/include/penrune/HTTools.h" ] || fail "recognition-only install has HTTools.h"
[ ! -e "$stage/reco/bin/penrune" ] || fail "recognition-only install has bin/penrune"
sh tests/exported_symbols.sh "$reco_libdir/libpenrune.so" "$stage"/reco/include/penrune/*.h
needed=$(readelf -d "$reco_libdir/libpenrune.so" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | tr '\n' ' ')
case $needed in *blas* | *lapack* | *gfortran*) fail "recognition-only library needs $needed" ;; esac
training=$(nm --defined-only "$reco_libdir/libpenrune.a" "$reco_libdir/libpenrune.so" 2>/dev/null |
  grep -E ' (HT[A-Za-z]*_|PYLex_(CreateSysLex|LoadPhrase|FreqSort|LoadDataFile|SaveToCpp))' || true)
[ -z "$training" ] || fail "recognition-only library holds training code: $training"

# Statically linked against the archive, with the private libraries that
# pkg-config lists.
reco_flags=$(PKG_CONFIG_PATH=$reco_libdir/pkgconfig pkg-config --static --cflags --libs-only-other --libs-only-l penrune |
  sed 's/-lpenrune//')
# shellcheck disable=SC2086
cc -std=c11 -Wall -Wextra -Werror -o "$stage/host-static" examples/host/penrune-host.c \
  "$reco_libdir/libpenrune.a" $reco_flags
check_host "$stage/host-static"
readelf -d "$stage/host-static" | grep -q 'libpenrune' && fail "host-static depends on libpenrune.so"
echo "check-install: recognition-only library (needs: $needed) exports only the host API, holds no training code; static host recognises $example"
