// SPDX-License-Identifier: MIT
// penrune eval: recognises the test sample files of a directory with a model
// image and prints the rates (HTEval_Reco) on standard output.
#include <cstdio>

#include "Args.h"
#include "Command.h"
#include "train/HTEval.h"
#include "train/HTPlatform.h"

namespace {

int EvalMain(int argc, char **argv) {
    penrune::Args(argc, argv).Finish();
    if (argc != 2) {
        return penrune::UsageError("eval");
    }
    int model = HTEval_CheckModelFile(argv[0]);
    if (model == 0) {
        std::fprintf(stderr, "penrune eval: cannot read model file '%s'\n", argv[0]);
        return 1;
    }
    if (model < 0) {
        std::fprintf(stderr, "penrune eval: '%s' is not a well-formed model image\n", argv[0]);
        return 1;
    }
    if (!HT_IsDir(argv[1])) {
        std::fprintf(stderr, "penrune eval: test directory '%s' does not exist\n", argv[1]);
        return 1;
    }
    HTEval_Reco(argv[0], argv[1]);
    return 0;
}

penrune::RegisterCommand reg("eval", &EvalMain, "MODEL_FILE TEST_DIR",
                             "Recognise the test sample files of TEST_DIR with a model and print the rates.");

}  // namespace
