// SPDX-License-Identifier: MIT
// The browser pad's work natively, for comparison with web/bench.mjs, which
// runs the same in the WebAssembly module: each example line of examples/
// written into one kernel in line mode, one HWKernel_AddStroke per stroke as
// the pad hands them over, from an empty instance. One iteration is the
// whole line; the strokes counter gives the cost per stroke.
//
// usage: web/bench.sh runs both, one after the other.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "StrokeJson.h"
#include "penrune/HWKernel.h"

namespace {

std::vector<penrune::Stroke> ReadExample(const std::string &name) {
    std::ifstream in(std::string(PENRUNE_SOURCE_DIR) + "/examples/" + name + ".json");
    return penrune::ParseStrokes(std::string(std::istreambuf_iterator<char>(in), {}));
}

void WriteLine(benchmark::State &state, const std::string &name) {
    const std::vector<penrune::Stroke> strokes = ReadExample(name);
    std::vector<HR_UINT64> block(HWKernel_GetInstanceSize() / sizeof(HR_UINT64) + 1);
    _HW_KERNEL *kernel = HWKernel_Initialize(block.data(), 0, nullptr);
    HWKernel_SetMode(kernel, HW_MODE_LINE);
    for (auto _ : state) {
        HWKernel_Reset(kernel);
        for (const penrune::Stroke &stroke : strokes)
            benchmark::DoNotOptimize(HWKernel_AddStroke(kernel, stroke.data(), static_cast<HR_UINT32>(stroke.size())));
    }
    state.counters["strokes"] = static_cast<double>(strokes.size());
    state.counters["candidates"] = HWKernel_GetCandTotal(kernel);
}

// Repetitions with their fastest: on a busy machine the fastest repetition
// is the one least disturbed.
void Configure(benchmark::internal::Benchmark *b) {
    b->Unit(benchmark::kMillisecond)
        ->Repetitions(9)
        ->ReportAggregatesOnly(true)
        ->ComputeStatistics("min", [](const std::vector<double> &v) { return *std::min_element(v.begin(), v.end()); });
}

}  // namespace

BENCHMARK_CAPTURE(WriteLine, one, std::string("one"))->Apply(Configure);
BENCHMARK_CAPTURE(WriteLine, shi, std::string("shi"))->Apply(Configure);
BENCHMARK_CAPTURE(WriteLine, xuexi, std::string("xuexi"))->Apply(Configure);
BENCHMARK_CAPTURE(WriteLine, yi, std::string("yi"))->Apply(Configure);
BENCHMARK_CAPTURE(WriteLine, zhongguo, std::string("zhongguo"))->Apply(Configure);
