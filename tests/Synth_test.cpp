// Tests of the handwriting sample synthesiser (tools/Synth*) and of the
// synth and tosamples subcommands.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "HTCode.h"
#include "HTFeat.h"
#include "SynthPen.h"
#include "SynthSample.h"
#include "SynthSource.h"
#include "TempDir.h"

namespace {

using namespace penrune::synth;
using penrune_test::ReadFile;
using penrune_test::TempDir;
using XY = std::pair<double, double>;

XY At(Point p) { return {p.x, p.y}; }

std::vector<XY> Coords(const Stroke &stroke) {
    std::vector<XY> out;
    for (const Point &p : stroke) out.push_back(At(p));
    return out;
}

Stroke Line(Point from, Point to, int points = 2) {
    Stroke line;
    for (int i = 0; i < points; ++i) line.push_back(from + (to - from) * (double(i) / (points - 1)));
    return line;
}

// A character of four strokes: a bar, a bar that turns down into a hook, a
// stem that crosses both, and a half-circle base drawn right to left.
Ink TestHand() {
    Stroke base;
    for (int i = 0; i <= 40; ++i)
        base.push_back({500 + 350 * std::cos(M_PI * i / 40), 600 + 350 * std::sin(M_PI * i / 40)});
    return {Line({200, 200}, {800, 200}), {{250, 480}, {750, 480}, {720, 760}, {650, 720}},
            Line({500, 200}, {500, 800}), base};
}

std::vector<std::uint8_t> SampleBytes(const SynthParams &params, std::uint64_t seed) {
    Random rng(seed);
    std::vector<std::uint8_t> bytes;
    EXPECT_TRUE(AppendRecord(bytes, 0x738B, PlaceRandomly(Synthesize(TestHand(), params, rng), params, rng)));
    return bytes;
}

double MeanSpacing(const Stroke &stroke) { return Length(stroke) / (stroke.size() - 1); }

// ---- geometry, random numbers, parameters ------------------------------

TEST(SynthGeometry, ReduceVerticesKeepsEndsCornersAndBumpsAboveTheTolerance) {
    Stroke corner = Line({0, 0}, {500, 0}, 101);
    const Stroke down = Line({500, 0}, {500, 500}, 101);
    corner.insert(corner.end(), down.begin() + 1, down.end());
    EXPECT_EQ(Coords(ReduceVertices(corner, 5)), (std::vector<XY>{{0, 0}, {500, 0}, {500, 500}}));
    const Stroke bump = {{0, 0}, {50, 4}, {100, 0}};  // 4 units off the chord
    EXPECT_EQ(ReduceVertices(bump, 3).size(), 3u);
    EXPECT_EQ(ReduceVertices(bump, 5).size(), 2u);
}

TEST(SynthGeometry, DensifyAndCutKeepTheShape) {
    const Stroke dense = Densify({{0, 0}, {100, 0}, {100, 37}}, 4);
    for (std::size_t i = 1; i < dense.size(); ++i) EXPECT_LE(Distance(dense[i - 1], dense[i]), 4 + 1e-9);
    EXPECT_NEAR(Length(dense), 137, 1e-9);
    const Stroke part = Cut(dense, 90, 110);
    EXPECT_NEAR(Length(part), 20, 1e-9);
    EXPECT_NEAR(part.front().x, 90, 1e-9);
    EXPECT_NEAR(part.back().y, 10, 1e-9);
}

// Reproducibility of whole runs is checked through the synth command.
TEST(SynthRandom, SampleSeedsDependOnRunCodeAndIndex) {
    const std::uint64_t seed = Random::SampleSeed(1, 0x4E00, 0);
    EXPECT_NE(seed, Random::SampleSeed(1, 0x4E00, 1));
    EXPECT_NE(seed, Random::SampleSeed(1, 0x4E01, 0));
    EXPECT_NE(seed, Random::SampleSeed(2, 0x4E00, 0));
    EXPECT_NE(Random(7).Next(), Random(8).Next());
}

TEST(SynthParams, ValidationRejectsUnusableValuesAndUnknownNames) {
    EXPECT_EQ(ValidateParams(SynthParams()), "");
    EXPECT_EQ(ValidateParams(NeutralParams()), "");
    const struct {
        const char *name;
        double value;
        bool valid;
    } cases[] = {{"joinRate", 1.5, false},  {"strokeShift", -1, false}, {"sizeMax", 255, false},
                 {"sizeMin", 0, false},     {"spacingMin", 0, false},   {"spacingMin", 40, false},
                 {"reduceMin", 30, false},  {"joinReach", 0, false},    {"rotate", NAN, false},
                 {"shearMean", -0.2, true}};
    for (const auto &c : cases) {
        SynthParams params;
        ASSERT_TRUE(SetParam(params, c.name, c.value)) << c.name;
        EXPECT_EQ(ValidateParams(params).empty(), c.valid) << c.name << " = " << c.value;
    }
    SynthParams params;
    EXPECT_FALSE(SetParam(params, "noSuchParameter", 1));
}

// Every parameter, set to the probe value on top of the neutral parameters
// and the enabling values, must change the synthesised sample.
TEST(SynthParams, EveryParameterChangesTheSample) {
    struct Probe {
        double value;
        std::map<std::string, double> enabling = {};
    };
    const std::map<std::string, Probe> probes = {
        {"rotate", {0.3}}, {"slant", {0.3}}, {"shear", {0.3}}, {"shearMean", {0.2}}, {"aspect", {0.3}}, {"warp", {40}},
        {"strokeShift", {30}}, {"strokeScale", {0.3}}, {"strokeRotate", {0.3}}, {"strokeTrim", {0.2}},
        {"strokeBend", {0.2}}, {"hookRate", {1}}, {"hookLength", {80, {{"hookRate", 1}, {"hookLength", 10}}}},
        {"messMin", {0, {{"strokeShift", 30}}}}, {"swapRate", {1}}, {"rightwardRate", {1}},
        {"joinRate", {1, {{"joinReach", 10000}}}}, {"joinReach", {50, {{"joinRate", 1}, {"joinReach", 5000}}}},
        {"touchRate", {1, {{"touchReach", 300}}}}, {"touchReach", {300, {{"touchRate", 1}, {"touchReach", 10}}}},
        {"smoothing", {30}}, {"spacingMin", {3, {{"spacingMin", 20}, {"spacingMax", 20}}}}, {"spacingMax", {30}},
        {"speedVariation", {1, {{"spacingMin", 10}, {"spacingMax", 10}}}}, {"tremor", {5}}, {"jitter", {3}},
        {"reduceRate", {1}}, {"reduceMin", {2, {{"reduceRate", 1}, {"reduceMin", 30}, {"reduceMax", 30}}}},
        {"reduceMax", {30, {{"reduceRate", 1}, {"reduceMin", 2}, {"reduceMax", 2}}}},
        {"sizeMin", {60}}, {"sizeMax", {120, {{"sizeMin", 100}, {"sizeMax", 100}}}},
    };
    EXPECT_EQ(probes.size(), ParamTable().size()) << "a parameter has no probe";
    for (const ParamInfo &info : ParamTable()) {
        const auto probe = probes.find(info.name);
        ASSERT_NE(probe, probes.end()) << info.name;
        SynthParams base = NeutralParams();
        for (const auto &[name, value] : probe->second.enabling) ASSERT_TRUE(SetParam(base, name, value));
        SynthParams changed = base;
        changed.*info.field = probe->second.value;
        ASSERT_EQ(ValidateParams(changed), "") << info.name;
        // Random effects may leave a single sample alone, not most of them.
        int differing = 0;
        for (std::uint64_t seed = 1; seed <= 4; ++seed)
            differing += SampleBytes(base, seed) != SampleBytes(changed, seed);
        EXPECT_GE(differing, 3) << info.name;
    }
}

// ---- the stages --------------------------------------------------------

// One stage (or, with Full, the whole synthesis) run on `ink` with the
// neutral parameters and the given values.
void Full(Ink &ink, const SynthParams &params, Random &rng) { ink = Synthesize(ink, params, rng); }

Ink Stage(void (*stage)(Ink &, const SynthParams &, Random &), Ink ink,
          const std::map<std::string, double> &values, std::uint64_t seed = 1) {
    SynthParams params = NeutralParams();
    for (const auto &[name, value] : values) EXPECT_TRUE(SetParam(params, name, value)) << name;
    Random rng(seed);
    stage(ink, params, rng);
    return ink;
}

TEST(SynthPen, NeutralParametersTraceTheHandFaithfully) {
    const Ink ink = Stage(Full, TestHand(), {});
    ASSERT_EQ(ink.size(), 4u);
    for (std::size_t i = 0; i < ink.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(Distance(ink[i].front(), TestHand()[i].front()), 0, 1e-6);
        EXPECT_NEAR(Distance(ink[i].back(), TestHand()[i].back()), 0, 1e-6);
        EXPECT_NEAR(MeanSpacing(ink[i]), 4, 0.1);
    }
}

TEST(SynthPen, ReversesOnlyFlatLeftwardStrokes) {
    const Ink ink = Stage(DrawFlatStrokesRightwards,
                          {Line({500, 100}, {100, 180}),   // flat, leftwards: reversed
                           Line({100, 300}, {500, 300}),   // flat, rightwards: kept
                           Line({500, 400}, {100, 900})},  // steep, leftwards: kept
                          {{"rightwardRate", 1}});
    EXPECT_EQ(Coords(ink[0]), (std::vector<XY>{{100, 180}, {500, 100}}));
    EXPECT_EQ(ink[1].front().x, 100);
    EXPECT_EQ(ink[2].front().x, 500);
}

TEST(SynthPen, SwapsOnlyAdjacentStrokesThatTouch) {
    const Ink hand = TestHand();
    std::set<std::size_t> swappedAt;
    for (std::uint64_t seed = 1; seed <= 40; ++seed) {
        const Ink ink = Stage(SwapStrokes, hand, {{"swapRate", 1}}, seed);
        std::size_t i = 0;
        while (i + 1 < ink.size() && At(ink[i].front()) == At(hand[i].front())) ++i;
        ASSERT_LT(i + 1, ink.size()) << "no swap with seed " << seed;
        swappedAt.insert(i);
        for (std::size_t j = 0; j < ink.size(); ++j)
            EXPECT_EQ(At(ink[j].front()), At(hand[j == i ? i + 1 : j == i + 1 ? i : j].front())) << seed;
    }
    // The stem touches the bars above and below it; the two upper bars are
    // 280 units apart and never swap, nor do strokes far apart.
    EXPECT_EQ(swappedAt, (std::set<std::size_t>{1, 2}));
    EXPECT_EQ(Stage(SwapStrokes, {Line({0, 0}, {100, 0}), Line({0, 900}, {100, 900})}, {{"swapRate", 1}})[0][0].y, 0);
}

TEST(SynthPen, JoinsFollowReachAndRunFromStartToEnd) {
    auto strokesAfterJoin = [](double reach) {
        std::size_t total = 0;
        for (std::uint64_t seed = 1; seed <= 50; ++seed)
            total += Stage(JoinStrokes, TestHand(), {{"joinRate", 1}, {"joinReach", reach}}, seed).size();
        return total;
    };
    EXPECT_LT(strokesAfterJoin(1e6), 50u * 3);  // most boundaries are joined
    EXPECT_EQ(strokesAfterJoin(100), 50u * 4);  // every pen-up move of the hand is longer

    // A joined stroke runs from the first stroke's start to the second's end.
    Ink pair;
    for (std::uint64_t seed = 1; seed <= 100 && pair.size() != 1; ++seed)
        pair = Stage(JoinStrokes, {Line({0, 0}, {100, 0}), Line({120, 40}, {200, 40})},
                     {{"joinRate", 1}, {"joinReach", 1e6}}, seed);
    ASSERT_EQ(pair.size(), 1u);
    EXPECT_EQ(At(pair[0].front()), XY(0, 0));
    EXPECT_EQ(At(pair[0].back()), XY(200, 40));
}

TEST(SynthPen, ClosedGapsEndOnTheStrokeAhead) {
    // A stem that stops 100 units above a bar, drawn after it.
    const Ink hand = {Line({300, 500}, {700, 500}), Line({500, 100}, {500, 400})};
    const Ink closed = Stage(Full, hand, {{"touchRate", 1}});
    ASSERT_EQ(closed.size(), 2u);
    EXPECT_NEAR(closed[1].back().y, 500, 1);
    EXPECT_NEAR(closed[1].front().y, 100, 1);  // nothing lies above the stem
    EXPECT_NEAR(closed[0].front().x, 300, 1);  // nor beside the bar
    EXPECT_NEAR(Stage(Full, hand, {{"touchRate", 1}, {"touchReach", 90}})[1].back().y, 400, 1);
}

TEST(SynthPen, HooksPointTowardsTheNextStroke) {
    const Ink hand = {Line({100, 100}, {100, 600}, 50), Line({600, 100}, {900, 100}, 30)};
    const Ink ink = Stage(VaryStrokes, hand, {{"hookRate", 1}, {"hookLength", 60}}, 5);
    const double closer = Distance(hand[0].back(), hand[1].front()) - Distance(ink[0].back(), hand[1].front());
    EXPECT_GT(closer, 60 * 0.3 * 0.9);
    EXPECT_LE(closer, 60 + 1e-9);
    EXPECT_EQ(ink[1].size(), hand[1].size());  // the last stroke has nowhere to go
}

// Stroke shift moves whole strokes, rotation turns the character; both by
// their standard deviation.
TEST(SynthPen, ShiftAndRotationSpreadMatchTheirParameters) {
    double shifts = 0, angles = 0;
    const int n = 300;
    for (int seed = 1; seed <= n; ++seed) {
        const Ink ink = Stage(VaryStrokes, TestHand(), {{"strokeShift", 20}}, seed);
        for (std::size_t i = 0; i < ink.size(); ++i) {
            const Point move = Centroid(ink[i]) - Centroid(TestHand()[i]);
            shifts += move.x * move.x + move.y * move.y;
        }
        EXPECT_NEAR(Length(ink[2]), 600, 1e-6);  // shape unchanged
        const Ink bar = Stage(ApplyWriterStyle, {Line({0, 500}, {1000, 500})}, {{"rotate", 0.1}}, seed);
        const Point d = bar[0].back() - bar[0].front();
        angles += std::pow(std::atan2(d.y, d.x), 2);
    }
    EXPECT_NEAR(std::sqrt(shifts / (n * 8)), 20, 1.5);
    EXPECT_NEAR(std::sqrt(angles / n), 0.1, 0.01);
}

TEST(SynthPen, SlowingPenCrowdsStrokeEndsAndKeepsDots) {
    const Ink ink = Stage(TracePen, {Line({0, 0}, {1000, 0}), {{50, 50}}},
                          {{"spacingMin", 10}, {"spacingMax", 10}, {"speedVariation", 1}});
    const Stroke &trace = ink[0];
    EXPECT_LT(Distance(trace[0], trace[1]), 3);
    const std::size_t middle = trace.size() / 2;
    EXPECT_NEAR(Distance(trace[middle], trace[middle + 1]), 10, 0.5);
    EXPECT_EQ(ink[1].size(), 1u);
}

TEST(SynthPen, TraceNeverExceedsThePointBudget) {
    Ink ink;
    for (int i = 0; i < 40; ++i) ink.push_back(Line({0, 25.0 * i}, {1000, 25.0 * i}));
    ink = Stage(TracePen, ink, {{"spacingMin", 0.5}, {"spacingMax", 0.5}});
    EXPECT_LE(PointCount(ink), kMaxSamplePoints);
    EXPECT_GT(PointCount(ink), kMaxSamplePoints / 4);
}

// ---- sample records ----------------------------------------------------

TEST(SynthSample, RecordLayoutAndLengthLimit) {
    std::vector<std::uint8_t> bytes = {0xAA};
    ASSERT_TRUE(AppendRecord(bytes, 0x4E2D, {{{1, 2}, {3, 4}}, {{5, 6}}}));
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{0xAA, 18, 0, 0x2D, 0x4E, 0, 0, 1, 2, 3, 4, 255, 0, 5, 6, 255, 0,
                                                255, 255}));
    EXPECT_FALSE(AppendRecord(bytes, 1, {}));
    EXPECT_FALSE(AppendRecord(bytes, 1, {{}}));
    // 24570 points and the two markers make the longest record, 49150 bytes.
    ByteInk longest = {ByteStroke(24570, BytePoint{1, 1})};
    std::vector<std::uint8_t> big;
    ASSERT_TRUE(AppendRecord(big, 1, longest));
    EXPECT_EQ(big.size(), 49150u);
    longest[0].push_back({2, 2});
    EXPECT_FALSE(AppendRecord(big, 1, longest));
    EXPECT_EQ(big.size(), 49150u);
}

