/* SPDX-License-Identifier: MIT */
/* The three read-only integer tables of the feature path.
 *
 * Trigonometry and square roots on the recognition path are table lookups
 * (plus bisection), so features are bit-identical on every platform. */
#ifndef HR_TABLE_H
#define HR_TABLE_H

#include "penrune/HRTypes.h"

PENRUNE_EXTERN_C_BEGIN

#define HR_COS_TABLE_SIZE 90
#define HR_TAN_TABLE_SIZE 45
#define HR_SQUARE_TABLE_SIZE 384
/* Index of 0 squared in g_nSquareTable: entry HR_SQUARE_TABLE_ZERO + v is v². */
#define HR_SQUARE_TABLE_ZERO 128

/* Entry i = floor(50 * cos(i degrees)), i = 0..89: 50 down to 0. */
extern const HR_UINT8 g_nCosTable[HR_COS_TABLE_SIZE];
/* Entry i = round(128 * tan((45 + i) degrees)), i = 0..44: 128 up to 7333. */
extern const HR_UINT16 g_nTanTable[HR_TAN_TABLE_SIZE];
/* Entry i = (i - 128)², i = 0..383: v² for v = -128..255 at entry 128 + v. */
extern const HR_UINT16 g_nSquareTable[HR_SQUARE_TABLE_SIZE];

PENRUNE_EXTERN_C_END

#endif /* HR_TABLE_H */
