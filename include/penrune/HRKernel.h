/* SPDX-License-Identifier: MIT */
/* Single-character recognizer over a prototype model image, and the
 * handle-style one-call interface on top of it.
 *
 * Lifecycle of a recognizer instance:
 *   HRReco_GetInstanceSize() → the caller supplies a block of that size
 *   (8-byte aligned) → HRReco_Initialize(block, size, model) →
 *   HRReco_RecognizeShort / HRReco_RecognizeByte (any number of times) →
 *   HRReco_Terminate (releases nothing) → the caller frees the block.
 *
 * Lifecycle of a handle: HRHan_New → HRHan_Recognize (any number of times)
 * → HRHan_Free.
 *
 * The model image (see HRReco_CheckModel for its layout rules) is read in
 * place: the instance keeps pointers into it, so it must stay unchanged for
 * as long as the instance is used, and it must start at an even address
 * (the projection matrix is read as int16; heap blocks and the embedded
 * image are suitably aligned). Recognition allocates nothing and uses
 * integer arithmetic only.
 *
 * Threads: a recognizer instance or handle is used by one thread at a time;
 * any number of instances, in as many threads, may share one model image,
 * which nothing writes. No call takes a lock or keeps process-wide state.
 *
 * Distances are sums over 64 dimensions of squared differences between the
 * query's compressed feature and a prototype or tree centre; smaller is
 * better. An empty candidate slot holds code HR_RECO_EMPTY_CODE with
 * distance HR_RECO_EMPTY_DISTANCE. */
#ifndef HR_KERNEL_H
#define HR_KERNEL_H

#include "HRFeature.h"
#include "HRTypes.h"

PENRUNE_EXTERN_C_BEGIN

#define HR_RECO_INSTANCE_SIZE 3024u                    /* bytes of _HR_RECO on 64-bit targets */
#define HR_RECO_FEATURE_DIM HR_FEATURE_DIM             /* feature vector length (input dim) */
#define HR_RECO_PROJECTED_DIM HR_FEATURE_PROJECTED_DIM /* compressed feature length (output dim) */
#define HR_RECO_MAX_CANDS 128                          /* room of the per-call result lists */
#define HR_RECO_MAX_WANTED 127                         /* largest candidate count a call may set */
#define HR_RECO_DEFAULT_CANDS 10                       /* candidate count after initialisation */
#define HR_RECO_DEFAULT_CHARSET 0x7FFF
/* Charset bits of the rarer characters of the larger models (GB2312 level 2,
 * 0x0010, and the Big5 level-1 characters outside GB2312, 0x0020), and the
 * distance their prototypes pay by default: without it the thousands of
 * rare characters win close calls against the common ones. The embedded
 * model has no prototype with these bits. */
#define HR_RECO_DEFAULT_PENALTY_CHARSET 0x0030
#define HR_RECO_DEFAULT_PENALTY 375
#define HR_RECO_EMPTY_CODE 0xFFFF    /* code of an empty candidate slot */
#define HR_RECO_EMPTY_DISTANCE 60000 /* distance of an empty candidate slot */
#define HR_MODEL_HEADER_SIZE 32      /* eight uint32 header words */
#define HR_HAN_MAX_POINTS 128        /* points HRHan_Recognize uses at most */
#define HR_HAN_MAX_CANDS 16          /* candidates HRHan_Recognize lists at most */

/* The recognizer instance, laid out at the start of the caller's block.
 * Fields 1-12 describe the model and are set by HRReco_Initialize; fields
 * 14-19 are overwritten by every recognition call; fields 13, 20 and 21 are
 * settings (HRReco_Initialize sets their defaults). The image pointers are
 * byte pointers because the image's multi-byte fields may sit at any
 * address; they are read with unaligned little-endian loads. */
