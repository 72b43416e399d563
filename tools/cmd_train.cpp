// SPDX-License-Identifier: MIT
// penrune train: trains a recognition model from handwriting sample files and
// publishes it (HTTrain_Process). The exit code tells whether the run got
// through all stages, which the step log of the working directory records,
// and published a sound model.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Command.h"
#include "train/HTEval.h"
#include "train/HTFeat.h"
#include "train/HTPlatform.h"
#include "train/HTTrain.h"

namespace {

bool ParseStage(const char *text, int &stage) {
    char *end = nullptr;
    errno = 0;
    long value = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < -1000000 || value > 1000000) return false;
    stage = static_cast<int>(value);
    return true;
}

// Takes a leading --seed=N off the arguments and fixes the seed of the
// random feature sets with it. Returns false for a malformed seed.
bool TakeSeed(int &argc, char **&argv) {
    const std::string prefix = "--seed=";
    if (argc == 0 || std::string(argv[0]).compare(0, prefix.size(), prefix) != 0) return true;
    const char *text = argv[0] + prefix.size();
    char *end = nullptr;
    errno = 0;
    const unsigned long seed = std::strtoul(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || *text == '-' || seed > 0xFFFFFFFFul) return false;
    HTFeat_SetRandSeed(1, static_cast<HR_UINT32>(seed));
    --argc;
    ++argv;
    return true;
}

int TrainMain(int argc, char **argv) {
    if (!TakeSeed(argc, argv)) {
        std::fprintf(stderr, "penrune train: --seed needs a number 0..4294967295\n");
        return 2;
    }
    if (argc != 8 && argc != 9) {
        return penrune::UsageError("train");
    }
    int retrain = 0;
    if (argc == 9 && !ParseStage(argv[8], retrain)) {
        std::fprintf(stderr, "penrune train: RETRAIN '%s' is not a stage number\n", argv[8]);
        return 2;
    }
    const char *kinds[] = {"charset", "sample", "test"};
    for (int i = 0; i < 3; ++i) {
        if (!HT_IsDir(argv[i])) {
            std::fprintf(stderr, "penrune train: %s directory '%s' does not exist\n", kinds[i], argv[i]);
            return 1;
        }
    }
    // A write past the file-size limit then fails like one on a full disk,
    // and the stage reports it, rather than the signal ending the run unlogged.
    std::signal(SIGXFSZ, SIG_IGN);
    HTTrain_Process(argv[0], argv[1], argv[2], argv[3], argv[4], argv[5], argv[6], argv[7], retrain);
    std::string stepLog = std::string(argv[5]) + "/train_step.log";
    int step = HTTrain_GetStep(stepLog.c_str());
    if (step < HT_TRAIN_STEP_DONE) {
        std::fprintf(stderr, "penrune train: the run did not finish (step log '%s' at stage %d); see '%s'\n",
                     stepLog.c_str(), step, argv[4]);
        return 1;
    }
    const std::string published = std::string(argv[6]) + "/hrec_" + argv[7] + ".dat";
    if (HTEval_CheckModelFile(published.c_str()) != 1) {
        std::fprintf(stderr, "penrune train: the published model '%s' is missing or not a model image\n",
                     published.c_str());
        return 1;
    }
    return 0;
}

penrune::RegisterCommand reg("train", &TrainMain,
                             "[--seed=N] CHARSET_DIR SAMPLE_DIR TEST_DIR MODEL_FILE LOG_FILE WORK_DIR OUT_DIR NAME "
                             "[RETRAIN]",
                             "Run the eight-stage training pipeline (RETRAIN: 0 resumes from the step log, k "
                             "starts at stage k; --seed fixes the seed of the random feature sets, which "
                             "the clock gives otherwise); exits non-zero unless the run reached its end.");

}  // namespace
