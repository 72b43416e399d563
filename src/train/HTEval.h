/* SPDX-License-Identifier: MIT */
/* Evaluation stage of the training tools: recognises every sample of a test
 * directory with a model file and logs the rate of each test file, the share
 * of samples found among the first 1 to 5 candidates and a per-character
 * table from the worst-recognised character up.
 *
 * The counters are process-wide and accumulate over the whole process (a
 * training run evaluates once); HTEval_ResetCounters clears them.
 *
 * Test sample files are read with train/HTSample.h. */
#ifndef HT_EVAL_H
#define HT_EVAL_H

#include "penrune/HRTypes.h"
#include "penrune/HTTools.h"
#include "penrune/HRKernel.h"

PENRUNE_EXTERN_C_BEGIN

#define HT_EVAL_CODES 65536 /* one result entry per character code */
#define HT_EVAL_CANDS 5     /* candidates asked per sample */

/* Result of one character code. */
typedef struct _HT_RESULT {
    HR_UINT16 code;    /* filled in when the table is reported */
    HR_UINT32 correct; /* samples whose first candidate was the code */
    HR_UINT32 total;   /* samples of the code */
    float rate;        /* correct / total, filled in when reported */
} _HT_RESULT;

extern _HT_RESULT g_stResult[HT_EVAL_CODES];
extern _HT_RESULT g_stResultValid[HT_EVAL_CODES];
/* g_nRecoTotal[k]: samples whose candidate k equals their code; after a test
 * run, cumulative (code among the first k + 1 candidates). */
extern float g_nRecoTotal[HT_EVAL_CANDS];
extern float g_nSampleTotal;

/* Recognises every record of one test file with instance and counts the
 * results. Records shorter than 10 bytes or of odd length are skipped; a
 * length below 2 ends the file. Logs "  PATH rate = R". Returns 0 when the
 * file cannot be opened. */
int HTTest_RecoFile(const char *path, _HR_RECO *instance);

/* Logs the per-character table, ascending rate, equal rates in code order. */
void HTTest_PrintResult(void);

/* Whether the file at path can be used as a model: 1 when it was read and is
 * a well-formed model image, 0 when it cannot be read, -1 when it is not a
 * well-formed image. */
int HTEval_CheckModelFile(const char *path);

/* Clears all counters. */
void HTEval_ResetCounters(void);

PENRUNE_EXTERN_C_END

#endif /* HT_EVAL_H */
