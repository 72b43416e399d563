// SPDX-License-Identifier: MIT
// Tests of the handwriting sample synthesiser (tools/Synth*) and of the
// synth and tosamples subcommands.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "train/HTCode.h"
#include "train/HTFeat.h"
#include "SynthPen.h"
#include "SynthSample.h"
#include "SynthSource.h"
#include "TempDir.h"

namespace {

using namespace penrune::synth;
using penrune::test::ReadFile;
using penrune::test::TempDir;
using XY = std::pair<double, double>;

XY At(Point p) { return {p.x, p.y}; }

Stroke Line(Point from, Point to) { return {from, to}; }

// A character of four strokes: a bar, a bar that turns down into a hook, a
// stem that crosses both, and a half-circle base drawn right to left.
Ink TestHand() {
    Stroke base;
    for (int i = 0; i <= 40; ++i)
        base.push_back({500 + 350 * std::cos(M_PI * i / 40), 600 + 350 * std::sin(M_PI * i / 40)});
    return {Line({200, 200}, {800, 200}),
            {{250, 480}, {750, 480}, {720, 760}, {650, 720}},
            Line({500, 200}, {500, 800}),
            base};
}

// A character of a left and a right part: two strokes apart.
Ink TwoPartHand() { return {Line({150, 200}, {350, 800}), Line({650, 200}, {850, 800})}; }

std::vector<std::uint8_t> SampleBytes(const SynthParams &params, std::uint64_t seed, const Ink &hand = TestHand()) {
    Random rng(seed);
    std::vector<std::uint8_t> bytes;
    EXPECT_TRUE(AppendRecord(bytes, 0x738B, PlaceRandomly(Synthesize(hand, params, rng), params, rng)));
    return bytes;
}

// Every parameter, set to the probe value on top of the neutral parameters
// and the enabling values, must change the synthesised sample.
TEST(SynthParams, EveryParameterChangesTheSample) {
    struct Probe {
        double value;
        std::map<std::string, double> enabling = {};
        Ink hand = TestHand();
    };
    const std::map<std::string, Probe> probes = {
        {"rotate", {0.3}},
        {"slant", {0.3}},
        {"shear", {0.3}},
        {"shearMean", {0.2}},
        {"aspect", {0.3}},
        {"warp", {40}},
        {"strokeShift", {30}},
        {"strokeScale", {0.3}},
        {"strokeRotate", {0.3}},
        {"strokeTrim", {0.2}},
        {"strokeBend", {0.2}},
        {"hookRate", {1}},
        {"hookLength", {80, {{"hookRate", 1}, {"hookLength", 10}}}},
        {"messMin", {0, {{"strokeShift", 30}}}},
        {"swapRate", {1}},
        {"rightwardRate", {1}},
        {"joinRate", {1, {{"joinReach", 10000}}}},
        {"joinReach", {50, {{"joinRate", 1}, {"joinReach", 5000}}}},
        {"breakRate", {1}},
        {"componentGap", {0.3, {}, TwoPartHand()}},
        {"touchRate", {1, {{"touchReach", 300}}}},
        {"touchReach", {300, {{"touchRate", 1}, {"touchReach", 10}}}},
        {"smoothing", {30}},
        {"spacingMin", {3, {{"spacingMin", 20}, {"spacingMax", 20}}}},
        {"spacingMax", {30}},
        {"speedVariation", {1, {{"spacingMin", 10}, {"spacingMax", 10}}}},
        {"tremor", {5}},
        {"jitter", {3}},
        {"reduceRate", {1}},
        {"reduceMin", {2, {{"reduceRate", 1}, {"reduceMin", 30}, {"reduceMax", 30}}}},
        {"reduceMax", {30, {{"reduceRate", 1}, {"reduceMin", 2}, {"reduceMax", 2}}}},
        {"sizeMin", {60}},
        {"sizeMax", {120, {{"sizeMin", 100}, {"sizeMax", 100}}}},
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
            differing += SampleBytes(base, seed, probe->second.hand) != SampleBytes(changed, seed, probe->second.hand);
        EXPECT_GE(differing, 3) << info.name;
    }
}

// One stage run on `ink` with the neutral parameters and the given values.

Ink Stage(void (*stage)(Ink &, const SynthParams &, Random &), Ink ink, const std::map<std::string, double> &values,
          std::uint64_t seed = 1) {
    SynthParams params = NeutralParams();
    for (const auto &[name, value] : values) EXPECT_TRUE(SetParam(params, name, value)) << name;
    Random rng(seed);
    stage(ink, params, rng);
    return ink;
}

TEST(SynthPen, NeutralParametersTraceTheHandFaithfully) {
    Random rng(1);
    const Ink ink = Synthesize(TestHand(), NeutralParams(), rng);
    ASSERT_EQ(ink.size(), 4u);
    for (std::size_t i = 0; i < ink.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(Distance(ink[i].front(), TestHand()[i].front()), 0, 1e-6);
        EXPECT_NEAR(Distance(ink[i].back(), TestHand()[i].back()), 0, 1e-6);
        EXPECT_NEAR(Length(ink[i]) / (ink[i].size() - 1), 4, 0.1);  // point spacing
    }
}

TEST(SynthPen, PartsMoveApartOnlyWhereNoStrokeCrossesTheMiddle) {
    const Ink spread = Stage(SpreadParts, TwoPartHand(), {{"componentGap", 0.5}});
    const double left = spread[1].front().x - TwoPartHand()[1].front().x;
    EXPECT_GT(left, 0) << "the right part moves right";
    EXPECT_LE(left, 0.5 * 700);
    EXPECT_EQ(At(spread[0].front()), At(TwoPartHand()[0].front())) << "the left part stays";
    EXPECT_EQ(At(spread[1].front()).second, At(TwoPartHand()[1].front()).second);
    // 王 has no free column: every stroke keeps its place.
    const Ink crossed = Stage(SpreadParts, TestHand(), {{"componentGap", 0.5}});
    for (std::size_t i = 0; i < crossed.size(); ++i) EXPECT_EQ(At(crossed[i].front()), At(TestHand()[i].front()));
    // Off by default, and then the rest of the synthesis draws as before.
    Random a(3), b(3);
    SynthParams on = SynthParams();
    on.componentGap = 0.2;
    EXPECT_EQ(Synthesize(TestHand(), SynthParams(), a).size(), Synthesize(TestHand(), on, b).size());
    EXPECT_EQ(a.Next(), b.Next()) << "the caller's generator advances alike";
}

TEST(SynthPen, JoinsStayWithinReachAndRunFromStartToEnd) {
    // Every pen-up move of the hand is longer than 100 units.
    EXPECT_EQ(Stage(JoinStrokes, TestHand(), {{"joinRate", 1}, {"joinReach", 100}}).size(), 4u);
    // A joined stroke runs from the first stroke's start to the second's end.
    Ink pair;
    for (std::uint64_t seed = 1; seed <= 100 && pair.size() != 1; ++seed)
        pair = Stage(JoinStrokes, {Line({0, 0}, {100, 0}), Line({120, 40}, {200, 40})},
                     {{"joinRate", 1}, {"joinReach", 1e6}}, seed);
    ASSERT_EQ(pair.size(), 1u);
    EXPECT_EQ(At(pair[0].front()), XY(0, 0));
    EXPECT_EQ(At(pair[0].back()), XY(200, 40));
}

TEST(SynthPen, ABrokenStrokeLiftsAtItsSharpestTurnAndKeepsItsInk) {
    // A bar that turns down at (750, 480).
    Ink hook = {Densify(Line({250, 480}, {750, 480}), 4)};
    const Stroke down = Densify(Line({750, 480}, {720, 760}), 4);
    hook[0].insert(hook[0].end(), down.begin() + 1, down.end());
    const Ink broken = Stage(BreakStrokes, hook, {{"breakRate", 1}});
    ASSERT_EQ(broken.size(), 2u);
    EXPECT_NEAR(broken[0].back().x, 750, 4);
    EXPECT_NEAR(broken[0].back().y, 480, 4);
    EXPECT_EQ(At(broken[1].front()), At(broken[0].back())) << "the pen comes down where it lifted";
    EXPECT_EQ(broken[0].size() + broken[1].size(), hook[0].size() + 1);
    // Too short to turn: a stroke of two points stays whole.
    EXPECT_EQ(Stage(BreakStrokes, {Line({0, 0}, {100, 0})}, {{"breakRate", 1}}).size(), 1u);
    // Off by default, and then the rest of the synthesis draws as before.
    Random a(5), b(5);
    SynthParams on = SynthParams();
    on.breakRate = 1;
    EXPECT_GT(Synthesize(TestHand(), on, b).size(), Synthesize(TestHand(), SynthParams(), a).size());
    EXPECT_EQ(a.Next(), b.Next()) << "the caller's generator advances alike";
}

TEST(SynthPen, TraceNeverExceedsThePointBudget) {
    Ink ink;
    for (int i = 0; i < 40; ++i) ink.push_back(Line({0, 25.0 * i}, {1000, 25.0 * i}));
    ink = Stage(TracePen, ink, {{"spacingMin", 0.5}, {"spacingMax", 0.5}});
    EXPECT_LE(PointCount(ink), kMaxSamplePoints);
    EXPECT_GT(PointCount(ink), kMaxSamplePoints / 4);
}

TEST(SynthSample, RecordLayoutAndLengthLimit) {
    std::vector<std::uint8_t> bytes = {0xAA};
    ASSERT_TRUE(AppendRecord(bytes, 0x4E2D, {{{1, 2}, {3, 4}}, {{5, 6}}}));
    EXPECT_EQ(bytes,
              (std::vector<std::uint8_t>{0xAA, 18, 0, 0x2D, 0x4E, 0, 0, 1, 2, 3, 4, 255, 0, 5, 6, 255, 0, 255, 255}));
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

TEST(SynthSource, ParsesHandsAndRejectsBadLines) {
    const Hand hand = ParseHand(R"({"char":"中","x":1,"strokes":[[[1,2],[3.5,4]],[],[[5,6]]]})");
    EXPECT_EQ(hand.code, 0x4E2D);
    ASSERT_EQ(hand.ink.size(), 2u);
    EXPECT_DOUBLE_EQ(hand.ink[0][1].x, 3.5);
    for (const char *line : {"not json", R"({"char":"中"})", R"({"char":"中国","strokes":[[[1,2]]]})",
                             R"({"char":"😀","strokes":[[[1,2]]]})", R"({"char":"中","strokes":[[[1,2,3]]]})",
                             R"({"char":"中","strokes":[[]]})"})
        EXPECT_THROW(ParseHand(line), std::runtime_error) << line;
}

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
    const std::string source =
        dir.Write("src.jsonl", R"({"char":"一","strokes":[[[100,500],[900,480]]]})"
                               "\n"
                               R"({"char":"二","strokes":[[[200,300],[800,300]],[[100,700],[900,700]]]})"
                               "\n"
                               R"({"char":"十","strokes":[[[100,500],[900,500]],[[500,100],[500,900]]]})"
                               "\n");
    const std::string other = dir.Write("other.jsonl", R"({"char":"十","strokes":[[[500,100],[500,900]]]})"
                                                       "\n");
    const std::string sources = " " + source + " " + other + ":2";
    const std::string run = "synth --samples=3 --chars-per-file=2 --prefix=t ";
    ASSERT_EQ(RunTool(run + dir.File("a") + sources), 0);
    ASSERT_EQ(RunTool(run + dir.File("b") + sources), 0);
    const std::string first = ReadFile(dir.File("a/t_000.smp"));
    EXPECT_EQ(CountRecords(first), 6);
    EXPECT_EQ(CountRecords(ReadFile(dir.File("a/t_001.smp"))), 3);
    EXPECT_EQ(first, ReadFile(dir.File("b/t_000.smp")));

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

    EXPECT_NE(RunTool("synth --joinRate=2 " + dir.File("e") + " " + source), 0);

    // --careless writes other samples than the training synthesis: those of
    // its parameters given one by one.
    ASSERT_EQ(RunTool(run + "--careless " + dir.File("c") + sources), 0);
    EXPECT_NE(ReadFile(dir.File("c/t_000.smp")), first);
    std::string spelled = run;
    for (const ParamInfo &info : ParamTable())
        spelled += "--" + std::string(info.name) + "=" + std::to_string(CarelessParams().*info.field) + " ";
    ASSERT_EQ(RunTool(spelled + dir.File("s") + sources), 0);
    EXPECT_EQ(ReadFile(dir.File("s/t_000.smp")), ReadFile(dir.File("c/t_000.smp")));
}

TEST(SynthCommand, ToSamplesKeepsEveryPointOfRealInk) {
    TempDir dir;
    std::string line = R"({"char":"a","writer":"x","strokes":[[)";
    for (int i = 0; i <= 100; ++i) line += (i ? ",[" : "[") + std::to_string(i * 10) + ",0]";
    line += R"(],[[0,5],[0,600]]]})";
    const std::string input = dir.Write("real.jsonl", line + "\n" + line + "\n");
    ASSERT_EQ(RunTool("tosamples " + dir.File("full") + " " + input), 0);
    const std::string full = ReadFile(dir.File("full/real.smp"));
    EXPECT_EQ(CountRecords(full), 2);
    // Points 10 units apart stay apart at 254/1000 of their size: 101 + 2
    // points and three markers.
    EXPECT_EQ(std::uint8_t(full[0]), 6 + 2 * (101 + 2 + 3));
    EXPECT_EQ(std::uint8_t(full[6 + 2 * 100]), 254);  // the line spans the box
}

}  // namespace
