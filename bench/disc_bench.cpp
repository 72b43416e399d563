// SPDX-License-Identifier: MIT
// One MCE training step (HTDisc_GPD: candidate search over every prototype,
// then the prototype update) and the candidate search alone, on random
// prototype sets: 400 classes x 4 prototypes (the pipeline benchmark's
// scale) and 3800 classes x 2 prototypes (about the shipped model's 7500).
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "train/HTDisc.h"

namespace {

struct RandomSet {
    _HT_PROTO_SET *set;
    std::vector<std::vector<float>> samples;

    RandomSet(int classes, int perClass) : set(HTDisc_CreateSet(classes)) {
        std::mt19937 rng(3);
        std::uniform_real_distribution<float> value(-100.0f, 100.0f);
        HR_UINT32 flat = 0;
        for (int c = 0; c < classes; ++c) {
            set->count[c] = (HR_INT8)perClass;
            set->first[c] = flat;
            flat += perClass;
        }
        for (int c = 0; c < classes; ++c)
            for (int k = 1; k <= perClass; ++k)
                for (int j = 0; j < HT_DISC_DIM; ++j) *HTDisc_ProtoAt(set, c, k, j) = value(rng);
        // Samples near a prototype of their class, as trained sets have them.
        std::normal_distribution<float> noise(0.0f, 20.0f);
        for (int s = 0; s < 256; ++s) {
            int c = s % classes;
            std::vector<float> x(HT_DISC_DIM);
            for (int j = 0; j < HT_DISC_DIM; ++j) x[j] = *HTDisc_ProtoAt(set, c, 1, j) + noise(rng);
            samples.push_back(x);
        }
        set->learningRate = 0.01f;
    }
    ~RandomSet() { HTDisc_FreeSet(set); }
};

void BM_GetCandidate(benchmark::State &state) {
    RandomSet r((int)state.range(0), (int)state.range(1));
    size_t s = 0;
    for (auto _ : state) {
        int c = (int)(s % r.samples.size());
        benchmark::DoNotOptimize(
            HTDisc_GetCandidate(r.set, c % r.set->classTotal, r.samples[c].data(), HT_DISC_DIM, r.set->classTotal));
        ++s;
    }
    state.counters["prototypes"] = (double)state.range(0) * state.range(1);
}

void BM_GPD(benchmark::State &state) {
    RandomSet r((int)state.range(0), (int)state.range(1));
    size_t s = 0;
    for (auto _ : state) {
        int c = (int)(s % r.samples.size());
        benchmark::DoNotOptimize(
            HTDisc_GPD(r.set, c % r.set->classTotal, r.samples[c].data(), HT_DISC_DIM, r.set->classTotal));
        ++s;
    }
}

BENCHMARK(BM_GetCandidate)->Args({400, 4})->Args({3800, 2})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GPD)->Args({400, 4})->Args({3800, 2})->Unit(benchmark::kMicrosecond);

}  // namespace
