// SPDX-License-Identifier: MIT
// Training driver: runs the training stages in order over one working
// directory, keeps the next stage in the step log and publishes the model.
#include "train/HTTrain.h"

#include <cstdio>
#include <cstring>

#include "train/HTCode.h"
#include "train/HTDisc.h"
#include "train/HTEval.h"
#include "train/HTFeat.h"
#include "train/HTLog.h"
#include "train/HTPlatform.h"
#include "train/HTStore.h"
#include "train/HTTree.h"

namespace {

constexpr HR_UINT32 kAllCharsets = 0xFFFF;
constexpr int kLastSnapshot = HT_DISC_MCE_FILES;

// Every path of one run, built before anything is touched.
struct TrainPaths {
    char charsetDir[HT_PATH_MAX], sampleDir[HT_PATH_MAX], testDir[HT_PATH_MAX];
    char stepLog[HT_PATH_MAX], featOrig[HT_PATH_MAX], featCoarse[HT_PATH_MAX], featComp[HT_PATH_MAX];
    char featSort[HT_PATH_MAX], featRand[HT_PATH_MAX], discMdc[HT_PATH_MAX], discTree[HT_PATH_MAX];
    char coaPath[HT_PATH_MAX], mdcPath[HT_PATH_MAX];
    char publishedDat[HT_PATH_MAX], publishedLog[HT_PATH_MAX], publishedSource[HT_PATH_MAX];
    const char *modelPath, *logPath, *outDir;
};

// Copies dir without one trailing separator; false when the result is
// empty or too long.
bool TrimDirectory(char *out, const char *dir) {
    if (!dir || !HT_FormatPath(out, "%s", dir)) return false;
    size_t n = std::strlen(out);
    if (n > 0 && (out[n - 1] == '/' || out[n - 1] == '\\')) out[--n] = '\0';
    return n > 0;
}

bool BuildPaths(TrainPaths &p, const char *charsetDir, const char *sampleDir, const char *testDir, const char *workDir,
                const char *outDir, const char *name) {
    char trimmedWork[HT_PATH_MAX];
    if (!TrimDirectory(p.sampleDir, sampleDir) || !TrimDirectory(p.testDir, testDir) ||
        !TrimDirectory(p.charsetDir, charsetDir) || !TrimDirectory(trimmedWork, workDir))
        return false;
    if (!outDir || !name) return false;
    // The working-directory paths are built from the directory as given.
    return HT_FormatPath(p.stepLog, "%s/train_step.log", workDir) &&
           HT_FormatPath(p.featOrig, "%s/feat_orig", workDir) &&
           HT_FormatPath(p.featCoarse, "%s/feat_coarse", workDir) &&
           HT_FormatPath(p.featComp, "%s/feat_comp", workDir) && HT_FormatPath(p.featSort, "%s/feat_sort", workDir) &&
           HT_FormatPath(p.featRand, "%s/feat_rand", workDir) && HT_FormatPath(p.discMdc, "%s/disc_mdc", workDir) &&
           HT_FormatPath(p.discTree, "%s/disc_tree", workDir) &&
           HT_FormatPath(p.coaPath, "%s/coarse_training.coa", p.featCoarse) &&
           HT_FormatPath(p.mdcPath, "%s/class_%03d.mdc", p.discMdc, kLastSnapshot) &&
           HT_FormatPath(p.publishedDat, "%s/hrec_%s.dat", outDir, name) &&
           HT_FormatPath(p.publishedLog, "%s/hrec_%s.log", outDir, name) &&
           HT_FormatPath(p.publishedSource, "%s.c", p.publishedDat);
}

void CreateDirectories(const TrainPaths &p, const char *workDir) {
    HT_CreateMultiLevelPath(workDir);
    const char *dirs[] = {p.featOrig, p.featCoarse, p.featComp, p.featSort, p.featRand, p.discMdc, p.discTree};
    for (const char *dir : dirs) HT_CreateMultiLevelPath(dir);
    HT_CreatePathByFileName(p.modelPath);
}

const char *const kSkipMessage[HT_TRAIN_STAGES] = {
    "skip original feature.\n", "skip coarse class.\n", "skip compress feature.\n", "skip sort feature.\n",
    "skip rand feature.\n",     "skip disc mdc.\n",     "skip optimize tree.\n",    "skip test.\n",
};

int RunStage(const TrainPaths &p, int stage) {
    switch (stage) {
        case 1:
            return HTFeat_OrigFeature(p.sampleDir, p.featOrig);
        case 2:
            return HTFeat_Coarse(p.featOrig, p.featCoarse, p.coaPath);
        case 3:
            return HTFeat_CompFeature(p.featOrig, p.coaPath, p.featComp);
        case 4:
            return HTFeat_SortFeature(p.featComp, p.featSort);
        case 5:
            return HTFeat_RandFeature(p.featSort, p.featRand);
        case 6:
            return HTDisc_Process(p.featSort, p.featRand, p.discMdc);
        case 7:
            return HTTree_Process(p.coaPath, p.mdcPath, p.modelPath, p.featSort, p.discTree);
        case 8:
            return HTEval_Reco(p.modelPath, p.testDir);
        default:
            return 0;
    }
}

// Runs the stages from start on; after each finished stage the step log
// names the next one. Stops at the first failing stage.
void RunStages(const TrainPaths &p, int start) {
    if (start < 1) start = 1;
    for (int stage = 1; stage < start && stage <= HT_TRAIN_STAGES; ++stage) HTLog_Print("%s", kSkipMessage[stage - 1]);
    for (int stage = start; stage <= HT_TRAIN_STAGES; ++stage) {
        if (!RunStage(p, stage)) return;
        if (!HTTrain_SetStepFinish(p.stepLog, stage)) HTLog_Print("  cannot write the step log %s\n", p.stepLog);
    }
}

void Publish(const TrainPaths &p) {
    HT_CreateMultiLevelPath(p.outDir);
    HT_CopyFile(p.logPath, p.publishedLog);
    HT_CopyFile(p.modelPath, p.publishedDat);
    HTStore_SaveToCpp(p.publishedDat, p.publishedSource);
}

}  // namespace

