/* SPDX-License-Identifier: MIT */
/* Floating-point vector kernels of the training stages: the scatter
 * accumulation of the discriminant transform and the prototype distances of
 * discriminative training. Internal to the training code.
 *
 * Floating-point sums depend on their order, so every version adds each
 * result's terms in the scalar order, one rounded operation at a time
 * (this file's source is compiled without contraction into fused
 * multiply-adds): all versions give the same bits. */
#ifndef PENRUNE_ARCH_HATRAINKERNELS_H
#define PENRUNE_ARCH_HATRAINKERNELS_H

#include <stddef.h>

#include "arch/HAIsa.h"

namespace penrune {

/* Samples whose outer products one call adds. */
constexpr int kHAOuterBlock = 32;
/* Prototypes of one lane-major block. */
constexpr int kHALanes = 8;

/* A symmetric dim x dim matrix as its upper triangle, row by row: the
 * number of elements, and the index of element (row, row). */
inline size_t HA_PackedSize(int dim) { return static_cast<size_t>(dim) * (dim + 1) / 2; }
inline size_t HA_PackedOffset(int row, int dim) {
    return static_cast<size_t>(row) * dim - static_cast<size_t>(row) * (row - 1) / 2;
}

/* packed[i][j] += w[s] * x[s][i] * x[s][j] for the kHAOuterBlock samples
 * x[s] of dim values, rounded as (w[s] * x[s][i]) * x[s][j] and added to
 * each element in sample order, exactly as if the samples came one at a
 * time. The vector versions leave out the products that are exact zeros,
 * which changes nothing for finite inputs and elements that are not -0. */
using HAOuterBlockFn = void (*)(double *packed, int dim, const double *const *x, const double *weights);

/* Distances of x (dim values) to the prototypes of blockCount consecutive
 * lane-major blocks, blockFloats apart: component j of prototype l of
 * block b is blocks[b * blockFloats + j * kHALanes + l]. out[b * kHALanes
 * + l] = base + sum over j of (x[j] - p[j])², added in component order. */
using HALaneDistancesFn = void (*)(const float *x, int dim, const float *blocks, size_t blockFloats, int blockCount,
                                   float base, float *out);

struct HATrainKernels {
    HAOuterBlockFn addOuterBlock;
    HALaneDistancesFn laneDistances;
};

/* The versions for isa: its own where it has them, the best of the other
 * available ones below it for the rest. Only for an available isa. */
const HATrainKernels &HA_TrainKernelsFor(HAIsa isa);

/* The versions this machine uses. */
inline const HATrainKernels &HA_TrainKernels() { return HA_TrainKernelsFor(HA_Isa()); }

}  // namespace penrune

#endif /* PENRUNE_ARCH_HATRAINKERNELS_H */