TEST(SynthSample, QuantizeScalesTheLongerSideAndPlacementStaysInTheBox) {
    // The repeated point is dropped and the aspect ratio kept.
    std::vector<std::vector<std::pair<int, int>>> points;
    for (const ByteStroke &stroke : Quantize({{{100, 100}, {100.2, 100.1}, {600, 100}}, {{100, 350}}}, 200, 10, 20)) {
        points.emplace_back();
        for (const BytePoint &p : stroke) points.back().push_back({p.x, p.y});
    }
    EXPECT_EQ(points, (std::vector<std::vector<std::pair<int, int>>>{{{10, 20}, {210, 20}}, {{10, 120}}}));

    const SynthParams params;
    for (std::uint64_t seed = 1; seed <= 50; ++seed) {
        Random rng(seed);
        int low = 255, high = -1;
        for (const ByteStroke &stroke : PlaceRandomly(TestHand(), params, rng))
            for (const BytePoint &p : stroke) {
                low = std::min<int>({low, p.x, p.y});
                high = std::max<int>({high, p.x, p.y});
            }
        EXPECT_GE(low, 0);
        EXPECT_LE(high, kMaxCoordinate);
        EXPECT_GE(high - low, params.sizeMin - 2);
    }
}

// ---- stroke sources ----------------------------------------------------

