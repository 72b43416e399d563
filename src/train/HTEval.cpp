// SPDX-License-Identifier: MIT
// Evaluation stage: recognises test samples with a model file and logs the
// rates per test file, per candidate position and per character.
#include "train/HTEval.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "train/HTCode.h"
#include "train/HTFileList.h"
#include "train/HTLog.h"
#include "train/HTPlatform.h"
#include "train/HTSample.h"

_HT_RESULT g_stResult[HT_EVAL_CODES];
_HT_RESULT g_stResultValid[HT_EVAL_CODES];
float g_nRecoTotal[HT_EVAL_CANDS];
float g_nSampleTotal;

namespace {

// Reads a whole file into memory; false when it cannot be opened or read.
bool ReadWholeFile(const char *path, std::vector<HR_UINT8> &data) {
    FILE *fp = std::fopen(path, "rb");
    if (!fp) return false;
    data.resize(HT_FileLength(fp));
    bool ok = std::fread(data.data(), 1, data.size(), fp) == data.size();
    std::fclose(fp);
    return ok;
}

// Recognises one sample and counts the result. Returns whether the first
// candidate was right.
bool RecognizeRecord(_HR_RECO *instance, penrune::SampleReader &sample) {
    const HR_UINT16 code = sample.Code();
    HR_UINT16 points = 0;
    _HR_POINT8 *ink = sample.Points(&points);
    HR_UINT16 codes[HT_EVAL_CANDS];
    for (HR_UINT16 &c : codes) c = HR_RECO_EMPTY_CODE;
    HRReco_RecognizeByte(instance, ink, points, HT_EVAL_CANDS, codes, nullptr);
    ++g_stResult[code].total;
    for (int k = 0; k < HT_EVAL_CANDS; ++k)
        if (codes[k] == code) g_nRecoTotal[k] += 1.0f;
    if (codes[0] != code) return false;
    ++g_stResult[code].correct;
    return true;
}

// Recognises the records of an open test file; counts samples and correct
// first candidates. A record cut short ends the file: there is no way to
// find the next one.
void RecognizeStream(FILE *fp, _HR_RECO *instance, float &samples, float &correct) {
    penrune::SampleReader sample(fp);
    while (sample.Next() && sample.Whole()) {
        if (!sample.IsSample()) continue;
        samples += 1.0f;
        if (RecognizeRecord(instance, sample)) correct += 1.0f;
    }
}

void PrintCandidateShares() {
    for (int k = 1; k < HT_EVAL_CANDS; ++k) g_nRecoTotal[k] += g_nRecoTotal[k - 1];
    HTLog_Print("\n  stat cand");
    for (int k = 0; k < HT_EVAL_CANDS; ++k)
        HTLog_Print("%s[%d]=%f", k == 0 ? "" : ", ", k + 1, g_nRecoTotal[k] / g_nSampleTotal);
    HTLog_Print("\n");
}

// Runs every listed test file through a recognizer on the model file.
// False when the model cannot be read or is not a well-formed image.
bool EvaluateModel(const char *modelPath, const char (*files)[HT_PATH_MAX], int count) {
    std::vector<HR_UINT8> model;
    if (!ReadWholeFile(modelPath, model)) {
        HTLog_Print("  cannot read model %s\n", modelPath);
        return false;
    }
    if (!HRReco_CheckModel(model.data(), static_cast<HR_UINT32>(model.size()))) {
        HTLog_Print("  %s is not a well-formed model image\n", modelPath);
        return false;
    }
    std::vector<HR_UINT64> block(HRReco_GetInstanceSize() / sizeof(HR_UINT64) + 1);
    const HR_UINT8 *image = model.data();
    _HR_RECO *instance =
        HRReco_Initialize(block.data(), static_cast<HR_UINT32>(block.size() * sizeof(HR_UINT64)), &image);
    if (!instance) return false;
    for (int f = 0; f < count; ++f) HTTest_RecoFile(files[f], instance);
    PrintCandidateShares();
    HRReco_Terminate(instance);
    return true;
}

}  // namespace

extern "C" int HTTest_RecoFile(const char *path, _HR_RECO *instance) {
    float samples = 0.0f, correct = 0.0f;
    FILE *fp = std::fopen(path, "rb");
    bool opened = fp != nullptr;
    if (fp) {
        try {
            RecognizeStream(fp, instance, samples, correct);
        } catch (const std::bad_alloc &) {
            opened = false;
        }
        std::fclose(fp);
    }
    g_nSampleTotal += samples;
    HTLog_Print("  %s rate = %f\n", path, correct / samples);
    return opened ? 1 : 0;
}

extern "C" void HTTest_PrintResult(void) {
    int valid = 0;
    for (int code = 0; code < HT_EVAL_CODES; ++code) {
        _HT_RESULT &r = g_stResult[code];
        r.code = static_cast<HR_UINT16>(code);
        if (r.total == 0) continue;
        r.rate = static_cast<float>(r.correct) / static_cast<float>(r.total);
        g_stResultValid[valid++] = r;
    }
    // Ascending rate; equal rates keep ascending code order.
    std::stable_sort(g_stResultValid, g_stResultValid + valid,
                     [](const _HT_RESULT &a, const _HT_RESULT &b) { return a.rate < b.rate; });
    HTLog_Print("\n");
    for (int i = 0; i < valid; ++i) {
        const _HT_RESULT &r = g_stResultValid[i];
        char text[8];
        int n = HTCode_DecodeToUTF8(r.code, text, static_cast<int>(sizeof text) - 1);
        text[n < static_cast<int>(sizeof text) ? n : 0] = '\0';
        HTLog_Print("  %s %f (%u/%u)\n", text, r.rate, r.correct, r.total);
    }
    HTLog_Print("\n");
}

extern "C" int HTEval_CheckModelFile(const char *path) {
    std::vector<HR_UINT8> model;
    try {
        if (!ReadWholeFile(path, model)) return 0;
    } catch (const std::bad_alloc &) {
        return 0;
    }
    return HRReco_CheckModel(model.data(), static_cast<HR_UINT32>(model.size())) ? 1 : -1;
}

extern "C" void HTEval_ResetCounters(void) {
    std::memset(g_stResult, 0, sizeof g_stResult);
    std::memset(g_stResultValid, 0, sizeof g_stResultValid);
    std::memset(g_nRecoTotal, 0, sizeof g_nRecoTotal);
    g_nSampleTotal = 0.0f;
}

extern "C" int HTEval_Reco(const char *modelPath, const char *testDir) {
    penrune::FileList files;
    const int count = penrune::ListFiles(testDir, files, penrune::TooManyFiles::kUseFirst);
    HTLog_TimeBegin(1);
    HTLog_Print("test begin.\n");
    try {
        if (count >= 0) EvaluateModel(modelPath, files.get(), count);
    } catch (const std::bad_alloc &) {
        HTLog_Print("  out of memory\n");
    }
    HTTest_PrintResult();
    HTLog_Print("test finished.\n");
    HTLog_TimeStop(1);
    return 1;
}
