// SPDX-License-Identifier: MIT
#include "SampleGen.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

#include "train/HTCode.h"
#include "train/HTSample.h"

namespace penrune::test {
namespace {

constexpr int kCanvasMax = 254;
constexpr double kCanvasCentre = 127.0;
constexpr double kInkStep = 5.0;          // spacing of the points along a stroke
constexpr double kControlJitter = 5.0;    // per-sample move of a control point
constexpr double kPointJitter = 1.0;      // per-point noise
constexpr double kMaxScaleChange = 0.12;  // relative, per axis
constexpr double kMaxShear = 0.10;
constexpr double kMaxRotation = 0.10;  // radians, about 6 degrees
constexpr double kMaxShift = 15.0;

struct Vec {
    double x, y;
};

// Uniform value in [lo, hi) taken from the raw generator output, so the
// sequence is the same with every standard library.
double Uniform(std::mt19937 &rng, double lo, double hi) {
    return lo + (hi - lo) * (static_cast<double>(rng() >> 8) / 16777216.0);
}

int UniformInt(std::mt19937 &rng, int lo, int hi) {
    return lo + static_cast<int>(rng() % static_cast<std::uint32_t>(hi - lo + 1));
}

// A class template: strokes as polylines of control points.
std::vector<std::vector<Vec>> MakeTemplate(const SampleSetPlan &plan, int classIndex) {
    std::seed_seq seed{plan.templateSeed, static_cast<std::uint32_t>(classIndex), 0x7E3Du};
    std::mt19937 rng(seed);
    std::vector<std::vector<Vec>> strokes(UniformInt(rng, 2, 4));
    for (auto &stroke : strokes) {
        stroke.resize(UniformInt(rng, 2, 4));
        for (Vec &v : stroke) v = {Uniform(rng, 20, 235), Uniform(rng, 20, 235)};
    }
    return strokes;
}

std::uint8_t ToCanvas(double v) {
    return static_cast<std::uint8_t>(std::lround(std::fmin(std::fmax(v, 0.0), kCanvasMax)));
}

// Points every kInkStep units along the polyline, both ends included.
SampleStroke Trace(const std::vector<Vec> &controls, std::mt19937 &rng) {
    SampleStroke out;
    auto emit = [&](Vec v) {
        out.push_back({ToCanvas(v.x + Uniform(rng, -kPointJitter, kPointJitter)),
                       ToCanvas(v.y + Uniform(rng, -kPointJitter, kPointJitter))});
    };
    for (size_t i = 0; i + 1 < controls.size(); ++i) {
        const Vec a = controls[i], b = controls[i + 1];
        const double length = std::hypot(b.x - a.x, b.y - a.y);
        const int steps = std::max(1, static_cast<int>(length / kInkStep));
        for (int s = 0; s < steps; ++s) {
            const double t = static_cast<double>(s) / steps;
            emit({a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)});
        }
    }
    emit(controls.back());
    return out;
}

void WriteBytes(const std::string &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out) throw std::runtime_error("cannot write " + path);
}

// The strokes of sample `sample` of class `classIndex`.
std::vector<SampleStroke> MakeSample(const SampleSetPlan &plan, int classIndex, int sample) {
    std::seed_seq seed{plan.templateSeed, plan.noiseSeed, static_cast<std::uint32_t>(classIndex),
                       static_cast<std::uint32_t>(sample)};
    std::mt19937 rng(seed);
    const double sx = 1.0 + Uniform(rng, -kMaxScaleChange, kMaxScaleChange);
    const double sy = 1.0 + Uniform(rng, -kMaxScaleChange, kMaxScaleChange);
    const double shear = Uniform(rng, -kMaxShear, kMaxShear);
    const double angle = Uniform(rng, -kMaxRotation, kMaxRotation);
    const Vec shift{Uniform(rng, -kMaxShift, kMaxShift), Uniform(rng, -kMaxShift, kMaxShift)};
    const double c = std::cos(angle), s = std::sin(angle);
    auto distort = [&](Vec v) {
        const double x = (v.x - kCanvasCentre) * sx + (v.y - kCanvasCentre) * shear;
        const double y = (v.y - kCanvasCentre) * sy;
        return Vec{kCanvasCentre + c * x - s * y + shift.x, kCanvasCentre + s * x + c * y + shift.y};
    };

    std::vector<SampleStroke> strokes;
    for (std::vector<Vec> controls : MakeTemplate(plan, classIndex)) {
        for (Vec &v : controls) {
            v = distort({v.x + Uniform(rng, -kControlJitter, kControlJitter),
                         v.y + Uniform(rng, -kControlJitter, kControlJitter)});
        }
        strokes.push_back(Trace(controls, rng));
    }
    return strokes;
}

}  // namespace

std::vector<std::uint8_t> EncodeSampleRecord(std::uint16_t code, const std::vector<SampleStroke> &strokes) {
    std::vector<std::uint8_t> record;
    if (!AppendSampleRecord(record, code, strokes)) throw std::runtime_error("sample record too long");
    return record;
}

std::vector<std::uint16_t> WriteSampleSet(const std::string &dir, const SampleSetPlan &plan) {
    if (plan.files < 1 || plan.classes < 1 || plan.firstCode + plan.classes > 0xFFFE)
        throw std::invalid_argument("bad sample set description");
    std::filesystem::create_directories(dir);
    std::vector<std::string> files(static_cast<size_t>(plan.files));
    std::vector<std::uint16_t> codes;
    for (int c = 0; c < plan.classes; ++c) codes.push_back(static_cast<std::uint16_t>(plan.firstCode + c));
    for (int s = 0; s < plan.samplesPerClass; ++s) {
        for (int c = 0; c < plan.classes; ++c) {
            const auto record = EncodeSampleRecord(codes[static_cast<size_t>(c)], MakeSample(plan, c, s));
            files[static_cast<size_t>(s % plan.files)].append(record.begin(), record.end());
        }
    }
    for (int f = 0; f < plan.files; ++f) {
        char name[32];
        std::snprintf(name, sizeof name, "/samples_%03d.dat", f);
        WriteBytes(dir + name, files[static_cast<size_t>(f)]);
    }
    return codes;
}

void WriteCodeTable(const std::string &dir, const std::vector<std::pair<std::uint16_t, int>> &codes) {
    std::filesystem::create_directories(dir);
    std::string numbers, members;
    for (const auto &[code, nodeNum] : codes) {
        char text[8];
        const std::string character(text, static_cast<size_t>(HTCode_DecodeToUTF8(code, text, sizeof text)));
        numbers += character + " " + std::to_string(nodeNum) + "\n";
        members += character + "\n";
    }
    WriteBytes(dir + "/char_number.txt", numbers);
    WriteBytes(dir + "/char_bit0.txt", members);
}

void WriteCharsetDir(const std::string &dir, const std::vector<std::uint16_t> &codes, int nodeNum) {
    std::vector<std::pair<std::uint16_t, int>> table;
    for (std::uint16_t code : codes) table.emplace_back(code, nodeNum);
    WriteCodeTable(dir, table);
}

void WriteTinyTrainingSet(const std::string &root) {
    SampleSetPlan plan;
    plan.classes = 15;
    plan.samplesPerClass = 30;
    plan.files = 3;
    const std::vector<std::uint16_t> codes = WriteSampleSet(root + "/train", plan);
    plan.samplesPerClass = 8;
    plan.files = 1;
    plan.noiseSeed = 2;
    WriteSampleSet(root + "/test", plan);
    WriteCharsetDir(root + "/charset", codes, 4);
}

}  // namespace penrune::test
