/* SPDX-License-Identifier: MIT */
/* Fixed-width types and the small records shared by every part of libpenrune.
 *
 * All records are plain C structures; the generated data sources (the embedded
 * model and lexicon images) include this header through HRData.h and
 * HWLexData.h. */
#ifndef HR_TYPES_H
#define HR_TYPES_H

#include <stdint.h>

#include "penrune_export.h"

typedef uint8_t HR_UINT8;
typedef int8_t HR_INT8;
typedef uint16_t HR_UINT16;
typedef int16_t HR_INT16;
typedef uint32_t HR_UINT32;
typedef int32_t HR_INT32;
typedef uint64_t HR_UINT64;
typedef int64_t HR_INT64;

/* A pen point in host units. x = 0xFFFF marks a marker point:
 * (0xFFFF, 0x0000) ends a stroke, (0xFFFF, 0xFFFF) ends the data. */
typedef struct _HR_POINT16 {
    HR_UINT16 x;
    HR_UINT16 y;
} _HR_POINT16;

/* A point of the recognizer's working form, coordinates 0..254.
 * x = 255 marks a marker: (255, 0) ends a stroke, (255, 255) ends the data. */
typedef struct _HR_POINT8 {
    HR_UINT8 x;
    HR_UINT8 y;
} _HR_POINT8;

/* A box with all four edges inclusive. */
typedef struct _HW_RECT {
    HR_INT32 left;
    HR_INT32 top;
    HR_INT32 right;
    HR_INT32 bottom;
} _HW_RECT;

/* A run of strokes forming one character: [first, end). */
typedef struct _HW_SEGMENT {
    HR_INT32 first;
    HR_INT32 end;
} _HW_SEGMENT;

/* A whole file held in memory. The first field lets the address of a block
 * serve as the "address of a pointer to an image" that the model and lexicon
 * initialisers accept. */
typedef struct _HR_BLOCK {
    HR_UINT8 *data;
    HR_UINT32 size;
} _HR_BLOCK;

/* Marker values of the two point forms. */
#define HR_MARKER16 0xFFFFu
#define HR_MARKER8 0xFFu

#endif /* HR_TYPES_H */
