/* SPDX-License-Identifier: MIT */
/* Kernel API of libpenrune: the host-facing entry for line recognition.
 *
 * One kernel instance serves one writing area. The host hands it pen strokes
 * as they are completed; after every call the instance holds a ranked list
 * of candidate strings for everything written so far.
 *
 * Lifecycle, in calling order:
 *   size = HWKernel_GetInstanceSize();
 *   block = host allocation of size bytes, aligned for pointers;
 *   HWKernel_Initialize(block, 0, NULL);
 *   any sequence of HWKernel_AddStroke, HWKernel_DelStroke, HWKernel_Reset
 *     and the getters;
 *   HWKernel_Terminate(block); the host frees the block.
 * The instance lives entirely in the host's block: the kernel allocates
 * nothing, starts no thread and keeps no global state. Candidate lists and
 * stroke pointers stay valid until the next AddStroke, DelStroke or Reset.
 *
 * Points are _HR_POINT16 in host units, x 0..65534, y 0..65535; a point with
 * x = 0xFFFF is a marker: (0xFFFF, 0x0000) ends a stroke. */
#ifndef HW_KERNEL_H
#define HW_KERNEL_H

#include "HRKernel.h"
#include "HRTypes.h"
#include "HWCand.h"
#include "HWLex.h"
#include "HWLine.h"
#include "penrune_version.h"

PENRUNE_EXTERN_C_BEGIN

/* Strokes an instance holds. */
#define HW_STROKE_MAX 1024
/* Points of the point buffer (and of the recognizer's scratch copy). */
#define HW_POINT_MAX 16384
/* A call is refused when its points + the points held + 1 exceed this: room
 * for every point, one added stroke-end marker and the end-of-data point. */
#define HW_POINT_LIMIT 0x3FFF
/* Character segments of one segmentation. */
#define HW_SEGMENT_MAX 1024
/* Candidates asked of the recognizer for every character hypothesis: one
 * block of the candidate builder. */
#define HW_RECO_CANDIDATES PY_CAND_BLOCK
/* Bins of the projection histogram over the line's width. */
#define HW_HISTOGRAM_BINS 100
/* Bytes of the text buffer HWKernel_Log needs, terminator included. */
#define HW_KERNEL_LOG_SIZE PY_CAND_DUMP_SIZE

/* Recognition modes of HWKernel_SetMode. The classic mode (the default)
 * keeps, for every stroke count, the histogram segmentation's string, the
 * lexicon phrases spelled through the hypotheses and their completions. The
 * line mode ranks the best paths through the hypotheses of a window of
 * recent strokes by recognition, character shape and word frequency, so
 * that any length of line is read at a bounded cost per stroke. */
#define HW_MODE_CLASSIC 0
#define HW_MODE_LINE 1

/* A stored stroke: points first .. first + length - 1 of the point buffer,
 * its stroke-end marker included. */
typedef struct _HW_STROKE {
    HR_INT32 first;
    HR_INT32 length;
} _HW_STROKE;

/* The instance. The recognizer's storage, HRReco_GetInstanceSize() bytes,
 * follows the structure directly. */
typedef struct _HW_KERNEL {
    _HR_RECO *reco;                      /* recognizer instance in the storage after this record */
    _PY_CAND cand;                       /* phrase candidate builder */
    _PY_LEX lex;                         /* view of the lexicon image (the embedded one by default) */
    HR_INT32 strokeTotal;                /* strokes held, 0..HW_STROKE_MAX */
    HR_INT32 pointTotal;                 /* points held, markers included, end-of-data point excluded */
    _HW_STROKE stroke[HW_STROKE_MAX];    /* stroke table */
    _HW_RECT box[HW_STROKE_MAX];         /* bounding box of each stroke's real points, edges inclusive */
    _HR_POINT16 point[HW_POINT_MAX];     /* strokes back to back, then the end-of-data point */
    _HR_POINT16 scratch[HW_POINT_MAX];   /* the recognizer's input copy: it converts points in place */
    HR_INT32 segmentTotal;               /* segments of the latest segmentation */
    _HW_SEGMENT segment[HW_SEGMENT_MAX]; /* character segments [first, end) of strokes */
    HR_INT32 mode;                       /* HW_MODE_CLASSIC or HW_MODE_LINE */
    _HW_LINE line;                       /* the line mode's hypotheses, paths and lists */
} _HW_KERNEL;

/* Bytes the host must allocate for one instance. */
PENRUNE_API HR_UINT32 HWKernel_GetInstanceSize(void);
/* Sets up an instance in block (at least HWKernel_GetInstanceSize() bytes).
 * reserved is not used. model: NULL, or the address of a pointer to a model
 * image (a NULL image selects the embedded model). Returns the instance, or
 * NULL for a NULL block. */
PENRUNE_API _HW_KERNEL *HWKernel_Initialize(void *block, HR_UINT32 reserved, const HR_UINT8 *const *model);
/* Selects the recognition mode, HW_MODE_CLASSIC or HW_MODE_LINE, and
 * forgets every stroke held. Returns 1, or 0 for a NULL kernel or an unknown
 * mode (the instance is then unchanged). */
PENRUNE_API int HWKernel_SetMode(_HW_KERNEL *kernel, HR_INT32 mode);
/* Forgets every stroke and candidate. */
PENRUNE_API void HWKernel_Reset(_HW_KERNEL *kernel);
/* Ends the instance; nothing is released, the block stays the host's. */
PENRUNE_API void HWKernel_Terminate(_HW_KERNEL *kernel);

/* Stores the strokes of count points (each ended by a marker; a missing final
 * marker is added, lone points and lone markers are dropped) and runs one
 * recognition pass per stored stroke. Returns 1, also when no stroke was
 * stored; 0, changing nothing, when count is 0, the points do not fit
 * (count + points held + 1 > HW_POINT_LIMIT), or the call carries more
 * strokes than the stroke table has room for. */
