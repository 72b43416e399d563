// SPDX-License-Identifier: MIT
// Feature stage 1: sample files to original feature files.
#include "train/HTFeat.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "penrune/HRFeature.h"
#include "train/HTFeatCommon.h"

using namespace htfeat;

namespace {

// Last two points of every sample record: stroke end and end of data.
constexpr HR_UINT8 kEndMarkers[4] = {0xFF, 0x00, 0xFF, 0xFF};
// Sample record header inside the body: code and reserved bytes.
constexpr size_t kSampleHeader = 4;

// Extracts the features of one sample record body (code, reserved bytes,
// points) of even length and appends code and features to out.
int WriteOrigRecord(HR_UINT8 *body, size_t length, FILE *out) {
    HR_INT16 feature[HT_FEAT_DIM];
    HR_UINT8 record[HT_FEAT_ORI_RECORD];
    std::memcpy(body + length - sizeof kEndMarkers, kEndMarkers, sizeof kEndMarkers);
    const auto n = static_cast<HR_UINT16>((length - kSampleHeader) / 2);
    HRFeature_Extract1024DimFeature(reinterpret_cast<_HR_POINT8 *>(body + kSampleHeader), n, feature);
    std::memcpy(record, body, 2);
    for (int i = 0; i < HT_FEAT_DIM; ++i) {
        StoreU16(record + 2 + 2 * i, static_cast<HR_UINT16>(feature[i]));
    }
    return WriteAll(out, record, sizeof record, 1);
}

}  // namespace

extern "C" int HTFeat_OrigFeatureByFile(const char *samplePath, const char *oriPath) {
    std::unique_ptr<HR_UINT8[]> body(new (std::nothrow) HR_UINT8[HT_FEAT_SAMPLE_BUFFER]);
    File in = Open(samplePath, "rb");
    File out = Open(oriPath, "wb");
    if (!body || !in || !out) return 0;
    int malformed = 0;
    HR_UINT8 head[2];
    while (ReadAll(in.get(), head, sizeof head, 1)) {
        const unsigned length = LoadU16(head);
        if (length > HT_FEAT_SAMPLE_MAX_LENGTH) {
            HTLog_Print("  record length %u above %u in %s\n", length, HT_FEAT_SAMPLE_MAX_LENGTH, samplePath);
            return 0;
        }
        const size_t wanted = length >= 2 ? length - 2 : 0;
        const size_t read = std::fread(body.get(), 1, wanted, in.get());
        if (wanted > 0 && read == 0) break;
        // A truncated last record is used as far as it was read, in whole points.
        const size_t got = read & ~static_cast<size_t>(1);
        if (length < HT_FEAT_SAMPLE_MIN_LENGTH || length % 2 != 0 ||
            got < kSampleHeader + sizeof kEndMarkers) {
            ++malformed;
            continue;
        }
        if (Wanted(LoadU16(body.get())) && !WriteOrigRecord(body.get(), got, out.get())) return 0;
    }
    if (malformed > 0) HTLog_Print("  %d malformed records skipped in %s\n", malformed, samplePath);
    return !std::ferror(in.get()) && std::fflush(out.get()) == 0;
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
