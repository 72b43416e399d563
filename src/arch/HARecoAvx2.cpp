// SPDX-License-Identifier: MIT
// The AVX2 versions of the recognition kernels. The library is built for
// any x86-64, so this code is compiled per function (target attribute) and
// used only where the processor has AVX2 (HA_Isa).
// The drivers of HARecoVariants.h pass AVX2 vectors between their steps.
#define HA_DRIVER_TARGET __attribute__((target("avx2")))
#include "arch/HARecoVariants.h"

#if HA_HAVE_AVX2

#include <immintrin.h>

#define HA_AVX2 __attribute__((target("avx2")))

namespace penrune {
namespace {

/* 32-bit lanes as a plain vector type: accumulating with += lets the
 * compiler keep each sum in one register across a loop. */
typedef HR_UINT32 Lanes32 __attribute__((vector_size(32)));

struct Avx2Ops {
    /* Per-lane squares of one row against the query, summed in pairs: 8
     * partial sums. (p - y)² is taken for (y - p)²: the query can then stay
     * in memory operands and the four rows of a group fit the registers.
     * y must be 32-byte aligned. */
    HA_AVX2 static __m256i Squares(const HR_INT16 *y, const HR_INT8 *row) {
        Lanes32 sum[2] = {};
        for (int part = 0; part < 4; ++part) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(row + 16 * part));
            const __m256i query = _mm256_load_si256(reinterpret_cast<const __m256i *>(y + 16 * part));
            const __m256i t = _mm256_sub_epi16(_mm256_cvtepi8_epi16(bytes), query);
            sum[part & 1] += reinterpret_cast<Lanes32>(_mm256_madd_epi16(t, t));
        }
        return reinterpret_cast<__m256i>(sum[0] + sum[1]);
    }

    HA_AVX2 static void StoreTotals4(HR_UINT32 *out, __m256i a, __m256i b, __m256i c, __m256i d) {
        const __m256i h = _mm256_hadd_epi32(_mm256_hadd_epi32(a, b), _mm256_hadd_epi32(c, d));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out),
                         _mm_add_epi32(_mm256_castsi256_si128(h), _mm256_extracti128_si256(h, 1)));
    }

    HA_AVX2 static HR_UINT32 Total(__m256i v) {
        __m128i s = _mm_add_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
        s = _mm_add_epi32(s, _mm_shuffle_epi32(s, 0x4E));
        s = _mm_add_epi32(s, _mm_shuffle_epi32(s, 0xB1));
        return static_cast<HR_UINT32>(_mm_cvtsi128_si32(s));
    }

    /* Projects kRows consecutive rows, 16 components at a time: the
     * pairwise products of madd wrap modulo 2^32 as the scalar sum does. */
    template <int kRows>
    HA_AVX2 static void Rows(const HR_INT16 *rows, HR_UINT32 nIn, const HR_INT16 *x, HR_INT16 *out) {
        constexpr HR_UINT32 kLanes = 16;
        const HR_INT16 *row[kRows];
        for (int r = 0; r < kRows; ++r) row[r] = rows + r * static_cast<size_t>(nIn);
        Lanes32 acc[kRows] = {};
        const HR_UINT32 whole = nIn / kLanes * kLanes;
        for (HR_UINT32 j = 0; j < whole; j += kLanes) {
            const __m256i xv = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(x + j));
            for (int r = 0; r < kRows; ++r) {
                const __m256i w = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(row[r] + j));
                acc[r] += reinterpret_cast<Lanes32>(_mm256_madd_epi16(w, xv));
            }
        }
        for (int r = 0; r < kRows; ++r)
            out[r] = HA_ProjectedValue(HA_AddProducts(Total(reinterpret_cast<__m256i>(acc[r])), row[r], x, whole, nIn));
    }
};

HA_AVX2 void RowDistancesAvx2(const HR_INT16 *y, const HR_INT8 *rows, const HR_UINT16 *index, int count,
                              HR_UINT32 *out) {
    HA_RowDistancesBy<Avx2Ops>(y, rows, index, count, out);
}

/* Rows projected side by side: eight sums and the input fit the 16
 * registers. */
constexpr HR_UINT32 kProjectionBlock = 8;

HA_AVX2 void ProjectAvx2(const HR_INT16 *x, HR_UINT32 nIn, HR_INT16 *out, HR_UINT32 nOut, const HR_INT16 *matrix) {
    HA_ProjectBy<kProjectionBlock, Avx2Ops>(x, nIn, out, nOut, matrix);
}

HA_AVX2 void RootsAvx2(HR_INT16 *values, HR_INT32 count, HR_UINT16 cap) { HA_RootsLoop(values, count, cap); }

}  // namespace

const HARecoKernels kHARecoAvx2 = {RowDistancesAvx2, ProjectAvx2, RootsAvx2};

}  // namespace penrune

#endif
