/* SPDX-License-Identifier: MIT */
/* Feature stages of the training tools: original features, coarse statistics
 * with the discriminant transform, and the compressed, sorted and random
 * feature sets.
 *
 * Stages, in the order the training driver runs them (each returns nonzero
 * for success and logs a "... begin." line, then "... finished." or
 * "... fail." and the elapsed time of timer slot 1):
 *   1 HTFeat_OrigFeature    sample files        -> feat_orig/<name>.ori
 *   2 HTFeat_Coarse         feat_orig .ori      -> feat_coarse/coarse_training.coa
 *   3 HTFeat_CompFeature    feat_orig + .coa    -> feat_comp/<name>.fec
 *   4 HTFeat_SortFeature    feat_comp .fec      -> feat_sort/<code in hex>.fec
 *   5 HTFeat_RandFeature    feat_sort .fec      -> feat_rand/rand_001.fec .. rand_060.fec
 * Every stage keeps only the records whose code has its exist flag set in the
 * charset code table (g_bCodeExist, HTCode.h); the random sets also need the
 * table's items (the label of a random record is the item number).
 *
 * File formats (little-endian, packed, no headers unless stated):
 *   sample file   see train/HTSample.h
 *   .ori          records of HT_FEAT_ORI_RECORD bytes: u16 code, 1024 u16
 *                 feature values
 *   .coa          i32 N (prototype records), i32 S (code slots), i32 D,
 *                 i32 K, K x D f32 transform (scaled), S u8 prototype counts,
 *                 then per slot with prototypes count x K i16 values
 *   .fec          records of HT_FEAT_FEC_RECORD bytes: u16 label, 64 i8
 *
 * The stages run in the caller's thread, use the process-wide log, code table
 * and rand() generator, and allocate their working memory on the heap. */
#ifndef HT_FEAT_H
#define HT_FEAT_H

#include "penrune/HRFeature.h"
#include "penrune/HRTypes.h"
#include "train/HTPlatform.h"

PENRUNE_EXTERN_C_BEGIN

/* Dimensions: D, the feature vector, and K, the kept discriminant directions. */
#define HT_FEAT_DIM HR_FEATURE_DIM
#define HT_FEAT_LDA_DIM HR_FEATURE_PROJECTED_DIM

/* One entry per 16-bit character code. */
#define HT_FEAT_CODE_SLOTS 65536

/* Record sizes of the .ori and .fec files, and the block read at once. */
#define HT_FEAT_ORI_RECORD (2 + 2 * HT_FEAT_DIM)
#define HT_FEAT_FEC_RECORD (2 + HT_FEAT_LDA_DIM)
#define HT_FEAT_READ_BLOCK 10000

/* .coa: prototypes kept per code, target of the largest scaled value, and
 * the offset of the transform. */
#define HT_FEAT_COA_MAX_PROTOS 10
#define HT_FEAT_COA_SCALE_LIMIT 30720.0f
#define HT_FEAT_COA_HEADER 16

/* Records collected per code before the sort stage appends them. */
#define HT_FEAT_SORT_BATCH 512

/* Random sets: number of sets, buckets per set and records per bucket; a
 * class of at most SMALL records is drawn 8 times per record, of at most
 * MEDIUM records twice, larger classes once. */
#define HT_FEAT_RAND_SETS 60
#define HT_FEAT_RAND_BUCKETS 100
#define HT_FEAT_RAND_BUCKET_CAPACITY 60606
#define HT_FEAT_RAND_SMALL_CLASS 20000
#define HT_FEAT_RAND_MEDIUM_CLASS 100000

/* ---- Stage 1: original feature files ---------------------------------- */

/* Converts every regular file of sampleDir to outDir/<base name>.ori (the
 * part of the name from its last "." replaced, ".ori" appended when there is
 * none). Returns 1 when every file was converted; 0 when the directory has
 * no files, more than HT_FILE_LIST_CAPACITY files (train/HTFileList.h), or a conversion fails
 * (earlier outputs stay). */
int HTFeat_OrigFeature(const char *sampleDir, const char *outDir);

/* Converts one sample file. Records of a code whose exist flag is 0 are
 * dropped; records shorter than HT_SAMPLE_MIN_LENGTH or of odd length
 * are skipped; a truncated last record is used as far as it was read. The
 * last two points of every record are taken as (255, 0), (255, 255) whatever
 * they hold. Returns 1 when the file was read to its end; 0 when a file
 * cannot be opened, a write fails, or a record is longer than
 * HT_SAMPLE_MAX_LENGTH (the records before it stay in the output). */
