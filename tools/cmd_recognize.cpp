// SPDX-License-Identifier: MIT
// penrune recognize: feeds one line of handwriting, stroke by stroke, to a
// kernel instance with the embedded model and lexicon and prints the ranked
// candidates.
//
// Input: a JSON array of strokes in writing order, each an array of [x, y]
// points with integer coordinates 0..65534.
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "Command.h"
#include "Input.h"
#include "KernelSession.h"

namespace {

using Json = nlohmann::json;
using Stroke = penrune::KernelStroke;

// Largest coordinate a point may have; 0xFFFF marks stroke ends.
const long long kMaxCoordinate = 65534;

struct InputError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct Options {
    std::string path;
    bool each = false;
    bool json = false;
    bool classic = false;
};

std::string Where(size_t stroke, size_t point) {
    return "stroke " + std::to_string(stroke + 1) + ", point " + std::to_string(point + 1);
}

HR_UINT16 Coordinate(const Json &value, const std::string &where) {
    if (!value.is_number_integer()) throw InputError(where + ": coordinates must be integers");
    bool inRange = value.is_number_unsigned() ? value.get<unsigned long long>() <= kMaxCoordinate
                                              : value.get<long long>() >= 0 && value.get<long long>() <= kMaxCoordinate;
    if (!inRange)
        throw InputError(where + ": coordinate " + value.dump() + " outside 0.." + std::to_string(kMaxCoordinate));
    return static_cast<HR_UINT16>(value.get<long long>());
}

std::vector<Stroke> ParseStrokes(const std::string &text) {
    Json doc;
    try {
        doc = Json::parse(text);
    } catch (const Json::parse_error &e) {
        throw InputError(std::string("malformed JSON: ") + e.what());
    }
    if (!doc.is_array()) throw InputError("expected an array of strokes");
    if (doc.empty()) throw InputError("no strokes");
    std::vector<Stroke> strokes;
    for (size_t s = 0; s < doc.size(); ++s) {
        const Json &stroke = doc[s];
        if (!stroke.is_array()) throw InputError("stroke " + std::to_string(s + 1) + ": expected an array of points");
        if (stroke.empty()) throw InputError("stroke " + std::to_string(s + 1) + ": no points");
        Stroke points;
        for (size_t p = 0; p < stroke.size(); ++p) {
            const Json &point = stroke[p];
            if (!point.is_array() || point.size() != 2) throw InputError(Where(s, p) + ": expected [x, y]");
            points.push_back({Coordinate(point[0], Where(s, p)), Coordinate(point[1], Where(s, p))});
        }
        points.push_back({HR_MARKER16, 0});
        strokes.push_back(std::move(points));
    }
    return strokes;
}

std::string ReadWholeFile(const std::string &path) {
    std::ifstream file;
    std::istream &in = penrune::OpenInput(path, file);
    if (!in) throw InputError("cannot open file");
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) throw InputError("cannot read file");
    return content.str();
}

// The current candidate list: text as UTF-8 and score of each.
Json Candidates(const penrune::KernelSession &kernel) {
    Json list = Json::array();
    for (HR_UINT32 i = 0; i < kernel.Total(); ++i)
        list.push_back({{"rank", i + 1}, {"text", kernel.Text(i)}, {"score", kernel.Score(i)}});
    return list;
}

void PrintPass(const Options &options, size_t strokes, const Json &candidates) {
    if (options.each) std::printf("stroke %zu\n", strokes);
    for (const Json &c : candidates)
        std::printf("%u\t%s\t%lld\n", c["rank"].get<unsigned>(), c["text"].get<std::string>().c_str(),
                    c["score"].get<long long>());
}

int Run(const Options &options) {
    std::vector<Stroke> strokes = ParseStrokes(ReadWholeFile(options.path));
    penrune::KernelSession kernel(options.classic ? HW_MODE_CLASSIC : HW_MODE_LINE);
    Json passes = Json::array();
    for (size_t s = 0; s < strokes.size(); ++s) {
        if (!kernel.Add(strokes[s]))
            throw InputError("stroke " + std::to_string(s + 1) + ": refused (too many points or strokes)");
        if (!options.each && s + 1 != strokes.size()) continue;
        Json pass = {{"strokes", s + 1}, {"candidates", Candidates(kernel)}};
        if (options.json)
            passes.push_back(pass);
        else
            PrintPass(options, s + 1, pass["candidates"]);
    }
    if (options.json) {
        const Json &out = options.each ? passes : passes.back();
        std::printf("%s\n", out.dump(2, ' ', false, Json::error_handler_t::replace).c_str());
    }
    return 0;
}

bool ParseOptions(int argc, char **argv, Options *options) {
    for (int i = 0; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--each")
            options->each = true;
        else if (arg == "--json")
            options->json = true;
        else if (arg == "--classic")
            options->classic = true;
        else if (options->path.empty() && (arg == "-" || (!arg.empty() && arg[0] != '-')))
            options->path = arg;
        else
            return false;
    }
    return !options->path.empty();
}

int Main(int argc, char **argv) {
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        return penrune::UsageError("recognize");
    }
    try {
        return Run(options);
    } catch (const InputError &e) {
        std::fprintf(stderr, "penrune recognize: %s: %s\n", options.path.c_str(), e.what());
    } catch (const std::exception &e) {
        std::fprintf(stderr, "penrune recognize: %s\n", e.what());
    }
    return 1;
}

}  // namespace

static penrune::RegisterCommand reg("recognize", &Main, "FILE [--each] [--json] [--classic]",
                                    "Recognise one line of handwriting given as JSON strokes [[[x,y],...],...] "
                                    "(coordinates 0-65534; FILE - reads standard input) and print the ranked "
                                    "candidates, after every stroke with --each, as JSON with --json. The line "
                                    "mode reads the line; --classic prints the classic list (the histogram "
                                    "segmentation's string, lexicon phrases and completions).");
