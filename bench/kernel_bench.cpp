// SPDX-License-Identifier: MIT
// Cost of one kernel pass: HWKernel_AddStroke of the 10th stroke of a line,
// which recognises strokes k..9 for every k (10 recognizer calls), segments
// the line and builds the candidate list with the embedded lexicon. The model
// is a random one of the shipped scale (7,500 prototypes, 300 centres).
//
// Random prototypes lie far from the projections of pen input, so the
// recognizer would find nothing within its distance limit and skip its fine
// search. As a trained model places prototypes near real writing, the
// centres are moved onto the projections of the hypotheses this benchmark
// recognises, each with its member prototypes; every call then returns 8
// real characters and the builder matches them against the lexicon.
//
// Each iteration adds the 10th stroke and removes it again; removal only
// moves counters back and costs nothing next to the pass.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#include "penrune/HRKernel.h"
#include "penrune/HWKernel.h"
#include "ModelImage.h"

namespace {

using Stroke = std::vector<_HR_POINT16>;

constexpr int kStrokes = 10;
constexpr int kStrokesPerCharacter = 3;
constexpr int kPointsPerStroke = 25;
constexpr int kCharacterSize = 1000;
constexpr int kCharacterPitch = 1200;

// A line of characters side by side, split into strokes (each ended by its
// stroke-end marker).
std::vector<Stroke> LineOfStrokes(int count) {
    std::mt19937 rng(11);
    std::vector<Stroke> strokes;
    for (int c = 0; static_cast<int>(strokes.size()) < count; ++c) {
        std::vector<_HR_POINT16> points = penrune::test::RandomCharacter(rng, kStrokesPerCharacter, kPointsPerStroke,
                                                                         c * kCharacterPitch, 0, kCharacterSize);
        Stroke stroke;
        for (const _HR_POINT16 &p : points) {
            if (p.x == HR_MARKER16 && p.y == HR_MARKER16) break;
            stroke.push_back(p);
            if (p.x == HR_MARKER16) {
                strokes.push_back(stroke);
                stroke.clear();
            }
        }
    }
    strokes.resize(static_cast<size_t>(count));
    return strokes;
}

// Projections (compressed feature - 128) of strokes k..n-1 for every n and k.
std::vector<penrune::test::ModelVector> HypothesisProjections(const penrune::test::ModelLayout &layout,
                                                              const std::vector<Stroke> &strokes) {
    const std::vector<uint8_t> image = penrune::test::BuildModelImage(layout);
    const HR_UINT8 *data = image.data();
    std::vector<HR_UINT64> block(HRReco_GetInstanceSize() / sizeof(HR_UINT64) + 1);
    _HR_RECO *reco = HRReco_Initialize(block.data(), HRReco_GetInstanceSize(), &data);
    std::vector<penrune::test::ModelVector> projections;
    for (size_t n = 1; n <= strokes.size(); ++n) {
        for (size_t k = 0; k < n; ++k) {
            Stroke points;
            for (size_t s = k; s < n; ++s) points.insert(points.end(), strokes[s].begin(), strokes[s].end());
            points.push_back({HR_MARKER16, HR_MARKER16});
            HR_UINT16 codes[8];
            HRReco_RecognizeShort(reco, points.data(), static_cast<HR_UINT16>(points.size()), 8, codes, nullptr);
            penrune::test::ModelVector y;
            for (int d = 0; d < penrune::test::kModelDim; ++d) y[d] = static_cast<int8_t>(reco->compressed[d] - 128);
            projections.push_back(y);
        }
    }
    return projections;
}

// The random model with its first centres (and their members) moved onto the
// projections of the strokes' hypotheses.
std::vector<uint8_t> ModelNearStrokes(const std::vector<Stroke> &strokes) {
    penrune::test::ModelLayout layout = penrune::test::RandomModelLayout(2024);
    const std::vector<penrune::test::ModelVector> targets = HypothesisProjections(layout, strokes);
    std::vector<bool> moved(layout.prototypes.size(), false);
    for (size_t c = 0; c < targets.size() && c < layout.centres.size(); ++c) {
        for (uint16_t f : layout.members[c]) {
            if (moved[f]) continue;
            moved[f] = true;
            for (int d = 0; d < penrune::test::kModelDim; ++d) {
                int v = layout.prototypes[f].values[d] + targets[c][d] - layout.centres[c][d];
                layout.prototypes[f].values[d] = static_cast<int8_t>(std::clamp(v, -128, 127));
            }
        }
        layout.centres[c] = targets[c];
    }
    return penrune::test::BuildModelImage(layout);
}

void BM_AddStrokeAt10Strokes(benchmark::State &state) {
    const std::vector<Stroke> strokes = LineOfStrokes(kStrokes);
    const std::vector<uint8_t> model = ModelNearStrokes(strokes);
    const HR_UINT8 *data = model.data();
    std::vector<HR_UINT64> block(HWKernel_GetInstanceSize() / sizeof(HR_UINT64) + 1);
    _HW_KERNEL *kernel = HWKernel_Initialize(block.data(), 0, &data);
    for (int i = 0; i + 1 < kStrokes; ++i)
        HWKernel_AddStroke(kernel, strokes[i].data(), static_cast<HR_UINT32>(strokes[i].size()));
    const Stroke &last = strokes.back();
    for (auto _ : state) {
        HWKernel_AddStroke(kernel, last.data(), static_cast<HR_UINT32>(last.size()));
        benchmark::DoNotOptimize(HWKernel_GetCandTotal(kernel));
        HWKernel_DelStroke(kernel);
    }
    HWKernel_AddStroke(kernel, last.data(), static_cast<HR_UINT32>(last.size()));
    state.counters["candidates"] = HWKernel_GetCandTotal(kernel);
    const _PY_CAND &cand = kernel->cand;
    int found = 0;  // recognised (non-empty) slots of the last pass
    for (HR_UINT32 e = cand.entryRange[kStrokes].first; e < cand.entryRange[kStrokes].end; ++e)
        found += cand.entry[e].code != 0xFFFF;
    state.counters["recognised"] = found;
    HWKernel_Terminate(kernel);
}
BENCHMARK(BM_AddStrokeAt10Strokes)->Unit(benchmark::kMicrosecond);

}  // namespace
