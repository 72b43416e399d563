/* SPDX-License-Identifier: MIT */
/* The offline entries of libpenrune: the training pipeline, its stage
 * entries, the export of a model image as C source, and the lexicon
 * builder. They exist only in a build with the tools (PENRUNE_BUILD_TOOLS);
 * a recognition-only library has none of them.
 *
 * Threads: these entries share process-wide state (the training log, the
 * charset code table, the dictionary builder, the evaluation counters), so
 * only one of them may run at a time in a process. */
#ifndef HT_TOOLS_H
#define HT_TOOLS_H

#include "HRTypes.h"

PENRUNE_EXTERN_C_BEGIN

/* Training driver: runs the eight training stages over one working
 * directory, records the next stage in a step log so that a rerun resumes
 * there, and publishes the model under a name.
 *
 * Working directory: train_step.log and the stage directories feat_orig,
 * feat_coarse (coarse_training.coa), feat_comp, feat_sort, feat_rand,
 * disc_mdc and disc_tree. Stages: 1 original feature, 2 coarse class,
 * 3 compress feature, 4 sort feature, 5 rand feature, 6 disc mdc,
 * 7 optimize tree, 8 test; the step log holds 9 after a complete run.
 * Published in the output directory: hrec_NAME.dat (the model file),
 * hrec_NAME.log (the log) and hrec_NAME.dat.c (the model as C source).
 *
 * retrain 0 resumes from the step log; another value is the stage to start
 * from (1 or less: the first, 9 or more: none). Returns 0 in every case: the
 * outcome shows in the log, the step log and the files. Nothing is done when
 * a directory argument is empty (after removing one trailing separator) or
 * a path would not fit 260 bytes. */
PENRUNE_API int HTTrain_Process(const char *charsetDir, const char *sampleDir, const char *testDir,
                                const char *modelPath, const char *logPath, const char *workDir, const char *outDir,
                                const char *name, int retrain);

/* Stage 6: MDC prototypes (skipped when disc_mdc/class_000.mdc exists), then
 * discriminative training over training files 1 .. 50. Returns 1 on
 * success. */
PENRUNE_API int HTDisc_Process(const char *sortDir, const char *randDir, const char *mdcDir);

/* Stage 7: builds and optimises the search tree. Returns 1 on success. */
PENRUNE_API int HTTree_Process(const char *coaPath, const char *mdcPath, const char *modelPath, const char *sortDir,
                               const char *treeDir);

/* Stage 8: evaluates the model file on every file of testDir. A model that
 * cannot be read or is not a well-formed image leaves the candidate line
 * out. Returns 1. */
PENRUNE_API int HTEval_Reco(const char *modelPath, const char *testDir);

/* Writes a recognition model image as the source of the embedded model
 * (g_hr_data, HRData_GetDataPtr, HRData_GetDataSize). Both files are opened
 * before either is checked, so cPath is created (empty) even when the image
 * is missing. Returns 1 on success; 0 when a file cannot be opened, the
 * image cannot be read, the image is 2 GiB or longer, or the source text
 * cannot be written completely. */
PENRUNE_API int HTStore_SaveToCpp(const char *imagePath, const char *cPath);

/* Results of PYLex_CreateSysLex. */
#define PYLEX_BUILD_OK 0
#define PYLEX_BUILD_NO_OUTPUT (-1)    /* the image file could not be created */
#define PYLEX_BUILD_POOL_FULL (-2)    /* the pool exceeds 24-bit offsets; nothing written */
#define PYLEX_BUILD_WRITE_FAILED (-3) /* the image could not be written completely; removed */

/* Builds the "PYS1" lexicon image from the phrase list phrases and the
 * description file, writes it to output and its C source to output + ".c",
 * and lists the rejected lines in errors; returns one of the PYLEX_BUILD_*
 * values. A missing description file gives an image without description
 * section; a phrase list or error file that cannot be opened gives an image
 * without phrases. The C source is written after the image; its failure is
 * not reported. */
PENRUNE_API int PYLex_CreateSysLex(const char *description, const char *phrases, const char *output,
                                   const char *errors);

PENRUNE_EXTERN_C_END

#endif /* HT_TOOLS_H */
