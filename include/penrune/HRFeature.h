/* SPDX-License-Identifier: MIT */
/* Direction features of one handwritten character.
 *
 * Recognition path, in calling order:
 *   HRFeature_Point16ToPoint8        raw 16-bit pen points -> 8-bit points
 *   HRFeature_Extract1024DimFeature  normalise (HRNormalize_Process) and
 *                                    build the 1024-value feature vector
 *   HRFeature_Transform              project it to 64 values 0..255 with a
 *                                    model matrix
 *
 * Feature vector layout: element plane * 512 + row * 64 + column * 8 + slot.
 * Plane 0 holds the pen-down strokes, plane 1 the simplified pen path through
 * all points. Row and column are y / 8 and x / 8 of a normalised point
 * (0..7). The 8 direction slots stand for 0, 225, 270, 315, 180, 45, 90 and
 * 135 degrees; degrees count counter-clockwise on screen, 0 pointing to +x
 * and 90 to -y. After extraction every element is 0..180.
 *
 * Integer arithmetic only, with the tables of HRTable.h; no allocation, no
 * state: any number of threads may extract features at once. */
#ifndef HR_FEATURE_H
#define HR_FEATURE_H

#include "HRTypes.h"

PENRUNE_EXTERN_C_BEGIN

/* Length of the feature vector, of one plane, and number of direction slots. */
#define HR_FEATURE_DIM 1024
#define HR_FEATURE_PLANE_SIZE 512
#define HR_FEATURE_SLOTS 8
/* Cells per row and column of the feature grid, and their size in points. */
#define HR_FEATURE_GRID 8
#define HR_FEATURE_CELL 8
/* Largest element of an extracted feature vector. */
#define HR_FEATURE_MAX_VALUE 180
/* Length of the projected (compressed) feature. */
#define HR_FEATURE_PROJECTED_DIM 64
/* Sampling step along a segment used by HRFeature_Extract1024DimFeature. */
#define HR_FEATURE_STEP 2
/* Capacity, in points, that the scratch of
 * HRFeature_ExtractEightDirectionFeatureBetweenTwoPoint must have: a segment
 * spans at most 255 units, sampled at step >= 1, plus its end point. */
#define HR_FEATURE_SCRATCH_POINTS 256

/* Converts n raw points to the 8-bit form. Markers (x = 0xFFFF) become
 * (255, 0) for y = 0 and (255, 255) otherwise; other points are translated to
 * the bounding box origin and, only when the box is 255 units or more, scaled
 * down to 0..254. out may be points itself (in-place, front to back). */
PENRUNE_API void HRFeature_Point16ToPoint8(const _HR_POINT16 *points, HR_UINT16 n, _HR_POINT8 *out);

/* Angle in degrees of the vector (dx, dy) in the first quadrant, 2..88; 45
 * when dx = dy. dx and dy are 1..255; a zero component gives the limit of the
 * table, 2 (dy = 0) or 88 (dx = 0). */
PENRUNE_API HR_INT32 HRFeature_GetAngleValue(HR_UINT8 dx, HR_UINT8 dy);

/* Direction from p to q in degrees, 0..359; two equal points give 315. */
PENRUNE_API HR_UINT16 HRFeature_GetTwoPointAngle(_HR_POINT8 p, _HR_POINT8 q);

/* Interpolation slope from p to q: major over minor step in 1/128 units,
 * signed; +-32000 along an axis, 128 for equal points. */
PENRUNE_API HR_INT16 HRFeature_GetTwoPointSlope(_HR_POINT8 p, _HR_POINT8 q);

/* Fills weights[HR_FEATURE_SLOTS] for one direction: every slot within 45
 * degrees gets g_nCosTable[3 * d / 2], d being its distance, others get 0. */
PENRUNE_API void HRFeature_EightDirectionMapping(HR_UINT16 angle, HR_UINT16 *weights);

/* Adds the weights of count sample points into one feature plane
 * (HR_FEATURE_PLANE_SIZE values): factor 32 into the sample's own cell, 16
 * into the nearer side column and side row cells, 8 into the diagonal.
 * Additions wrap modulo 65536. Samples outside the 64 x 64 frame have no cell
 * and are ignored. */
PENRUNE_API void HRFeature_CountEightDirectionFeature(const _HR_POINT8 *samples, HR_INT32 count,
                                                      const HR_UINT16 *weights, HR_INT16 *plane);

/* Samples the segment p -> q every step units along its major axis (p
 * included, q only if includeEnd is nonzero) into scratch, which must hold
 * HR_FEATURE_SCRATCH_POINTS points, and counts the samples into plane with
 * the weights of the segment's direction. step is taken within 1..256. */
PENRUNE_API void HRFeature_ExtractEightDirectionFeatureBetweenTwoPoint(_HR_POINT8 p, _HR_POINT8 q, HR_INT32 includeEnd,
                                                                       HR_INT32 step, _HR_POINT8 *scratch,
                                                                       HR_INT16 *plane);

/* Square-root compression in place: v becomes the largest c with c² < v,
 * at most 180; values <= 0 become 0. */
PENRUNE_API void HRFeature_CoxBoxTransform(HR_INT16 *values, HR_INT32 count);

/* Normalises points[0..n-1] in place and writes the feature vector
 * v[HR_FEATURE_DIM]. The character is expected to end with a marker. Returns
 * 1. */
PENRUNE_API int HRFeature_Extract1024DimFeature(_HR_POINT8 *points, HR_UINT16 n, HR_INT16 *v);

/* Projection: out[r] = ((sum_j matrix[r * nIn + j] * x[j]) >> 16) + 128,
 * reduced modulo 256, for r = 0..nOut-1. The sum is taken in 32 bits and
 * wraps on overflow (never reached by model matrices with elements within
 * +-11000 and inputs 0..180). */
PENRUNE_API void HRFeature_Transform(const HR_INT16 *x, HR_UINT16 nIn, HR_INT16 *out, HR_UINT16 nOut,
                                     const HR_INT16 *matrix);

PENRUNE_EXTERN_C_END

#endif /* HR_FEATURE_H */
