// SPDX-License-Identifier: MIT
// The scalar recognition kernels, the references of the vector versions,
// and the table of versions per instruction set. The scalar loops are
// written so that the compiler may vectorise them for the baseline of the
// target; being integer code, that changes no result.
#include "arch/HARecoKernels.h"

#include "arch/HARecoVariants.h"

namespace penrune {
namespace {

/* Rows of the matrix projected side by side: every input value is loaded
 * once for all of them. */
constexpr HR_UINT32 kProjectionBlock = 4;

/* Squared distance of one row: 16-bit differences (at most 255 in
 * magnitude) and their 32-bit squares. */
HR_UINT32 RowDistance(const HR_INT16 *y, const HR_INT8 *row) {
    HR_INT32 sum = 0;
    for (int d = 0; d < kHARowLength; ++d) {
        const HR_INT16 t = static_cast<HR_INT16>(y[d] - row[d]);
        sum += static_cast<HR_INT32>(t) * t;
    }
    return static_cast<HR_UINT32>(sum);
}

void RowDistancesScalar(const HR_INT16 *y, const HR_INT8 *rows, const HR_UINT16 *index, int count, HR_UINT32 *out) {
    for (int k = 0; k < count; ++k) out[k] = RowDistance(y, HA_RowAt(rows, index[k]));
}

struct ScalarOps {
    /* Projects kRows consecutive rows; the sums wrap in 32 bits. */
    template <int kRows>
    static void Rows(const HR_INT16 *rows, HR_UINT32 nIn, const HR_INT16 *x, HR_INT16 *out) {
        HR_UINT32 acc[kRows] = {};
        for (HR_UINT32 j = 0; j < nIn; ++j) {
            const HR_INT32 xj = x[j];
            for (int r = 0; r < kRows; ++r)
                acc[r] += static_cast<HR_UINT32>(rows[r * static_cast<size_t>(nIn) + j] * xj);
        }
        for (int r = 0; r < kRows; ++r) out[r] = HA_ProjectedValue(acc[r]);
    }
};

void ProjectScalar(const HR_INT16 *x, HR_UINT32 nIn, HR_INT16 *out, HR_UINT32 nOut, const HR_INT16 *matrix) {
    HA_ProjectBy<kProjectionBlock, ScalarOps>(x, nIn, out, nOut, matrix);
}

void RootsScalar(HR_INT16 *values, HR_INT32 count, HR_UINT16 cap) { HA_RootsLoop(values, count, cap); }

}  // namespace

const HARecoKernels kHARecoScalar = {RowDistancesScalar, ProjectScalar, RootsScalar};

const HARecoKernels &HA_RecoKernelsFor(HAIsa isa) {
    switch (isa) {
#if HA_HAVE_AVX2
        case HAIsa::kAvx2:
            return kHARecoAvx2;
#endif
#if HA_HAVE_SIMD128
        case HAIsa::kSimd128:
            return kHARecoSimd128;
#endif
        default:
            return kHARecoScalar;
    }
}

}  // namespace penrune