TEST(SynthSource, ParsesHandsAndRejectsBadLines) {
    const Hand hand = ParseHand(R"({"char":"中","x":1,"strokes":[[[1,2],[3.5,4]],[],[[5,6]]]})");
    EXPECT_EQ(hand.code, 0x4E2D);
    ASSERT_EQ(hand.ink.size(), 2u);
    EXPECT_DOUBLE_EQ(hand.ink[0][1].x, 3.5);
    for (const char *line : {"not json", R"({"strokes":[[[1,2]]]})", R"({"char":"中"})",
                             R"({"char":"中国","strokes":[[[1,2]]]})", R"({"char":"😀","strokes":[[[1,2]]]})",
                             R"({"char":7,"strokes":[[[1,2]]]})", R"({"char":"中","strokes":[[[1,2,3]]]})",
                             R"({"char":"中","strokes":[[["1",2]]]})", R"({"char":"中","strokes":[[]]})"})
        EXPECT_THROW(ParseHand(line), std::runtime_error) << line;

    TempDir dir;
    const std::string path =
        dir.Write("hands.jsonl", R"({"char":"a","strokes":[[[0,0]]]})" "\n\n" R"({"char":"b","strokes":"x"})" "\n");
    try {
        ReadHands(path);
        FAIL() << "a bad line was accepted";
    } catch (const std::runtime_error &error) {
        EXPECT_NE(std::string(error.what()).find("hands.jsonl:3"), std::string::npos) << error.what();
    }
    EXPECT_THROW(ReadHands(dir.File("missing.jsonl")), std::runtime_error);
}

