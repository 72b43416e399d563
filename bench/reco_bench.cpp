// SPDX-License-Identifier: MIT
// Recognition speed over a model of the shipped scale (7,500 prototypes,
// 300 centres, 15,000 memberships) with realistic characters of 10-15
// strokes and 200-400 points, 8 candidates per character.
//
// BM_RecognizeShort is the whole call (conversion, normalisation, features,
// projection, search); BM_Search is the part after feature extraction
// (projection and the two-level search); BM_Projection is the projection
// alone. BM_RecognizeEmbedded is the whole call with the embedded model on
// real handwriting (the learner set of the shared data, 185 characters);
// BM_RecognizeModelFile/gb2312 and /gb2312-big5 are the same over the larger
// models of models/, with their default charset penalty, to compare in one
// run.
#include <benchmark/benchmark.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "CharacterGen.h"
#include "penrune/HRData.h"
#include "penrune/HRFeature.h"
#include "penrune/HRKernel.h"
#include "ModelImage.h"
#include "arch/HARecoKernels.h"

namespace {

using penrune::test::BuildModelImage;
using penrune::test::RandomCharacter;
using penrune::test::RandomModelLayout;

constexpr int kCharacters = 64;
constexpr int kWanted = 8;

struct Setup {
    std::vector<uint8_t> image;
    std::vector<std::vector<_HR_POINT16>> characters;
    alignas(8) unsigned char block[HR_RECO_INSTANCE_SIZE];
    _HR_RECO *reco = nullptr;

