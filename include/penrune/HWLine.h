/* SPDX-License-Identifier: MIT */
/* State of the kernel's line mode (HWKernel_SetMode with HW_MODE_LINE).
 *
 * After every stroke the line mode recognises the character hypotheses that
 * end at the newest stroke (runs of at most HW_LINE_WINDOW strokes that are
 * not too wide for one character) and extends the best paths through the
 * lattice of hypotheses: a path covers strokes 0..b-1 with characters, and
 * its cost adds, per character, the recognition distance, the shape of its
 * strokes against the line's character size and the gap to its neighbour,
 * the strokes it has beyond those the character is written with,
 * and per word the lexicon's frequency cost. The candidate list of stroke
 * count b is the best distinct paths that end at b, so removing the newest
 * stroke brings back the previous list without recognising again.
 *
 * Everything lives in fixed tables inside the kernel instance. The records
 * are declared here because the instance embeds them; hosts use only the
 * kernel calls. */
#ifndef HW_LINE_H
#define HW_LINE_H

#include "HRTypes.h"
#include "HWLex.h"

PENRUNE_EXTERN_C_BEGIN

/* Stroke boundaries of a line: 0 (nothing written) to the stroke capacity. */
#define HW_LINE_BOUNDARY_MAX 1025
/* Start strokes tried for the character ending at the newest stroke: the
 * most strokes one character may have. */
#define HW_LINE_WINDOW 30
/* Recognizer candidates kept for one character hypothesis. */
#define HW_LINE_CANDS 8
/* Best distinct paths kept at every stroke boundary; the candidate list of a
 * stroke count holds at most this many. */
#define HW_LINE_PATHS 16

/* 32-bit words of the mask of the characters recognised in the runs that
 * end at one boundary (a code sets bit code mod 256). */
#define HW_LINE_MASK_WORDS 8

/* Usual ratio of a character the shape table does not know. */
#define HW_LINE_NO_RATIO (-128)

/* Weights of the path cost. Distances are the recognizer's; ratios are in
 * thousandths of the line's character size. */
typedef struct _HW_LINE_WEIGHTS {
    HR_INT32 margin;        /* sixteenths of a distance unit per unit behind the run's best candidate */
    HR_INT32 word;          /* sixteenths of a cost unit per unit of lexicon weight of a word */
    HR_INT32 single;        /* the same for a character that stands alone as a word */
    HR_INT32 charWeightCap; /* most lexicon weight a single character costs */
    HR_INT32 inWord;        /* lexicon weight a character costs beyond the most frequent word it begins or ends */
    HR_INT32 perChar;       /* cost of every character of a path */
    HR_INT32 narrowBelow;   /* a run narrower than this ratio is penalised... */
    HR_INT32 narrow;        /* ...by this much per thousandth */
    HR_INT32 wideAbove;     /* a run wider than this ratio is penalised... */
    HR_INT32 wide;          /* ...by this much per thousandth */
    HR_INT32 innerGap;      /* per thousandth of the widest empty column inside a run */
    HR_INT32 overlap;       /* per thousandth a character reaches back over its predecessor */
    HR_INT32 widestRun;     /* runs wider than this ratio are not recognised */
    HR_INT32 smallBelow;    /* a run at most this ratio high is small, as lower-case letters are */
    HR_INT32 letterCase;    /* cost of a letter whose case disagrees with its run's height */
    HR_INT32 ratioFree;     /* a run's log width/height may be this far (32nds) from its character's usual... */
    HR_INT32 ratio;         /* ...and costs this much per 32nd beyond */
    HR_INT32 credit;        /* sixteenths of the line's usual distance every character is credited */
    HR_INT32 strokesFree;   /* a run may have this many strokes more than its character is written with... */
    HR_INT32 strokes;       /* ...and costs this much per stroke beyond */
} _HW_LINE_WEIGHTS;

/* The strokes start..end-1 read as one character. */
typedef struct _HW_LINE_HYP {
    HR_UINT16 start;                   /* first stroke */
    HR_UINT16 count;                   /* candidates held; 0 when the run was not recognised */
    HR_INT32 shape;                    /* cost of the run's size as one character */
    _HW_RECT box;                      /* union of the run's stroke boxes */
    HR_UINT16 code[HW_LINE_CANDS];     /* candidate characters, best first */
    HR_UINT16 distance[HW_LINE_CANDS]; /* their recognition distances */
    HR_INT8 usual[HW_LINE_CANDS];      /* their usual log width/height ratios (32nds), HW_LINE_NO_RATIO when unknown */
    HR_UINT8 extra[HW_LINE_CANDS];     /* strokes of the run beyond the most each is written with; 0 when unknown */
    HR_INT8 ratio;                     /* log width/height ratio of the run's box, 32nds */
} _HW_LINE_HYP;

/* One of the best paths over strokes 0..b-1, b being the boundary whose
 * table holds it. Its last word spans strokes prev..b-1. */
typedef struct _HW_LINE_PATH {
    HR_INT32 cost;      /* total cost; lower is better */
    HR_UINT32 hash;     /* hash of the path's text, to keep paths distinct */
    HR_UINT32 phraseId; /* lexicon phrase of the last word; 0 for the single character `code` */
    HR_UINT16 code;     /* the last word's character when phraseId is 0 */
    HR_UINT16 prev;     /* boundary where the last word starts */
    HR_UINT16 prevRank; /* rank of the path it extends, at boundary prev */
    HR_UINT16 length;   /* code units of the whole path's text */
    _HW_RECT last;      /* box of the path's last character */
} _HW_LINE_PATH;

/* Line mode state. Boundary tables are indexed by stroke count. */
typedef struct _HW_LINE {
    const _PY_LEX *lex;                                      /* read-only lexicon view */
    _HW_LINE_WEIGHTS weights;                                /* cost weights */
    HR_UINT32 strokes;                                       /* stroke count whose list is current */
    HR_INT32 charSize;                                       /* character size estimated by the latest pass */
    HR_INT32 usualDistance;                                  /* the writer's distance, estimated by the latest pass */
    HR_UINT16 pathCount[HW_LINE_BOUNDARY_MAX];               /* paths held at each boundary */
    _HW_LINE_PATH path[HW_LINE_BOUNDARY_MAX][HW_LINE_PATHS]; /* best first */
    _HW_LINE_HYP hyp[HW_LINE_BOUNDARY_MAX][HW_LINE_WINDOW];  /* hyp[b][i]: strokes b-1-i..b-1 */
    HR_UINT32 codeMask[HW_LINE_BOUNDARY_MAX][HW_LINE_MASK_WORDS]; /* characters of hyp[b], to pass over words fast */
    HR_INT32 bestDistance[HW_LINE_BOUNDARY_MAX]; /* best distance of a run of hyp[b]; -1 when none was recognised */
} _HW_LINE;

PENRUNE_EXTERN_C_END

#endif /* HW_LINE_H */
