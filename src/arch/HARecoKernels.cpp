// SPDX-License-Identifier: MIT
/* Integer vector kernels of the recognition path: distances of the
 * projected query to prototypes and tree centres, the projection of the
 * feature vector, and its square-root compression. The baseline versions
 * are plain loops that the compiler vectorises for the x86-64 baseline;
 * the AVX2 versions use 256-bit registers and are picked at run time.
 *
 * Every kernel is exact integer arithmetic (sums that wrap modulo 2^32
 * where they can overflow at all), so the order of the additions does not
 * matter and both versions give identical results. */
#include "arch/HARecoKernels.h"

#include <string.h>

#include "penrune/HRFeature.h"

#if defined(__GNUC__) && defined(__x86_64__)
#define HR_SIMD_X86 1
#include <immintrin.h>
#define HR_AVX2 __attribute__((target("avx2")))
#else
#define HR_SIMD_X86 0
#endif

namespace penrune {
namespace {

constexpr int kRow = kHRSimdRowLength;
constexpr HR_UINT32 kProjectionShift = 16;
constexpr HR_UINT32 kProjectionBias = 128;
constexpr HR_UINT32 kByteMask = 0xFF;
constexpr HR_UINT16 kMaxRoot = HR_FEATURE_MAX_VALUE;
constexpr HR_UINT16 kTopRootBit = 128;

const HR_INT8 *RowAt(const HR_INT8 *rows, HR_UINT16 index) { return rows + static_cast<size_t>(index) * kRow; }

/* Squared distance of one row, written for the vectoriser: 16-bit
 * differences (at most 255 in magnitude) and their 32-bit squares. */
inline HR_UINT32 RowDistance(const HR_INT16 *y, const HR_INT8 *row) {
    HR_INT32 sum = 0;
    for (int d = 0; d < kRow; ++d) {
        const HR_INT16 t = static_cast<HR_INT16>(y[d] - row[d]);
        sum += static_cast<HR_INT32>(t) * t;
    }
    return static_cast<HR_UINT32>(sum);
}

/* Projects kRows consecutive rows at once: every input value is loaded once
 * for all of them. The sums wrap in 32 bits and only bits 16..23 survive
 * the final reduction, so no sign handling is needed. */
template <int kRows>
void ProjectRows(const HR_INT16 *rows, HR_UINT32 nIn, const HR_INT16 *x, HR_INT16 *out) {
    HR_UINT32 acc[kRows] = {};
    for (HR_UINT32 j = 0; j < nIn; ++j) {
        const HR_INT32 xj = x[j];
        for (int r = 0; r < kRows; ++r) {
            acc[r] += static_cast<HR_UINT32>(rows[r * static_cast<size_t>(nIn) + j] * xj);
        }
    }
    for (int r = 0; r < kRows; ++r) {
        out[r] = static_cast<HR_INT16>(((acc[r] >> kProjectionShift) + kProjectionBias) & kByteMask);
    }
}

constexpr HR_UINT32 kProjectionBlock = 4;

/* Largest c <= 180 with c² < v; 0 for v <= 0. Bit by bit from the top,
 * branch-free so that a loop over a vector vectorises. */
inline HR_UINT16 RootBelow(HR_INT16 value) {
    const HR_UINT16 v = value > 0 ? static_cast<HR_UINT16>(value) : 0;
    HR_UINT16 root = 0;
    for (HR_UINT16 bit = kTopRootBit; bit != 0; bit >>= 1) {
        const HR_UINT16 candidate = static_cast<HR_UINT16>(root | bit);
        root = static_cast<HR_UINT16>(candidate * candidate) < v ? candidate : root;
    }
    return root < kMaxRoot ? root : kMaxRoot;
}

__attribute__((always_inline)) inline void RootsLoop(HR_INT16 *values, HR_INT32 count) {
    for (HR_INT32 i = 0; i < count; ++i) values[i] = static_cast<HR_INT16>(RootBelow(values[i]));
}

#if HR_SIMD_X86

/* 32-bit lanes as a plain vector type: accumulating with += lets the
 * compiler keep each sum in one register across a loop. */
typedef HR_UINT32 Lanes32 __attribute__((vector_size(32)));

/* Per-lane squares of one row against the query, summed in pairs: 8
 * partial sums. (p - y)² is taken for (y - p)²: the query can then stay in
 * memory operands and the four rows of a group fit the registers. */
HR_AVX2 inline __m256i RowSquares(const HR_INT16 *y, const HR_INT8 *row) {
    Lanes32 sum[2] = {};
    for (int part = 0; part < 4; ++part) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(row + 16 * part));
        const __m256i query = _mm256_load_si256(reinterpret_cast<const __m256i *>(y + 16 * part));
        const __m256i t = _mm256_sub_epi16(_mm256_cvtepi8_epi16(bytes), query);
        sum[part & 1] += reinterpret_cast<Lanes32>(_mm256_madd_epi16(t, t));
    }
    return reinterpret_cast<__m256i>(sum[0] + sum[1]);
}

/* The totals of four vectors of 8 partial sums each. */
HR_AVX2 inline __m128i Totals4(__m256i a, __m256i b, __m256i c, __m256i d) {
    const __m256i h = _mm256_hadd_epi32(_mm256_hadd_epi32(a, b), _mm256_hadd_epi32(c, d));
    return _mm_add_epi32(_mm256_castsi256_si128(h), _mm256_extracti128_si256(h, 1));
}

