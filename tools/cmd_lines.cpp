// SPDX-License-Identifier: MIT
// penrune lines: the line benchmark. Composes lines of handwriting from
// single characters, feeds them stroke by stroke to a kernel instance in
// each mode, and prints how often candidate 1 and the first candidates are
// right, beside the rate of the characters recognised alone at their true
// strokes, and the time of every AddStroke call by strokes held.
//
// Characters come from a sample set given as stroke JSON lines (real ink,
// used as it is) or from stroke sources through the synthesiser (with a
// seed of the benchmark's own). Line texts are lexicon phrases of 2 to 4
// characters, frequent and rare, sequences of characters that are no
// phrase, and long lines of 8 to 12 characters made of phrases; each line
// is composed at three spacings. Everything is drawn from the seed, so a
// run is repeatable.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "Args.h"
#include "Command.h"
#include "penrune/HWUtils.h"
#include "util/HWBytes.h"
#include "KernelSession.h"
#include "LineScore.h"
#include "SynthParams.h"
#include "SynthPen.h"
#include "SynthSource.h"

namespace {

using namespace penrune::synth;
using penrune::EditCounts;
using penrune::KernelSession;
using penrune::KernelStroke;
using Text = penrune::LineText16;

// A character's ink is scaled so that its longer side is about this many
// units, as on a writing pad; gaps and jitter are fractions of it.
constexpr double kCharSize = 1000;
constexpr double kSizeLow = 0.9, kSizeHigh = 1.05;
constexpr double kBaselineJitter = 0.05;
constexpr double kMargin = 200;
// Phrases among the most frequent this many of the list count as frequent.
constexpr std::size_t kFrequentRank = 5000;

struct Spacing {
    const char *name;
    double low, high;  // ink-to-ink gap as a fraction of the character size
};
const Spacing kSpacings[] = {{"normal", 0.05, 0.35}, {"tight", 0.0, 0.08}, {"wide", 0.3, 0.6}};

struct LineText {
    std::string kind;  // "phrase", "rare", "other", "long", or "alone": one character
    Text text;
    int sample = -1;  // for real ink: which sample of the character; -1 draws one
};

struct Options {
    std::string samples;               // stroke JSONL of real characters, used as they are
    std::vector<std::string> sources;  // stroke sources of synthesised characters
    std::string phrases;               // the lexicon's phrase list
    std::string name = "lines";
    std::uint64_t seed = 7001;
    int count = 40;     // lines per kind and spacing
    int longCount = 0;  // long lines per spacing
    std::string modes = "classic,line";
    std::string weights;
    SynthParams synth;  // the synthesiser's parameters, --synth=NAME=V,... changes them
    bool errors = false;
    bool latency = true;
    bool commonOthers = false;  // no-phrase sequences of common characters only
    std::string model;          // empty: the embedded model
    std::string lexicon;        // empty: the embedded lexicon
};

Text Decode(const std::string &s) {
    Text codes(s.size());
    codes.resize(static_cast<std::size_t>(
        HR_utf8_to_utf16(s.c_str(), static_cast<int>(s.size()), codes.data(), static_cast<int>(codes.size()))));
    return codes;
}

std::string Encode(const Text &t) {
    std::string s(t.size() * 3 + 1, '\0');
    int n = HR_utf16_to_utf8(t.data(), static_cast<int>(t.size()), &s[0], static_cast<int>(s.size()));
    s.resize(static_cast<std::size_t>(n));
    return s;
}

// A recognizer over the kernel's model (null: the embedded one).
class Recognizer {
public:
    explicit Recognizer(const HR_UINT8 *model)
        : block_((HRReco_GetInstanceSize() + sizeof(HR_UINT64) - 1) / sizeof(HR_UINT64)) {
        reco_ = HRReco_Initialize(block_.data(), HRReco_GetInstanceSize(), &model);
        if (reco_ == nullptr) throw std::runtime_error("recognizer initialisation failed");
    }
    const _HR_RECO *Get() const { return reco_; }
    // Best candidate of the strokes [first, end).
    std::uint16_t Best(const std::vector<KernelStroke> &strokes, std::size_t first, std::size_t end) {
        std::vector<_HR_POINT16> points;
        for (std::size_t s = first; s < end; ++s) points.insert(points.end(), strokes[s].begin(), strokes[s].end());
        points.push_back({HR_MARKER16, 0xFFFF});
        HR_UINT16 codes[HW_RECO_CANDIDATES], distances[HW_RECO_CANDIDATES];
        HRReco_RecognizeShort(reco_, points.data(), static_cast<HR_UINT16>(points.size()), HW_RECO_CANDIDATES, codes,
                              distances);
        return codes[0];
    }

private:
    std::vector<HR_UINT64> block_;
    _HR_RECO *reco_ = nullptr;
};

// The characters the model can name: a line of others would measure the
// stroke source's breadth, not the kernel.
std::set<std::uint16_t> ModelCodes(const Recognizer &recognizer) {
    const _HR_RECO *reco = recognizer.Get();
    std::set<std::uint16_t> codes;
    for (HR_UINT32 p = 0; p < reco->prototypeCount; ++p) codes.insert(penrune::LoadU16(reco->codes + 2 * p));
    codes.erase(0);
    return codes;
}

// Where the characters of a line come from: those of the source that the
// model can name.
class CharacterSource {
public:
    CharacterSource(const Options &options, std::set<std::uint16_t> named)
        : seed_(options.seed), real_(!options.samples.empty()), named_(std::move(named)), params_(options.synth) {
        if (real_) {
            for (Hand &hand : ReadHands(options.samples)) samples_[hand.code].push_back(std::move(hand.ink));
        } else {
            for (const std::string &path : options.sources) library_.Add(ReadHands(path), 1.0);
        }
    }
    bool Has(std::uint16_t code) const {
        return named_.count(code) != 0 && (real_ ? samples_.count(code) != 0 : library_.HandCount(code) != 0);
    }
    std::vector<std::uint16_t> Codes() const {
        std::vector<std::uint16_t> codes;
        if (real_) {
            for (const auto &entry : samples_) codes.push_back(entry.first);
        } else {
            codes = library_.Codes();
        }
        codes.erase(std::remove_if(codes.begin(), codes.end(), [&](std::uint16_t c) { return !Has(c); }), codes.end());
        return codes;
    }
    std::size_t SampleCount(std::uint16_t code) const { return real_ ? samples_.at(code).size() : 0; }
    // The ink of character `position` of line `line`: real ink `sample`, or
    // a drawn one when sample is -1.
    Ink Get(std::uint16_t code, std::uint32_t line, std::uint32_t position, int sample) const {
        Random rng(Random::SampleSeed(seed_, code, line * 64 + position));
        if (real_) {
            const std::vector<Ink> &inks = samples_.at(code);
            int pick = sample >= 0 ? sample : rng.Below(static_cast<int>(inks.size()));
            return inks[static_cast<std::size_t>(pick)];
        }
        return Synthesize(*library_.Pick(code, rng), params_, rng);
    }

private:
    std::uint64_t seed_;
    bool real_;
    std::set<std::uint16_t> named_;
    SynthParams params_;
    std::map<std::uint16_t, std::vector<Ink>> samples_;
    HandLibrary library_;
};

// Multi-character phrases of the list (most frequent first) whose
// characters the source has.
std::vector<Text> ReadPhrases(const std::string &path, const CharacterSource &source) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot open " + path);
    std::vector<Text> phrases;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string phrase;
        fields >> phrase;
        Text text = Decode(phrase);
        if (text.size() < 2) continue;
        if (std::all_of(text.begin(), text.end(), [&](std::uint16_t c) { return c >= 0x4E00 && source.Has(c); }))
            phrases.push_back(text);
    }
    return phrases;
}

