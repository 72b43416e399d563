// SPDX-License-Identifier: MIT
// Throughput of the feature stages of training (original features, coarse
// statistics with the discriminant transform, compression, sorting, random
// sets) on a generated sample set of 400 classes x 50 samples. Each stage
// reports samples per second of CPU time as items_per_second (the sample
// files are small enough to stay in the page cache); the stage log is
// silenced.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "train/HTCode.h"
#include "train/HTFeat.h"
#include "SampleGen.h"
#include "TempDir.h"

namespace {

namespace fs = std::filesystem;
using penrune::test::SampleSetPlan;

constexpr int kClasses = 400;
constexpr int kSamplesPerClass = 50;
constexpr int kSamples = kClasses * kSamplesPerClass;

// Working directory with the generated samples and the outputs of every
// stage run so far; built on first use and removed at exit.
struct Workspace {
    penrune::test::TempDir root;
    std::string samples = root.File("samples"), orig = root.File("feat_orig"), coarse = root.File("feat_coarse"),
                coa = coarse + "/coarse_training.coa", comp = root.File("feat_comp"), sort = root.File("feat_sort"),
                rand = root.File("feat_rand");
    int stagesDone = 0;

    Workspace() {
        for (const std::string &dir : {orig, coarse, comp, sort, rand}) fs::create_directories(dir);
        SampleSetPlan plan;
        plan.classes = kClasses;
        plan.samplesPerClass = kSamplesPerClass;
        plan.files = 10;
        const auto codes = penrune::test::WriteSampleSet(samples, plan);
        penrune::test::WriteCharsetDir(root.File("charset"), codes);
        Quiet([&] { return HTCode_Initialize(root.File("charset").c_str(), 0xFFFF); });
    }

    // Runs f with standard output sent to /dev/null (the stage log echoes
    // every line there) and returns its result.
    template <class F>
    static int Quiet(F f) {
        std::fflush(stdout);
        const int saved = dup(STDOUT_FILENO);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        const int result = f();
        std::fflush(stdout);
        dup2(saved, STDOUT_FILENO);
        close(null);
        close(saved);
        return result;
    }

    int RunStage(int stage) {
        switch (stage) {
            case 1:
                return Quiet([&] { return HTFeat_OrigFeature(samples.c_str(), orig.c_str()); });
            case 2:
                return Quiet([&] { return HTFeat_Coarse(orig.c_str(), coarse.c_str(), coa.c_str()); });
            case 3:
                return Quiet([&] { return HTFeat_CompFeature(orig.c_str(), coa.c_str(), comp.c_str()); });
            case 4:
                return Quiet([&] { return HTFeat_SortFeature(comp.c_str(), sort.c_str()); });
            default:
                return Quiet([&] { return HTFeat_RandFeature(sort.c_str(), rand.c_str()); });
        }
    }

    // Makes sure the stages before `stage` have run once.
    void Prepare(int stage) {
        for (; stagesDone + 1 < stage; ++stagesDone) {
            if (!RunStage(stagesDone + 1)) std::abort();
        }
    }
};

Workspace &Work() {
    static Workspace work;
    return work;
}

void BM_Stage(benchmark::State &state) {
    const int stage = static_cast<int>(state.range(0));
    Workspace &work = Work();
    work.Prepare(stage);
    for (auto _ : state) {
        if (!work.RunStage(stage)) state.SkipWithError("stage failed");
    }
    if (work.stagesDone < stage) work.stagesDone = stage;
    state.SetItemsProcessed(state.iterations() * kSamples);
}
BENCHMARK(BM_Stage)->DenseRange(1, 5)->Iterations(2)->Unit(benchmark::kMillisecond);

// The scatter accumulation alone (one weighted 1024-value outer product per
// sample on the packed triangle), on real feature vectors of the sample set.
void BM_CoarseAccumulation(benchmark::State &state) {
    Workspace &work = Work();
    work.Prepare(2);
    constexpr int kBatch = 512;
    constexpr int kStride = HT_FEAT_DIM + 8;
    std::vector<double> rows(static_cast<size_t>(kBatch) * kStride);
    std::vector<double> weights(kBatch, 1.0 / kSamplesPerClass);
    FILE *fp = std::fopen((work.orig + "/samples_000.ori").c_str(), "rb");
    std::vector<unsigned char> record(HT_FEAT_ORI_RECORD);
    for (int s = 0; s < kBatch; ++s) {
        if (fp == nullptr || std::fread(record.data(), record.size(), 1, fp) != 1) std::abort();
        for (int i = 0; i < HT_FEAT_DIM; ++i) {
            rows[static_cast<size_t>(s) * kStride + i] = record[2 + 2 * i] | (record[3 + 2 * i] << 8);
        }
    }
    std::fclose(fp);
    std::vector<double> packed(static_cast<size_t>(HT_FEAT_DIM) * (HT_FEAT_DIM + 1) / 2, 0.0);
    for (auto _ : state) {
        HTFeat_CoarseAddOuterProducts(packed.data(), HT_FEAT_DIM, rows.data(), kStride, weights.data(), kBatch);
        benchmark::DoNotOptimize(packed.data());
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_CoarseAccumulation)->Unit(benchmark::kMillisecond);

}  // namespace
