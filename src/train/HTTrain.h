/* SPDX-License-Identifier: MIT */
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
 * hrec_NAME.log (the log) and hrec_NAME.dat.c (the model as C source). */
#ifndef HT_TRAIN_H
#define HT_TRAIN_H

#include "penrune/HRTypes.h"
#include "penrune/HTTools.h"

PENRUNE_EXTERN_C_BEGIN

#define HT_TRAIN_STAGES 8    /* stages 1 .. 8 */
#define HT_TRAIN_STEP_DONE 9 /* step log value after a complete run */

/* The number in the step log; 0 when it cannot be opened or holds none. */
int HTTrain_GetStep(const char *path);

/* Writes stage + 1 as "%d\r\n" to the step log. Returns 0 when the file
 * cannot be written. */
int HTTrain_SetStepFinish(const char *path, int stage);

PENRUNE_EXTERN_C_END

#endif /* HT_TRAIN_H */