typedef struct _HR_RECO {
    HR_UINT16 prototypeCount;                    /*  1 P, number of prototypes */
    HR_UINT16 classCount;                        /*  2 K, class slots (not used by the search) */
    HR_INT16 inputDim;                           /*  3 1024 */
    HR_INT16 outputDim;                          /*  4 64; byte stride of prototypes and centres */
    HR_UINT16 centreCount;                       /*  5 T, number of tree centres */
    const HR_INT16 *matrix;                      /*  6 projection, 64 rows x 1024 int16 */
    const HR_UINT8 *memberOffsets;               /*  7 T + 1 uint32: centre c owns members [o[c], o[c+1]) */
    const HR_INT8 *centres;                      /*  8 T x 64 signed bytes */
    const HR_UINT8 *members;                     /*  9 M uint16 prototype indices */
    const HR_INT8 *prototypes;                   /* 10 P x 64 signed bytes */
    const HR_UINT8 *codes;                       /* 11 P uint16 character codes (0: never reported) */
    const HR_UINT8 *charsets;                    /* 12 P uint16 charset bits */
    HR_UINT16 charsetMask;                       /* 13 a prototype counts only if its bits AND this != 0 */
    HR_INT16 candCount;                          /* 14 n, candidates of the last call (10 initially) */
    HR_INT16 feature[HR_RECO_FEATURE_DIM];       /* 15 direction features, 0..180 */
    HR_INT16 compressed[HR_RECO_PROJECTED_DIM];  /* 16 projected feature, 0..255 */
    HR_UINT16 distances[HR_RECO_MAX_CANDS];      /* 17 candidate distances, ascending */
    HR_UINT16 keptCentres[HR_RECO_MAX_CANDS];    /* 18 centres kept by the coarse search */
    HR_UINT16 candPrototypes[HR_RECO_MAX_CANDS]; /* 19 prototype that gave each candidate */
    HR_UINT16 penaltyCharset;                    /* 20 prototypes whose bits AND this != 0 ... */
    HR_UINT16 charsetPenalty;                    /* 21 ... count this much further away */
} _HR_RECO;

/* Coverage counters of one prototype, filled by HRReco_TreeProcess. The
 * arrays have one entry per tree centre and belong to the caller. */
typedef struct _HR_TREE_STAT {
    HR_UINT32 *visit;    /* visit[c]: samples of this prototype that kept centre c */
    HR_UINT32 *miss;     /* miss[c]: as visit, for samples whose prototype was not reachable */
    HR_UINT32 missCount; /* samples whose prototype no kept centre reaches */
    HR_UINT32 hitCount;  /* samples whose prototype some kept centre reaches */
} _HR_TREE_STAT;

/* 3024: the size of the block HRReco_Initialize needs. */
PENRUNE_API HR_UINT32 HRReco_GetInstanceSize(void);

/* Lays a recognizer out in block over a model image. model is null or the
 * address of a pointer to an image (a _HR_BLOCK * cast works); a null
 * model, or a null image pointer, selects the embedded image. The image is
 * not validated here (its length is not known): check foreign images with
 * HRReco_CheckModel first. Returns block as the instance, or null when
 * block is null, not 8-byte aligned, or size is below 3024. */
PENRUNE_API _HR_RECO *HRReco_Initialize(void *block, HR_UINT32 size, const HR_UINT8 *const *model);

/* Does nothing: the caller owns the block and may free or reuse it. */
PENRUNE_API void HRReco_Terminate(_HR_RECO *reco);

/* Recognises one character given as 16-bit points (strokes ended by
 * (0xFFFF, 0), the whole by (0xFFFF, 0xFFFF)). The points are converted in
 * place to the 8-bit form and then normalised. See HRReco_RecognizeByte. */
PENRUNE_API HR_UINT16 HRReco_RecognizeShort(_HR_RECO *reco, _HR_POINT16 *points, HR_UINT16 n, HR_UINT16 wanted,
                                            HR_UINT16 *codes, HR_UINT16 *distances);

/* Recognises one character given as 8-bit points (normalised in place).
 * wanted <= 127 sets the candidate count n (and the number of tree centres
 * explored); a larger wanted keeps the previous count. codes receives n
 * codes, best first; distances (may be null) receives the same n
 * distances. Slots without a character hold 0xFFFF / 60000. Returns n;
 * 0 when wanted is 0, in which case nothing is written. */
