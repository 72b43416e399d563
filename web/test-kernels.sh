#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs the recognition kernels' equivalence test (tests/HARecoKernels_test.cpp)
# in WebAssembly under node, built as web/build.sh builds the library (with
# SIMD): it holds the simd128 versions to the scalar ones bit for bit in the
# engine the browser pad runs on. GoogleTest is compiled from Debian's
# sources. Installs emscripten and googletest when they are missing.
#
# usage: web/test-kernels.sh
set -euo pipefail
cd "$(dirname "$0")/.."

command -v emcc >/dev/null || scripts/install-deps.sh emscripten
gtest=/usr/src/googletest/googletest
[ -f "$gtest/src/gtest-all.cc" ] || scripts/install-deps.sh googletest

sources=(src/util/*.cpp src/arch/HAIsa.cpp src/arch/HAReco*.cpp src/feature/*.cpp src/reco/HRKernel.cpp
         src/reco/HRData.c tests/support/CharacterGen.cpp tests/HARecoKernels_test.cpp
         "$gtest/src/gtest-all.cc" "$gtest/src/gtest_main.cc")
# GoogleTest without threads, which this build of the module does not have.
extra_flags=(-Itests/support -I"$gtest/include" -I"$gtest" -DGTEST_HAS_PTHREAD=0)
source web/emcc-objects.sh
emcc_objects build-web/kernels-test "${sources[@]}"

# One file with the module inside: the loader would otherwise fetch the
# module, which node's fetch cannot do from a file path.
test=build-web/kernels-test/HARecoKernels_test.js
emcc -O2 "${objects[@]}" -o "$test" -sENVIRONMENT=node -sALLOW_MEMORY_GROWTH=1 -sEXIT_RUNTIME=1 -sSINGLE_FILE=1
node "$test"