PENRUNE_API int HWKernel_AddStroke(_HW_KERNEL *kernel, const _HR_POINT16 *points, HR_UINT32 count);
/* Removes the newest stroke and brings back the candidate list of the
 * previous stroke count. Returns 1, or 0 with no stroke held. */
PENRUNE_API int HWKernel_DelStroke(_HW_KERNEL *kernel);

PENRUNE_API HR_INT32 HWKernel_GetStrokeTotal(const _HW_KERNEL *kernel);
/* First point of stroke index, or NULL when index >= the stroke total. */
PENRUNE_API const _HR_POINT16 *HWKernel_GetStrokeDataPtr(const _HW_KERNEL *kernel, HR_UINT16 index);
/* Points of stroke index, marker included; 0 when index >= the stroke total. */
PENRUNE_API HR_UINT16 HWKernel_GetStrokeDataLen(const _HW_KERNEL *kernel, HR_UINT16 index);

/* Candidates of the current list, best first. */
PENRUNE_API HR_UINT32 HWKernel_GetCandTotal(const _HW_KERNEL *kernel);
/* Candidate index as terminated UTF-16, at most capacity units written (cut
 * when short, nothing for capacity 0). Returns its length in units (a result
 * >= capacity means it was cut), 0 out of range. */
PENRUNE_API HR_INT32 HWKernel_GetCandItem(const _HW_KERNEL *kernel, HR_UINT16 index, HR_UINT16 *buffer,
                                          HR_UINT16 capacity);
/* Candidate index as terminated UTF-8, at most capacity bytes written (cut
 * at a character boundary when short, nothing for capacity 0). Returns the
 * bytes the text needs (a result >= capacity means it was cut), 0 out of
 * range. */
PENRUNE_API HR_INT32 HWKernel_GetCandItemUtf8(const _HW_KERNEL *kernel, HR_UINT16 index, char *buffer,
                                              HR_UINT16 capacity);
/* Writes a plain-text report of the current list and of the recognition
 * results into text, which must hold HW_KERNEL_LOG_SIZE bytes. Returns the
 * text length. */
PENRUNE_API HR_UINT16 HWKernel_Log(const _HW_KERNEL *kernel, char *text);

/* The recognition pass of the current mode over the strokes held. Returns 0
 * with no stroke held, else 1. */
PENRUNE_API int HWKernel_Recognize(_HW_KERNEL *kernel);
/* Cuts the line into character boxes by a projection histogram of the stroke
 * boxes and fills the segment table. */
PENRUNE_API void HWKernel_CalcHistogram(_HW_KERNEL *kernel);
/* 1 when a lies inside b, all edges inclusive, else 0. */
PENRUNE_API int HWKernel_InRect(const _HW_RECT *a, const _HW_RECT *b);

/* ---- Version, model images and the charset --------------------------------
 *
 * Threads: an instance is used by one thread at a time; different instances
 * may run in parallel in as many threads, since they share only read-only
 * data (the model and lexicon images). The kernel takes no lock. The one
 * process-wide writable buffer of the recognition side is the text that
 * PYLex_GetPhraseDescribe returns. */

/* PENRUNE_VERSION_STRING of the library that is loaded. */
PENRUNE_API const char *HWKernel_GetVersion(void);
/* Sets up an instance in block like HWKernel_Initialize, over the model
 * image of size bytes at image, which must start at an even address and
 * stay unchanged for as long as the instance is used. Returns NULL, writing
 * nothing, when block or image is NULL, image is at an odd address, or
 * HRReco_CheckModel rejects the image. */
PENRUNE_API _HW_KERNEL *HWKernel_InitializeImage(void *block, const HR_UINT8 *image, HR_UINT32 size);
/* Narrows recognition to the prototypes whose charset bits share a bit with
 * mask (HR_RECO_DEFAULT_CHARSET, set by the initialisation, takes every
 * one), from the next recognition pass on; Reset keeps the mask. Returns 1;
 * 0, changing nothing, for a NULL kernel or a mask that selects no
 * prototype of the instance's model. */
PENRUNE_API int HWKernel_SetCharsetMask(_HW_KERNEL *kernel, HR_UINT16 mask);
/* Sets up an instance like HWKernel_InitializeImage over a host's model
 * image and, when lexicon is not NULL, a host's lexicon image of
 * lexiconSize bytes (4-byte aligned, unchanged for as long as the instance
 * is used) in place of the embedded one. Returns NULL, writing nothing, when
 * HWKernel_InitializeImage would refuse the model, or PYLex_CheckLexicon
 * rejects the lexicon. The larger models ship as share/penrune/models/NAME.dat with
 * their lexicons NAME.lex. */
PENRUNE_API _HW_KERNEL *HWKernel_InitializeImages(void *block, const HR_UINT8 *model, HR_UINT32 modelSize,
                                                  const HR_UINT8 *lexicon, HR_UINT32 lexiconSize);
/* Makes the prototypes whose charset bits share a bit with charset count
 * penalty further away, from the next recognition pass on; Reset keeps it.
 * The initialisation sets HR_RECO_DEFAULT_PENALTY_CHARSET and
 * HR_RECO_DEFAULT_PENALTY, so that the larger models' rare characters take
 * a close call only when they are clearly nearer; penalty 0 ranks by
 * distance alone. Returns 1, or 0 for a NULL kernel. */
PENRUNE_API int HWKernel_SetCharsetPenalty(_HW_KERNEL *kernel, HR_UINT16 charset, HR_UINT16 penalty);

PENRUNE_EXTERN_C_END

#endif /* HW_KERNEL_H */
