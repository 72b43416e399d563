/* SPDX-License-Identifier: MIT */
/* Class prototypes of the training tools: k-means clustering, the MDC stage
 * that makes the first prototypes of every class, the ".mdc" prototype files
 * and minimum-classification-error (MCE) training of the prototypes by
 * generalized probabilistic descent.
 *
 * Stage entry (run by the training driver):
 *   HTDisc_Process(feat_sort, feat_rand, disc_mdc)
 *     → HTDisc_MDC           feat_sort/<code>.fec      -> disc_mdc/class_000.mdc
 *     → HTDisc_MCE           feat_rand/rand_NNN.fec    -> disc_mdc/class_NNN.mdc
 *                            (NNN = 001 .. 050, one snapshot per training file)
 *
 * Prototype set lifecycle: HTDisc_CreateSet(classes) → HTDisc_LoadMdcFile →
 * HTDisc_GPD per sample → HTDisc_SaveMdcFile → HTDisc_FreeSet.
 *
 * ".mdc" file: headerless 66-byte records {u16 character code, 64 i8
 * components}; the records of a class are consecutive and classes follow the
 * code table order. Class indices are item numbers of the charset code table
 * (HTCode.h). */
#ifndef HT_DISC_H
#define HT_DISC_H

#include "penrune/HRFeature.h"
#include "penrune/HRTypes.h"
#include "penrune/HTTools.h"

PENRUNE_EXTERN_C_BEGIN

#define HT_DISC_DIM HR_FEATURE_PROJECTED_DIM /* components of a sample or prototype */
#define HT_DISC_CLASS_MAX 65534              /* class indices 0 .. 65533 */
#define HT_DISC_PROTO_MAX 16                 /* prototypes per class */
#define HT_DISC_CAND_MAX 128                 /* candidates compared per sample */
#define HT_DISC_RECORD (2 + HT_DISC_DIM)     /* bytes of a .fec / .mdc record: u16 code, values */
#define HT_DISC_READ_BLOCK 10000             /* records read at once */
#define HT_DISC_MDC_SAMPLES 10000            /* samples of one class the MDC stage uses */
#define HT_DISC_KMEAN_ATTEMPTS 10            /* seeding attempts of HTCluster_KMean */
#define HT_DISC_KMEAN_ITERATIONS 100         /* iterations of one attempt */
#define HT_DISC_MCE_FILES 50                 /* training files rand_001 .. rand_050 */
#define HT_DISC_LANES 8                      /* prototypes per lane-major block */

/* One entry of the candidate list of a sample. */
typedef struct _HT_CAND {
    HR_UINT16 classIndex;
    float distance;
} _HT_CAND;

/* The candidate list: entries ascending by distance; one spare entry takes
 * the true class when it is not among the candidates. */
typedef struct _HT_CAND_LIST {
    _HT_CAND item[HT_DISC_CAND_MAX + 1];
    HR_INT32 count; /* entries in use, at most HT_DISC_CAND_MAX + 1 */
} _HT_CAND_LIST;

/* A prototype set with the work areas of MCE training.
 *
 * The prototypes of all classes are packed in class order: prototype k
 * (1-based) of class c has the flat number first[c] + k - 1. They are stored
 * lane-major in blocks of HT_DISC_LANES prototypes, component j of flat
 * number f at proto[(f / 8) * 512 + j * 8 + f % 8] (see HTDisc_ProtoAt), so
 * that one distance pass compares a sample with eight prototypes at once.
 * The storage holds 16 prototypes for every class of the set. */
typedef struct _HT_PROTO_SET {
    HR_INT32 classTotal;                                    /* classes with storage */
    HR_INT8 count[HT_DISC_CLASS_MAX];                       /* prototypes per class, 0 .. 16 */
    HR_UINT32 first[HT_DISC_CLASS_MAX];                     /* flat number of a class's first prototype */
    float *proto;                                           /* lane-major prototype storage */
    float classDistSingle[HT_DISC_CLASS_MAX];               /* single-precision copy for the candidates */
    double classDist[HT_DISC_CLASS_MAX];                    /* least prototype distance per class */
    double protoDist[HT_DISC_CLASS_MAX][HT_DISC_PROTO_MAX]; /* per prototype (k - 1) */
    _HT_CAND_LIST cand;                                     /* candidates of the current sample */
    float competitorMean;                                   /* generalized mean distance g */
    float lossSlope;                                        /* derivative of the sigmoid loss */
    float nearestCompetitor;                                /* least competing class distance m */
    float learningRate;                                     /* step size for the current sample */
} _HT_PROTO_SET;

/* ---- Distances and clustering ----------------------------------------- */

/* Sum over i < n of (a[i] - b[i])^2 in 32-bit unsigned arithmetic; 0 when
 * n <= 0. */
HR_UINT32 HTDisc_CountDistanceShort(const HR_INT16 *a, const HR_INT16 *b, int n);

/* The same sum, stopping right after the first component at which the
 * running sum exceeds limit; that partial sum is returned. */
HR_INT32 HTDisc_CountDistanceShortCutByMax(const HR_INT16 *a, const HR_INT16 *b, int n, HR_INT32 limit);

