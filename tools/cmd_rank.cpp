// SPDX-License-Identifier: MIT
// penrune rank: recognises every sample of the sample files in a directory
// and prints how often the right code is among the first 1..N candidates
// (the training log's evaluation stops at five), and with --errors every
// sample whose first candidate is wrong, with the candidates it got.
// MODEL_FILE "embedded" ranks with the model compiled into the library.
// --charset narrows the search to a charset mask and --penalty sets the
// distance the rarer characters' prototypes pay (HWKernel_SetCharsetMask,
// HWKernel_SetCharsetPenalty), so that one model is measured per charset.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "Args.h"
#include "Command.h"
#include "penrune/HRData.h"
#include "penrune/HRKernel.h"
#include "penrune/HWUtils.h"
#include "train/HTSample.h"

namespace {

namespace fs = std::filesystem;

constexpr int kMaxTop = 32;

struct Options {
    std::string model;
    std::string dir;
    int top = 10;
    bool errors = false;
    HR_UINT16 charsetMask = HR_RECO_DEFAULT_CHARSET;
    HR_UINT16 penalty = HR_RECO_DEFAULT_PENALTY;
};

// A 16-bit number given in decimal or, with 0x, hexadecimal.
bool ParseU16(const char *text, HR_UINT16 *value) {
    char *end = nullptr;
    const unsigned long parsed = std::strtoul(text, &end, 0);
    if (end == text || *end != '\0' || parsed > 0xFFFF) return false;
    *value = static_cast<HR_UINT16>(parsed);
    return true;
}

struct Tally {
    long samples = 0;
    std::vector<long> hits = std::vector<long>(kMaxTop, 0);  // right code at position k
};

std::vector<HR_UINT8> ReadFile(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<HR_UINT8>(std::istreambuf_iterator<char>(in), {});
}

std::string Utf8(HR_UINT16 code) {
    char text[8] = {0};
    enc_utf32_to_utf8_one(code, text, static_cast<int>(sizeof text) - 1);
    return text;
}

// Recognises one sample and counts where the right code came; prints the
// miss when asked.
void RankRecord(_HR_RECO *reco, penrune::SampleReader &sample, const Options &options, const std::string &where,
                Tally &tally) {
    const HR_UINT16 code = sample.Code();
    HR_UINT16 points = 0;
    _HR_POINT8 *ink = sample.Points(&points);
    HR_UINT16 codes[kMaxTop];
    std::fill(codes, codes + kMaxTop, HR_RECO_EMPTY_CODE);
    HRReco_RecognizeByte(reco, ink, points, static_cast<HR_UINT16>(options.top), codes, nullptr);
    ++tally.samples;
    const HR_UINT16 *hit = std::find(codes, codes + options.top, code);
    if (hit != codes + options.top) ++tally.hits[hit - codes];
    if (!options.errors || codes[0] == code) return;
    std::printf("%s %s ->", where.c_str(), Utf8(code).c_str());
    for (int k = 0; k < options.top && codes[k] != HR_RECO_EMPTY_CODE; ++k) std::printf(" %s", Utf8(codes[k]).c_str());
    std::printf("\n");
}

// Ranks the samples of one file up to its end or to a record cut short.
void RankFile(_HR_RECO *reco, const fs::path &path, const Options &options, Tally &tally) {
    std::unique_ptr<FILE, int (*)(FILE *)> in(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!in) return;
    penrune::SampleReader sample(in.get());
    for (long index = 0; sample.Next() && sample.Whole(); ++index) {
        if (!sample.IsSample()) continue;
        RankRecord(reco, sample, options, path.filename().string() + "#" + std::to_string(index), tally);
    }
}

bool ParseOptions(int argc, char **argv, Options &options) {
    penrune::Args args(argc, argv);
    long long top = options.top, penalty = options.penalty;
    args.Integer("top", top, 1, kMaxTop);
    options.top = static_cast<int>(top);
    options.errors = args.Flag("errors");
    std::string charset;
    if (args.Text("charset", charset) && (!ParseU16(charset.c_str(), &options.charsetMask) || options.charsetMask == 0))
        throw penrune::ArgError("--charset needs a mask from 1 to 0xFFFF, not '" + charset + "'");
    args.Integer("penalty", penalty, 0, 0xFFFF);
    options.penalty = static_cast<HR_UINT16>(penalty);
    args.Finish();
    const std::vector<std::string> &positional = args.Positional();
    if (positional.size() != 2) return false;
    options.model = positional[0];
    options.dir = positional[1];
    return true;
}

int RankMain(int argc, char **argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        return penrune::UsageError("rank");
    }
    std::vector<HR_UINT8> image =
        options.model == "embedded"
            ? std::vector<HR_UINT8>(HRData_GetDataPtr(), HRData_GetDataPtr() + HRData_GetDataSize())
            : ReadFile(options.model);
    if (image.empty() || !HRReco_CheckModel(image.data(), static_cast<HR_UINT32>(image.size()))) {
        std::fprintf(stderr, "penrune rank: '%s' is not a readable model image\n", options.model.c_str());
        return 1;
    }
    std::vector<HR_UINT64> block(HR_RECO_INSTANCE_SIZE / sizeof(HR_UINT64) + 1);
    const HR_UINT8 *data = image.data();
    _HR_RECO *reco = HRReco_Initialize(block.data(), HR_RECO_INSTANCE_SIZE, &data);
    if (reco) {
        reco->charsetMask = options.charsetMask;
        reco->charsetPenalty = options.penalty;
    }
    std::error_code error;
    std::vector<fs::path> files;
    for (const fs::directory_entry &entry : fs::directory_iterator(options.dir, error))
        if (entry.is_regular_file()) files.push_back(entry.path());
    if (error || !reco) {
        std::fprintf(stderr, "penrune rank: cannot read '%s'\n", options.dir.c_str());
        return 1;
    }
    std::sort(files.begin(), files.end());
    Tally tally;
    for (const fs::path &file : files) RankFile(reco, file, options, tally);
    long cumulative = 0;
    std::printf("samples %ld\n", tally.samples);
    for (int k = 0; k < options.top; ++k) {
        cumulative += tally.hits[k];
        std::printf("top-%d %.1f %%\n", k + 1, tally.samples ? 100.0 * cumulative / tally.samples : 0.0);
    }
    return 0;
}

penrune::RegisterCommand reg("rank", &RankMain,
                             "MODEL_FILE TEST_DIR [--top=N] [--errors] [--charset=MASK] [--penalty=N]",
                             "Print the top-1..top-N rates (N 1..32, default 10) of the test sample files of "
                             "TEST_DIR and, with --errors, every miss with its candidates; MODEL_FILE embedded "
                             "ranks with the model compiled into the library. --charset=MASK keeps the "
                             "prototypes whose charset bits share a bit with MASK (e.g. 0x000F for GB2312 "
                             "level 1 with letters and digits); --penalty=N makes the rarer characters' "
                             "prototypes (charset bits 0x0030) count N further away.");

}  // namespace
