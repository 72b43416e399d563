// SPDX-License-Identifier: MIT
// The usual shape of each character, for the line mode: the log of its
// ink's width over height, in 32nds, as the stroke sources write it
// (src/kernel/HWShapeData.c, made by scripts/make-shapes.py).
#ifndef HW_SHAPE_H
#define HW_SHAPE_H

#include "penrune/HRTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

#define HW_ASPECT_SCALE 32  /* aspect units per unit of natural log */
#define HW_ASPECT_LIMIT 127 /* largest |aspect| the table holds */

extern const HR_UINT32 g_hw_aspectCount;
extern const HR_UINT16 g_hw_aspectCodes[]; /* ascending */
extern const HR_INT8 g_hw_aspects[];

#ifdef __cplusplus
}
#endif

// The usual aspect of code into *aspect; 0 when the table does not know it.
int HWAspect_Find(HR_UINT16 code, HR_INT32 *aspect);

// The aspect of a box width x height (host units, each at least 1), within
// the table's range.
HR_INT32 HWAspect_OfBox(HR_INT32 width, HR_INT32 height);

#endif  // HW_SHAPE_H
