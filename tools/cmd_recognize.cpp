// SPDX-License-Identifier: MIT
// penrune recognize: feeds one line of handwriting, stroke by stroke, to a
// kernel instance with the embedded model and lexicon (or those of
// --model and --lexicon) and prints the ranked candidates.
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

#include "Args.h"
#include "Command.h"
#include "Input.h"
#include "KernelSession.h"
#include "StrokeJson.h"

namespace {

using Json = nlohmann::json;
using penrune::InputError;
using penrune::ParseStrokes;
using penrune::Stroke;

struct Options {
    std::string path;
    std::string model;    // empty: the embedded model
    std::string lexicon;  // empty: the embedded lexicon
    bool each = false;
    bool json = false;
    bool classic = false;
};

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
    penrune::KernelSession kernel(options.classic ? HW_MODE_CLASSIC : HW_MODE_LINE, options.model, options.lexicon);
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
    penrune::Args args(argc, argv);
    options->each = args.Flag("each");
    options->json = args.Flag("json");
    options->classic = args.Flag("classic");
    args.Text("model", options->model);
    args.Text("lexicon", options->lexicon);
    args.Finish();
    if (args.Positional().size() != 1) return false;
    options->path = args.Positional()[0];
    return true;
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

static penrune::RegisterCommand reg("recognize", &Main,
                                    "FILE [--each] [--json] [--classic] [--model=FILE] [--lexicon=FILE]",
                                    "Recognise one line of handwriting given as JSON strokes [[[x,y],...],...] "
                                    "(coordinates 0-65534; FILE - reads standard input) and print the ranked "
                                    "candidates, after every stroke with --each, as JSON with --json. The line "
                                    "mode reads the line; --classic prints the classic list (the histogram "
                                    "segmentation's string, lexicon phrases and completions). --model and --lexicon "
                                    "take a model and a lexicon image from files (e.g. share/penrune/models/"
                                    "gb2312.dat and gb2312.lex) in place of the embedded ones.");
