/* SPDX-License-Identifier: MIT */
/* Text encoding, memory and sorting helpers of libpenrune.
 *
 * Freestanding replacements for the platform's wide-character, locale and
 * memory functions: UTF-8 <-> UTF-16 conversion, a UTF-16 prefix compare,
 * ASCII lower-casing, byte copy and fill, and an in-place quicksort with a
 * caller context. None of them allocates or reads a locale; all lengths are
 * plain integers.
 *
 * Text inside the library is arrays of UTF-16 code units counted by an
 * explicit length; a terminating 0 is written only where stated. Characters
 * outside the Basic Multilingual Plane are not represented. */
#ifndef HW_UTILS_H
#define HW_UTILS_H

#include "HRTypes.h"

PENRUNE_EXTERN_C_BEGIN

/* Length of the UTF-8 sequence that starts with *lead, classified by the
 * lead byte alone: 1 (0x00-0x7F), 2 (0xC0-0xDF), 3 (0xE0-0xEF),
 * 4 (0xF0-0xF7), 5 (0xF8-0xFB), 6 (0xFC-0xFF); -1 for a continuation byte
 * (0x80-0xBF). */
PENRUNE_API int enc_get_utf8_size(const HR_UINT8 *lead);

/* Decodes one UTF-8 sequence of 1 to 6 bytes into *out (cleared first).
 * Returns the bytes consumed, or 0 for a continuation lead byte or a missing
 * continuation byte. Overlong forms are accepted. Continuation bytes are
 * read one at a time and reading stops at the first bad one, so a
 * NUL-terminated source is never read past its terminator. */
PENRUNE_API int enc_utf8_to_utf32_one(const HR_UINT8 *src, unsigned long *out);

/* Decodes one UTF-8 sequence into a single UTF-16 unit.
 * out == NULL: measuring mode, returns the sequence length with a
 *   continuation byte counted as 1.
 * otherwise *out is cleared and: a continuation byte returns 1 (*out 0); one-,
 *   two- and three-byte forms store the unit and return 1, 2, 3; a malformed
 *   two- or three-byte form returns 0 (*out 0); four- to six-byte forms
 *   return their length and leave *out 0. */
PENRUNE_API int enc_utf8_to_utf16_one(const HR_UINT8 *src, HR_UINT16 *out);

/* Converts len bytes of UTF-8 to UTF-16 units in dst; writes no terminator.
 * Zero bytes, stray continuation bytes, malformed sequences (skipped by their
 * lead byte's length) and four- to six-byte forms produce nothing; a sequence
 * cut by the end of the input is not converted. At most capacity units are
 * written (conversion stops when dst is full); the output never holds more
 * units than the input has bytes. Returns the number of units written. */
PENRUNE_API int HR_utf8_to_utf16(const char *src, int len, HR_UINT16 *dst, int capacity);

/* Encodes the code point cp as UTF-8 (1 to 6 bytes) into dst when room is at
 * least the length needed; otherwise writes nothing. Returns the length the
 * code point needs, or 0 above 0x7FFFFFFF. dst may be NULL when room <= 0. */
PENRUNE_API int enc_utf32_to_utf8_one(HR_UINT64 cp, char *dst, int room);

/* Converts len UTF-16 units to UTF-8, each unit encoded on its own (surrogate
 * halves become three-byte sequences). Writes the longest prefix of whole
 * characters that fits in cap bytes, and a terminating 0 when the text needs
 * fewer than cap bytes. Returns the bytes the whole text needs: a result
 * >= cap means the text was cut or is unterminated. */
PENRUNE_API int HR_utf16_to_utf8(const HR_UINT16 *src, int len, char *dst, int cap);

/* Copies n bytes forward; the regions must not overlap. Returns dst. */
PENRUNE_API void *HR_memcpy(void *dst, const void *src, HR_UINT32 n);
/* Copies n bytes between possibly overlapping regions. Returns dst. */
PENRUNE_API void *HR_memmove(void *dst, const void *src, HR_UINT32 n);
/* Fills n bytes with the low byte of value. Returns dst. */
PENRUNE_API void *HR_memset(void *dst, int value, HR_UINT32 n);

/* Lower-cases the ASCII letters 'A'-'Z' of a zero-terminated UTF-16 string
 * in place; other units stay. Returns s. */
PENRUNE_API HR_UINT16 *HR_tolower(HR_UINT16 *s);

/* Compares at most n units of a and b, stopping early at a 0 unit of a.
 * Returns the difference (as unsigned 16-bit values) of the units where the
 * walk stopped, 0 when n is 0: b begins with the n units of a exactly when
 * the result is 0. */
PENRUNE_API int HR_wcsncmp(const HR_UINT16 *a, const HR_UINT16 *b, HR_UINT32 n);

/* Comparator of HR_quicksort: negative when x is ordered before y. */
typedef int (*HR_COMPARE)(const void *x, const void *y, void *context);

/* Most ranges HR_quicksort keeps pending; the smaller part of every split is
 * sorted first, so the depth never exceeds log2 of an int count. */
#define HR_QSORT_STACK_DEPTH 32
/* Ranges of at most this many elements are left to the final insertion
 * sort. */
#define HR_QSORT_THRESHOLD 4

/* Sorts count elements of size bytes in place: median-of-three quicksort with
 * an explicit stack, then one insertion sort with a sentinel. Not stable;
 * equal elements end in the order these exact steps produce. */
PENRUNE_API void HR_quicksort(void *base, int count, int size, HR_COMPARE compare, void *context);

PENRUNE_EXTERN_C_END

#endif /* HW_UTILS_H */