int HTFeat_OrigFeatureByFile(const char *samplePath, const char *oriPath);

/* ---- Stage 2: coarse statistics and the discriminant transform -------- */

/* Per-code statistics of the coarse stage. */
typedef struct _HT_COARSE_CLASS {
    HR_INT32 count; /* wanted samples of the code */
    double rcount;  /* 1 / count, set when count > 0 */
    double *mean;   /* D doubles in the state's mean storage (first the sum,
                       then the mean); null for codes without samples */
} _HT_COARSE_CLASS;

/* Working state of one coarse stage run. The scatter accumulators are packed
 * upper triangles: row i holds columns i..D-1, rows one after another,
 * D (D + 1) / 2 values. */
typedef struct _HT_COARSE {
    HR_INT32 dim;              /* D */
    HR_INT32 classNum;         /* M: codes with at least one wanted sample */
    double *sw;                /* within-class scatter */
    double *sb;                /* between-class scatter */
    _HT_COARSE_CLASS *classes; /* HT_FEAT_CODE_SLOTS records, indexed by code */
    double *meanStore;         /* M x D, given to the classes in code order */
} _HT_COARSE;

/* Stage entry: statistics, transform and .coa file; the three temporary
 * files of coarseDir are deleted afterwards. Returns 1 when the .coa file was
 * written, 0 (logging "coarse classify fail.") when a step failed. */
int HTFeat_Coarse(const char *origDir, const char *coarseDir, const char *coaPath);

/* Gathers the class statistics of the .ori files of origDir and writes the
 * mean, covariance and LDA files. Returns 0 when a file cannot be opened in
 * the counting pass, no class has samples, memory is short, an output cannot
 * be written or the eigenproblem cannot be solved. */
int HTFeat_CoarseStatisClassInfo(const char *origDir, const char *meanPath, const char *covPath, const char *ldaPath);

/* Allocates the accumulators and class records of state (dim is set to
 * HT_FEAT_DIM when it is not positive). Returns 0 without memory. */
int HTFeat_CoarseAllocMemory(_HT_COARSE *state);

/* Counts the wanted samples per code over the .ori files of the list.
 * Returns 0 when a file cannot be opened or memory is short. */
int HTFeat_CoarseStatisSampleNumber(_HT_COARSE_CLASS *classes, const char (*files)[HT_PATH_MAX], int count);

/* Sets the reciprocals and the class number and hands out the mean storage
 * (zeroed) in ascending code order. Returns 0 without memory. */
int HTFeat_CoarseInitMemory(_HT_COARSE *state);

/* Accumulation pass over the .ori files of the list (after
 * HTFeat_CoarseInitMemory): adds every wanted sample x of class c to the
 * class sum and (1 / n_c) x x' to Sw, then turns the sums into means and
 * finishes Sw = average over classes of the class covariances and Sb = the
 * covariance of the class means, every class weighing the same. A file that
 * cannot be opened is logged and left out. Returns 0 without memory. */
int HTFeat_CoarseAccumulate(_HT_COARSE *state, const char (*files)[HT_PATH_MAX], int count);

/* Releases everything of state and clears it. */
void HTFeat_CoarseFreeMemory(_HT_COARSE *state);

/* Adds count weighted outer products to a packed upper triangle of order
 * dim: packed[i][j] += weights[s] * rows[s][i] * rows[s][j] for j >= i, the
 * samples s = 0..count-1 added in order; row s starts at rows + s * stride.
 * The results equal those of adding one sample at a time. A stride that is
 * not a multiple of 512 avoids cache conflicts between the rows. */
void HTFeat_CoarseAddOuterProducts(double *packed, int dim, const double *rows, int stride, const double *weights,
                                   int count);

/* Writes the mean file: per code with samples, ascending, the u16 code and
 * its mean as dim f32. Returns 0 when the file cannot be written. */
int HTFeat_CoarseSaveMeanFile(const _HT_COARSE_CLASS *classes, int dim, const char *path);

/* Expands a packed upper triangle into a full symmetric dim x dim f32
 * matrix. */
void HTFeat_CoarseRestoreCovMatrix(const double *packed, float *full, int dim);

/* Writes the covariance file: Sw then Sb, each expanded to dim x dim f32.
 * Returns 0 when the file cannot be written. */
int HTFeat_CoarseSaveCovFile(const double *sw, const double *sb, int dim, const char *path);

/* Reads the covariance file, solves (Sw + Sb) v = lambda Sw v with
 * HTLda_Ssygv and writes the LDA file. Returns 0 when a file cannot be read
 * or written or the eigenproblem cannot be solved. */
