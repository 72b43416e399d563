// SPDX-License-Identifier: MIT
// The line mode's search: character hypotheses, the best paths through them
// at every stroke boundary, and the candidate list read from those paths.
//
// Per pass N (N strokes held): HWLine_BeginPass; then for the runs ending at
// the newest stroke, newest start first, HWLine_OpenRun tells whether the
// run is worth recognising and HWLine_AddRun stores its candidates; then
// HWLine_FinishPass extends the paths to boundary N and makes list N current.
#ifndef HW_LINE_SEARCH_H
#define HW_LINE_SEARCH_H

#include "penrune/HWLine.h"

// Points the state at the lexicon, sets the default weights and empties it.
void HWLine_Initialize(_HW_LINE *line, const _PY_LEX *lex);
// The weights the search starts with.
_HW_LINE_WEIGHTS HWLine_DefaultWeights(void);
// Back to no stroke written, with the empty list current.
void HWLine_Reset(_HW_LINE *line);

// Opens pass `strokes` over the stroke boxes boxes[0..strokes-1].
void HWLine_BeginPass(_HW_LINE *line, const _HW_RECT *boxes, HR_UINT32 strokes);
// Widens the run ending at the newest stroke to begin at stroke `start`
// (runs are opened from the newest start backwards). Returns 0 when the run
// is too wide for one character, so that every older start is too.
int HWLine_OpenRun(_HW_LINE *line, const _HW_RECT *boxes, HR_UINT32 start);
// Stores the recognizer's count candidates (best first) of the run opened
// last.
void HWLine_AddRun(_HW_LINE *line, HR_UINT32 start, const HR_UINT16 *codes, const HR_UINT16 *distances,
                   HR_UINT32 count);
// Extends the paths to the newest boundary and makes its list current.
void HWLine_FinishPass(_HW_LINE *line);
// Makes the list of one stroke fewer current again; 0 at no stroke.
int HWLine_DelLastStroke(_HW_LINE *line);

// Candidates of the current list, best first.
HR_UINT32 HWLine_GetTotal(const _HW_LINE *line);
// Candidate index as terminated UTF-16 (cut to capacity); returns its
// length in units, 0 out of range.
HR_INT32 HWLine_GetItemString(const _HW_LINE *line, HR_UINT32 index, HR_UINT16 *buffer, HR_UINT32 capacity);
// Candidate index as terminated UTF-8 (cut to capacity at a character
// boundary); returns the bytes it needs, 0 out of range.
HR_INT32 HWLine_GetItemStringUtf8(const _HW_LINE *line, HR_UINT32 index, char *buffer, HR_UINT32 capacity);
// Path cost of candidate index, 0 out of range.
HR_INT32 HWLine_GetItemScore(const _HW_LINE *line, HR_UINT32 index);
// Plain-text report of the current list and of the newest pass's
// hypotheses, at most capacity bytes with the terminator. Returns the text
// length.
HR_UINT32 HWLine_Dump(const _HW_LINE *line, char *text, HR_UINT32 capacity);

#endif  // HW_LINE_SEARCH_H
