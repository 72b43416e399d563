// SPDX-License-Identifier: MIT
// penrune synth: writes synthetic handwriting sample files from stroke
// sources. penrune tosamples: converts stroke JSONL files (real samples)
// into sample files as they are, optionally vertex-reduced.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "Args.h"
#include "Command.h"
#include "train/HTCode.h"
#include "train/HTPlatform.h"
#include "SynthPen.h"
#include "SynthSample.h"
#include "SynthSource.h"

namespace penrune {
namespace {

using namespace synth;

struct SynthOptions {
    int samples = 40;
    int handSamples = 0;  // at least this many samples per hand of a character
    std::uint64_t seed = 1;
    int charsPerFile = 100;
    std::string charsetDir;
    std::string prefix = "synth";
    double thin = 0;  // tosamples: Douglas-Peucker tolerance, 0 = keep every point
    SynthParams params;
    std::vector<std::string> positional;
};

bool ParseNumber(const std::string &text, double &value) {
    char *end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && errno == 0 && *end == '\0';
}

int Count(Args &args, const char *name, int value, int low) {
    long long number = value;
    args.Integer(name, number, low, 1000000000);
    return static_cast<int>(number);
}

// The options of synth and tosamples; the options beyond the fixed ones
// set synthesiser parameters (SynthParams.h).
SynthOptions ParseOptions(int argc, char **argv) {
    Args args(argc, argv);
    SynthOptions options;
    options.samples = Count(args, "samples", options.samples, 1);
    options.handSamples = Count(args, "hand-samples", options.handSamples, 0);
    options.seed = static_cast<std::uint64_t>(Count(args, "seed", static_cast<int>(options.seed), 0));
    options.charsPerFile = Count(args, "chars-per-file", options.charsPerFile, 1);
    args.Text("charset", options.charsetDir);
    args.Text("prefix", options.prefix);
    args.Number("thin", options.thin, 0, HUGE_VAL);
    if (args.Flag("careless")) options.params = CarelessParams();  // the options below refine it
    for (const auto &[name, value] : args.Rest()) {
        double number = 0;
        if (!ParseNumber(value, number) || !SetParam(options.params, name, number))
            throw ArgError("unknown option or bad value: --" + name + "=" + value);
    }
    const std::string problem = ValidateParams(options.params);
    if (!problem.empty()) throw ArgError(problem);
    options.positional = args.Positional();
    return options;
}

// "path" or "path:weight".
void AddSource(HandLibrary &library, const std::string &argument) {
    const std::size_t colon = argument.rfind(':');
    double weight = 1;
    if (colon != std::string::npos && ParseNumber(argument.substr(colon + 1), weight)) {
        library.Add(ReadHands(argument.substr(0, colon)), weight);
    } else {
        library.Add(ReadHands(argument), 1);
    }
}

// The characters of the charset directory's node-number file.
std::set<std::uint16_t> CharsetCodes(const std::string &dir) {
    if (!HTCode_Initialize(dir.c_str(), 0xFFFF)) throw std::runtime_error("cannot read the charset in " + dir);
    std::set<std::uint16_t> codes;
    const _CODE_ITEM *items = HTCode_GetItemPtr();
    for (int i = 0; i < HTCode_GetItemTotal(); ++i) codes.insert(items[i].code);
    HTCode_Terminate();
    return codes;
}

std::string ChunkPath(const std::string &dir, const std::string &prefix, std::size_t chunk) {
    char name[32];
    std::snprintf(name, sizeof name, "_%03zu.smp", chunk);
    return dir + "/" + prefix + name;
}

void MakeDir(const std::string &dir) {
    if (!HT_CreateMultiLevelPath(dir.c_str()) && !HT_IsDir(dir.c_str()))
        throw std::runtime_error("cannot create " + dir);
}

struct SynthTotals {
    std::size_t records = 0;
    std::size_t points = 0;
    std::size_t dropped = 0;  // samples too long for a record
};

// Appends the synthesised samples of one character to a sample file's bytes.
// Characters with many real hands (letters and digits from many writers)
// get enough samples to use every hand.
void SynthesiseCharacter(const HandLibrary &library, std::uint16_t code, const SynthOptions &options,
                         std::vector<std::uint8_t> &bytes, SynthTotals &totals) {
    const std::size_t count = std::max<std::size_t>(options.samples, options.handSamples * library.HandCount(code));
    for (std::size_t s = 0; s < count; ++s) {
        Random rng(Random::SampleSeed(options.seed, code, static_cast<std::uint32_t>(s)));
        const Ink &hand = *library.Pick(code, rng);
        const ByteInk sample = PlaceRandomly(Synthesize(hand, options.params, rng), options.params, rng);
        if (!AppendRecord(bytes, code, sample)) {
            ++totals.dropped;
            continue;
        }
        ++totals.records;
        for (const ByteStroke &stroke : sample) totals.points += stroke.size();
    }
}

// The characters to synthesise: every character with a hand, or those of
// the charset directory when one is given.
std::vector<std::uint16_t> SelectCodes(const HandLibrary &library, const std::string &charsetDir) {
    std::vector<std::uint16_t> codes = library.Codes();
    if (charsetDir.empty()) return codes;
    const std::set<std::uint16_t> wanted = CharsetCodes(charsetDir);
    std::vector<std::uint16_t> kept;
    for (std::uint16_t code : codes)
        if (wanted.count(code)) kept.push_back(code);
    if (kept.size() < wanted.size())
        std::fprintf(stderr, "penrune synth: %zu charset characters have no hand\n", wanted.size() - kept.size());
    return kept;
}

void PrintSynthOptions(std::FILE *out) {
    std::fprintf(out,
                 "options:\n"
                 "  --samples=40 --hand-samples=0 --seed=1 --chars-per-file=100 --charset=DIR --prefix=synth\n"
                 "  (a character gets max(samples, hand-samples x its number of hands) samples)\n"
                 "  --careless  a careless writer's parameters, which the options below refine\n");
    for (const ParamInfo &info : ParamTable())
        std::fprintf(out, "  --%s=%g  %s\n", KebabCase(info.name).c_str(), SynthParams().*info.field, info.help);
}

int SynthMain(int argc, char **argv) {
    const SynthOptions options = ParseOptions(argc, argv);
    if (options.positional.size() < 2) return UsageError("synth");
    const std::string &outDir = options.positional[0];
    HandLibrary library;
    for (std::size_t i = 1; i < options.positional.size(); ++i) AddSource(library, options.positional[i]);
    const std::vector<std::uint16_t> codes = SelectCodes(library, options.charsetDir);
    MakeDir(outDir);
    SynthTotals totals;
    for (std::size_t first = 0; first < codes.size(); first += options.charsPerFile) {
        std::vector<std::uint8_t> bytes;
        const std::size_t last = std::min(codes.size(), first + options.charsPerFile);
        for (std::size_t c = first; c < last; ++c) SynthesiseCharacter(library, codes[c], options, bytes, totals);
        WriteFileBytes(ChunkPath(outDir, options.prefix, first / options.charsPerFile), bytes);
    }
    std::printf("synth: %zu characters, %zu samples (%.1f points each), %zu dropped, in %s\n", codes.size(),
                totals.records, totals.records ? double(totals.points) / totals.records : 0.0, totals.dropped,
                outDir.c_str());
    return 0;
}

// Scales a hand so that the longer side of its box is 1024 units, the frame
// in which the thinning tolerance is given.
Ink ToUnitBox(const Ink &ink) {
    const Box box = Bounds(ink);
    const double span = std::max(box.right - box.left, box.bottom - box.top);
    const double scale = span > 0 ? 1024 / span : 1;
    Ink scaled = ink;
    for (Stroke &stroke : scaled)
        for (Point &p : stroke) p = {(p.x - box.left) * scale, (p.y - box.top) * scale};
    return scaled;
}

int ToSamplesMain(int argc, char **argv) {
    const SynthOptions options = ParseOptions(argc, argv);
    if (options.positional.size() < 2) return UsageError("tosamples");
    const std::string &outDir = options.positional[0];
    MakeDir(outDir);
    for (std::size_t i = 1; i < options.positional.size(); ++i) {
        const std::string &input = options.positional[i];
        std::vector<std::uint8_t> bytes;
        std::size_t records = 0;
        for (const Hand &hand : ReadHands(input)) {
            Ink ink = ToUnitBox(hand.ink);
            if (options.thin > 0)
                for (Stroke &stroke : ink) stroke = ReduceVertices(stroke, options.thin);
            records += AppendRecord(bytes, hand.code, Quantize(ink, kMaxCoordinate, 0, 0)) ? 1 : 0;
        }
        std::string name = input == "-" ? "stdin" : HT_GetFileNameByFilePath(input.c_str());
        name = name.substr(0, name.rfind('.')) + ".smp";
        WriteFileBytes(outDir + "/" + name, bytes);
        std::printf("tosamples: %s -> %s/%s (%zu samples)\n", input.c_str(), outDir.c_str(), name.c_str(), records);
    }
    return 0;
}

RegisterCommand synthCommand("synth", &SynthMain, "[--OPTION=VALUE...] OUT_DIR SOURCE.jsonl[:WEIGHT]...",
                             "Synthesise handwriting sample files from stroke sources (a SOURCE - reads "
                             "standard input).",
                             &PrintSynthOptions);
RegisterCommand toSamplesCommand("tosamples", &ToSamplesMain, "[--thin=TOLERANCE] OUT_DIR INPUT.jsonl...",
                                 "Convert stroke JSONL files into sample files, vertex-reduced with --thin (an "
                                 "INPUT - reads standard input).");

}  // namespace
}  // namespace penrune