TEST(SynthSource, PicksSourcesByWeight) {
    HandLibrary library;
    library.Add({{'a', {{{0, 0}}}}, {'b', {{{0, 0}}}}}, 3);
    library.Add({{'a', {{{9, 9}}}}, {'a', {{{8, 8}}}}, {'c', {{{0, 0}}}}}, 1);
    EXPECT_THROW(library.Add({}, 0), std::invalid_argument);
    EXPECT_EQ(library.Codes(), (std::vector<std::uint16_t>{'a', 'b', 'c'}));
    EXPECT_EQ(library.HandCount('a'), 3u);
    Random rng(1);
    int fromFirst = 0;
    for (int i = 0; i < 4000; ++i) fromFirst += library.Pick('a', rng)->front().front().x == 0;
    EXPECT_NEAR(fromFirst / 4000.0, 0.75, 0.03);
    EXPECT_EQ(library.Pick('c', rng)->front().front().x, 0);
    EXPECT_EQ(library.Pick('z', rng), nullptr);
}

// ---- the subcommands ---------------------------------------------------

int RunTool(const std::string &arguments) {
    return std::system((std::string(PENRUNE_TOOL_PATH) + " " + arguments + " >/dev/null 2>&1").c_str());
}

// Record count of a sample file, checking every record's framing.
int CountRecords(const std::string &bytes) {
    int records = 0;
    for (std::size_t pos = 0; pos < bytes.size(); ++records) {
        const std::size_t length = std::uint8_t(bytes[pos]) | std::uint8_t(bytes[pos + 1]) << 8;
        EXPECT_LE(pos + length, bytes.size());
        EXPECT_EQ(bytes.substr(pos + length - 4, 4), std::string("\xFF\x00\xFF\xFF", 4));
        pos += length;
    }
    return records;
}