PENRUNE_API HR_UINT16 HRReco_RecognizeByte(_HR_RECO *reco, _HR_POINT8 *points, HR_UINT16 n, HR_UINT16 wanted,
                                           HR_UINT16 *codes, HR_UINT16 *distances);

/* Projects the instance's feature vector, keeps the n nearest tree centres
 * and searches their prototypes; writes n codes to codes and fills the
 * instance's distances, kept centres and candidate prototypes. Each
 * character is listed at most once, with its best distance; equal
 * distances keep their insertion order. Does nothing when n is 0. */
PENRUNE_API void HRReco_MatchProcess(_HR_RECO *reco, HR_UINT16 *codes);

/* Distance between compressed feature q (values 0..255) and prototype p
 * over length dimensions, adding dimension costs in order and returning
 * the partial sum as soon as it exceeds limit. The cost of a dimension is
 * (q - 128 - p)^2; 0 when length <= 0. */
PENRUNE_API HR_UINT32 HRReco_CountDistanceShortCutByMax(const HR_INT16 *q, const HR_INT8 *p, int length,
                                                        HR_UINT32 limit);

/* Stable bubble sort of count (distance, code) pairs into ascending
 * distance. */
PENRUNE_API void HRReco_SortCands(HR_UINT16 *distances, HR_UINT16 *codes, int count);

/* Index from indices (count entries) of the prototype nearest to q (64
 * compressed values 0..255, each taken by its low 8 bits) by full
 * distance, the first one on ties. A one-element list returns its element
 * unexamined. Entries that are not prototype indices of the model are
 * skipped. Returns -1 when count <= 0 or no distance is below 60000. */
PENRUNE_API int HRReco_GetNearestModelIndex(_HR_RECO *reco, const HR_INT16 *q, int count, const HR_UINT16 *indices);

/* Tree coverage probe for prototype k and its sample q (compressed values
 * as for HRReco_GetNearestModelIndex): keeps the branches
 * (at most 128) nearest centres and counts in stats[k] whether k is a
 * member of one of them, through the caller's member offsets (T + 1
 * entries, as in the image). The instance's distances and kept centres are
 * overwritten. */
PENRUNE_API void HRReco_TreeProcess(_HR_RECO *reco, const HR_INT16 *q, int k, const HR_UINT32 *offsets, int branches,
                                    _HR_TREE_STAT *stats);

/* 1 when the size bytes at image form a well-formed model image, else 0:
 * header word 0 is 32 and words 1-7 are the running sums of the section
 * sizes (transform and prototypes 131080 + 64P, search tree 68T + 2M + 6,
 * codes 2P, charset bits 2P, then three empty sections); the dimensions
 * are 1024 and 64; the image ends within size; the member offsets start at
 * 0, never decrease and end at M; every member index is below P. Reads
 * nothing outside the size bytes given. */
PENRUNE_API int HRReco_CheckModel(const HR_UINT8 *image, HR_UINT32 size);

/* A recognizer over the embedded model in heap memory; null when memory
 * cannot be had. */
PENRUNE_API _HR_RECO *HRHan_New(void);

/* Recognises the points (length int16 values: x, y pairs, markers as in
 * HRReco_RecognizeShort; at most 128 points are used, the caller's points
 * are left unchanged) with wanted candidates (at most 16) and writes a line
 * of text to out: for each candidate its UTF-8 character, a space and its
 * distance in decimal, candidates separated by one space. Only whole
 * candidates are written: the text is cut before the first candidate that
 * does not fit in capacity together with the terminating NUL, which is
 * always written when capacity is positive. Returns the text length
 * without the NUL; 0 (empty text) when wanted <= 0. */
PENRUNE_API int HRHan_Recognize(_HR_RECO *handle, const HR_INT16 *points, HR_INT16 length, int wanted, char *out,
                                HR_INT16 capacity);

/* Frees a handle of HRHan_New; null is ignored. */
PENRUNE_API void HRHan_Free(_HR_RECO *handle);

PENRUNE_EXTERN_C_END

#endif /* HR_KERNEL_H */
