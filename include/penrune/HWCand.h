/* SPDX-License-Identifier: MIT */
/* Phrase candidate builder of libpenrune.
 *
 * Turns per-character recognition results into the ranked list of strings a
 * host shows. For every stroke count N the builder keeps, in fixed tables,
 * the recognition results of pass N (one block of 8 candidates for every run
 * of strokes k..N-1) and the candidate list of N, so removing the newest
 * stroke brings the previous list back without recognising again.
 *
 * Lifecycle, in calling order:
 *   PYCand_Initialize(cand, lex)
 *   per pass N: PYCand_BeginStroke(N); PYCand_AddRecoResult once for every
 *     start stroke k = 0..N-1 in that order; PYCand_FinishStroke(N, ...)
 *   the getters read the list of the current stroke count;
 *   PYCand_DelLastStroke goes back one stroke count; PYCand_Reset empties;
 *   PYCand_Terminate.
 * The state lives entirely in caller memory; nothing is allocated. Every
 * table has a fixed capacity and a full table makes the adding call refuse or
 * skip, never overrun. */
#ifndef HW_CAND_H
#define HW_CAND_H

#include "HRTypes.h"
#include "HWLex.h"

PENRUNE_EXTERN_C_BEGIN

/* Stroke counts the tables index: lists exist for 0..PY_CAND_STROKE_MAX-1. */
#define PY_CAND_STROKE_MAX 1024
/* Candidate slots over all stroke counts. */
#define PY_CAND_SLOT_MAX 0x5000
/* Recognition entries over all stroke counts; a call is refused when the
 * entries in use plus the new ones would exceed PY_CAND_ENTRY_MAX - 1. */
#define PY_CAND_ENTRY_MAX 8192
/* Candidates the recognizer gives for one character hypothesis. */
#define PY_CAND_BLOCK 8
/* Code units of the segmentation texts of all stroke counts held at once.
 * A pass has a segmentation candidate only while the recognition table still
 * holds its entries, which bounds the stroke counts to 45 and the units to
 * well below this. */
#define PY_CAND_SEG_TEXT_MAX 2048
/* Multi-character whole-input phrases and completions kept per pass. */
#define PY_CAND_PHRASE_KEEP 5
/* Completions added per pass. */
#define PY_CAND_COMPLETION_KEEP 5
/* UTF-8 bytes of one candidate text in a dump line, terminator included;
 * longer texts are cut at a character boundary. */
#define PY_CAND_DUMP_TEXT_MAX 64
/* Bytes PYCand_Dump may write, terminator included: the length it returns is
 * a uint16, so the text is cut (at a whole line piece) to fit. */
#define PY_CAND_DUMP_SIZE 65536

/* One candidate string. */
typedef struct _PY_CAND_ITEM {
    const HR_UINT16 *text; /* code units, not terminated: into the lexicon image or the segmentation texts */
    HR_UINT16 code;        /* recognised code of the last character; 0 for completions and segmentation */
    HR_UINT16 length;      /* code units of text */
    HR_UINT32 phraseId;    /* lexicon phrase id; 0 for the segmentation candidate */
    HR_UINT32 score;       /* sum of recognition distances along the phrase; lower is better */
    HR_UINT16 weight;      /* lexicon weight (lower is more frequent); 0 for segmentation */
} _PY_CAND_ITEM;

/* One recognised character of a character hypothesis. */
typedef struct _PY_RECO_ITEM {
    HR_UINT16 code;     /* candidate character (UTF-16 code unit) */
    HR_UINT16 distance; /* recognition distance, smaller is better */
    HR_UINT16 start;    /* first stroke of the hypothesis: the stroke count whose pass holds its predecessors */
} _PY_RECO_ITEM;

/* A half-open range [first, end) of table positions. */
typedef struct _PY_CAND_RANGE {
    HR_UINT32 first;
    HR_UINT32 end;
} _PY_CAND_RANGE;

/* Builder state. Ranges are indexed by stroke count; the tables hold the
 * passes of stroke counts 1..current one after another. */
typedef struct _PY_CAND {
    const _PY_LEX *lex;                            /* read-only lexicon view */
    HR_UINT32 candTotal;                           /* slots in use over all stroke counts */
    _PY_CAND_RANGE candRange[PY_CAND_STROKE_MAX];  /* list of stroke count N: slots candRange[N] */
    _PY_CAND_ITEM cand[PY_CAND_SLOT_MAX];          /* candidate table */
    HR_UINT32 strokes;                             /* current stroke count */
    HR_UINT32 segmentCount;                        /* characters of the latest segmentation candidate */
    HR_UINT16 segText[PY_CAND_SEG_TEXT_MAX];       /* segmentation texts, one run per stroke count */
    HR_UINT32 segTextTotal;                        /* units of segText in use */
    HR_UINT32 segTextFirst[PY_CAND_STROKE_MAX];    /* start of the segmentation text of stroke count N */
    HR_UINT32 entryTotal;                          /* entries in use over all stroke counts */
    _PY_CAND_RANGE entryRange[PY_CAND_STROKE_MAX]; /* entries of pass N */
    _PY_RECO_ITEM entry[PY_CAND_ENTRY_MAX];        /* recognition table */
    HR_UINT32 passOpen;                            /* 1 between a successful BeginStroke and its FinishStroke */
    HR_UINT32 beyond;                              /* 1 when the stroke count outgrew the tables; the list is empty */
} _PY_CAND;

