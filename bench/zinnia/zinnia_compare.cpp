// SPDX-License-Identifier: MIT
// Measures the open recogniser Zinnia on stroke samples in JSONL form
// ({"char", "width", "height", "strokes": [[[x, y], ...], ...]}, y down):
// top-1 and top-10 accuracy against "char", and the time of each classify
// call (mean and median, steady_clock) and of the whole pass (building each
// character and classifying it). With --thin=TOL every stroke is first
// vertex-reduced with Douglas-Peucker at TOL units of a box whose longer side,
// that of the sample's ink, is 1024 units, as `penrune tosamples --thin` does.
//
//   zinnia_compare [--thin=TOL] MODEL SAMPLES.jsonl
//
// bench/zinnia/compare.sh installs Zinnia and its model, builds this and
// runs it on the real learner set.
#include <zinnia.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "SynthGeometry.h"

namespace {

using Clock = std::chrono::steady_clock;
using Stroke = std::vector<std::pair<int, int>>;

struct Sample {
    std::string expected;  // UTF-8
    int width = 0, height = 0;
    std::vector<Stroke> strokes;
};

std::vector<Sample> ReadSamples(const std::string &path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::vector<Sample> samples;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        const nlohmann::json record = nlohmann::json::parse(line);
        Sample sample;
        sample.expected = record.at("char").get<std::string>();
        sample.width = record.at("width").get<int>();
        sample.height = record.at("height").get<int>();
        for (const auto &stroke : record.at("strokes")) {
            Stroke points;
            for (const auto &point : stroke) points.emplace_back(point.at(0).get<int>(), point.at(1).get<int>());
            sample.strokes.push_back(std::move(points));
        }
        samples.push_back(std::move(sample));
    }
    return samples;
}

// Longer side of the box around all points of the sample.
double InkSpan(const Sample &sample) {
    int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN;
    for (const Stroke &stroke : sample.strokes)
        for (const auto &[x, y] : stroke) {
            left = std::min(left, x), right = std::max(right, x);
            top = std::min(top, y), bottom = std::max(bottom, y);
        }
    return left > right ? 0.0 : std::max(right - left, bottom - top);
}

Stroke Thin(const Stroke &stroke, double tolerance) {
    penrune::synth::Stroke line;
    for (const auto &[x, y] : stroke) line.push_back({double(x), double(y)});
    Stroke thinned;
    for (const auto &point : penrune::synth::ReduceVertices(line, tolerance))
        thinned.emplace_back(int(point.x), int(point.y));
    return thinned;
}

// Tolerance in units of a 1024 box, scaled to the sample's own ink.
void ThinAll(std::vector<Sample> &samples, double tolerance) {
    for (Sample &sample : samples) {
        const double scaled = tolerance * InkSpan(sample) / 1024;
        for (Stroke &stroke : sample.strokes) stroke = Thin(stroke, scaled);
    }
}

void Fill(zinnia_character_t *character, const Sample &sample) {
    zinnia_character_clear(character);
    zinnia_character_set_width(character, sample.width);
    zinnia_character_set_height(character, sample.height);
    for (std::size_t id = 0; id < sample.strokes.size(); ++id)
        for (const auto &[x, y] : sample.strokes[id]) zinnia_character_add(character, id, x, y);
}

// Rank (0-based) of the expected value among the results, or -1.
int RankOf(zinnia_result_t *result, const std::string &expected) {
    if (!result) return -1;
    for (std::size_t i = 0; i < zinnia_result_size(result); ++i)
        if (expected == zinnia_result_value(result, i)) return static_cast<int>(i);
    return -1;
}

std::size_t MissingFromModel(zinnia_recognizer_t *recognizer, const std::vector<Sample> &samples) {
    std::set<std::string> known;
    for (std::size_t i = 0; i < zinnia_recognizer_size(recognizer); ++i)
        known.insert(zinnia_recognizer_value(recognizer, i));
    std::set<std::string> missing;
    for (const Sample &sample : samples)
        if (!known.count(sample.expected)) missing.insert(sample.expected);
    return missing.size();
}

double Percent(int part, std::size_t whole) { return whole ? 100.0 * part / whole : 0.0; }

void Evaluate(zinnia_recognizer_t *recognizer, const std::vector<Sample> &samples) {
    zinnia_character_t *character = zinnia_character_new();
    std::vector<double> classifyUs;
    int top1 = 0, top10 = 0;
    std::size_t points = 0, strokes = 0;
    const auto passStart = Clock::now();
    for (const Sample &sample : samples) {
        Fill(character, sample);
        const auto start = Clock::now();
        zinnia_result_t *result = zinnia_recognizer_classify(recognizer, character, 10);
        classifyUs.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        const int rank = RankOf(result, sample.expected);
        top1 += rank == 0;
        top10 += rank >= 0;
        if (result) zinnia_result_destroy(result);
        for (const Stroke &stroke : sample.strokes) points += stroke.size();
        strokes += sample.strokes.size();
    }
    const double passMs = std::chrono::duration<double, std::milli>(Clock::now() - passStart).count();
    zinnia_character_destroy(character);

    double mean = 0;
    for (double us : classifyUs) mean += us;
    mean = classifyUs.empty() ? 0 : mean / classifyUs.size();
    std::sort(classifyUs.begin(), classifyUs.end());
    const std::size_t n = classifyUs.size();
    const double median = n == 0 ? 0 : (classifyUs[(n - 1) / 2] + classifyUs[n / 2]) / 2;

    std::printf("samples: %zu\n", samples.size());
    std::printf("characters missing from the model: %zu\n", MissingFromModel(recognizer, samples));
    std::printf("points per stroke: %.1f\n", strokes ? double(points) / strokes : 0.0);
    std::printf("top-1: %.1f %%\n", Percent(top1, n));
    std::printf("top-10: %.1f %%\n", Percent(top10, n));
    std::printf("classify mean: %.0f us\n", mean);
    std::printf("classify median: %.0f us\n", median);
    std::printf("whole pass: %.1f ms\n", passMs);
}

}  // namespace

int main(int argc, char **argv) {
    double thin = 0;
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        char *end = nullptr;
        if (arg.rfind("--thin=", 0) == 0)
            thin = std::strtod(arg.c_str() + 7, &end);
        else
            positional.push_back(arg);
        if (end && (*end || end == arg.c_str() + 7)) thin = -1;
    }
    if (positional.size() != 2 || !(thin >= 0)) {
        std::fprintf(stderr, "usage: zinnia_compare [--thin=TOL] MODEL SAMPLES.jsonl\n");
        return 2;
    }
    try {
        std::vector<Sample> samples = ReadSamples(positional[1]);
        if (thin > 0) ThinAll(samples, thin);
        zinnia_recognizer_t *recognizer = zinnia_recognizer_new();
        if (!zinnia_recognizer_open(recognizer, positional[0].c_str())) {
            std::fprintf(stderr, "zinnia: %s\n", zinnia_recognizer_strerror(recognizer));
            zinnia_recognizer_destroy(recognizer);
            return 1;
        }
        Evaluate(recognizer, samples);
        zinnia_recognizer_destroy(recognizer);
        return 0;
    } catch (const std::exception &error) {
        std::fprintf(stderr, "zinnia_compare: %s\n", error.what());
        return 1;
    }
}
