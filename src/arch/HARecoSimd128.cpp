// SPDX-License-Identifier: MIT
// The WebAssembly SIMD versions of the distance and projection kernels,
// built when the target has the 128-bit vectors (emcc -msimd128). The
// square roots are the scalar loop, which the compiler vectorises.
#include "arch/HARecoVariants.h"

#if HA_HAVE_SIMD128

#include <wasm_simd128.h>

namespace penrune {
namespace {

struct Simd128Ops {
    /* Per-lane squares of one row against the query, summed in pairs: 4
     * partial sums, in two chains so that they do not wait on each other. */
    static v128_t Squares(const HR_INT16 *y, const HR_INT8 *row) {
        v128_t sum[2] = {wasm_i32x4_splat(0), wasm_i32x4_splat(0)};
        for (int part = 0; part < 4; ++part) {
            const v128_t bytes = wasm_v128_load(row + 16 * part);
            const v128_t low = wasm_i16x8_sub(wasm_i16x8_extend_low_i8x16(bytes), wasm_v128_load(y + 16 * part));
            const v128_t high = wasm_i16x8_sub(wasm_i16x8_extend_high_i8x16(bytes), wasm_v128_load(y + 16 * part + 8));
            sum[0] = wasm_i32x4_add(sum[0], wasm_i32x4_dot_i16x8(low, low));
            sum[1] = wasm_i32x4_add(sum[1], wasm_i32x4_dot_i16x8(high, high));
        }
        return wasm_i32x4_add(sum[0], sum[1]);
    }

    /* The sums of four vectors of 4 partial sums, in the order a b c d. */
    static void StoreTotals4(HR_UINT32 *out, v128_t a, v128_t b, v128_t c, v128_t d) {
        const v128_t ab = wasm_i32x4_add(wasm_i32x4_shuffle(a, b, 0, 4, 2, 6), wasm_i32x4_shuffle(a, b, 1, 5, 3, 7));
        const v128_t cd = wasm_i32x4_add(wasm_i32x4_shuffle(c, d, 0, 4, 2, 6), wasm_i32x4_shuffle(c, d, 1, 5, 3, 7));
        wasm_v128_store(out,
                        wasm_i32x4_add(wasm_i32x4_shuffle(ab, cd, 0, 1, 4, 5), wasm_i32x4_shuffle(ab, cd, 2, 3, 6, 7)));
    }

    static HR_UINT32 Total(v128_t v) {
        const v128_t pairs = wasm_i32x4_add(v, wasm_i32x4_shuffle(v, v, 2, 3, 0, 1));
        return static_cast<HR_UINT32>(
            wasm_i32x4_extract_lane(wasm_i32x4_add(pairs, wasm_i32x4_shuffle(pairs, pairs, 1, 0, 3, 2)), 0));
    }

    /* Projects kRows consecutive rows, 8 components at a time: the pairwise
     * products of the dot instruction wrap modulo 2^32 as the scalar sum
     * does. */
    template <int kRows>
    static void Rows(const HR_INT16 *rows, HR_UINT32 nIn, const HR_INT16 *x, HR_INT16 *out) {
        constexpr HR_UINT32 kLanes = 8;
        const HR_INT16 *row[kRows];
        v128_t acc[kRows];
        for (int r = 0; r < kRows; ++r) {
            row[r] = rows + r * static_cast<size_t>(nIn);
            acc[r] = wasm_i32x4_splat(0);
        }
        const HR_UINT32 whole = nIn / kLanes * kLanes;
        for (HR_UINT32 j = 0; j < whole; j += kLanes) {
            const v128_t xv = wasm_v128_load(x + j);
            for (int r = 0; r < kRows; ++r)
                acc[r] = wasm_i32x4_add(acc[r], wasm_i32x4_dot_i16x8(wasm_v128_load(row[r] + j), xv));
        }
        for (int r = 0; r < kRows; ++r)
            out[r] = HA_ProjectedValue(HA_AddProducts(Total(acc[r]), row[r], x, whole, nIn));
    }
};

void RowDistancesSimd128(const HR_INT16 *y, const HR_INT8 *rows, const HR_UINT16 *index, int count, HR_UINT32 *out) {
    HA_RowDistancesBy<Simd128Ops>(y, rows, index, count, out);
}

/* Rows projected side by side: every input vector is loaded once for them. */
constexpr HR_UINT32 kProjectionBlock = 4;

void ProjectSimd128(const HR_INT16 *x, HR_UINT32 nIn, HR_INT16 *out, HR_UINT32 nOut, const HR_INT16 *matrix) {
    HA_ProjectBy<kProjectionBlock, Simd128Ops>(x, nIn, out, nOut, matrix);
}

void RootsSimd128(HR_INT16 *values, HR_INT32 count, HR_UINT16 cap) { HA_RootsLoop(values, count, cap); }

}  // namespace

const HARecoKernels kHARecoSimd128 = {RowDistancesSimd128, ProjectSimd128, RootsSimd128};

}  // namespace penrune

#endif
