/* SPDX-License-Identifier: MIT */
/* Tree stage of the training tools: gathers the trained prototypes into a
 * model image with a two-level search tree (k-means centres over the
 * prototypes), then widens the centres' member lists pass by pass with the
 * recognizer's own tree search until the prototypes are reached by their
 * training samples.
 *
 * Stage entry: HTTree_Process(.coa, class_050.mdc, model file, feat_sort,
 * disc_tree) = HTTree_Merge (writes disc_tree/tree_000.tdb) followed by
 * HTTree_Optimize (writes tree_001.tdb, tree_002.tdb, ... and copies the
 * last one to the model file). */
#ifndef HT_TREE_H
#define HT_TREE_H

#include "penrune/HRTypes.h"
#include "penrune/HTTools.h"

PENRUNE_EXTERN_C_BEGIN

#define HT_TREE_CLASS_SLOTS 65534     /* character codes 0 .. 0xFFFD */
#define HT_TREE_CLASS_PROTOS 10       /* prototypes of one class */
#define HT_TREE_CENTRE_MAX 800        /* tree centres at most */
#define HT_TREE_LIST_MAX 30000        /* members of one centre list */
#define HT_TREE_MEMBERSHIP_MAX 65535  /* memberships in all (16-bit offsets) */
#define HT_TREE_PROTO_MAX 65535       /* prototypes of an image (16-bit count) */
#define HT_TREE_BRANCHES 6            /* centres a sample visits, unless set */
#define HT_TREE_MIN_SAMPLES 5         /* samples a prototype needs to be moved */
#define HT_TREE_LAST_PASS 99          /* last pass number */
#define HT_TREE_MIN_ADDED 50          /* additions that make a pass adopted */
#define HT_TREE_IMAGE_MAX (10u << 20) /* largest tree file, 10 MiB */
#define HT_TREE_READ_BLOCK 3000       /* records read at once */

/* Builds the first image: the transform of coaPath, the prototypes of
 * mdcPath whose code is wanted (at most 10 per class, at most 65535 in all;
 * further ones are ignored with a log line) and min(floor(sqrt(12 P)), 800)
 * k-means centres over them, written to outPath. Returns 0 when the
 * transform cannot be read or the image cannot be written. */
int HTTree_Merge(const char *coaPath, const char *mdcPath, const char *outPath);

/* Widens the member lists of firstTree pass by pass over the samples of
 * sortDir, writing treeDir/tree_NNN.tdb, and copies the last file written to
 * modelPath. Returns 0 when a tree file cannot be loaded or is not a
 * well-formed image, or a feature file cannot be opened. */
int HTTree_Optimize(const char *firstTree, const char *modelPath, const char *sortDir, const char *treeDir);

/* Sets the centres a training sample visits while the member lists are
 * widened (HT_TREE_BRANCHES until set; 1 to HR_RECO_MAX_CANDS). The
 * recognizer keeps as many centres as it is asked candidates (8 to 10 in
 * use): fewer branches here leave room for ink that lies farther from its
 * prototypes than the training samples, at the cost of more memberships.
 * Returns 0, changing nothing, for a count out of range. */
int HTTree_SetBranches(int branches);

/* Centres asked of the clustering for P prototypes: min(floor(sqrt(12 P)),
 * 800). */
int HTTree_GetCentreCount(int prototypes);

/* Coverage classes of a prototype: its hit share v = hits / (misses + hits)
 * falls below 0.7, 0.8, 0.9, 0.95, 0.98, 0.99 (cumulative) or reaches
 * 0.99. */
#define HT_TREE_COVERAGE_CLASSES 7
void HTTree_CountCoverage(float coverage, int classes[HT_TREE_COVERAGE_CLASSES]);

/* Whether a prototype with that coverage whose best centre scores bestScore
 * is added to the best centre's list (the image has centres). */
int HTTree_ShouldAdd(float coverage, float bestScore, float delta);

/* Whether another pass runs, from the coverage classes of the pass just
 * done: delta > 2e-7 and either (A > 0 and B >= A) or (B > 0 and D == B),
 * with A prototypes at 0.99 or more, B below 0.99, D below 0.98. */
int HTTree_ShouldContinue(float delta, const int classes[HT_TREE_COVERAGE_CLASSES]);

PENRUNE_EXTERN_C_END

#endif /* HT_TREE_H */