    Setup() : image(BuildModelImage(RandomModelLayout(2024))) {
        std::mt19937 rng(99);
        std::uniform_int_distribution<int> strokes(10, 15);
        std::uniform_int_distribution<int> points(200, 400);
        for (int i = 0; i < kCharacters; ++i) {
            const int s = strokes(rng);
            characters.push_back(RandomCharacter(rng, s, points(rng) / s));
        }
        const HR_UINT8 *data = image.data();
        reco = HRReco_Initialize(block, sizeof(block), &data);
    }
};

Setup &Shared() {
    static Setup setup;
    return setup;
}

void BM_RecognizeShort(benchmark::State &state) {
    Setup &setup = Shared();
    std::vector<_HR_POINT16> scratch;
    HR_UINT16 codes[kWanted];
    HR_UINT16 distances[kWanted];
    size_t i = 0;
    int64_t found = 0;
    for (auto _ : state) {
        const std::vector<_HR_POINT16> &character = setup.characters[i++ % kCharacters];
        scratch = character;  // the call converts the points in place
        benchmark::DoNotOptimize(HRReco_RecognizeShort(
            setup.reco, scratch.data(), static_cast<HR_UINT16>(scratch.size()), kWanted, codes, distances));
        for (HR_UINT16 d : distances) found += d < 60000;
    }
    // Candidates found per call: shows that the fine search had real work.
    state.counters["found"] = benchmark::Counter(static_cast<double>(found), benchmark::Counter::kAvgIterations);
    // The vector kernels picked for this processor.
    state.SetLabel(penrune::HA_IsaName(penrune::HA_Isa()));
}
BENCHMARK(BM_RecognizeShort)->Repetitions(9)->ReportAggregatesOnly(true);

// Feature vectors of all characters, extracted once.
std::vector<std::vector<HR_INT16>> Features(Setup &setup) {
    std::vector<std::vector<HR_INT16>> features;
    HR_UINT16 codes[kWanted];
    for (const std::vector<_HR_POINT16> &character : setup.characters) {
        std::vector<_HR_POINT16> scratch = character;
        HRReco_RecognizeShort(setup.reco, scratch.data(), static_cast<HR_UINT16>(scratch.size()), kWanted, codes,
                              nullptr);
        features.emplace_back(setup.reco->feature, setup.reco->feature + HR_RECO_FEATURE_DIM);
    }
    return features;
}

// Runs measure(setup, feature) once per iteration, over the characters'
// features in turn.
template <class Measure>
void OverFeatures(benchmark::State &state, Measure measure) {
    Setup &setup = Shared();
    const std::vector<std::vector<HR_INT16>> features = Features(setup);
    size_t i = 0;
    for (auto _ : state) measure(setup, features[i++ % kCharacters]);
}

void BM_Search(benchmark::State &state) {
    HR_UINT16 codes[kWanted];
    OverFeatures(state, [&](Setup &setup, const std::vector<HR_INT16> &feature) {
        std::memcpy(setup.reco->feature, feature.data(), sizeof(setup.reco->feature));
        HRReco_MatchProcess(setup.reco, codes);
        benchmark::DoNotOptimize(codes);
    });
}
BENCHMARK(BM_Search)->Repetitions(9)->ReportAggregatesOnly(true);

// The projection alone, to tell it apart from the search in BM_Search.
void BM_Projection(benchmark::State &state) {
    HR_INT16 compressed[HR_RECO_PROJECTED_DIM];
    OverFeatures(state, [&](Setup &setup, const std::vector<HR_INT16> &feature) {
        HRFeature_Transform(feature.data(), HR_RECO_FEATURE_DIM, compressed, HR_RECO_PROJECTED_DIM, setup.reco->matrix);
        benchmark::DoNotOptimize(compressed);
    });
}
BENCHMARK(BM_Projection)->Repetitions(9)->ReportAggregatesOnly(true);

// The characters of a sample file in host units (coordinates times 4).
std::vector<std::vector<_HR_POINT16>> ReadSampleFile(const char *path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<unsigned char> bytes(std::istreambuf_iterator<char>(in), {});
    std::vector<std::vector<_HR_POINT16>> characters;
    for (size_t at = 0; at + 2 <= bytes.size();) {
        const size_t length = bytes[at] | (bytes[at + 1] << 8);
        if (length < 10 || at + length > bytes.size()) break;
        std::vector<_HR_POINT8> points;
        for (size_t i = at + 6; i + 1 < at + length; i += 2) points.push_back({bytes[i], bytes[i + 1]});
        characters.push_back(penrune::test::ToPoint16(points, 4));
        at += length;
    }
    return characters;
}

// Recognises the learner set's characters, one per iteration, with the
// model image at data.
void RecognizeLearner(benchmark::State &state, const HR_UINT8 *data) {
    const std::string path = PENRUNE_SOURCE_DIR "/../shared/data/real/learner/smp/learner.smp";
    const std::vector<std::vector<_HR_POINT16>> characters = ReadSampleFile(path.c_str());
    if (characters.empty()) {
        state.SkipWithError(("no samples in " + path).c_str());
        return;
    }
    alignas(8) static unsigned char block[HR_RECO_INSTANCE_SIZE];
    _HR_RECO *reco = HRReco_Initialize(block, sizeof(block), &data);
    std::vector<_HR_POINT16> scratch;
    HR_UINT16 codes[kWanted];
    size_t i = 0;
    for (auto _ : state) {
        scratch = characters[i++ % characters.size()];
        benchmark::DoNotOptimize(HRReco_RecognizeShort(reco, scratch.data(), static_cast<HR_UINT16>(scratch.size()),
                                                       kWanted, codes, nullptr));
    }
    state.SetLabel(penrune::HA_IsaName(penrune::HA_Isa()));
}

void BM_RecognizeEmbedded(benchmark::State &state) { RecognizeLearner(state, HRData_GetDataPtr()); }
BENCHMARK(BM_RecognizeEmbedded)->Repetitions(9)->ReportAggregatesOnly(true);

void BM_RecognizeModelFile(benchmark::State &state, const char *name) {
    const std::string path = std::string(PENRUNE_SOURCE_DIR "/models/") + name;
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes(std::istreambuf_iterator<char>(in), {});
    std::vector<HR_UINT64> image(bytes.size() / sizeof(HR_UINT64) + 1);  // 8-byte aligned
    std::memcpy(image.data(), bytes.data(), bytes.size());
    const HR_UINT8 *data = reinterpret_cast<const HR_UINT8 *>(image.data());
    if (!HRReco_CheckModel(data, static_cast<HR_UINT32>(bytes.size()))) {
        state.SkipWithError(("not a model image: " + path).c_str());
        return;
    }
    RecognizeLearner(state, data);
}
BENCHMARK_CAPTURE(BM_RecognizeModelFile, gb2312, "gb2312.dat")->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(BM_RecognizeModelFile, gb2312 - big5, "gb2312-big5.dat")->Repetitions(9)->ReportAggregatesOnly(true);

}  // namespace
