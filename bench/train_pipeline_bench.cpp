// SPDX-License-Identifier: MIT
// The whole training pipeline (stages 1-8 of HTTrain_Process, the function
// behind `penrune train`) on a generated sample set: 400 classes of distinct
// stroke shapes, 50 training and 10 test samples each, node number 4.
// Reports the wall time of the run and, as counters, the seconds each stage
// logged ("time = M:S(s)" after its begin line).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

#include "train/HTTrain.h"
#include "SampleGen.h"
#include "TempDir.h"

namespace {

namespace pt = penrune::test;

constexpr int kClasses = 400;
constexpr int kTrainSamples = 50;
constexpr int kTestSamples = 10;

// Seconds per stage from the training log, keyed by the stage's begin line.
void CountStageTimes(const std::string &logPath, benchmark::State &state) {
    std::ifstream in(logPath);
    std::regex begin("^(\\S.*) begin\\.$"), time("^time = (\\d+):(\\d+)\\(s\\)$");
    std::string line, stage;
    std::smatch m;
    while (std::getline(in, line)) {
        if (std::regex_match(line, m, begin))
            stage = m[1];
        else if (std::regex_match(line, m, time) && !stage.empty())
            state.counters[stage] = std::stoi(m[1]) * 60 + std::stoi(m[2]);
    }
}

void BM_TrainPipeline(benchmark::State &state) {
    penrune::test::TempDir dir;
    pt::SampleSetPlan plan;
    plan.classes = kClasses;
    plan.samplesPerClass = kTrainSamples;
    plan.files = 10;
    auto codes = pt::WriteSampleSet(dir.File("train"), plan);
    plan.samplesPerClass = kTestSamples;
    plan.files = 1;
    plan.noiseSeed = 2;
    pt::WriteSampleSet(dir.File("test"), plan);
    pt::WriteCharsetDir(dir.File("charset"), codes, 4);
    for (auto _ : state) {
        std::filesystem::remove_all(dir.File("work"));
        HTTrain_Process(dir.File("charset").c_str(), dir.File("train").c_str(), dir.File("test").c_str(),
                        dir.File("work/model.dat").c_str(), dir.File("train.log").c_str(), dir.File("work").c_str(),
                        dir.File("out").c_str(), "bench", 1);
    }
    CountStageTimes(dir.File("train.log"), state);
    std::ifstream step(dir.File("work/train_step.log"));
    int reached = 0;
    step >> reached;
    if (reached != HT_TRAIN_STEP_DONE) state.SkipWithError("the training run did not finish");
}

BENCHMARK(BM_TrainPipeline)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