TEST(SynthCommand, WritesReproducibleChunkedSampleFilesThatTheFeatureStageReads) {
    TempDir dir;
    const std::string source = dir.Write("src.jsonl",
        R"({"char":"一","strokes":[[[100,500],[900,480]]]})" "\n"
        R"({"char":"二","strokes":[[[200,300],[800,300]],[[100,700],[900,700]]]})" "\n"
        R"({"char":"十","strokes":[[[100,500],[900,500]],[[500,100],[500,900]]]})" "\n");
    const std::string other = dir.Write("other.jsonl", R"({"char":"十","strokes":[[[500,100],[500,900]]]})" "\n");
    const std::string sources = " " + source + " " + other + ":2";
    const std::string run = "synth --samples=3 --chars-per-file=2 --prefix=t ";
    ASSERT_EQ(RunTool(run + dir.File("a") + sources), 0);
    ASSERT_EQ(RunTool(run + dir.File("b") + sources), 0);
    ASSERT_EQ(RunTool(run + "--seed=2 " + dir.File("c") + sources), 0);
    const std::string first = ReadFile(dir.File("a/t_000.smp"));
    EXPECT_EQ(CountRecords(first), 6);
    EXPECT_EQ(CountRecords(ReadFile(dir.File("a/t_001.smp"))), 3);
    EXPECT_EQ(first, ReadFile(dir.File("b/t_000.smp")));
    EXPECT_NE(first, ReadFile(dir.File("c/t_000.smp")));

    // A character gets at least --hand-samples samples per hand: 十 has two.
    ASSERT_EQ(RunTool("synth --samples=1 --hand-samples=3 " + dir.File("h") + " " + source + " " + other), 0);
    EXPECT_EQ(CountRecords(ReadFile(dir.File("h/synth_000.smp"))), 3 + 3 + 6);

    // Only characters of the charset are written, and the training's
    // feature stage accepts every record.
    std::filesystem::create_directories(dir.File("charset"));
    dir.Write("charset/char_number.txt", "二 4\n十 4\n一 0\n");
    dir.Write("charset/char_bit2.txt", "二\n十\n");
    ASSERT_EQ(RunTool("synth --samples=2 --charset=" + dir.File("charset") + " " + dir.File("d") + " " + source), 0);
    EXPECT_EQ(CountRecords(ReadFile(dir.File("d/synth_000.smp"))), 4);
    ASSERT_EQ(HTCode_Initialize(dir.File("charset").c_str(), 0xFFFF), 1);
    ASSERT_EQ(HTFeat_OrigFeatureByFile(dir.File("d/synth_000.smp").c_str(), dir.File("d.ori").c_str()), 1);
    EXPECT_EQ(ReadFile(dir.File("d.ori")).size(), 4u * 2050);
    HTCode_Terminate();

    EXPECT_NE(RunTool("synth --samples=0 " + dir.File("e") + " " + source), 0);
    EXPECT_NE(RunTool("synth --joinRate=2 " + dir.File("e") + " " + source), 0);
    EXPECT_NE(RunTool("synth " + dir.File("e") + " " + dir.File("missing.jsonl")), 0);
}