// The characters of the first `frequent` phrases, each once: the common
// characters of which running text that is no phrase is mostly made.
std::vector<std::uint16_t> CommonCharacters(const std::vector<Text> &phrases, std::size_t frequent) {
    std::set<std::uint16_t> common;
    for (std::size_t i = 0; i < frequent; ++i) common.insert(phrases[i].begin(), phrases[i].end());
    return {common.begin(), common.end()};
}

// The texts of one run: frequent and rare phrases of 2-4 characters,
// sequences that are no phrase, and long lines of phrases.
std::vector<LineText> ChooseTexts(const Options &options, const CharacterSource &source) {
    std::vector<Text> phrases = ReadPhrases(options.phrases, source);
    std::vector<Text> shortPhrases;
    for (const Text &p : phrases)
        if (p.size() <= 4) shortPhrases.push_back(p);
    std::set<Text> known(phrases.begin(), phrases.end());
    std::vector<std::uint16_t> hanzi;
    for (std::uint16_t c : source.Codes())
        if (c >= 0x4E00 && c <= 0x9FA5) hanzi.push_back(c);
    if (shortPhrases.empty() || hanzi.empty()) throw std::runtime_error("no phrase can be composed");
    Random rng(options.seed);
    std::size_t frequent = std::min(kFrequentRank, shortPhrases.size());
    std::vector<LineText> texts;
    std::set<Text> used;
    auto add = [&](const std::string &kind, const Text &t) {
        if (used.insert(t).second) texts.push_back({kind, t});
    };
    auto draw = [&](const std::string &kind, std::size_t from, std::size_t to) {
        std::size_t before = texts.size(), wanted = static_cast<std::size_t>(options.count);
        for (int i = 0; i < options.count * 4 && texts.size() - before < wanted; ++i)
            add(kind, shortPhrases[from + static_cast<std::size_t>(rng.Below(static_cast<int>(to - from)))]);
    };
    draw("phrase", 0, frequent);
    if (shortPhrases.size() > frequent) draw("rare", frequent, shortPhrases.size());
    std::vector<std::uint16_t> others = options.commonOthers ? CommonCharacters(shortPhrases, frequent) : hanzi;
    for (int n = 0, tries = 0; n < options.count && tries < options.count * 20; ++tries) {
        Text t(static_cast<std::size_t>(2 + rng.Below(3)));
        for (auto &c : t) c = others[static_cast<std::size_t>(rng.Below(static_cast<int>(others.size())))];
        if (known.count(t) || used.count(t)) continue;
        add("other", t);
        ++n;
    }
    for (std::uint16_t c : hanzi) {  // every real sample once; as many synthetic characters as lines of a kind
        for (std::size_t i = 0; i < source.SampleCount(c); ++i) texts.push_back({"alone", {c}, static_cast<int>(i)});
    }
    for (int n = 0; source.SampleCount(hanzi[0]) == 0 && n < options.count; ++n)
        texts.push_back({"alone", {hanzi[static_cast<std::size_t>(rng.Below(static_cast<int>(hanzi.size())))]}, -1});
    for (int n = 0; n < options.longCount; ++n) {
        Text t;
        std::size_t length = static_cast<std::size_t>(8 + rng.Below(5));
        while (t.size() < length) {  // phrases, and a character where no phrase fits
            const Text &p = shortPhrases[static_cast<std::size_t>(rng.Below(static_cast<int>(frequent)))];
            if (t.size() + p.size() <= length)
                t.insert(t.end(), p.begin(), p.end());
            else if (t.size() + 1 == length)
                t.push_back(hanzi[static_cast<std::size_t>(rng.Below(static_cast<int>(hanzi.size())))]);
        }
        add("long", t);
    }
    return texts;
}