/* Sum of (a[i] - b[i])^2 in single precision, stopping right after the first
 * component at which it exceeds limit. */
float HTDisc_CountDistanceFloatCutByMax(const HR_INT16 *a, const float *b, int n, float limit);

/* K-means with farthest-first seeding and rejection of small clusters over
 * count samples of stride bytes (distances over the first dim). Fills
 * centres (float vectors of stride components) and assign (the centre of
 * every sample) and returns the number of centres. That is min(k, count)
 * unless some centre ended with no member (duplicate seeds, for example):
 * such centres are dropped, the rest renumbered and their samples given to
 * the nearest remaining centre, so every returned centre is the mean of at
 * least one sample. Deterministic. Returns 0 when k or count is not
 * positive. */
int HTCluster_KMean(const HR_INT8 *samples, int count, int stride, int dim, int k, float *centres, HR_UINT16 *assign);

/* ---- MDC prototypes and .mdc files ------------------------------------ */

/* Byte of a prototype component: x rounded half away from zero, clamped to
 * -128..127 so that no value wraps around. */
HR_INT8 HTDisc_RoundComponent(float x);

/* MDC stage: clusters the records of every item's sortDir/<code>.fec (at
 * most 10000) into min(records, nodeNum, 16) prototypes and writes them to
 * outPath. Returns 0 ("MDC failed.") when memory is short, the output cannot
 * be written or a prototype lies outside -128..128. */
int HTDisc_MDC(const char *sortDir, const char *outPath);

/* Allocates a zeroed set with prototype storage for classTotal classes
 * (1 .. HT_DISC_CLASS_MAX). Null when memory is short or classTotal is out
 * of range. */
_HT_PROTO_SET *HTDisc_CreateSet(int classTotal);
void HTDisc_FreeSet(_HT_PROTO_SET *set);

/* Address of component j of prototype k (1-based) of class c. */
float *HTDisc_ProtoAt(_HT_PROTO_SET *set, int c, int k, int j);

/* Loads a .mdc file into set: counts cleared, then every record of a code
 * with an item (g_nCodeIndex) and a class below classTotal becomes the next
 * prototype of its class (at most 16; further ones are ignored and logged).
 * A truncated last record is ignored. Returns 0 (set untouched) when the
 * file cannot be opened. */
int HTDisc_LoadMdcFile(_HT_PROTO_SET *set, const char *path);

/* Writes the prototypes of set, classes ascending, clamping every component
 * to -127..127 in the set as well. Logs "  PATH nodes = N". Returns 0 when
 * the file cannot be created or written, and then leaves no file at path:
 * the file is written as path + ".part" and renamed when complete, since a
 * rerun skips the snapshots it finds (HT_PartPath). */
int HTDisc_SaveMdcFile(_HT_PROTO_SET *set, const char *path);

/* ---- Discriminative training ------------------------------------------ */

/* Trains the prototypes of mdcDir/class_000.mdc over randDir/rand_NNN.fec
 * for NNN = first .. last, writing snapshot mdcDir/class_NNN.mdc after each
 * file. A file whose snapshot exists is skipped; the run carries on from the
 * latest skipped snapshot with the learning rate of the samples already
 * trained. reserved is not used. Returns 0 ("GDC finished." still logged)
 * when memory is short, snapshot 0 cannot be loaded, a training file cannot
 * be opened or a snapshot cannot be written. */
int HTDisc_MCE(const char *randDir, const char *mdcDir, int reserved, int first, int last);

/* One training step: HTDisc_GetCandidate then HTDisc_Grade. */
int HTDisc_GPD(_HT_PROTO_SET *set, int trueClass, const float *x, int dim, int classCount);

/* Distances of sample x to the classes firstClass .. endClass - 1 and their
 * candidate list. prototypes is lane-major storage (as in _HT_PROTO_SET) in
 * which the prototypes of classes 0, 1, ... are packed in class order, so
 * that the flat number of a class's first prototype is the sum of counts
 * before it; counts gives the prototypes per class. A distance is 36.9 + sum of (x[j] - p[j])^2 over
 * j < dim (dim <= 64), accumulated in single precision in order of j.
 * Fills classDistance[c] (1e36 for a class without prototypes),
 * prototypeDistance[c * 16 + k - 1] and list (128 entries, ascending; on
 * equal distance the later class comes first). */
void HTDisc_GetCandidateInRange(const float *x, int dim, int firstClass, int endClass, const float *prototypes,
                                const HR_INT8 *counts, double *classDistance, double *prototypeDistance,
                                _HT_CAND_LIST *list);

/* Fills the set's candidate list for x over classes 0 .. classCount - 1 and
 * returns the position of trueClass in it (appended when it is not among
 * the candidates). */
int HTDisc_GetCandidate(_HT_PROTO_SET *set, int trueClass, const float *x, int dim, int classCount);

/* Moves the prototypes of the candidates: the true class toward x, the
 * competitors away, weighted by the sigmoid loss slope and the set's
 * learning rate. Returns 1 when the prototypes were updated, 0 when the loss
 * slope was too small. */
int HTDisc_Grade(_HT_PROTO_SET *set, int trueClass, const float *x, int dim);

PENRUNE_EXTERN_C_END

#endif /* HT_DISC_H */
