// SPDX-License-Identifier: MIT
// Text helpers shared by the candidate lists of the kernel's two modes and
// the recognizer's handle text.
#ifndef HW_TEXT_H
#define HW_TEXT_H

#include "penrune/HRTypes.h"

// Writes to out the longest prefix of whole characters of the length units
// of text whose UTF-8 form leaves room for a terminator in capacity bytes,
// and the terminator (nothing for capacity 0). Returns the bytes the whole
// text needs, so a result >= capacity means the text was cut.
HR_UINT32 HW_Utf16ToUtf8Cut(const HR_UINT16 *text, HR_UINT32 length, char *out, HR_UINT32 capacity);

// Copies the length units of text to out with a terminating 0, at most
// capacity units in all: a smaller buffer gets the first capacity - 1 units
// and the 0, capacity 0 gets nothing. Returns length.
HR_UINT32 HW_Utf16CopyCut(const HR_UINT16 *text, HR_UINT32 length, HR_UINT16 *out, HR_UINT32 capacity);

// Writes value in decimal to out, without a terminator; returns the number
// of digits (at most 10).
HR_UINT32 HW_FormatDecimal(char *out, HR_UINT32 value);

#endif  // HW_TEXT_H