int HTFeat_CoarseSaveCovToLdaFile(const char *covPath, int dim, const char *ldaPath);

/* Writes the LDA file: dim eigenvalues (largest first), the dim x dim
 * eigenvector rows as given, then the same rows scaled to unit length.
 * Returns 0 when the file cannot be written. */
int HTFeat_CoarseSaveLdaFile(const float *values, const float *vectors, int dim, const char *path);

/* Writes the .coa file from the first k eigenvector rows of the LDA file and
 * the class means of the mean file (one prototype per mean record, at most
 * HT_FEAT_COA_MAX_PROTOS per code; records of codes 0xFFFE and 0xFFFF, which
 * mark empty slots elsewhere, are left out). Returns 0 when an input cannot
 * be read, holds no wanted mean, or the output cannot be written. */
int HTFeat_CoarseSaveCoaFile(const char *ldaPath, const char *meanPath, int dim, int k, const char *coaPath);

/* Number of code slots S of a .coa file: the smallest even number above the
 * largest code. */
HR_INT32 HTFeat_CoarseCodeSlots(HR_UINT16 largestCode);

/* ---- Stages 3 to 5: compressed, sorted and random feature sets -------- */

/* Reads the scaled transform of a .coa file: HT_FEAT_LDA_DIM x HT_FEAT_DIM
 * f32, row-major, allocated with malloc (the caller frees it with free()).
 * Null when the file cannot be read or its D and K are not HT_FEAT_DIM and
 * HT_FEAT_LDA_DIM. */
float *HTFeat_CompFeatureReadTranVector(const char *coaPath);

/* out[r] = sum over j of vector[j] * tran[r * dim + j] (f32, j ascending),
 * for r = 0..k-1. */
void HTFeat_CompFeatureTran(const float *tran, const HR_INT16 *vector, int dim, float *out, int k);

/* Quantises one projected value: y / 256 rounded to the nearest integer,
 * halves away from zero, clamped to -127..127. */
HR_INT8 HTFeat_CompFeatureQuantize(float y);

/* Compresses the listed .ori files into compDir/<base name>.fec with the
 * transform of coaPath. Returns 1 when every file was done (also for none);
 * 0 when the transform cannot be read or a file cannot be opened, read or
 * written (no further files are done). */
int HTFeat_CompFeatureByFileList(const char (*files)[HT_PATH_MAX], int count, const char *coaPath, const char *compDir);

/* Stage entry: compresses every file of origDir. */
int HTFeat_CompFeature(const char *origDir, const char *coaPath, const char *compDir);

/* Regroups the k-value compressed records of the listed files into one file
 * per wanted code, sortDir/<code in lower-case hex>.fec, in reading order.
 * The sorted files of all wanted codes are deleted first, so a rerun does not
 * append to old data. Returns 0 when a listed file cannot be opened or read
 * or a sorted file cannot be written. */
int HTFeat_SortFeatureByFileList(const char (*files)[HT_PATH_MAX], int count, int k, const char *sortDir);

/* Stage entry: sorts every file of compDir. */
int HTFeat_SortFeature(const char *compDir, const char *sortDir);

/* Tries per record of a sorted file of length bytes: 8 for at most
 * HT_FEAT_RAND_SMALL_CLASS records, 2 for at most HT_FEAT_RAND_MEDIUM_CLASS,
 * else 1. */
int HTFeat_RandFeatureTries(HR_UINT32 length);

/* Draws random set number set (1..HT_FEAT_RAND_SETS) from the sorted files
 * of the code table's items into randPath: every record of item i gets
 * HTFeat_RandFeatureTries chances to land, labelled i, in one of the
 * HT_FEAT_RAND_BUCKETS buckets, each holding at most bucketCapacity records;
 * the buckets are written one after another. Logs randPath and uses rand().
 * Only items whose exist flag is set are drawn. Returns 0 when memory is
 * short or a file cannot be read or written. */
int HTFeat_RandFeatureMakeSet(const char *sortDir, int set, HR_UINT32 bucketCapacity, const char *randPath);

/* Stage entry: seeds rand() with the time, or with the seed that
 * HTFeat_SetRandSeed fixed, and writes the sets randDir/rand_001.fec ..
 * rand_060.fec. */
int HTFeat_RandFeature(const char *sortDir, const char *randDir);
/* Seeds the random sets of every later HTFeat_RandFeature of the process
 * with seed when fixed is 1 (reproducible training runs), with the clock
 * when fixed is 0 (the default). */
void HTFeat_SetRandSeed(int fixed, HR_UINT32 seed);

PENRUNE_EXTERN_C_END

#endif /* HT_FEAT_H */
