// SPDX-License-Identifier: MIT
// Speed of the feature path run for every recognised character: conversion
// of raw pen points, normalisation and feature extraction, and the
// projection to 64 values.
//
//   build/bench/feature_bench --benchmark_repetitions=10
//                             --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#include "CharacterGen.h"
#include "penrune/HRFeature.h"

namespace {

constexpr int kCharacters = 64;
// Realistic handwriting: 10..15 strokes of 15..30 points (200..400 points).
constexpr int kMinStrokes = 10, kMaxStrokes = 15;
constexpr int kMinPoints = 200, kMaxPoints = 400;
// Host units per 8-bit unit for the raw-point benchmark (a ~1000 unit pad).
constexpr int kHostScale = 4;
// Magnitude of the model's projection matrix elements.
constexpr int kMatrixRange = 3100;

std::vector<std::vector<_HR_POINT8>> MakeCharacters() {
    std::mt19937 rng(42);
    std::uniform_int_distribution<int> strokes(kMinStrokes, kMaxStrokes);
    std::vector<std::vector<_HR_POINT8>> out;
    while (out.size() < kCharacters) {
        const int s = strokes(rng);
        const int perStroke = std::uniform_int_distribution<int>(kMinPoints / s, kMaxPoints / s)(rng);
        out.push_back(penrune::test::SmoothCharacter(rng, s, perStroke));
    }
    return out;
}

const std::vector<std::vector<_HR_POINT8>> &Characters() {
    static const auto characters = MakeCharacters();
    return characters;
}

std::vector<HR_INT16> MakeMatrix() {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> element(-kMatrixRange, kMatrixRange);
    std::vector<HR_INT16> matrix(HR_FEATURE_PROJECTED_DIM * HR_FEATURE_DIM);
    for (auto &value : matrix) value = static_cast<HR_INT16>(element(rng));
    return matrix;
}

void BM_Extract1024DimFeature(benchmark::State &state) {
    const auto &characters = Characters();
    std::vector<_HR_POINT8> work(kMaxPoints * 2);
    std::vector<HR_INT16> v(HR_FEATURE_DIM);
    size_t next = 0;
    for (auto _ : state) {
        const auto &c = characters[next++ % characters.size()];
        std::copy(c.begin(), c.end(), work.begin());
        HRFeature_Extract1024DimFeature(work.data(), static_cast<HR_UINT16>(c.size()), v.data());
        benchmark::DoNotOptimize(v.data());
    }
}
BENCHMARK(BM_Extract1024DimFeature);

void BM_Transform(benchmark::State &state) {
    const auto matrix = MakeMatrix();
    std::vector<_HR_POINT8> work = Characters().front();
    std::vector<HR_INT16> v(HR_FEATURE_DIM), out(HR_FEATURE_PROJECTED_DIM);
    HRFeature_Extract1024DimFeature(work.data(), static_cast<HR_UINT16>(work.size()), v.data());
    for (auto _ : state) {
        HRFeature_Transform(v.data(), HR_FEATURE_DIM, out.data(), HR_FEATURE_PROJECTED_DIM, matrix.data());
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_Transform);

// Raw 16-bit points to the projected feature, as the recognizer does it.
void BM_FeaturePath(benchmark::State &state) {
    const auto matrix = MakeMatrix();
    std::vector<std::vector<_HR_POINT16>> raw;
    for (const auto &c : Characters()) raw.push_back(penrune::test::ToPoint16(c, kHostScale));
    std::vector<_HR_POINT8> work(kMaxPoints * 2);
    std::vector<HR_INT16> v(HR_FEATURE_DIM), out(HR_FEATURE_PROJECTED_DIM);
    size_t next = 0;
    for (auto _ : state) {
        const auto &c = raw[next++ % raw.size()];
        const auto n = static_cast<HR_UINT16>(c.size());
        HRFeature_Point16ToPoint8(c.data(), n, work.data());
        HRFeature_Extract1024DimFeature(work.data(), n, v.data());
        HRFeature_Transform(v.data(), HR_FEATURE_DIM, out.data(), HR_FEATURE_PROJECTED_DIM, matrix.data());
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_FeaturePath);

}  // namespace
