// SPDX-License-Identifier: MIT
// The training kernels: scalar references, versions on the compiler's
// 16-byte vectors (SSE2 on every x86-64) and AVX2 versions, compiled per
// function and used only where the processor has AVX2. None uses fused
// multiply-add (CMakeLists.txt compiles this file without contraction and
// AVX2 does not include FMA), so all round exactly alike and the trained
// model does not depend on the machine.
#include "arch/HATrainKernels.h"

#include <algorithm>
#include <cstring>

namespace penrune {
namespace {

// ---- scatter accumulation ---------------------------------------------------

// Rows of the register tile of a sweep (each row two vectors wide).
constexpr int kRowTile = 4;

// A vector of kLanes doubles at any 8-byte aligned address; vector types may
// alias their element type. (A member typedef keeps the alignment attribute,
// which a template argument would drop.)
template <int kLanes>
struct DoubleVec;
template <>
struct DoubleVec<2> {
    typedef double Type __attribute__((vector_size(16), aligned(8)));
};
template <>
struct DoubleVec<4> {
    typedef double Type __attribute__((vector_size(32), aligned(8)));
};

// Element (row, row) of the packed triangle, offset so that row[j] is
// element (row, j).
double *PackedRow(double *packed, int row, int dim) { return packed + HA_PackedOffset(row, dim) - row; }

void AddOuterBlockScalar(double *packed, int dim, const double *const *x, const double *weights) {
    for (int i = 0; i < dim; ++i) {
        double *row = PackedRow(packed, i, dim);
        for (int j = i; j < dim; ++j) {
            double t = row[j];
            for (int s = 0; s < kHAOuterBlock; ++s) t += weights[s] * x[s][i] * x[s][j];
            row[j] = t;
        }
    }
}

// One element of a sweep: t += a[s] * x[s][j] for the samples in order.
void AddElement(double &element, const double *a, const double *const *x, int count, int j) {
    double t = element;
    for (int s = 0; s < count; ++s) t += a[s] * x[s][j];
    element = t;
}

// The bulk of the triangle goes in tiles of kRowTile rows x two vectors
// held in registers; the tile's corner and a last, partial tile element by
// element. Inlined into each version, so that it is compiled for that
// version's vectors.
template <int kLanes>
__attribute__((always_inline)) inline void AddOuterBlockWith(double *__restrict packed, int dim, const double *const *x,
                                                             const double *weights) {
    using Vec = typename DoubleVec<kLanes>::Type;
    constexpr int kColTile = 2 * kLanes;
    double a[kRowTile][kHAOuterBlock];
    const double *xs[kHAOuterBlock];
    double *row[kRowTile];  // row[r][j] is element (i0 + r, j)
    for (int i0 = 0; i0 < dim; i0 += kRowTile) {
        const int rows = std::min(kRowTile, dim - i0);
        // Samples that are zero in all rows of the tile add exact zeros to
        // it and are left out; the others keep their order.
        int active = 0;
        for (int s = 0; s < kHAOuterBlock; ++s) {
            bool zero = true;
            for (int r = 0; r < rows; ++r) {
                a[r][active] = weights[s] * x[s][i0 + r];
                zero = zero && a[r][active] == 0.0;
            }
            xs[active] = x[s];
            active += zero ? 0 : 1;
        }
        for (int r = 0; r < rows; ++r) row[r] = PackedRow(packed, i0 + r, dim);
        const int cornerEnd = rows == kRowTile ? i0 + kRowTile : dim;
        for (int r = 0; r < rows; ++r) {
            for (int j = i0 + r; j < cornerEnd; ++j) AddElement(row[r][j], a[r], xs, active, j);
        }
        if (rows < kRowTile) break;
        int j = cornerEnd;
        for (; j + kColTile <= dim; j += kColTile) {
            Vec c[kRowTile][2];
            for (int r = 0; r < kRowTile; ++r) {
                c[r][0] = *reinterpret_cast<const Vec *>(row[r] + j);
                c[r][1] = *reinterpret_cast<const Vec *>(row[r] + j + kLanes);
            }
            for (int s = 0; s < active; ++s) {
                const Vec v0 = *reinterpret_cast<const Vec *>(xs[s] + j);
                const Vec v1 = *reinterpret_cast<const Vec *>(xs[s] + j + kLanes);
                for (int r = 0; r < kRowTile; ++r) {
                    c[r][0] += a[r][s] * v0;
                    c[r][1] += a[r][s] * v1;
                }
            }
            for (int r = 0; r < kRowTile; ++r) {
                *reinterpret_cast<Vec *>(row[r] + j) = c[r][0];
                *reinterpret_cast<Vec *>(row[r] + j + kLanes) = c[r][1];
            }
        }
        for (; j < dim; ++j) {
            for (int r = 0; r < kRowTile; ++r) AddElement(row[r][j], a[r], xs, active, j);
        }
    }
}

// ---- prototype distances ----------------------------------------------------

// Blocks whose distances one pass computes side by side: 2 * kGroup
// independent sums (four lanes) or kGroup (eight) keep the pipeline busy.
constexpr int kGroup = 4;

void LaneDistancesScalar(const float *x, int dim, const float *blocks, size_t blockFloats, int blockCount, float base,
                         float *out) {
    for (int b = 0; b < blockCount; ++b) {
        for (int l = 0; l < kHALanes; ++l) {
            const float *p = blocks + static_cast<size_t>(b) * blockFloats + l;
            float sum = base;
            for (int j = 0; j < dim; ++j) {
                const float d = x[j] - p[static_cast<size_t>(j) * kHALanes];
                sum += d * d;
            }
            out[b * kHALanes + l] = sum;
        }
    }
}

// The distances of the prototypes of B consecutive blocks, each lane
// summing its own prototype's terms in component order.
template <class Vec, int B>
__attribute__((always_inline)) inline void GroupDistances(const float *x, int dim, const float *blocks,
                                                          size_t blockFloats, float base, float *out) {
    constexpr int kWidth = sizeof(Vec) / sizeof(float);
    constexpr int kPerBlock = kHALanes / kWidth;
    constexpr int V = B * kPerBlock;
    Vec acc[V];
    for (int v = 0; v < V; ++v) acc[v] = Vec{} + base;
    for (int j = 0; j < dim; ++j) {
        const Vec xj = Vec{} + x[j];
        const float *row = blocks + static_cast<size_t>(j) * kHALanes;
#pragma GCC unroll 8
        for (int v = 0; v < V; ++v) {
            Vec p;
            std::memcpy(&p, row + static_cast<size_t>(v / kPerBlock) * blockFloats + (v % kPerBlock) * kWidth,
                        sizeof p);
            const Vec d = xj - p;
            acc[v] += d * d;
        }
    }
    std::memcpy(out, acc, sizeof acc);
}

template <class Vec>
__attribute__((always_inline)) inline void LaneDistancesWith(const float *x, int dim, const float *blocks,
                                                             size_t blockFloats, int blockCount, float base,
                                                             float *out) {
    int b = 0;
    for (; b + kGroup <= blockCount; b += kGroup) {
        GroupDistances<Vec, kGroup>(x, dim, blocks + static_cast<size_t>(b) * blockFloats, blockFloats, base,
                                    out + b * kHALanes);
    }
    for (; b < blockCount; ++b) {
        GroupDistances<Vec, 1>(x, dim, blocks + static_cast<size_t>(b) * blockFloats, blockFloats, base,
                               out + b * kHALanes);
    }
}

// ---- the versions -----------------------------------------------------------

const HATrainKernels kScalar = {AddOuterBlockScalar, LaneDistancesScalar};

#if HA_HAVE_VEC128
typedef float Floats4 __attribute__((vector_size(16)));

void AddOuterBlockVec128(double *packed, int dim, const double *const *x, const double *weights) {
    AddOuterBlockWith<2>(packed, dim, x, weights);
}

void LaneDistancesVec128(const float *x, int dim, const float *blocks, size_t blockFloats, int blockCount, float base,
                         float *out) {
    LaneDistancesWith<Floats4>(x, dim, blocks, blockFloats, blockCount, base, out);
}

const HATrainKernels kVec128 = {AddOuterBlockVec128, LaneDistancesVec128};
#endif

#if HA_HAVE_AVX2
typedef float Floats8 __attribute__((vector_size(32)));

__attribute__((target("avx2"))) void AddOuterBlockAvx2(double *packed, int dim, const double *const *x,
                                                       const double *weights) {
    AddOuterBlockWith<4>(packed, dim, x, weights);
}

__attribute__((target("avx2"))) void LaneDistancesAvx2(const float *x, int dim, const float *blocks, size_t blockFloats,
                                                       int blockCount, float base, float *out) {
    LaneDistancesWith<Floats8>(x, dim, blocks, blockFloats, blockCount, base, out);
}

const HATrainKernels kAvx2 = {AddOuterBlockAvx2, LaneDistancesAvx2};
#endif

}  // namespace

const HATrainKernels &HA_TrainKernelsFor(HAIsa isa) {
    switch (isa) {
#if HA_HAVE_AVX2
        case HAIsa::kAvx2:
            return kAvx2;
#endif
#if HA_HAVE_VEC128
        case HAIsa::kVec128:
        case HAIsa::kSimd128:
            return kVec128;
#endif
        default:
            return kScalar;
    }
}

}  // namespace penrune
