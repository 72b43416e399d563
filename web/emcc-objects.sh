# SPDX-License-Identifier: MIT
# Sourced by the WebAssembly builds (web/build.sh, web/test-kernels.sh).
#
# emcc_objects DIR SOURCE... compiles each source to DIR/SOURCE.o, two
# compilers at a time, and lists the objects in the array `objects`. The
# flags are those of the run-time library plus the array `extra_flags`.
# Any failure fails the build.

# Debian's emscripten runs its tools under the system node with the Debian
# node modules.
export NODE_PATH=/usr/share/nodejs

emcc_objects() {
  local dir=$1 source object pid
  local pids=()
  shift
  objects=()
  for source in "$@"; do
    object="$dir/${source%.*}.o"
    mkdir -p "$(dirname "$object")"
    # WebAssembly SIMD: the distance and projection kernels of src/arch use
    # it, and every engine the pad supports has it.
    local flags=(-O2 -msimd128 -Iinclude -Isrc "${extra_flags[@]}")
    case "$source" in
      *.c) flags+=(-Iinclude/penrune -Wno-ignored-qualifiers) ;;
      *) flags+=(-std=c++17) ;;
    esac
    if [ "${#pids[@]}" -ge 2 ]; then wait "${pids[0]}"; pids=("${pids[@]:1}"); fi
    emcc "${flags[@]}" -c "$source" -o "$object" &
    pids+=($!)
    objects+=("$object")
  done
  for pid in "${pids[@]}"; do wait "$pid"; done
}
