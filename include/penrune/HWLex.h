/* SPDX-License-Identifier: MIT */
/* Read-only view of a "PYS1" phrase lexicon image.
 *
 * Lifecycle: PYLex_Initialize(&view, NULL) points the view at the embedded
 * image (or pass the address of a pointer to an image of your own, e.g. a
 * filled _HR_BLOCK) -> accessors -> PYLex_Terminate(). The view only points
 * into the image, which must outlive it and start at a 4-byte aligned
 * address (the embedded array and malloc'd blocks do). Nothing is allocated.
 * An image from outside the library is best opened with
 * PYLex_InitializeImage, which checks it first.
 *
 * Image layout (all integers little-endian):
 *   header, 32 bytes: "PYS1", version 1, image size, build date as packed BCD
 *     (bytes 20 21 01 12 for 2021-01-12), section count (6 or 5), directory
 *     offset 32, data base 32 + 16 * section count, 0.
 *   directory: per section { tag, offset from the data base, size, 0 }.
 *   sections in order: description (optional, padded to 4), first-character
 *     group index (G + 1 uint32), first-character items (N phrase ids),
 *     last-character group index, last-character items, phrase pool (uint16
 *     units: per phrase a weight followed by its text, padded to 4).
 * A phrase id holds the pool offset of the text in its low 24 bits and the
 * length in units (1..255) in its high 8 bits; the weight is the unit just
 * before the text. Within a group, phrases follow by increasing weight.
 *
 * Accessors do not validate phrase ids, which must come from this image.
 * Group ids at or above PYLEX_GROUP_TOTAL, item indexes outside their list
 * and missing sections give 0 or NULL. */
#ifndef HW_LEX_H
#define HW_LEX_H

#include "HRTypes.h"

PENRUNE_EXTERN_C_BEGIN

/* Image format constants shared by the view and the builder. */
#define PYLEX_MAGIC "PYS1"
#define PYLEX_VERSION 1u
#define PYLEX_HEADER_SIZE 32u
#define PYLEX_DIR_ENTRY_SIZE 16u
#define PYLEX_TAG_DESCRIPTION 0xC7022076u
#define PYLEX_TAG_FIRST_INDEX 0x878D68B9u
#define PYLEX_TAG_FIRST_ITEMS 0x2EEFDCBAu
#define PYLEX_TAG_LAST_INDEX 0x70C517DCu
#define PYLEX_TAG_LAST_ITEMS 0x28E453D5u
#define PYLEX_TAG_POOL 0x942AEE43u

/* Number of character groups; ids 0..PYLEX_GROUP_TOTAL-1. */
#define PYLEX_GROUP_TOTAL 21160u
/* Longest phrase in units, and the largest pool offset of a phrase id. */
#define PYLEX_MAX_PHRASE_LENGTH 255u
#define PYLEX_MAX_POOL_OFFSET 0xFFFFFFu
/* Size of the shared buffer of PYLex_GetPhraseDescribe, terminator
 * included. */
#define PYLEX_DESCRIBE_SIZE 256

/* The view over one image. */
typedef struct _PY_LEX {
    HR_UINT32 total;             /* number of phrases N */
    const HR_UINT16 *pool;       /* first unit of the phrase pool */
    const HR_UINT16 *weightBase; /* pool - 1: weight of id p at [p & 0xFFFFFF] */
    const HR_UINT32 *firstIndex; /* first-character group index, G + 1 entries */
    const HR_UINT32 *firstItems; /* first-character items, N phrase ids */
    const HR_UINT32 *lastIndex;  /* last-character group index, G + 1 entries */
    const HR_UINT32 *lastItems;  /* last-character items, N phrase ids */
} _PY_LEX;

/* Points lex at an image: *source when source is non-NULL (a NULL *source
 * leaves every section missing), else the embedded image. Returns 1. */
PENRUNE_API int PYLex_Initialize(_PY_LEX *lex, const HR_UINT8 *const *source);
/* 1 when the size bytes at image form a well-formed lexicon image, else 0:
 * image starts at a 4-byte aligned address; the header has the magic,
 * version 1, an image size that is a multiple of 4 and at most size, 5 or 6
 * sections, directory offset 32 and data base 32 + 16 * sections; the
 * directory lists the sections in their order (the description only with 6),
 * the first at offset 0 and each later one where the one before ends,
 * rounded up to 4 bytes, all inside the image size, with reserved words 0; both group indexes have
 * PYLEX_GROUP_TOTAL + 1 entries that start at 0, never decrease and end at
 * the item count, the same in both lists; every item's text and the weight
 * before it lie in the pool, and its first (first-character list) or last
 * (last-character list) unit belongs to the item's group. Reads nothing
 * outside the size bytes given. */
