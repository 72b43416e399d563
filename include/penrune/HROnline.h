/* SPDX-License-Identifier: MIT */
/* On-line adaptation: classify a character by its nearest sample among the
 * user's own stored samples.
 *
 * Lifecycle: the host supplies a _HR_ONLINE context, a _HR_ONLINE_STORE
 * (133,128 bytes), a projection matrix (64 rows x 1024 int16, the layout of
 * a model image's matrix) and a cost table of HR_ONLINE_COST_TABLE_SIZE
 * entries (HROnline_BuildCostTable makes the standard one) →
 * HROnline_Initialize → HROnline_AddSample / HROnline_Recognize →
 * HROnline_Terminate (does nothing). All memory stays the host's; nothing
 * is allocated.
 *
 * Threads: a context and its store are used by one thread at a time;
 * contexts in other threads may share one matrix and cost table, which
 * nothing writes.
 *
 * Each sample is kept as the same 64-value compressed feature (values
 * 0..255) that the recognizer compares. The distance between a stored
 * feature s and a query feature q is the sum over the 64 dimensions of
 * costTable[s[d] - q[d] + 255]: the table is indexed by the signed
 * difference, offset by 255 so that indices run 0..510. A table indexed by
 * the sum s + q could not measure closeness (it would rank samples by how
 * large their values are, whatever the query), so the difference is used.
 * With the table of HROnline_BuildCostTable the distance is the squared
 * Euclidean distance, on the same scale as the recognizer's distances; a
 * host may supply any other table indexed the same way (for example a
 * clipped or absolute-difference cost). */
#ifndef HR_ONLINE_H
#define HR_ONLINE_H

#include "HRFeature.h"
#include "HRTypes.h"

PENRUNE_EXTERN_C_BEGIN

#define HR_ONLINE_CAPACITY 1024                /* samples a store holds */
#define HR_ONLINE_DIM HR_FEATURE_PROJECTED_DIM /* values of one stored feature */
#define HR_ONLINE_COST_TABLE_SIZE 511          /* cost table entries: differences -255..255 */
#define HR_ONLINE_COST_OFFSET 255              /* table index of difference 0 */
#define HR_ONLINE_NO_MATCH 60000               /* a sample must come below this distance */

/* The sample store, host memory. */
typedef struct _HR_ONLINE_STORE {
    HR_INT32 capacity;                                    /* 1024 after initialisation */
    HR_INT32 count;                                       /* samples stored */
    HR_UINT16 codes[HR_ONLINE_CAPACITY];                  /* character code of each sample */
    HR_INT16 features[HR_ONLINE_CAPACITY][HR_ONLINE_DIM]; /* compressed feature, 0..255 */
} _HR_ONLINE_STORE;

/* The adaptation context: three host-owned pointers. */
typedef struct _HR_ONLINE {
    _HR_ONLINE_STORE *store;
    const HR_INT16 *matrix;     /* 64 x 1024 projection weights */
    const HR_UINT16 *costTable; /* HR_ONLINE_COST_TABLE_SIZE entries, by difference */
} _HR_ONLINE;

/* Fills table (HR_ONLINE_COST_TABLE_SIZE entries) with the squared
 * difference: table[i] = (i - 255)^2, so a sample's distance is its squared
 * Euclidean distance to the query. */
PENRUNE_API void HROnline_BuildCostTable(HR_UINT16 *table);

/* Stores the three pointers in context and empties the store. Returns 1. */
PENRUNE_API int HROnline_Initialize(_HR_ONLINE *context, const HR_INT16 *matrix, const HR_UINT16 *costTable,
                                    _HR_ONLINE_STORE *store);

/* Appends a sample of code (low 16 bits kept) made from n 16-bit points,
 * which are converted and normalised in place. Returns 1 when stored, 0
 * when the store is full (it is then left unchanged). */
PENRUNE_API int HROnline_AddSample(_HR_ONLINE *context, HR_UINT32 code, _HR_POINT16 *points, HR_UINT16 n);

/* Finds the stored sample nearest to the character given by n 16-bit
 * points (converted and normalised in place); the first stored wins ties.
 * Writes its code to codeOut and its distance to distOut (may be null) and
 * returns 1. Returns 0 and writes nothing when the store is empty, no
 * sample comes below distance 60000, or the nearest sample's code is 0.
 * ignored is not used. */
PENRUNE_API int HROnline_Recognize(_HR_ONLINE *context, _HR_POINT16 *points, HR_UINT16 n, int ignored,
                                   HR_UINT16 *codeOut, HR_UINT16 *distOut);

/* Does nothing; the host owns all memory. */
PENRUNE_API void HROnline_Terminate(void);

PENRUNE_EXTERN_C_END

#endif /* HR_ONLINE_H */
