/* SPDX-License-Identifier: MIT */
/* Dictionary builder: assembles a recognition model image in memory and
 * writes it to a file.
 *
 * The builder is one process-wide record. Calling order:
 *   HTDict_Initialize → HTDict_SetTransVector → HTDict_SetModelFeat
 *   (→ HTDict_GetModelTotal / HTDict_GetModelFeatPtr for clustering)
 *   → HTDict_SetTreeCenter → HTDict_SaveResult
 *   → any number of (HTDict_UpdateTree → HTDict_SaveResult).
 * HTDict_LoadFile reads a written image back into caller memory.
 *
 * Image layout (little-endian, packed): a header of eight uint32 running
 * section offsets; section 1 = P, K, Din, Dout (uint16 each), the 64 × 1024
 * int16 transform and P × 64 prototype bytes; section 2 = T (uint16), T × 64
 * centre bytes, T + 1 uint32 member offsets and M uint16 member indices;
 * section 3 = P uint16 class codes; section 4 = P uint16 charset bit words. */
#ifndef HT_DICT_H
#define HT_DICT_H

#include "penrune/HRFeature.h"
#include "penrune/HRTypes.h"

PENRUNE_EXTERN_C_BEGIN

#define HT_DICT_INPUT_DIM HR_FEATURE_DIM            /* Din: length of the direction feature */
#define HT_DICT_OUTPUT_DIM HR_FEATURE_PROJECTED_DIM /* Dout: length of a compressed feature */
#define HT_DICT_HEADER_SIZE 32                      /* eight uint32 section offsets */
#define HT_DICT_MAX_COUNT 65535                     /* P, K and T are stored as uint16 */

/* One class slot: count prototypes of 64 signed bytes each. Slot arrays are
 * indexed by character code, so a slot's index is its prototypes' class. */
typedef struct _HT_CLASS_SLOT {
    HR_INT8 count;       /* number of prototypes; 0 or less means none */
    const HR_INT8 *feat; /* count × 64 bytes */
} _HT_CLASS_SLOT;

/* Sets the dimensions 1024 and 64. Returns 1. */
int HTDict_Initialize(void);

/* Takes the 64 × 1024 float transform (row r holds the weights of output
 * dimension r); each element × 256 is truncated toward zero and saturated to
 * the int16 range. Returns 1. */
int HTDict_SetTransVector(const float *matrix);

/* Copies the prototypes of slots[0 .. slotCount-1] in slot order; each
 * prototype's class code is its slot index. Returns 1; 0 (builder unchanged)
 * when slotCount is negative, above 65535, or the prototypes total more than
 * 65535. */
int HTDict_SetModelFeat(int slotCount, const _HT_CLASS_SLOT *slots);

/* Number of prototypes P. */
int HTDict_GetModelTotal(void);

/* The P × 64 prototype bytes (null when P is 0). Valid until the prototypes
 * are set again. */
const HR_INT8 *HTDict_GetModelFeatPtr(void);

/* Stores T centres (T × 64 floats, rounded half away from zero, kept as their
 * low 8 bits) and builds the member lists from assign[0 .. count-1], the
 * centre of each prototype; assignments to a centre ≥ T are ignored.
 * Returns 1; 0 (builder unchanged) when T or count is negative or above
 * 65535 (prototype indices are uint16). */
int HTDict_SetTreeCenter(const float *centres, int T, const HR_UINT16 *assign, int count);

/* Replaces the member lists: centre i gets the first
 * offsets32[i+1] - offsets32[i] entries of lists[i]; the stored offsets are
 * the running sums of those run lengths, which offsets16 must repeat
 * (modulo 65536, as 16-bit values wrap). Returns 1; 0 (builder unchanged)
 * when T differs from the stored centre count, offsets32 decreases, or
 * offsets16 disagrees with the running sums. */
int HTDict_UpdateTree(int T, const HR_UINT16 *offsets16, const HR_UINT16 *const *lists, const HR_UINT32 *offsets32);

/* Byte size of image section 1..4 for the current counts; 0 for any other
 * section number. */
HR_INT32 HTDict_GetSectionSize(int section);

/* Writes the image to path. Returns 1 when the whole image was written;
 * 0 when HTDict_Initialize was not called, the file cannot be created or a
 * write comes up short. */
int HTDict_SaveResult(const char *path);

/* Reads the whole file at path into buffer. Returns 1 on success; 0 when the
 * file cannot be opened or read, or is longer than capacity bytes. */
int HTDict_LoadFile(const char *path, HR_UINT8 *buffer, int capacity);

PENRUNE_EXTERN_C_END

#endif /* HT_DICT_H */
