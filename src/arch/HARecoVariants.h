/* SPDX-License-Identifier: MIT */
/* The versions of the recognition kernels, one table per instruction set,
 * and the pieces they share. Seen only by the files of src/arch. */
#ifndef PENRUNE_ARCH_HARECOVARIANTS_H
#define PENRUNE_ARCH_HARECOVARIANTS_H

#include <stddef.h>

#include "arch/HARecoKernels.h"

namespace penrune {

extern const HARecoKernels kHARecoScalar;
#if HA_HAVE_AVX2
extern const HARecoKernels kHARecoAvx2;
#endif
#if HA_HAVE_SIMD128
extern const HARecoKernels kHARecoSimd128;
#endif

inline const HR_INT8 *HA_RowAt(const HR_INT8 *rows, HR_UINT16 index) {
    return rows + static_cast<size_t>(index) * kHARowLength;
}

/* The projected value of a row whose products sum to sum (modulo 2^32):
 * only bits 16..23 survive, so the sign needs no handling. */
inline HR_INT16 HA_ProjectedValue(HR_UINT32 sum) {
    constexpr HR_UINT32 kShift = 16;
    constexpr HR_UINT32 kBias = 128;
    constexpr HR_UINT32 kByteMask = 0xFF;
    return static_cast<HR_INT16>(((sum >> kShift) + kBias) & kByteMask);
}

/* The products of the components from..n-1 of a row, added to sum: the
 * part of a row that does not fill a whole vector. */
inline HR_UINT32 HA_AddProducts(HR_UINT32 sum, const HR_INT16 *row, const HR_INT16 *x, HR_UINT32 from, HR_UINT32 n) {
    for (HR_UINT32 j = from; j < n; ++j) sum += static_cast<HR_UINT32>(row[j] * static_cast<HR_INT32>(x[j]));
    return sum;
}

/* The drivers below are always inlined into a function compiled for the
 * version's instruction set, so its vectors never cross a call whose
 * convention GCC warns about. Clang checks the vector arguments before it
 * inlines: a version that passes vectors of a wider instruction set
 * defines HA_DRIVER_TARGET as that set's target attribute before it
 * includes this header. */
#ifndef HA_DRIVER_TARGET
#define HA_DRIVER_TARGET
#endif
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

/* The distance kernel over the vector operations of Ops: four rows at a
 * time with one reduction for the four, then the rest one by one.
 * Ops::Squares gives a vector of partial sums of one row, Ops::Total their
 * sum, Ops::StoreTotals4 the sums of four such vectors. Inlined into each
 * version, so that it is compiled for that version's instruction set. */
template <class Ops>
HA_DRIVER_TARGET __attribute__((always_inline)) inline void HA_RowDistancesBy(const HR_INT16 *y, const HR_INT8 *rows,
                                                                              const HR_UINT16 *index, int count,
                                                                              HR_UINT32 *out) {
    constexpr int kGroup = 4;
    int k = 0;
    for (; k + kGroup <= count; k += kGroup) {
        Ops::StoreTotals4(out + k, Ops::Squares(y, HA_RowAt(rows, index[k])),
                          Ops::Squares(y, HA_RowAt(rows, index[k + 1])), Ops::Squares(y, HA_RowAt(rows, index[k + 2])),
                          Ops::Squares(y, HA_RowAt(rows, index[k + 3])));
    }
    for (; k < count; ++k) out[k] = Ops::Total(Ops::Squares(y, HA_RowAt(rows, index[k])));
}

/* The projection kernel: kBlock rows at a time with Ops::Rows<kBlock>, the
 * rest one by one. Inlined into each version as HA_RowDistancesBy. */
template <HR_UINT32 kBlock, class Ops>
HA_DRIVER_TARGET __attribute__((always_inline)) inline void HA_ProjectBy(const HR_INT16 *x, HR_UINT32 nIn,
                                                                         HR_INT16 *out, HR_UINT32 nOut,
                                                                         const HR_INT16 *matrix) {
    HR_UINT32 r = 0;
    for (; r + kBlock <= nOut; r += kBlock)
        Ops::template Rows<kBlock>(matrix + static_cast<size_t>(r) * nIn, nIn, x, out + r);
    for (; r < nOut; ++r) Ops::template Rows<1>(matrix + static_cast<size_t>(r) * nIn, nIn, x, out + r);
}

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

/* Largest c <= cap with c² < v; 0 for v <= 0. Bit by bit from the top,
 * branch-free so that a loop over many values vectorises. */
inline HR_UINT16 HA_RootBelow(HR_INT16 value, HR_UINT16 cap) {
    constexpr HR_UINT16 kTopBit = 128;
    const HR_UINT16 v = value > 0 ? static_cast<HR_UINT16>(value) : 0;
    HR_UINT16 root = 0;
    for (HR_UINT16 bit = kTopBit; bit != 0; bit >>= 1) {
        const HR_UINT16 candidate = static_cast<HR_UINT16>(root | bit);
        root = static_cast<HR_UINT16>(candidate * candidate) < v ? candidate : root;
    }
    return root < cap ? root : cap;
}

/* The roots loop, inlined into each version so that the compiler
 * vectorises it for that version's instruction set. */
__attribute__((always_inline)) inline void HA_RootsLoop(HR_INT16 *values, HR_INT32 count, HR_UINT16 cap) {
    for (HR_INT32 i = 0; i < count; ++i) values[i] = static_cast<HR_INT16>(HA_RootBelow(values[i], cap));
}

}  // namespace penrune

#endif /* PENRUNE_ARCH_HARECOVARIANTS_H */