/* Stores the lexicon view and empties the builder. Returns 1. */
PENRUNE_API int PYCand_Initialize(_PY_CAND *cand, const _PY_LEX *lex);
/* Returns to stroke count 0 with an empty list; the tables are not cleared. */
PENRUNE_API void PYCand_Reset(_PY_CAND *cand);
/* Nothing to release. */
PENRUNE_API void PYCand_Terminate(_PY_CAND *cand);

/* Opens pass N. N >= PY_CAND_STROKE_MAX is refused (0): the stroke count is
 * then beyond the tables, the current list is empty, results are refused
 * until the next successful BeginStroke, and PYCand_DelLastStroke returns to
 * the last list held. */
PENRUNE_API int PYCand_BeginStroke(_PY_CAND *cand, HR_UINT16 strokeCount);
/* Appends count results for the hypothesis made of the newest `strokes`
 * strokes. Returns 1 when stored (or count is 0); 0 when no pass is open,
 * strokes is not 1..N, or the recognition table has no room. */
PENRUNE_API int PYCand_AddRecoResult(_PY_CAND *cand, HR_UINT16 count, const HR_UINT16 *codes,
                                     const HR_UINT16 *distances, HR_UINT16 strokes);
/* Builds and publishes the list of stroke count N from the open pass and the
 * segmentation (segmentCount segments of segments). Returns 1, or 0 when N is
 * not the open pass. */
PENRUNE_API int PYCand_FinishStroke(_PY_CAND *cand, HR_UINT16 strokeCount, int segmentCount,
                                    const _HW_SEGMENT *segments);
/* Drops the newest pass and makes the list of the previous stroke count
 * current again. Returns 1, or 0 at stroke count 0. */
PENRUNE_API int PYCand_DelLastStroke(_PY_CAND *cand);

/* Number of candidates of the current list. */
PENRUNE_API HR_UINT32 PYCand_GetTotal(const _PY_CAND *cand);
/* The slot of candidate index of the current list, or NULL out of range. */
PENRUNE_API const _PY_CAND_ITEM *PYCand_GetItem(const _PY_CAND *cand, HR_UINT16 index);
/* Copies candidate index as UTF-16 with a terminating 0 into buffer. Writes
 * at most capacity units: a text of length L needs L + 1; a smaller buffer
 * gets the first capacity - 1 units and the 0, capacity 0 gets nothing.
 * Returns L (so a result >= capacity means the text was cut), 0 out of
 * range. */
PENRUNE_API int PYCand_GetItemString(const _PY_CAND *cand, HR_UINT16 index, HR_UINT16 *buffer, HR_UINT16 capacity);
/* Converts candidate index to UTF-8 into buffer: the longest prefix of whole
 * characters that fits in capacity - 1 bytes, then a terminating 0 (nothing
 * for capacity 0). Returns the bytes the whole text needs (>= capacity: the
 * text was cut), 0 out of range. */
PENRUNE_API HR_UINT16 PYCand_GetItemStringUtf8(const _PY_CAND *cand, HR_UINT16 index, char *buffer, HR_UINT16 capacity);

/* Spells length units of text backwards through the lattice from entry
 * position `entry` (its own code stands for the last unit). Returns 1 when
 * the spelling reaches stroke 0 with every unit placed, and stores the sum of
 * distances in *score; 0 otherwise. */
PENRUNE_API int PYCand_IsMatch(const _PY_CAND *cand, HR_UINT32 entry, const HR_UINT16 *text, HR_UINT32 length,
                               HR_UINT32 *score);
/* Sort order of the list: lower score first, then lower weight. */
PENRUNE_API int PYCand_PhraseCompare(const _PY_CAND_ITEM *a, const _PY_CAND_ITEM *b);

/* Writes the report of the current list and of the recognition entries of
 * stroke counts 1..current as zero-terminated text of at most capacity bytes
 * (terminator included); a report that does not fit ends at the last whole
 * piece that does. Returns the text length. */
PENRUNE_API HR_UINT16 PYCand_DumpBounded(const _PY_CAND *cand, char *text, HR_UINT32 capacity);
/* PYCand_DumpBounded with capacity PY_CAND_DUMP_SIZE: text must hold that
 * many bytes. */
PENRUNE_API HR_UINT16 PYCand_Dump(const _PY_CAND *cand, char *text);

PENRUNE_EXTERN_C_END

#endif /* HW_CAND_H */