TEST(SynthCommand, ToSamplesKeepsOrThinsRealInk) {
    TempDir dir;
    std::string line = R"({"char":"a","writer":"x","strokes":[[)";
    for (int i = 0; i <= 100; ++i) line += (i ? ",[" : "[") + std::to_string(i * 10) + ",0]";
    line += R"(],[[0,5],[0,600]]]})";
    const std::string input = dir.Write("real.jsonl", line + "\n" + line + "\n");
    ASSERT_EQ(RunTool("tosamples " + dir.File("full") + " " + input), 0);
    ASSERT_EQ(RunTool("tosamples --thin=5 " + dir.File("thin") + " " + input), 0);
    const std::string full = ReadFile(dir.File("full/real.smp"));
    const std::string thin = ReadFile(dir.File("thin/real.smp"));
    EXPECT_EQ(CountRecords(full), 2);
    EXPECT_EQ(CountRecords(thin), 2);
    // Points 10 units apart stay apart at 254/1000 of their size: 101 + 2
    // points and three markers. Thinned, each straight stroke keeps its ends.
    EXPECT_EQ(std::uint8_t(full[0]), 6 + 2 * (101 + 2 + 3));
    EXPECT_EQ(std::uint8_t(thin[0]), 6 + 2 * (2 + 2 + 3));
    EXPECT_EQ(std::uint8_t(full[6 + 2 * 100]), 254);  // the line spans the box
}

}  // namespace
