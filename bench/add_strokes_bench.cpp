// SPDX-License-Identifier: MIT
// Cost of one HWKernel_AddStroke call that carries many strokes against
// adding the same strokes one call each, with the embedded model and
// lexicon. Each stroke is a short horizontal line of 14 points, one after
// another along the line; an iteration starts from an empty instance.
//
// A call runs the same recognition pass after each stroke it stores as a
// call per stroke does, so both should cost the same: past 44 strokes the
// candidate builder's entry table is full and a pass recognises nothing,
// which leaves segmentation and list building, linear in the strokes held.
#include <benchmark/benchmark.h>

#include <vector>

#include "penrune/HWKernel.h"

namespace {

constexpr int kPointsPerStroke = 14;  // with its marker 15: 1024 strokes fit the point buffer
constexpr int kStrokeStep = 60;       // 1024 strokes stay within the coordinate range

// Stroke s, its stroke-end marker included.
std::vector<_HR_POINT16> Stroke(int s) {
    std::vector<_HR_POINT16> points;
    for (int p = 0; p < kPointsPerStroke; ++p)
        points.push_back({static_cast<HR_UINT16>(s * kStrokeStep + 3 * p), static_cast<HR_UINT16>(500 + (s % 7) * 40)});
    points.push_back({HR_MARKER16, 0});
    return points;
}

class Kernel {
public:
    Kernel() : block_(HWKernel_GetInstanceSize() / sizeof(HR_UINT64) + 1) {
        kernel_ = HWKernel_Initialize(block_.data(), 0, nullptr);
    }
    _HW_KERNEL *get() { return kernel_; }

private:
    std::vector<HR_UINT64> block_;
    _HW_KERNEL *kernel_;
};

void BM_AddStrokesInOneCall(benchmark::State &state) {
    std::vector<_HR_POINT16> all;
    for (int s = 0; s < state.range(0); ++s) {
        const std::vector<_HR_POINT16> stroke = Stroke(s);
        all.insert(all.end(), stroke.begin(), stroke.end());
    }
    Kernel kernel;
    for (auto _ : state) {
        HWKernel_Reset(kernel.get());
        benchmark::DoNotOptimize(HWKernel_AddStroke(kernel.get(), all.data(), static_cast<HR_UINT32>(all.size())));
    }
    state.counters["strokes"] = HWKernel_GetStrokeTotal(kernel.get());
}

void BM_AddStrokesOneByOne(benchmark::State &state) {
    std::vector<std::vector<_HR_POINT16>> strokes;
    for (int s = 0; s < state.range(0); ++s) strokes.push_back(Stroke(s));
    Kernel kernel;
    for (auto _ : state) {
        HWKernel_Reset(kernel.get());
        for (const std::vector<_HR_POINT16> &stroke : strokes)
            benchmark::DoNotOptimize(
                HWKernel_AddStroke(kernel.get(), stroke.data(), static_cast<HR_UINT32>(stroke.size())));
    }
    state.counters["strokes"] = HWKernel_GetStrokeTotal(kernel.get());
}

BENCHMARK(BM_AddStrokesInOneCall)->Arg(16)->Arg(44)->Arg(128)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AddStrokesOneByOne)->Arg(16)->Arg(44)->Arg(128)->Arg(1024)->Unit(benchmark::kMillisecond);

}  // namespace
