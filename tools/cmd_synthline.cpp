// SPDX-License-Identifier: MIT
// penrune synthline: writes one synthetic line of handwriting as the JSON
// strokes that `penrune recognize` reads, the characters side by side.
//
// Used to make the bundled examples: each character is synthesised from the
// stroke sources with a seed of its own (never one used for training), then
// placed in its own square of the line.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "Args.h"
#include "Command.h"
#include "penrune/HWUtils.h"
#include "SynthParams.h"
#include "SynthPen.h"
#include "SynthSource.h"

namespace {

using namespace penrune::synth;

// Each character fills a square of kCellSize units; squares stand kCellStep
// apart, so neighbours leave a clear gap as a writer does on a line.
constexpr double kCellSize = 400;
constexpr double kCellStep = 560;
constexpr double kMargin = 100;

std::vector<std::uint16_t> DecodeText(const std::string &text) {
    std::vector<std::uint16_t> codes(text.size());
    const int n =
        HR_utf8_to_utf16(text.c_str(), static_cast<int>(text.size()), codes.data(), static_cast<int>(codes.size()));
    codes.resize(static_cast<std::size_t>(n));
    return codes;
}

// The ink scaled so that its longer side spans kCellSize, centred in cell i.
nlohmann::json PlaceInCell(const Ink &ink, int cell) {
    const Box box = Bounds(ink);
    const double width = box.right - box.left, height = box.bottom - box.top;
    const double side = std::max(width, height);
    const double scale = side > 0 ? kCellSize / side : 1.0;
    const double left = kMargin + cell * kCellStep + (kCellSize - width * scale) / 2;
    const double top = kMargin + (kCellSize - height * scale) / 2;
    nlohmann::json strokes = nlohmann::json::array();
    for (const Stroke &stroke : ink) {
        nlohmann::json points = nlohmann::json::array();
        for (const Point &p : stroke)
            points.push_back({static_cast<int>(left + (p.x - box.left) * scale + 0.5),
                              static_cast<int>(top + (p.y - box.top) * scale + 0.5)});
        if (!points.empty()) strokes.push_back(points);
    }
    return strokes;
}

int Main(int argc, char **argv) {
    penrune::Args options(argc, argv);
    long long seed = 1;
    options.Integer("seed", seed, 0, std::numeric_limits<long long>::max());
    options.Finish();
    const std::vector<std::string> &args = options.Positional();
    if (args.size() < 3) {
        return penrune::UsageError("synthline");
    }
    HandLibrary library;
    for (std::size_t i = 2; i < args.size(); ++i) library.Add(ReadHands(args[i]), 1.0);
    nlohmann::json line = nlohmann::json::array();
    int cell = 0;
    for (std::uint16_t code : DecodeText(args[0])) {
        Random rng(Random::SampleSeed(static_cast<std::uint64_t>(seed), code, 0));
        const Ink *hand = library.Pick(code, rng);
        if (hand == nullptr) {
            char name[8];
            std::snprintf(name, sizeof name, "%04X", code);
            throw std::runtime_error(std::string("no stroke source has the character U+") + name);
        }
        for (const auto &stroke : PlaceInCell(Synthesize(*hand, SynthParams(), rng), cell++)) line.push_back(stroke);
    }
    std::ofstream out(args[1]);
    out << line.dump() << "\n";
    if (!out) throw std::runtime_error("cannot write " + args[1]);
    return 0;
}

const penrune::RegisterCommand reg("synthline", &Main, "[--seed=N] TEXT OUTPUT.json SOURCE.jsonl...",
                                   "Synthesise one line of handwriting as JSON strokes, the characters side by "
                                   "side (a SOURCE - reads standard input).");

}  // namespace
