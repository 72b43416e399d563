// SPDX-License-Identifier: MIT
// penrune empty-model / export-model: write a model image with no prototypes
// and no centres, and export a model image as the C source of the embedded
// model.
#include <cstdio>
#include <vector>

#include "Args.h"
#include "Command.h"
#include "train/HTDict.h"
#include "train/HTStore.h"

namespace {

int EmptyModelMain(int argc, char **argv) {
    penrune::Args(argc, argv).Finish();
    if (argc != 1) {
        return penrune::UsageError("empty-model");
    }
    const std::vector<float> zeroTransform(HT_DICT_INPUT_DIM * HT_DICT_OUTPUT_DIM, 0.0f);
    bool ok = HTDict_Initialize() && HTDict_SetTransVector(zeroTransform.data()) && HTDict_SetModelFeat(0, nullptr) &&
              HTDict_SetTreeCenter(nullptr, 0, nullptr, 0) && HTDict_SaveResult(argv[0]);
    if (!ok) {
        std::fprintf(stderr, "penrune empty-model: cannot write '%s'\n", argv[0]);
        return 1;
    }
    return 0;
}

int ExportModelMain(int argc, char **argv) {
    penrune::Args(argc, argv).Finish();
    if (argc != 2) {
        return penrune::UsageError("export-model");
    }
    if (!HTStore_SaveToCpp(argv[0], argv[1])) {
        std::fprintf(stderr, "penrune export-model: cannot export '%s' to '%s'\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}

penrune::RegisterCommand regEmpty("empty-model", &EmptyModelMain, "OUTPUT",
                                  "Write a model image with no prototypes and no centres.");
penrune::RegisterCommand regExport("export-model", &ExportModelMain, "IMAGE OUTPUT.c",
                                   "Write a model image as the C source of the embedded model.");

}  // namespace
