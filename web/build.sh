#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the run-time library to WebAssembly for the browser pad:
# web/penrune.js (the loader, a factory named createPenrune) and
# web/penrune.wasm, with WebAssembly SIMD. The training pipeline, its
# kernels and the lexicon builder stay out.
# Installs Debian's emscripten when it is missing.
#
# usage: web/build.sh
set -euo pipefail
cd "$(dirname "$0")/.."

command -v emcc >/dev/null || scripts/install-deps.sh emscripten
sources=(src/util/*.cpp src/arch/HAIsa.cpp src/arch/HAReco*.cpp src/feature/*.cpp src/reco/*.cpp
         src/kernel/*.cpp src/kernel/HWShapeData.c src/lex/HWCand.cpp src/lex/HWLex.cpp src/reco/HRData.c
         src/lex/HWLexData.c)
exports=HWKernel_GetInstanceSize,HWKernel_Initialize,HWKernel_SetMode,HWKernel_Reset,HWKernel_AddStroke,HWKernel_DelStroke,HWKernel_GetStrokeTotal,HWKernel_GetCandTotal,HWKernel_GetCandItemUtf8,malloc,free
exports="_${exports//,/,_}"

extra_flags=()
source web/emcc-objects.sh
emcc_objects build-web/obj "${sources[@]}"

emcc -O2 "${objects[@]}" -o web/penrune.js \
  -sMODULARIZE=1 -sEXPORT_NAME=createPenrune -sENVIRONMENT=web,node \
  -sALLOW_MEMORY_GROWTH=1 -sEXPORTED_FUNCTIONS="$exports" \
  -sEXPORTED_RUNTIME_METHODS=UTF8ToString
echo "web/penrune.wasm: $(stat -c %s web/penrune.wasm) bytes, $(gzip -9c web/penrune.wasm | wc -c) gzipped"
