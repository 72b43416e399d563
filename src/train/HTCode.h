/* SPDX-License-Identifier: MIT */
/* Charset code table of a training run.
 *
 * Loaded once from a charset directory of UTF-8 text files:
 *   "char_number.txt"  lines "word number": the word's first character is a
 *                      character of the model, the number its node number
 *                      (largest prototype count; 0 leaves the character out);
 *   "char_bit%d.txt"   (i = 0..15) lines "word": the word's first character
 *                      belongs to charset i.
 * Lines whose first character is not a valid UTF-8 sequence of a character of
 * the Basic Multilingual Plane (code 1..0xFFFF) are skipped.
 *
 * Usage: HTCode_Initialize(dir, mask) → queries (HTCode_GetItemPtr,
 * g_bCodeExist, g_nCodeIndex, ...) → HTCode_Terminate. The table is
 * process-wide; g_bCodeExist and g_nCodeIndex point into it from load on. */
#ifndef HT_CODE_H
#define HT_CODE_H

#include "penrune/HRTypes.h"

PENRUNE_EXTERN_C_BEGIN

#define HT_CODE_COUNT 65536    /* one entry per 16-bit character code */
#define HT_CODE_CHARSETS 16    /* charset files char_bit0 .. char_bit15 */
#define HT_CODE_LINE_MAX 1024  /* line buffer of the charset files */
#define HT_CODE_NO_ITEM 0xFFFF /* code index of a code without item */

/* One character of the model. */
typedef struct _CODE_ITEM {
    HR_UINT16 code;    /* character code (UTF-16 code unit) */
    HR_UINT16 charset; /* bit i: listed in charset file i and bit i in the mask */
    HR_UINT16 nodeNum; /* node number, never 0 */
} _CODE_ITEM;

/* The whole table; g_stCode is one of these. */
typedef struct _CODE_TABLE {
    HR_INT32 codeExist[HT_CODE_COUNT];  /* nonzero: listed in a masked charset */
    HR_UINT16 codeIndex[HT_CODE_COUNT]; /* item number or HT_CODE_NO_ITEM */
    _CODE_ITEM items[HT_CODE_COUNT];    /* ascending code order */
    HR_INT32 itemTotal;
    HR_UINT16 charsetFlags; /* the mask given to HTCode_Initialize */
} _CODE_TABLE;

/* Exist flags and code index of the process-wide table, both indexed by
 * character code. */
extern HR_INT32 *g_bCodeExist;
extern HR_UINT16 *g_nCodeIndex;

/* Loads the process-wide table from dir with the charset mask (low 16 bits).
 * Logs begin and finished/fail lines. Returns 1, or 0 when no item was made. */
int HTCode_Initialize(const char *dir, HR_UINT32 mask);
/* Does nothing; the table stays readable. */
void HTCode_Terminate(void);

int HTCode_GetItemTotal(void);
const _CODE_ITEM *HTCode_GetItemPtr(void);
/* Largest item code, 0 when there are no items. */
HR_UINT16 HTCode_GetCodeMaxVal(void);
HR_UINT16 HTCode_GetCharsetFlags(void);

/* Rebuilds the items and the code index of table from a node-number file.
 * When the file cannot be opened the table is left unchanged (item total 0).
 * Returns 1 when at least one item was made. */
int HTCode_ReadCodeIndexAndNodeNum(_CODE_TABLE *table, const char *path);
/* Sets the exist flags from the charset files of dir whose bit is in mask.
 * Returns 1. */
int HTCode_ReadCodeExist(_CODE_TABLE *table, const char *dir, HR_UINT32 mask);
/* ORs (bit i AND mask) into the charset of every item listed in charset file
 * i, for all sixteen files. Returns 1. */
int HTCode_ReadCodeCharset(_CODE_TABLE *table, const char *dir, HR_UINT32 mask);
/* Reads the first characters of the words of one charset file; stores the
 * first capacity of them in codes and returns how many there were (0 when
 * the file cannot be opened). */
int HTCode_ReadCodeCharsetBit(const char *path, HR_UINT16 *codes, int capacity);

/* Length of the UTF-8 sequence led by lead: 1..6, or -1 for a continuation
 * byte. */
int HTCode_GetUTF8Size(HR_UINT8 lead);
/* Value of the UTF-8 sequence at bytes, 0 when it is invalid. Reads no byte
 * past the first one that is not a continuation byte, so it never runs over
 * a terminating NUL. Overlong forms and surrogates are accepted. */
HR_UINT32 HTCode_EncodeByUTF8(const HR_UINT8 *bytes);
/* Length of the UTF-8 form of value (0 from 2^31 on). The bytes are written,
 * without terminator, only when capacity is at least that length. */
int HTCode_DecodeToUTF8(HR_UINT32 value, char *out, int capacity);

PENRUNE_EXTERN_C_END

#endif /* HT_CODE_H */
