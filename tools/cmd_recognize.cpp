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
#include "HWKernel.h"
#include "StrokeJson.h"

namespace {

using Json = nlohmann::json;
using penrune::InputError;
using penrune::ParseStrokes;
using penrune::Stroke;

struct Options {
    std::string path;
    bool each = false;
    bool json = false;
};

std::string ReadWholeFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw InputError("cannot open file");
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) throw InputError("cannot read file");
    return content.str();
}

// A kernel instance in memory aligned for pointers.
class Kernel {
public:
    Kernel() : block_((HWKernel_GetInstanceSize() + sizeof(HR_UINT64) - 1) / sizeof(HR_UINT64)) {
        kernel_ = HWKernel_Initialize(block_.data(), 0, nullptr);
        if (kernel_ == nullptr) throw std::runtime_error("kernel initialisation failed");
    }
    ~Kernel() { HWKernel_Terminate(kernel_); }
    Kernel(const Kernel &) = delete;
    Kernel &operator=(const Kernel &) = delete;

    bool Add(const Stroke &stroke) {
        return HWKernel_AddStroke(kernel_, stroke.data(), static_cast<HR_UINT32>(stroke.size())) != 0;
    }

    // The current candidate list: text as UTF-8 and score of each.
    Json Candidates() const {
        Json list = Json::array();
        HR_UINT32 total = HWKernel_GetCandTotal(kernel_);
        for (HR_UINT32 i = 0; i < total; ++i) {
            HR_UINT16 index = static_cast<HR_UINT16>(i);
            list.push_back(
                {{"rank", i + 1}, {"text", Text(index)}, {"score", PYCand_GetItem(&kernel_->cand, index)->score}});
        }
        return list;
    }

private:
    std::string Text(HR_UINT16 index) const {
        std::string text(64, '\0');
        HR_INT32 needed = HWKernel_GetCandItemUtf8(kernel_, index, &text[0], static_cast<HR_UINT16>(text.size()));
        if (needed >= static_cast<HR_INT32>(text.size())) {
            text.assign(static_cast<size_t>(needed) + 1, '\0');
            HWKernel_GetCandItemUtf8(kernel_, index, &text[0], static_cast<HR_UINT16>(text.size()));
        }
        text.resize(static_cast<size_t>(needed));
        return text;
    }

    std::vector<HR_UINT64> block_;
    _HW_KERNEL *kernel_ = nullptr;
};

void PrintPass(const Options &options, size_t strokes, const Json &candidates) {
    if (options.each) std::printf("stroke %zu\n", strokes);
    for (const Json &c : candidates)
        std::printf("%u\t%s\t%u\n", c["rank"].get<unsigned>(), c["text"].get<std::string>().c_str(),
                    c["score"].get<unsigned>());
}

int Run(const Options &options) {
    std::vector<Stroke> strokes = ParseStrokes(ReadWholeFile(options.path));
    Kernel kernel;
    Json passes = Json::array();
    for (size_t s = 0; s < strokes.size(); ++s) {
        if (!kernel.Add(strokes[s]))
            throw InputError("stroke " + std::to_string(s + 1) + ": refused (too many points or strokes)");
        if (!options.each && s + 1 != strokes.size()) continue;
        Json pass = {{"strokes", s + 1}, {"candidates", kernel.Candidates()}};
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
        else if (options->path.empty() && !arg.empty() && arg[0] != '-')
            options->path = arg;
        else
            return false;
    }
    return !options->path.empty();
}

int Main(int argc, char **argv) {
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        std::fprintf(stderr, "usage: penrune recognize FILE [--each] [--json]\n");
        return 2;
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
                                    "FILE [--each] [--json] -- recognise one line of handwriting given as JSON "
                                    "strokes [[[x,y],...],...] and print the ranked candidates");