// A composed line: its strokes in kernel form, and where each character's
// strokes end.
struct ComposedLine {
    std::vector<KernelStroke> strokes;
    std::vector<std::size_t> charEnds;
};

ComposedLine Compose(const LineText &lineText, std::uint32_t lineNo, const Spacing &spacing,
                     const CharacterSource &source, std::uint64_t seed) {
    const Text &text = lineText.text;
    Random rng(Random::SampleSeed(seed ^ 0x5A5A, lineNo, static_cast<std::uint32_t>(spacing.low * 100)));
    ComposedLine line;
    double cursor = kMargin;
    for (std::size_t i = 0; i < text.size(); ++i) {
        Ink ink = source.Get(text[i], lineNo, static_cast<std::uint32_t>(i), lineText.sample);
        Box box = Bounds(ink);
        double side = std::max(box.right - box.left, box.bottom - box.top);
        double scale = side > 0 ? kCharSize * rng.Uniform(kSizeLow, kSizeHigh) / side : 1.0;
        double height = (box.bottom - box.top) * scale;
        double top = kMargin + kCharSize / 2 - height / 2 + rng.Uniform(-kBaselineJitter, kBaselineJitter) * kCharSize;
        if (i > 0) cursor += rng.Uniform(spacing.low, spacing.high) * kCharSize;
        for (const Stroke &stroke : ink) {
            KernelStroke points;
            for (const Point &p : stroke)
                points.push_back({static_cast<HR_UINT16>(cursor + (p.x - box.left) * scale + 0.5),
                                  static_cast<HR_UINT16>(top + (p.y - box.top) * scale + 0.5)});
            if (points.empty()) continue;
            points.push_back({HR_MARKER16, 0});
            line.strokes.push_back(std::move(points));
        }
        cursor += (box.right - box.left) * scale;
        line.charEnds.push_back(line.strokes.size());
    }
    return line;
}

