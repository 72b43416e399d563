/* SPDX-License-Identifier: MIT */
/* Offline builder of the "PYS1" phrase lexicon image (see HWLex.h).
 *
 * PYLex_CreateSysLex(description, phrases, output, errors) reads a phrase
 * list, writes the image to `output` and its C source (defining g_lex_data,
 * HWLex_GetDataPtr, HWLex_GetDataSize) to `output` + ".c", and lists the
 * rejected lines in `errors`.
 *
 * Phrase list: text lines of at most 1023 bytes, each
 *   PHRASE  SECOND  FREQUENCY
 * separated by white space: the phrase in UTF-8 (at most 255 bytes), a second
 * field that is read and ignored (at most 255 bytes), and a positive decimal
 * frequency that fits in 32 bits. Lines of fewer than three fields are
 * skipped silently. A repeated phrase prints "rep: LINE\tTEXT". Any other
 * bad line (a phrase with no UTF-16 unit, an over-long line or field, a
 * fourth field, a frequency that is not a positive 32-bit integer) prints
 * "err: LINE\tTEXT" and writes "LINE\tTEXT" to the error file.
 *
 * Weight of a phrase: trunc(-1000 * ln(frequency / sum of frequencies)). */
#ifndef HW_LEX_EX_H
#define HW_LEX_EX_H

#include "penrune/HRTypes.h"
#include "penrune/HTTools.h"

PENRUNE_EXTERN_C_BEGIN

/* Longest input line in bytes, and longest phrase or second field. */
#define PYLEX_MAX_LINE 1023
#define PYLEX_MAX_FIELD 255

/* One phrase of the list being built. */
typedef struct _PHRASE_ITEM {
    HR_INT32 offset;      /* pool position (units) of the first text unit */
    HR_INT32 length;      /* text units, 1..255 */
    HR_INT32 frequency;   /* from the input line, > 0 */
    HR_INT32 weight;      /* cost computed from the frequency */
    HR_UINT32 lastGroup;  /* group of the last text unit */
    HR_UINT32 firstGroup; /* group of the first text unit */
} _PHRASE_ITEM;

/* Reads a whole file into block (block->data from malloc, freed by the
 * caller with free()). Returns 0, or -1 with block { NULL, 0 } when the file
 * cannot be opened or read. */
int PYLex_LoadDataFile(_HR_BLOCK *block, const char *path);

/* Writes the image at imagePath as the C source of the embedded lexicon.
 * Returns 1 on success, 0 on failure. */
int PYLex_SaveToCpp(const char *imagePath, const char *cPath);

PENRUNE_EXTERN_C_END

#ifdef __cplusplus
#include <map>
#include <vector>

/* Phrases of every group id 0..PYLEX_GROUP_TOTAL-1, most frequent first. */
using PYLexGroups = std::map<HR_UINT32, std::vector<_PHRASE_ITEM>>;

/* Reads the phrase list into the phrase list (input order, then sorted by
 * decreasing frequency), the pool (per phrase its weight then its text, in
 * input order) and both group maps. Returns 1 when both files could be
 * opened, else 0 with all groups created and empty. */
int PYLex_LoadPhrase(PYLexGroups &firstGroups, PYLexGroups &lastGroups, std::vector<_PHRASE_ITEM> &list,
                     std::vector<HR_UINT16> &pool, const char *path, const char *errorPath);

/* Ordering of the phrase list: true when a is more frequent than b. */
bool PYLex_FreqSort(const _PHRASE_ITEM &a, const _PHRASE_ITEM &b);
#endif

#endif /* HW_LEX_EX_H */