HR_AVX2 inline HR_UINT32 Total(__m256i v) {
    __m128i s = _mm_add_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
    s = _mm_add_epi32(s, _mm_shuffle_epi32(s, 0x4E));
    s = _mm_add_epi32(s, _mm_shuffle_epi32(s, 0xB1));
    return static_cast<HR_UINT32>(_mm_cvtsi128_si32(s));
}

template <int kRows>
HR_AVX2 void ProjectRowsAvx2(const HR_INT16 *rows, HR_UINT32 nIn, const HR_INT16 *x, HR_INT16 *out) {
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
    for (int r = 0; r < kRows; ++r) {
        HR_UINT32 sum = Total(reinterpret_cast<__m256i>(acc[r]));
        for (HR_UINT32 k = whole; k < nIn; ++k) sum += static_cast<HR_UINT32>(row[r][k] * static_cast<HR_INT32>(x[k]));
        out[r] = static_cast<HR_INT16>(((sum >> kProjectionShift) + kProjectionBias) & kByteMask);
    }
}

#endif

}  // namespace

void HRSimd_RowDistancesBaseline(const HR_INT16 *y, const HR_INT8 *rows, const HR_UINT16 *index,
                                 int count, HR_UINT32 *out) {
    for (int k = 0; k < count; ++k) out[k] = RowDistance(y, RowAt(rows, index[k]));
}

void HRSimd_ProjectBaseline(const HR_INT16 *x, HR_UINT32 nIn, HR_INT16 *out, HR_UINT32 nOut,
                            const HR_INT16 *matrix) {
    HR_UINT32 r = 0;
    for (; r + kProjectionBlock <= nOut; r += kProjectionBlock) {
        ProjectRows<kProjectionBlock>(matrix + static_cast<size_t>(r) * nIn, nIn, x, out + r);
    }
    for (; r < nOut; ++r) ProjectRows<1>(matrix + static_cast<size_t>(r) * nIn, nIn, x, out + r);
}

void HRSimd_RootsBaseline(HR_INT16 *values, HR_INT32 count) { RootsLoop(values, count); }

#if HR_SIMD_X86

/* Four rows at a time, with one reduction for the four; then the rest one
 * by one. y must be 32-byte aligned. */
HR_AVX2 void HRSimd_RowDistancesAvx2(const HR_INT16 *y, const HR_INT8 *rows, const HR_UINT16 *index,
                                     int count, HR_UINT32 *out) {
    constexpr int kGroup = 4;
    int k = 0;
    for (; k + kGroup <= count; k += kGroup) {
        const __m128i totals = Totals4(RowSquares(y, RowAt(rows, index[k])), RowSquares(y, RowAt(rows, index[k + 1])),
                                       RowSquares(y, RowAt(rows, index[k + 2])), RowSquares(y, RowAt(rows, index[k + 3])));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + k), totals);
    }
    for (; k < count; ++k) out[k] = Total(RowSquares(y, RowAt(rows, index[k])));
}

HR_AVX2 void HRSimd_ProjectAvx2(const HR_INT16 *x, HR_UINT32 nIn, HR_INT16 *out, HR_UINT32 nOut,
                                const HR_INT16 *matrix) {
    constexpr HR_UINT32 kBlock = 8;  /* eight sums and the input fit the 16 registers */
    HR_UINT32 r = 0;
    for (; r + kBlock <= nOut; r += kBlock) {
        ProjectRowsAvx2<kBlock>(matrix + static_cast<size_t>(r) * nIn, nIn, x, out + r);
    }
    for (; r < nOut; ++r) ProjectRowsAvx2<1>(matrix + static_cast<size_t>(r) * nIn, nIn, x, out + r);
}

HR_AVX2 void HRSimd_RootsAvx2(HR_INT16 *values, HR_INT32 count) { RootsLoop(values, count); }

bool HRSimd_HasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

#else

/* Without x86 vector extensions the AVX2 entry points are the baseline. */
void HRSimd_RowDistancesAvx2(const HR_INT16 *y, const HR_INT8 *rows, const HR_UINT16 *index,
                             int count, HR_UINT32 *out) {
    HRSimd_RowDistancesBaseline(y, rows, index, count, out);
}
void HRSimd_ProjectAvx2(const HR_INT16 *x, HR_UINT32 nIn, HR_INT16 *out, HR_UINT32 nOut,
                        const HR_INT16 *matrix) {
    HRSimd_ProjectBaseline(x, nIn, out, nOut, matrix);
}
void HRSimd_RootsAvx2(HR_INT16 *values, HR_INT32 count) { HRSimd_RootsBaseline(values, count); }
bool HRSimd_HasAvx2() { return false; }

#endif

HRRowDistancesFn HRSimd_RowDistances() {
    return HRSimd_HasAvx2() ? HRSimd_RowDistancesAvx2 : HRSimd_RowDistancesBaseline;
}

HRProjectFn HRSimd_Project() { return HRSimd_HasAvx2() ? HRSimd_ProjectAvx2 : HRSimd_ProjectBaseline; }

HRRootsFn HRSimd_Roots() { return HRSimd_HasAvx2() ? HRSimd_RootsAvx2 : HRSimd_RootsBaseline; }

}  // namespace penrune
