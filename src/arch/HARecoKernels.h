/* SPDX-License-Identifier: MIT */
/* Integer vector kernels of the recognition path, each in a baseline
 * x86-64 version and an AVX2 version chosen at run time. The library is
 * built for any x86-64, so the AVX2 code is compiled per function (target
 * attribute) and used only when the processor and the operating system
 * support it. Both versions of a kernel compute exactly the same integers;
 * the equivalence tests call them directly. Internal to the library. */
#ifndef PENRUNE_ARCH_HARECOKERNELS_H
#define PENRUNE_ARCH_HARECOKERNELS_H

#include "penrune/HRTypes.h"

namespace penrune {

/* Number of values of a projected query and of a prototype or tree centre. */
constexpr int kHRSimdRowLength = 64;

/* Squared distances from the query y (64 values, -128..127: the projected
 * values without their offset of 128) to count rows of 64 signed bytes; row
 * k starts at rows + index[k] * 64. out[k] = sum over d of (y[d] - row[d])².
 * y must be 32-byte aligned. */
using HRRowDistancesFn = void (*)(const HR_INT16 *y, const HR_INT8 *rows, const HR_UINT16 *index,
                                  int count, HR_UINT32 *out);
void HRSimd_RowDistancesBaseline(const HR_INT16 *y, const HR_INT8 *rows, const HR_UINT16 *index,
                                 int count, HR_UINT32 *out);
void HRSimd_RowDistancesAvx2(const HR_INT16 *y, const HR_INT8 *rows, const HR_UINT16 *index,
                             int count, HR_UINT32 *out);

/* out[r] = ((sum over j of matrix[r * nIn + j] * x[j], wrapping in 32 bits)
 * >> 16) + 128, reduced modulo 256, for r = 0..nOut-1. */
using HRProjectFn = void (*)(const HR_INT16 *x, HR_UINT32 nIn, HR_INT16 *out, HR_UINT32 nOut,
                             const HR_INT16 *matrix);
void HRSimd_ProjectBaseline(const HR_INT16 *x, HR_UINT32 nIn, HR_INT16 *out, HR_UINT32 nOut,
                            const HR_INT16 *matrix);
void HRSimd_ProjectAvx2(const HR_INT16 *x, HR_UINT32 nIn, HR_INT16 *out, HR_UINT32 nOut,
                        const HR_INT16 *matrix);

/* Each value v becomes the largest c <= 180 with c² < v; 0 for v <= 0. */
using HRRootsFn = void (*)(HR_INT16 *values, HR_INT32 count);
void HRSimd_RootsBaseline(HR_INT16 *values, HR_INT32 count);
void HRSimd_RootsAvx2(HR_INT16 *values, HR_INT32 count);

/* Whether the AVX2 versions can run here. */
bool HRSimd_HasAvx2();

/* The versions to use on this machine. */
HRRowDistancesFn HRSimd_RowDistances();
HRProjectFn HRSimd_Project();
HRRootsFn HRSimd_Roots();

}  // namespace penrune

#endif /* PENRUNE_ARCH_HARECOKERNELS_H */