extern "C" int HTTrain_GetStep(const char *path) {
    FILE *fp = std::fopen(path, "r");
    if (!fp) return 0;
    int step = 0;
    if (std::fscanf(fp, "%d", &step) != 1) step = 0;
    std::fclose(fp);
    return step;
}

extern "C" int HTTrain_SetStepFinish(const char *path, int stage) {
    FILE *fp = std::fopen(path, "wb");
    if (!fp) return 0;
    bool ok = std::fprintf(fp, "%d\r\n", stage + 1) > 0;
    return (std::fclose(fp) == 0 && ok) ? 1 : 0;
}

extern "C" int HTTrain_Process(const char *charsetDir, const char *sampleDir, const char *testDir,
                               const char *modelPath, const char *logPath, const char *workDir, const char *outDir,
                               const char *name, int retrain) {
    TrainPaths p;
    if (!modelPath || !logPath || !BuildPaths(p, charsetDir, sampleDir, testDir, workDir, outDir, name)) return 0;
    p.modelPath = modelPath;
    p.logPath = logPath;
    p.outDir = outDir;
    CreateDirectories(p, workDir);
    HTLog_Initialize(logPath);
    HTLog_Print("train begin(retrain = %d).\n", retrain);
    HTCode_Initialize(p.charsetDir, kAllCharsets);
    int start = retrain != 0 ? retrain : HTTrain_GetStep(p.stepLog);
    RunStages(p, start);
    HTCode_Terminate();
    Publish(p);
    HTLog_Print("\ntrain finished.\n");
    HTLog_Terminate();
    return 0;
}