struct Tally {
    long lines = 0, chars = 0, exact1 = 0, exact5 = 0, exact10 = 0, oracle = 0;
    EditCounts edits;
};

struct Latency {
    std::vector<double> micros;
};

// Strokes held after a call, in the classes the latency table reports.
const char *HeldClass(std::size_t held) {
    return held <= 10 ? "1-10" : held <= 40 ? "11-40" : held <= 150 ? "41-150" : "151+";
}

double Percentile(std::vector<double> v, double q) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[std::min(v.size() - 1, static_cast<std::size_t>(q * static_cast<double>(v.size())))];
}

// NAME=V,... pairs; calls set(name, value) for each.
template <typename Set>
void ForEachSetting(const std::string &settings, Set set) {
    std::istringstream in(settings);
    std::string item;
    while (std::getline(in, item, ',')) {
        std::size_t eq = item.find('=');
        if (eq == std::string::npos) throw std::runtime_error("expected NAME=VALUE: " + item);
        set(item.substr(0, eq), item.substr(eq + 1));
    }
}

void SetWeights(_HW_LINE_WEIGHTS *w, const std::string &settings) {
    const std::map<std::string, HR_INT32 *> fields = {{"margin", &w->margin},
                                                      {"word", &w->word},
                                                      {"single", &w->single},
                                                      {"char-weight-cap", &w->charWeightCap},
                                                      {"in-word", &w->inWord},
                                                      {"per-char", &w->perChar},
                                                      {"narrow-below", &w->narrowBelow},
                                                      {"narrow", &w->narrow},
                                                      {"wide-above", &w->wideAbove},
                                                      {"wide", &w->wide},
                                                      {"inner-gap", &w->innerGap},
                                                      {"overlap", &w->overlap},
                                                      {"widest-run", &w->widestRun},
                                                      {"small-below", &w->smallBelow},
                                                      {"letter-case", &w->letterCase},
                                                      {"ratio-free", &w->ratioFree},
                                                      {"ratio", &w->ratio},
                                                      {"credit", &w->credit},
                                                      {"strokes-free", &w->strokesFree},
                                                      {"strokes", &w->strokes}};
    ForEachSetting(settings, [&](const std::string &name, const std::string &value) {
        auto field = fields.find(name);
        if (field == fields.end()) throw std::runtime_error("unknown weight: " + name);
        *field->second = std::stoi(value);
    });
}

// The characters recognised alone at their true strokes.
Text OracleText(Recognizer &reco, const ComposedLine &line) {
    Text text;
    for (std::size_t c = 0; c < line.charEnds.size(); ++c)
        text.push_back(reco.Best(line.strokes, c == 0 ? 0 : line.charEnds[c - 1], line.charEnds[c]));
    return text;
}

long Hits(const Text &ref, const Text &read) {
    long hits = 0;
    for (std::size_t c = 0; c < ref.size(); ++c) hits += read[c] == ref[c];
    return hits;
}

class Benchmark {
public:
    Benchmark(const Options &options, Recognizer &oracle) : options_(options), oracle_(oracle) {}

    void Run(const std::vector<LineText> &texts, const CharacterSource &source) {
        std::vector<HR_INT32> modes;
        if (options_.modes.find("classic") != std::string::npos) modes.push_back(HW_MODE_CLASSIC);
        if (options_.modes.find("line") != std::string::npos) modes.push_back(HW_MODE_LINE);
        for (HR_INT32 mode : modes) {
            KernelSession kernel(mode, options_.model, options_.lexicon);
            if (!options_.weights.empty()) SetWeights(&kernel.Get()->line.weights, options_.weights);
            const char *modeName = mode == HW_MODE_LINE ? "line" : "classic";
            for (const Spacing &spacing : kSpacings)
                for (std::size_t t = 0; t < texts.size(); ++t) {
                    if (texts[t].kind == "alone" && &spacing != kSpacings) continue;  // no spacing to vary
                    ComposedLine line =
                        Compose(texts[t], static_cast<std::uint32_t>(t), spacing, source, options_.seed);
                    Key3 key = Key(modeName, spacing.name, texts[t]);
                    Tally &tally = tallies_[key];
                    const Text alone = OracleText(oracle_, line);
                    Feed(kernel, line, texts[t].text, alone, key, &tally);
                    tally.oracle += Hits(texts[t].text, alone);
                }
        }
    }

