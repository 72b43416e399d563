/* SPDX-License-Identifier: MIT */
/* Generalised symmetric-definite eigenproblem of the discriminant analysis.
 *
 * Solves A v = lambda B v (A = Sw + Sb, B = Sw) with LAPACK's ssygv_ in
 * single precision. When B is not positive definite (too few samples for the
 * dimension, or features that never vary), the solve is repeated once with a
 * small ridge added to the diagonals of A and B, that is with Sw + eps I in
 * place of Sw, and a detail line says so in the training log. */
#ifndef HT_LDA_H
#define HT_LDA_H

#include "penrune/HRTypes.h"

PENRUNE_EXTERN_C_BEGIN

/* Ridge of the retry, relative to the mean diagonal of B (or of A when B's
 * diagonal is all zero). */
#define HT_LDA_RIDGE_FACTOR 1e-3f

/* Solves a v = lambda b v for the dim x dim symmetric matrices a and b (full,
 * either order). Writes the dim eigenvalues, largest first, to values and the
 * eigenvectors, one per row of dim floats in the same order and scaled so
 * that v' b v = 1, to vectors (dim x dim). a and b are not modified.
 * Returns 1 on success, 0 without memory or when the problem cannot be solved
 * even with the ridge. */
int HTLda_Ssygv(const float *b, const float *a, int dim, float *values, float *vectors);

PENRUNE_EXTERN_C_END

#endif /* HT_LDA_H */