PENRUNE_API int PYLex_CheckLexicon(const HR_UINT8 *image, HR_UINT32 size);
/* Points lex at the size bytes at image and returns 1 when
 * PYLex_CheckLexicon accepts them; otherwise leaves every section missing
 * and returns 0. */
PENRUNE_API int PYLex_InitializeImage(_PY_LEX *lex, const HR_UINT8 *image, HR_UINT32 size);
/* Nothing to release; present for symmetry. */
PENRUNE_API void PYLex_Terminate(void);

/* Number of phrases N. */
PENRUNE_API HR_UINT32 PYLex_GetTotal(const _PY_LEX *lex);

/* Items of the whole first-character list, index 0..N-1. */
PENRUNE_API HR_UINT32 PYLex_GetItemPhraseId(const _PY_LEX *lex, HR_INT32 index);
PENRUNE_API int PYLex_GetItemWeight(const _PY_LEX *lex, HR_INT32 index);
PENRUNE_API int PYLex_GetItemLength(const _PY_LEX *lex, HR_INT32 index);
PENRUNE_API const HR_UINT16 *PYLex_GetItemDataPtr(const _PY_LEX *lex, HR_INT32 index);

/* Number of groups, PYLEX_GROUP_TOTAL. */
PENRUNE_API HR_UINT32 PYLex_GetGroupTotal(const _PY_LEX *lex);
/* Group of a code unit: c for 0x00-0xFF, 257 for 0x3001, c - 0x4CFE for
 * 0x4E00-0x9FA5, 0 otherwise. lex is not used. */
PENRUNE_API HR_UINT32 PYLex_GetGroupId(const _PY_LEX *lex, HR_UINT16 code);

/* A group of the first-character list, item index 0..total-1. */
PENRUNE_API HR_INT32 PYLex_GetGroupItemTotal(const _PY_LEX *lex, HR_UINT32 group);
PENRUNE_API HR_UINT32 PYLex_GetGroupItemPhraseId(const _PY_LEX *lex, HR_UINT32 group, HR_INT32 index);
PENRUNE_API int PYLex_GetGroupItemWeight(const _PY_LEX *lex, HR_UINT32 group, HR_INT32 index);
PENRUNE_API int PYLex_GetGroupItemLength(const _PY_LEX *lex, HR_UINT32 group, HR_INT32 index);
PENRUNE_API const HR_UINT16 *PYLex_GetGroupItemDataPtr(const _PY_LEX *lex, HR_UINT32 group, HR_INT32 index);

/* The same over the last-character list. */
PENRUNE_API HR_INT32 PYLex_GetGroupRItemTotal(const _PY_LEX *lex, HR_UINT32 group);
PENRUNE_API HR_UINT32 PYLex_GetGroupRItemPhraseId(const _PY_LEX *lex, HR_UINT32 group, HR_INT32 index);
PENRUNE_API int PYLex_GetGroupRItemWeight(const _PY_LEX *lex, HR_UINT32 group, HR_INT32 index);
PENRUNE_API int PYLex_GetGroupRItemLength(const _PY_LEX *lex, HR_UINT32 group, HR_INT32 index);
PENRUNE_API const HR_UINT16 *PYLex_GetGroupRItemDataPtr(const _PY_LEX *lex, HR_UINT32 group, HR_INT32 index);

/* A phrase by id: its text (not terminated), weight and length (id >> 24). */
PENRUNE_API const HR_UINT16 *PYLex_GetPhraseDataPtr(const _PY_LEX *lex, HR_UINT32 id);
PENRUNE_API int PYLex_GetPhraseWeight(const _PY_LEX *lex, HR_UINT32 id);
PENRUNE_API int PYLex_GetPhraseLength(const _PY_LEX *lex, HR_UINT32 id);

/* The phrase as zero-terminated UTF-8 in one shared 256-byte buffer, cut at
 * a character boundary when longer. Every call overwrites the buffer: not
 * reentrant, not thread-safe. */
PENRUNE_API const char *PYLex_GetPhraseDescribe(const _PY_LEX *lex, HR_UINT32 id);

PENRUNE_EXTERN_C_END

#endif /* HW_LEX_H */