    void Print() const {
        std::printf("| set | spacing | lines | chars | mode | CR | AR | exact 1 | exact 5 | exact 10 | oracle |\n");
        std::printf("|---|---|---:|---:|---|---:|---:|---:|---:|---:|---:|\n");
        for (const auto &entry : tallies_) {
            const Tally &t = entry.second;
            double n = static_cast<double>(t.chars), l = static_cast<double>(t.lines);
            std::printf("| %s | %s | %ld | %ld | %s | %.1f %% | %.1f %% | %.1f %% | %.1f %% | %.1f %% | %.1f %% |\n",
                        options_.name.c_str(), entry.first[1].c_str(), t.lines, t.chars, entry.first[0].c_str(),
                        100 * (n - t.edits.s - t.edits.d) / n, 100 * (n - t.edits.s - t.edits.d - t.edits.i) / n,
                        100 * t.exact1 / l, 100 * t.exact5 / l, 100 * t.exact10 / l, 100 * t.oracle / n);
        }
        if (!options_.latency) return;
        std::printf(
            "\n| set | mode | strokes held | calls | median µs | p95 µs | max µs "
            "|\n|---|---|---|---:|---:|---:|---:|\n");
        for (const auto &entry : latency_) {
            const std::vector<double> &v = entry.second.micros;
            std::printf("| %s | %s | %s | %zu | %.0f | %.0f | %.0f |\n", options_.name.c_str(),
                        entry.first.first.c_str(), entry.first.second.c_str(), v.size(), Percentile(v, 0.5),
                        Percentile(v, 0.95), Percentile(v, 1.0));
        }
    }

private:
    using Key3 = std::vector<std::string>;

    static Key3 Key(const char *mode, const char *spacing, const LineText &text) {
        if (text.kind == "alone") return {mode, "- / alone 1"};
        std::string length = text.kind == "long" ? "8-12" : "2-4";
        return {mode, std::string(spacing) + " / " + text.kind + " " + length};
    }

    // Recognises the line and counts it; a miss is printed with what the
    // characters alone read.
    void Feed(KernelSession &kernel, const ComposedLine &line, const Text &ref, const Text &alone, const Key3 &key,
              Tally *tally) {
        const char *mode = key[0].c_str();
        kernel.Reset();
        for (std::size_t s = 0; s < line.strokes.size(); ++s) {
            auto begin = std::chrono::steady_clock::now();
            if (!kernel.Add(line.strokes[s])) throw std::runtime_error("a stroke was refused");
            std::chrono::duration<double, std::micro> took = std::chrono::steady_clock::now() - begin;
            latency_[{mode, HeldClass(s + 1)}].micros.push_back(took.count());
        }
        Text best = kernel.Total() > 0 ? Decode(kernel.Text(0)) : Text();
        EditCounts e = penrune::Align(ref, best);
        tally->lines += 1;
        tally->chars += static_cast<long>(ref.size());
        tally->edits.s += e.s, tally->edits.d += e.d, tally->edits.i += e.i;
        for (HR_UINT32 i = 0; i < kernel.Total() && i < 10; ++i)
            if (Decode(kernel.Text(i)) == ref) {
                tally->exact1 += i == 0, tally->exact5 += i < 5, tally->exact10 += 1;
                break;
            }
        if (options_.errors && best != ref)
            std::printf("miss\t%s\t%s\t%s\t%s\t%s\n", mode, key[1].c_str(), Encode(ref).c_str(), Encode(best).c_str(),
                        Encode(alone).c_str());
    }

    const Options &options_;
    Recognizer &oracle_;
    std::map<Key3, Tally> tallies_;
    std::map<std::pair<std::string, std::string>, Latency> latency_;
};

