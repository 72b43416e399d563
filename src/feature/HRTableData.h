/* SPDX-License-Identifier: MIT */
/* The values of the cosine and tangent tables, written once: HRTable.cpp
 * defines the exported tables from them, and the feature code builds its
 * compile-time lookup tables from the same values. Internal to the library. */
#ifndef PENRUNE_FEATURE_HRTABLEDATA_H
#define PENRUNE_FEATURE_HRTABLEDATA_H

/* floor(50 * cos(i degrees)), i = 0..89. */
#define HR_COS_TABLE_DATA \
    50, 49, 49, 49, 49, 49, 49, 49, 49, 49, 49, 49, 48, 48, 48, \
    48, 48, 47, 47, 47, 46, 46, 46, 46, 45, 45, 44, 44, 44, 43, \
    43, 42, 42, 41, 41, 40, 40, 39, 39, 38, 38, 37, 37, 36, 35, \
    35, 34, 34, 33, 32, 32, 31, 30, 30, 29, 28, 27, 27, 26, 25, \
    25, 24, 23, 22, 21, 21, 20, 19, 18, 17, 17, 16, 15, 14, 13, \
    12, 12, 11, 10, 9, 8, 7, 6, 6, 5, 4, 3, 2, 1, 0

/* round(128 * tan((45 + i) degrees)), i = 0..44. */
#define HR_TAN_TABLE_DATA \
    128, 133, 137, 142, 147, 153, 158, 164, 170, 176, 183, 190, 197, 205, 213, \
    222, 231, 241, 251, 262, 274, 287, 302, 317, 333, 352, 372, 394, 419, 446, \
    478, 513, 554, 602, 659, 726, 808, 911, 1042, 1218, 1463, 1830, 2442, 3665, 7333

#endif /* PENRUNE_FEATURE_HRTABLEDATA_H */
