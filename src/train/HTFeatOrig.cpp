// SPDX-License-Identifier: MIT
// Feature stage 1: sample files to original feature files.
#include "train/HTFeat.h"

#include <cstdio>

#include "penrune/HRFeature.h"
#include "train/HTFeatCommon.h"
#include "train/HTSample.h"

using namespace htfeat;

namespace {

// Extracts the features of one sample record and appends its code and
// features to out.
int WriteOrigRecord(penrune::SampleReader &sample, FILE *out) {
    HR_INT16 feature[HT_FEAT_DIM];
    HR_UINT8 record[HT_FEAT_ORI_RECORD];
    HR_UINT16 n = 0;
    _HR_POINT8 *points = sample.Points(&n);
    HRFeature_Extract1024DimFeature(points, n, feature);
    StoreU16(record, sample.Code());
    for (int i = 0; i < HT_FEAT_DIM; ++i) {
        StoreU16(record + 2 + 2 * i, static_cast<HR_UINT16>(feature[i]));
    }
    return WriteAll(out, record, sizeof record, 1);
}

int ConvertFile(const char *samplePath, FILE *in, FILE *out) {
    penrune::SampleReader sample(in);
    int malformed = 0;
    while (sample.Next()) {
        if (sample.Length() > HT_SAMPLE_MAX_LENGTH) {
            HTLog_Print("  record length %u above %u in %s\n", sample.Length(), HT_SAMPLE_MAX_LENGTH, samplePath);
            return 0;
        }
        // A truncated last record is used as far as it was read, in whole points.
        if (!sample.IsSample() || sample.Usable() < HT_SAMPLE_MIN_LENGTH) {
            ++malformed;
            continue;
        }
        if (Wanted(sample.Code()) && !WriteOrigRecord(sample, out)) return 0;
    }
    if (malformed > 0) HTLog_Print("  %d malformed records skipped in %s\n", malformed, samplePath);
    return !std::ferror(in) && std::fflush(out) == 0;
}

}  // namespace

extern "C" int HTFeat_OrigFeatureByFile(const char *samplePath, const char *oriPath) {
    File in = Open(samplePath, "rb");
    File out = Open(oriPath, "wb");
    if (!in || !out) return 0;
    return CatchNoMemory([&]() { return ConvertFile(samplePath, in.get(), out.get()); });
}

extern "C" int HTFeat_OrigFeature(const char *sampleDir, const char *outDir) {
    return RunStage("make original feature", [&]() -> int {
        FileList list;
        const int count = ListFiles(sampleDir, list);
        if (count == 0) HTLog_Print("  no sample files in %s\n", sampleDir);
        if (count <= 0) return 0;
        for (int f = 0; f < count; ++f) {
            char out[HT_PATH_MAX];
            if (!DerivedPath(out, outDir, list[f], ".ori")) return 0;
            HTLog_Print("  %s -> %s\n", list[f], out);
            if (!HTFeat_OrigFeatureByFile(list[f], out)) return 0;
        }
        return 1;
    });
}