void SetSynthParams(SynthParams *params, const std::string &settings) {
    ForEachSetting(settings, [params](const std::string &name, const std::string &number) {
        char *end = nullptr;
        const double value = std::strtod(number.c_str(), &end);
        if (number.empty() || *end != '\0') throw penrune::ArgError("--synth: " + name + " needs a number");
        if (!SetParam(*params, name, value)) throw penrune::ArgError("--synth: unknown parameter " + name);
    });
}

// --careless applies first, so that --synth settings refine it.
bool ParseOptions(int argc, char **argv, Options *o) {
    penrune::Args args(argc, argv);
    long long number = 0;
    args.Text("samples", o->samples);
    o->sources = args.Texts("source");
    args.Text("model", o->model);
    args.Text("lexicon", o->lexicon);
    args.Text("phrases", o->phrases);
    args.Text("name", o->name);
    if (args.Integer("seed", number, 0, std::numeric_limits<long long>::max()))
        o->seed = static_cast<std::uint64_t>(number);
    if (args.Integer("count", number, 0, std::numeric_limits<int>::max())) o->count = static_cast<int>(number);
    if (args.Integer("long", number, 0, std::numeric_limits<int>::max())) o->longCount = static_cast<int>(number);
    args.Text("modes", o->modes);
    args.Text("weights", o->weights);
    if (args.Flag("careless")) o->synth = CarelessParams();
    for (const std::string &settings : args.Texts("synth")) SetSynthParams(&o->synth, settings);
    o->errors = args.Flag("errors");
    if (args.Flag("no-latency")) o->latency = false;
    o->commonOthers = args.Flag("common-others");
    args.Finish();
    return args.Positional().empty() && !o->phrases.empty() && (o->samples.empty() != o->sources.empty());
}

// The options beyond the synopsis, for --help.
void PrintDetails(std::FILE *out) {
    std::fprintf(out,
                 "  --samples=JSONL        real characters (stroke JSON lines), used as they are\n"
                 "  --source=JSONL         in place of --samples: stroke sources of synthesised characters\n"
                 "  --name=SET             the set's name in the tables (default lines)\n"
                 "  --seed=N               seed of the texts, the samples and the layout (default 7001)\n"
                 "  --count=N              lines of each kind and spacing (default 40)\n"
                 "  --long=N               long lines of 8-12 characters per spacing (default 0)\n"
                 "  --modes=classic,line   the kernel modes to run\n"
                 "  --weights=NAME=V,...   line mode weights (margin, word, single, char-weight-cap, in-word,\n"
                 "                         per-char, narrow-below, narrow, wide-above, wide, inner-gap, overlap,\n"
                 "                         widest-run, small-below, letter-case, ratio-free, ratio,\n"
                 "                         credit, strokes-free, strokes)\n"
                 "  --synth=NAME=V,...     synthesiser parameters (penrune synth --help names them)\n"
                 "  --careless             a careless writer's synthesis\n"
                 "  --common-others        make the sequences that are no phrase of the characters of\n"
                 "                         the frequent phrases only, as running text's are\n"
                 "  --errors               print every line whose candidate 1 is wrong, with what its\n"
                 "                         characters read alone at their true strokes\n"
                 "  --no-latency           leave out the AddStroke time table\n"
                 "  --model=FILE           a model image in place of the embedded model\n"
                 "  --lexicon=FILE         a lexicon image in place of the embedded lexicon\n");
}

int Main(int argc, char **argv) {
    Options options;
    if (!ParseOptions(argc, argv, &options)) return penrune::UsageError("lines");
    // The kernel checks the images; the oracle and the texts use its model.
    KernelSession probe(HW_MODE_LINE, options.model, options.lexicon);
    Recognizer oracle(probe.Model());
    CharacterSource source(options, ModelCodes(oracle));
    std::vector<LineText> texts = ChooseTexts(options, source);
    Benchmark bench(options, oracle);
    bench.Run(texts, source);
    bench.Print();
    return 0;
}

const penrune::RegisterCommand reg("lines", &Main, "--phrases=FILE --samples=JSONL [OPTIONS]",
                                   "The line benchmark: compose lines of handwriting from single characters, "
                                   "recognise them stroke by stroke in each kernel mode and print the rates of "
                                   "candidate 1 and the AddStroke times.",
                                   &PrintDetails);

}  // namespace
