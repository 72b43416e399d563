// SPDX-License-Identifier: MIT
// Cost of HWKernel_AddStroke by strokes held, in each mode, with the
// embedded model and lexicon on real ink: the learner samples, each scaled
// to a 1,000-unit character and set side by side at an ordinary spacing,
// make one long line (thinned to at most 24 points a stroke so that 520
// strokes fit the point buffer).
//
// Each iteration adds the ten strokes that follow the held ones and removes
// them again (removal only moves counters back); the counter "per_stroke"
// is the time of one AddStroke.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "penrune/HWKernel.h"

namespace {

using Stroke = std::vector<_HR_POINT16>;

constexpr int kAdded = 10;
constexpr double kCharSize = 1000, kGap = 200, kMargin = 100;
constexpr std::size_t kLineStrokes = 520;
// The point buffer holds 16,383 points: every stroke keeps at most this many
// of its points, evenly spread, so that 520 strokes fit.
constexpr std::size_t kStrokePoints = 24;

// The learner samples in file order, again and again, until the line has
// kLineStrokes strokes.
std::vector<Stroke> LearnerLine() {
    std::ifstream in(PENRUNE_SOURCE_DIR "/../shared/data/real/learner/learner.jsonl");
    std::vector<nlohmann::json> samples;
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) samples.push_back(nlohmann::json::parse(line)["strokes"]);
    std::vector<Stroke> strokes;
    double cursor = kMargin;
    for (std::size_t i = 0; !samples.empty() && strokes.size() < kLineStrokes; ++i) {
        const nlohmann::json &ink = samples[i % samples.size()];
        double left = 1e9, top = 1e9, right = -1e9, bottom = -1e9;
        for (const auto &stroke : ink)
            for (const auto &p : stroke) {
                left = std::min(left, p[0].get<double>()), right = std::max(right, p[0].get<double>());
                top = std::min(top, p[1].get<double>()), bottom = std::max(bottom, p[1].get<double>());
            }
        double scale = kCharSize / std::max({right - left, bottom - top, 1.0});
        for (const auto &stroke : ink) {
            Stroke points;
            std::size_t n = stroke.size(), step = (n + kStrokePoints - 1) / kStrokePoints;
            for (std::size_t j = 0; j < n; j += step) {
                const auto &p = stroke[j];
                points.push_back({static_cast<HR_UINT16>(cursor + (p[0].get<double>() - left) * scale),
                                  static_cast<HR_UINT16>(kMargin + (p[1].get<double>() - top) * scale)});
            }
            points.push_back({HR_MARKER16, 0});
            strokes.push_back(points);
        }
        cursor += (right - left) * scale + kGap;
        if (cursor > 60000) cursor = kMargin;  // a new line over the old one keeps coordinates in range
    }
    return strokes;
}

void AddStrokes(benchmark::State &state, HR_INT32 mode) {
    static const std::vector<Stroke> line = LearnerLine();
    const std::size_t held = static_cast<std::size_t>(state.range(0));
    if (line.size() < held + kAdded) {
        state.SkipWithError("learner samples not found");
        return;
    }
    std::vector<HR_UINT64> block(HWKernel_GetInstanceSize() / sizeof(HR_UINT64) + 1);
    _HW_KERNEL *kernel = HWKernel_Initialize(block.data(), 0, nullptr);
    HWKernel_SetMode(kernel, mode);
    auto add = [kernel](const Stroke &s) { HWKernel_AddStroke(kernel, s.data(), static_cast<HR_UINT32>(s.size())); };
    for (std::size_t s = 0; s < held; ++s) add(line[s]);
    for (auto _ : state) {
        for (int s = 0; s < kAdded; ++s) add(line[held + static_cast<std::size_t>(s)]);
        for (int s = 0; s < kAdded; ++s) HWKernel_DelStroke(kernel);
    }
    state.counters["per_stroke"] =
        benchmark::Counter(kAdded, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    HWKernel_Terminate(kernel);
}

void BM_LineAddStroke(benchmark::State &state) { AddStrokes(state, HW_MODE_LINE); }
void BM_ClassicAddStroke(benchmark::State &state) { AddStrokes(state, HW_MODE_CLASSIC); }

BENCHMARK(BM_LineAddStroke)->Arg(10)->Arg(40)->Arg(150)->Arg(500)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ClassicAddStroke)->Arg(10)->Arg(40)->Unit(benchmark::kMicrosecond);

}  // namespace
