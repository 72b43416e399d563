// SPDX-License-Identifier: MIT
#include "SynthSample.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <stdexcept>

#include "train/HTSample.h"

namespace penrune::synth {

namespace {

std::uint8_t ToByte(double value) {
    return static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, long{kMaxCoordinate}));
}

}  // namespace

ByteInk Quantize(const Ink &ink, double size, double left, double top) {
    const Box box = Bounds(ink);
    const double span = std::max(box.right - box.left, box.bottom - box.top);
    const double scale = span > 0 ? size / span : 0;
    ByteInk bytes;
    for (const Stroke &stroke : ink) {
        ByteStroke out;
        for (const Point &p : stroke) {
            const BytePoint b{ToByte(left + (p.x - box.left) * scale), ToByte(top + (p.y - box.top) * scale)};
            if (out.empty() || out.back().x != b.x || out.back().y != b.y) out.push_back(b);
        }
        if (!out.empty()) bytes.push_back(std::move(out));
    }
    return bytes;
}

ByteInk PlaceRandomly(const Ink &ink, const SynthParams &params, Random &rng) {
    const double size = rng.Uniform(params.sizeMin, params.sizeMax);
    const Box box = Bounds(ink);
    const double span = std::max(box.right - box.left, box.bottom - box.top);
    const double scale = span > 0 ? size / span : 0;
    const double left = rng.Uniform(0, kMaxCoordinate - (box.right - box.left) * scale);
    const double top = rng.Uniform(0, kMaxCoordinate - (box.bottom - box.top) * scale);
    return Quantize(ink, size, left, top);
}

bool AppendRecord(std::vector<std::uint8_t> &out, std::uint16_t code, const ByteInk &ink) {
    const bool inked = std::any_of(ink.begin(), ink.end(), [](const ByteStroke &stroke) { return !stroke.empty(); });
    return inked && AppendSampleRecord(out, code, ink);
}

void WriteFileBytes(const std::string &path, const std::vector<std::uint8_t> &bytes) {
    std::unique_ptr<FILE, int (*)(FILE *)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!file) throw std::runtime_error("cannot create " + path);
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size())
        throw std::runtime_error("cannot write " + path);
    if (std::fclose(file.release()) != 0) throw std::runtime_error("cannot write " + path);
}

}  // namespace penrune::synth
