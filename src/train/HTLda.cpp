// SPDX-License-Identifier: MIT
// Generalised symmetric-definite eigenproblem of the discriminant analysis,
// solved by LAPACK's ssygv_, with one ridge-regularised retry when the
// within-class scatter is singular.
#include "train/HTLda.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "train/HTLog.h"

extern "C" void ssygv_(const int *itype, const char *jobz, const char *uplo, const int *n, float *a, const int *lda,
                       float *b, const int *ldb, float *w, float *work, const int *lwork, int *info);

namespace {

// Solves a v = lambda b v in place (ITYPE 1, eigenvectors wanted, upper
// triangles used): a receives the eigenvectors, one run of dim values each,
// in ascending eigenvalue order; b is destroyed. Returns the solver's INFO:
// 0 on success, above dim when b is not positive definite.
int Solve(float *a, float *b, int dim, float *w, float *work, int lwork) {
    const int itype = 1;
    int info = 0;
    ssygv_(&itype, "V", "U", &dim, a, &dim, b, &dim, w, work, &lwork, &info);
    return info;
}

// Workspace for Solve: at least the 3 dim - 1 floats the solver needs, or
// the size it asks for to run its blocked reduction (several times faster
// on a 1024-dimension problem, same solution).
int WorkspaceSize(int dim) {
    const int itype = 1, query = -1;
    float best = 0.0f, w = 0.0f, m = 0.0f;
    int info = 0;
    ssygv_(&itype, "V", "U", &dim, &m, &dim, &m, &dim, &w, &best, &query, &info);
    const int minimum = 3 * dim - 1;
    return info == 0 && best > static_cast<float>(minimum) ? static_cast<int>(best) : minimum;
}

float MeanDiagonal(const float *m, int dim) {
    double sum = 0.0;
    for (int i = 0; i < dim; ++i) sum += m[static_cast<size_t>(i) * dim + i];
    return static_cast<float>(sum / dim);
}

// Ridge for a singular b: a small fraction of b's mean diagonal, or of a's
// when b's diagonal is all zero (no within-class variation at all).
float Ridge(const float *b, const float *a, int dim) {
    float scale = MeanDiagonal(b, dim);
    if (!(scale > 0.0f)) scale = MeanDiagonal(a, dim);
    return HT_LDA_RIDGE_FACTOR * scale;
}

void CopyWithRidge(const float *from, float *to, int dim, float ridge) {
    std::memcpy(to, from, sizeof(float) * dim * dim);
    for (int i = 0; i < dim; ++i) to[static_cast<size_t>(i) * dim + i] += ridge;
}

// Reorders the solver's ascending results to largest first.
void ReverseOrder(float *values, float *vectors, int dim) {
    for (int lo = 0, hi = dim - 1; lo < hi; ++lo, --hi) {
        std::swap(values[lo], values[hi]);
        std::swap_ranges(vectors + static_cast<size_t>(lo) * dim, vectors + static_cast<size_t>(lo + 1) * dim,
                         vectors + static_cast<size_t>(hi) * dim);
    }
}

}  // namespace

extern "C" int HTLda_Ssygv(const float *b, const float *a, int dim, float *values, float *vectors) {
    if (dim <= 0) return 0;
    const size_t square = static_cast<size_t>(dim) * dim;
    std::unique_ptr<float[]> bWork(new (std::nothrow) float[square]);
    const int lwork = WorkspaceSize(dim);
    std::unique_ptr<float[]> work(new (std::nothrow) float[static_cast<size_t>(lwork)]);
    if (!bWork || !work) {
        HTLog_Print("  no memory for the eigenproblem\n");
        return 0;
    }
    CopyWithRidge(a, vectors, dim, 0.0f);
    CopyWithRidge(b, bWork.get(), dim, 0.0f);
    int info = Solve(vectors, bWork.get(), dim, values, work.get(), lwork);
    if (info > dim) {
        const float ridge = Ridge(b, a, dim);
        if (ridge > 0.0f && std::isfinite(ridge)) {
            HTLog_Print(
                "  within-class scatter is not positive definite; "
                "solving again with %g added to its diagonal\n",
                ridge);
            CopyWithRidge(a, vectors, dim, ridge);
            CopyWithRidge(b, bWork.get(), dim, ridge);
            info = Solve(vectors, bWork.get(), dim, values, work.get(), lwork);
        }
    }
    if (info != 0) {
        HTLog_Print("  eigenproblem not solved (info = %d)\n", info);
        return 0;
    }
    ReverseOrder(values, vectors, dim);
    return 1;
}
