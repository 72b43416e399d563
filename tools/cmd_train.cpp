// SPDX-License-Identifier: MIT
// penrune train: trains a recognition model from handwriting sample files and
// publishes it (HTTrain_Process). The exit code tells whether the run got
// through all stages, which the step log of the working directory records,
// and published a sound model.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Args.h"
#include "Command.h"
#include "train/HTEval.h"
#include "train/HTFeat.h"
#include "train/HTPlatform.h"
#include "train/HTTrain.h"
#include "train/HTTree.h"

namespace {

int TrainMain(int argc, char **argv) {
    penrune::Args args(argc, argv);
    long long seed = 0;
    if (args.Integer("seed", seed, 0, 0xFFFFFFFFll)) HTFeat_SetRandSeed(1, static_cast<HR_UINT32>(seed));
    long long branches = HT_TREE_BRANCHES;
    if (args.Integer("tree-branches", branches, 1, HR_RECO_MAX_CANDS)) HTTree_SetBranches(static_cast<int>(branches));
    args.Finish();
    std::vector<const char *> arg;
    for (const std::string &text : args.Positional()) arg.push_back(text.c_str());
    if (arg.size() != 8 && arg.size() != 9) {
        return penrune::UsageError("train");
    }
    const int retrain =
        arg.size() == 9 ? static_cast<int>(penrune::ParseInteger("RETRAIN", arg[8], -1000000, 1000000)) : 0;
    const char *kinds[] = {"charset", "sample", "test"};
    for (int i = 0; i < 3; ++i) {
        if (!HT_IsDir(arg[i])) {
            std::fprintf(stderr, "penrune train: %s directory '%s' does not exist\n", kinds[i], arg[i]);
            return 1;
        }
    }
    // A write past the file-size limit then fails like one on a full disk,
    // and the stage reports it, rather than the signal ending the run unlogged.
    std::signal(SIGXFSZ, SIG_IGN);
    HTTrain_Process(arg[0], arg[1], arg[2], arg[3], arg[4], arg[5], arg[6], arg[7], retrain);
    std::string stepLog = std::string(arg[5]) + "/train_step.log";
    int step = HTTrain_GetStep(stepLog.c_str());
    if (step < HT_TRAIN_STEP_DONE) {
        std::fprintf(stderr, "penrune train: the run did not finish (step log '%s' at stage %d); see '%s'\n",
                     stepLog.c_str(), step, arg[4]);
        return 1;
    }
    const std::string published = std::string(arg[6]) + "/hrec_" + arg[7] + ".dat";
    if (HTEval_CheckModelFile(published.c_str()) != 1) {
        std::fprintf(stderr, "penrune train: the published model '%s' is missing or not a model image\n",
                     published.c_str());
        return 1;
    }
    return 0;
}

penrune::RegisterCommand reg("train", &TrainMain,
                             "[--seed=N] [--tree-branches=N] CHARSET_DIR SAMPLE_DIR TEST_DIR MODEL_FILE LOG_FILE "
                             "WORK_DIR OUT_DIR NAME [RETRAIN]",
                             "Run the eight-stage training pipeline (RETRAIN: 0 resumes from the step log, k "
                             "starts at stage k; --seed fixes the seed of the random feature sets, which "
                             "the clock gives otherwise; --tree-branches sets the tree centres a training sample "
                             "may reach its prototype through, 6 by default, fewer giving a fuller tree); exits "
                             "non-zero unless the run reached its end.");

}  // namespace
