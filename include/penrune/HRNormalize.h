/* SPDX-License-Identifier: MIT */
/* Character normalisation: moves the points of one character into a fixed
 * 64 x 64 frame.
 *
 * HRNormalize_Process runs, in place:
 *   1. HRNormalize_LinearNormalize: translate and scale the bounding box to
 *      0..62 (aspect kept only for characters more than 4:1 elongated);
 *   2. density profiles: HRNormalize_SetInitialMappingValue to 6, then
 *      HRNormalize_MappingInAscendOrder for every segment of the character;
 *   3. HRNormalize_DiffuseGaussianWeight on the x profile, then the y profile;
 *   4. HRNormalize_CalculateMapping turns both profiles into coordinate maps;
 *   5. HRNormalize_Mapping moves every point through the maps.
 *
 * Points with x = 255 are markers (stroke end or end of data): they are never
 * moved and never count as points; a segment joins two consecutive points
 * that are both not markers. A profile (or map) is HR_NORMALIZE_SIZE unsigned
 * 16-bit counters whose additions wrap modulo 65536.
 *
 * Everything works on caller memory and the stack: no allocation, no state,
 * safe to call from any number of threads on different characters. */
#ifndef HR_NORMALIZE_H
#define HR_NORMALIZE_H

#include "HRTypes.h"

PENRUNE_EXTERN_C_BEGIN

/* Side of the normalised frame and length of a density profile. */
#define HR_NORMALIZE_SIZE 64
/* Initial value of every profile counter. */
#define HR_NORMALIZE_INITIAL_DENSITY 6

/* Whole normalisation of points[0..n-1], in place. Coordinates 0..254 on
 * input, 0..63 on output; markers untouched. */
PENRUNE_API void HRNormalize_Process(_HR_POINT8 *points, HR_UINT16 n);

/* Linear stage: bounding box (starting at point 0) scaled to 0..62. n = 0
 * leaves the array as it is; n = 1 moves the point to (0, 0). */
PENRUNE_API void HRNormalize_LinearNormalize(_HR_POINT8 *points, HR_UINT16 n);

/* Sets all HR_NORMALIZE_SIZE entries of both profiles to value. */
PENRUNE_API void HRNormalize_SetInitialMappingValue(HR_UINT16 *xProfile, HR_UINT16 *yProfile, HR_UINT16 value);

/* Adds xWeight to the x counters min(a.x, b.x)..max(a.x, b.x) and yWeight to
 * the y counters min(a.y, b.y)..max(a.y, b.y), both ranges inclusive.
 * Counters past the end of a profile do not exist: a range is cut at
 * HR_NORMALIZE_SIZE - 1. */
PENRUNE_API void HRNormalize_MappingInAscendOrder(_HR_POINT8 a, _HR_POINT8 b, HR_UINT16 xWeight, HR_UINT16 yWeight,
                                                  HR_UINT16 *xProfile, HR_UINT16 *yProfile);

/* Smooths one profile in place: bins up to 240 spread over +-4 with a peak
 * (weights 2 4 4 8 10 8 4 4 2), heavier bins flat over +-5. */
PENRUNE_API void HRNormalize_DiffuseGaussianWeight(HR_UINT16 *profile);

/* Turns both profiles into cumulative coordinate maps 0..63 in place. A
 * profile whose total is 0 (only reachable by wrapping) becomes the identity
 * map. */
PENRUNE_API void HRNormalize_CalculateMapping(HR_UINT16 *xProfile, HR_UINT16 *yProfile);

/* Replaces x by xMap[x] and y by yMap[y] (low bytes) for every point that is
 * not a marker. Coordinates above HR_NORMALIZE_SIZE - 1 read the last entry. */
PENRUNE_API void HRNormalize_Mapping(_HR_POINT8 *points, HR_UINT16 n, const HR_UINT16 *xMap, const HR_UINT16 *yMap);

PENRUNE_EXTERN_C_END

#endif /* HR_NORMALIZE_H */
