/* SPDX-License-Identifier: MIT */
/* Integer vector kernels of the recognition path: the projection of the
 * feature vector, its square-root compression, and the squared distances of
 * the projected query to prototypes and tree centres. Internal to the
 * library.
 *
 * Every kernel is exact integer arithmetic (sums that wrap modulo 2^32
 * where they can overflow at all), so the order of the additions does not
 * matter: all versions of a kernel compute the same integers. */
#ifndef PENRUNE_ARCH_HARECOKERNELS_H
#define PENRUNE_ARCH_HARECOKERNELS_H

#include "arch/HAIsa.h"
#include "penrune/HRTypes.h"

namespace penrune {

/* Number of values of a projected query and of a prototype or tree centre. */
constexpr int kHARowLength = 64;

/* Squared distances from the query y (64 values, -128..127: the projected
 * values without their offset of 128) to count rows of 64 signed bytes; row
 * k starts at rows + index[k] * 64. out[k] = sum over d of (y[d] - row[d])².
 * y must be 32-byte aligned. */
using HARowDistancesFn = void (*)(const HR_INT16 *y, const HR_INT8 *rows, const HR_UINT16 *index, int count,
                                  HR_UINT32 *out);

/* out[r] = ((sum over j of matrix[r * nIn + j] * x[j], wrapping in 32 bits)
 * >> 16) + 128, reduced modulo 256, for r = 0..nOut-1. */
using HAProjectFn = void (*)(const HR_INT16 *x, HR_UINT32 nIn, HR_INT16 *out, HR_UINT32 nOut, const HR_INT16 *matrix);

/* Each value v becomes the largest c <= cap with c² < v; 0 for v <= 0.
 * cap is at most 255. */
using HARootsFn = void (*)(HR_INT16 *values, HR_INT32 count, HR_UINT16 cap);

struct HARecoKernels {
    HARowDistancesFn rowDistances;
    HAProjectFn project;
    HARootsFn roots;
};

/* The versions for isa: its own where it has them, the scalar ones for the
 * rest. Only for an available isa (HA_IsaAvailable). */
const HARecoKernels &HA_RecoKernelsFor(HAIsa isa);

/* The versions this machine uses. */
inline const HARecoKernels &HA_RecoKernels() { return HA_RecoKernelsFor(HA_Isa()); }

}  // namespace penrune

#endif /* PENRUNE_ARCH_HARECOKERNELS_H */
