// SPDX-License-Identifier: MIT
// The usual shape of each character, for the line mode: the log of its
// ink's width over height, in 32nds, as the stroke sources write it, and for
// the hanzi the most strokes they write it with (src/kernel/HWShapeData.c,
// made by scripts/make-shapes.py).
#ifndef HW_SHAPE_H
#define HW_SHAPE_H

#include "penrune/HRTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

#define HW_SHAPE_SCALE 32  /* ratio units per unit of natural log */
#define HW_SHAPE_LIMIT 127 /* largest |ratio| the table holds */

extern const HR_UINT32 g_hw_shapeCount;
extern const HR_UINT16 g_hw_shapeCodes[]; /* ascending */
extern const HR_INT8 g_hw_shapes[];
extern const HR_UINT8 g_hw_shapeStrokes[]; /* 0: no count */

#ifdef __cplusplus
}
#endif

// The usual ratio of code into *ratio and its stroke count into *strokes
// (0 when strokes say nothing of it); 0 when the table does not know it.
int HWShape_Find(HR_UINT16 code, HR_INT32 *ratio, HR_INT32 *strokes);

// The ratio of a box width x height (host units, each at least 1), within
// the table's range.
HR_INT32 HWShape_OfBox(HR_INT32 width, HR_INT32 height);

#endif  // HW_SHAPE_H
