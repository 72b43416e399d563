// Tests of the handwriting sample synthesiser (tools/Synth*) and of the
// synth and tosamples subcommands.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "HTCode.h"
#include "HTFeat.h"
#include "SynthGeometry.h"
#include "SynthParams.h"
#include "SynthPen.h"
#include "SynthRandom.h"
#include "SynthSample.h"
#include "SynthSource.h"
#include "TempDir.h"

namespace {

using namespace penrune::synth;
using penrune_test::ReadFile;
using penrune_test::TempDir;

Stroke Line(Point from, Point to, int points) {
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
    return {Line({200, 200}, {800, 200}, 2), {{250, 480}, {750, 480}, {720, 760}, {650, 720}},
            Line({500, 200}, {500, 800}, 2), base};
}

std::vector<std::uint8_t> SampleBytes(const Ink &hand, const SynthParams &params, std::uint64_t seed) {
    Random rng(seed);
    std::vector<std::uint8_t> bytes;
    EXPECT_TRUE(AppendRecord(bytes, 0x738B, PlaceRandomly(Synthesize(hand, params, rng), params, rng)));
    return bytes;
}

double MeanSpacing(const Stroke &stroke) { return Length(stroke) / (stroke.size() - 1); }

// ---- geometry ----------------------------------------------------------

TEST(SynthGeometry, ReduceVerticesDropsCollinearPointsAndKeepsCorners) {
    Stroke corner = Line({0, 0}, {500, 0}, 101);
    const Stroke down = Line({500, 0}, {500, 500}, 101);
    corner.insert(corner.end(), down.begin() + 1, down.end());
    const Stroke reduced = ReduceVertices(corner, 5);
    ASSERT_EQ(reduced.size(), 3u);
    EXPECT_DOUBLE_EQ(reduced[1].x, 500);
    EXPECT_DOUBLE_EQ(reduced[1].y, 0);

    // A bump of 4 units survives a tolerance of 3 but not one of 5.
    const Stroke bump = {{0, 0}, {50, 4}, {100, 0}};
    EXPECT_EQ(ReduceVertices(bump, 3).size(), 3u);
    EXPECT_EQ(ReduceVertices(bump, 5).size(), 2u);
}

TEST(SynthGeometry, DensifyAndCutKeepTheShape) {
    const Stroke sparse = {{0, 0}, {100, 0}, {100, 37}};
    const Stroke dense = Densify(sparse, 4);
    for (std::size_t i = 1; i < dense.size(); ++i) EXPECT_LE(Distance(dense[i - 1], dense[i]), 4 + 1e-9);
    EXPECT_NEAR(Length(dense), 137, 1e-9);
    const Stroke part = Cut(dense, 90, 110);
    EXPECT_NEAR(Length(part), 20, 1e-9);
    EXPECT_NEAR(part.front().x, 90, 1e-9);
    EXPECT_NEAR(part.back().y, 10, 1e-9);
}

// ---- random numbers ----------------------------------------------------

TEST(SynthRandom, IsReproducibleAndSeedsSamplesApart) {
    Random a(7), b(7), c(8);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(a.Next(), b.Next());
    EXPECT_NE(Random(7).Next(), c.Next());
    EXPECT_NE(Random::SampleSeed(1, 0x4E00, 0), Random::SampleSeed(1, 0x4E00, 1));
    EXPECT_NE(Random::SampleSeed(1, 0x4E00, 0), Random::SampleSeed(1, 0x4E01, 0));
    EXPECT_NE(Random::SampleSeed(1, 0x4E00, 0), Random::SampleSeed(2, 0x4E00, 0));

    Random rng(3);
    double sum = 0, squares = 0;
    const int n = 20000;
    for (int i = 0; i < n; ++i) {
        const double x = rng.Normal(2.0);
        sum += x;
        squares += x * x;
    }
    EXPECT_NEAR(sum / n, 0, 0.05);
    EXPECT_NEAR(std::sqrt(squares / n), 2.0, 0.05);
    for (int i = 0; i < 1000; ++i) {
        const int k = rng.Below(3);
        EXPECT_TRUE(k >= 0 && k < 3);
    }
}

// ---- parameters --------------------------------------------------------

TEST(SynthParams, ValidationRejectsUnusableValues) {
    EXPECT_EQ(ValidateParams(SynthParams()), "");
    EXPECT_EQ(ValidateParams(NeutralParams()), "");
    const std::vector<std::pair<std::string, double>> bad = {
        {"joinRate", 1.5}, {"strokeShift", -1}, {"sizeMax", 255}, {"sizeMin", 0},
        {"spacingMin", 0}, {"spacingMin", 40}, {"reduceMin", 30}, {"joinReach", 0}, {"rotate", NAN}};
    for (const auto &[name, value] : bad) {
        SynthParams params;
        ASSERT_TRUE(SetParam(params, name, value)) << name;
        EXPECT_NE(ValidateParams(params), "") << name << " = " << value;
    }
    SynthParams params;
    EXPECT_FALSE(SetParam(params, "noSuchParameter", 1));
    EXPECT_TRUE(SetParam(params, "shearMean", -0.2));
    EXPECT_EQ(ValidateParams(params), "");
}

// Every parameter, set to the probe value on top of the neutral parameters
// and the enabling values, must change the synthesised sample.
struct Probe {
    double value;
    std::map<std::string, double> enabling;
};

TEST(SynthParams, EveryParameterChangesTheSample) {
    const std::map<std::string, Probe> probes = {
        {"rotate", {0.3, {}}},
        {"slant", {0.3, {}}},
        {"shear", {0.3, {}}},
        {"shearMean", {0.2, {}}},
        {"aspect", {0.3, {}}},
        {"warp", {40, {}}},
        {"strokeShift", {30, {}}},
        {"strokeScale", {0.3, {}}},
        {"strokeRotate", {0.3, {}}},
        {"strokeTrim", {0.2, {}}},
        {"strokeBend", {0.2, {}}},
        {"hookRate", {1, {}}},
        {"hookLength", {80, {{"hookRate", 1}, {"hookLength", 10}}}},
        {"messMin", {0, {{"strokeShift", 30}}}},
        {"swapRate", {1, {}}},
        {"rightwardRate", {1, {}}},
        {"joinRate", {1, {{"joinReach", 10000}}}},
        {"joinReach", {50, {{"joinRate", 1}, {"joinReach", 5000}}}},
        {"touchRate", {1, {{"touchReach", 300}}}},
        {"touchReach", {300, {{"touchRate", 1}, {"touchReach", 10}}}},
        {"smoothing", {30, {}}},
        {"spacingMin", {3, {{"spacingMin", 20}, {"spacingMax", 20}}}},
        {"spacingMax", {30, {}}},
        {"speedVariation", {1, {{"spacingMin", 10}, {"spacingMax", 10}}}},
        {"tremor", {5, {}}},
        {"jitter", {3, {}}},
        {"reduceRate", {1, {}}},
        {"reduceMin", {2, {{"reduceRate", 1}, {"reduceMin", 30}, {"reduceMax", 30}}}},
        {"reduceMax", {30, {{"reduceRate", 1}, {"reduceMin", 2}, {"reduceMax", 2}}}},
        {"sizeMin", {60, {}}},
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
            differing += SampleBytes(TestHand(), base, seed) != SampleBytes(TestHand(), changed, seed);
        EXPECT_GE(differing, 3) << info.name;
    }
}

// ---- the stages --------------------------------------------------------

TEST(SynthPen, SynthesisIsDeterministicPerSeed) {
    const SynthParams params;
    EXPECT_EQ(SampleBytes(TestHand(), params, 11), SampleBytes(TestHand(), params, 11));
    EXPECT_NE(SampleBytes(TestHand(), params, 11), SampleBytes(TestHand(), params, 12));
}

TEST(SynthPen, NeutralParametersTraceTheHandFaithfully) {
    Random rng(1);
    const Ink ink = Synthesize(TestHand(), NeutralParams(), rng);
    ASSERT_EQ(ink.size(), 4u);
    for (std::size_t i = 0; i < ink.size(); ++i) {
        EXPECT_NEAR(Distance(ink[i].front(), TestHand()[i].front()), 0, 1e-6);
        EXPECT_NEAR(Distance(ink[i].back(), TestHand()[i].back()), 0, 1e-6);
        EXPECT_NEAR(MeanSpacing(ink[i]), 4, 0.1);
    }
}

TEST(SynthPen, ReversesOnlyFlatLeftwardStrokes) {
    SynthParams params = NeutralParams();
    params.rightwardRate = 1;
    Ink ink = {Line({500, 100}, {100, 180}, 2),   // flat, leftwards: reversed
               Line({100, 300}, {500, 300}, 2),   // flat, rightwards: kept
               Line({500, 400}, {100, 900}, 2)};  // steep, leftwards: kept
    Random rng(1);
    DrawFlatStrokesRightwards(ink, params, rng);
    EXPECT_EQ(ink[0].front().x, 100);
    EXPECT_EQ(ink[0].back().x, 500);
    EXPECT_EQ(ink[1].front().x, 100);
    EXPECT_EQ(ink[2].front().x, 500);
}

TEST(SynthPen, SwapsOnlyAdjacentStrokesThatTouch) {
    SynthParams params = NeutralParams();
    params.swapRate = 1;
    const Ink hand = TestHand();
    std::set<std::size_t> swappedAt;
    for (std::uint64_t seed = 1; seed <= 40; ++seed) {
        Ink ink = hand;
        Random rng(seed);
        SwapStrokes(ink, params, rng);
        std::size_t changed = 0;
        for (std::size_t i = 0; i < ink.size(); ++i) changed += ink[i].front().y != hand[i].front().y ||
                                                            ink[i].front().x != hand[i].front().x;
        EXPECT_EQ(changed, 2u);
        for (std::size_t i = 0; i + 1 < ink.size(); ++i)
            if (ink[i].front().x != hand[i].front().x) swappedAt.insert(i);
    }
    // The stem touches the bars above and below it; the two upper bars are
    // 280 units apart and never swap.
    EXPECT_EQ(swappedAt, (std::set<std::size_t>{1, 2}));

    const Ink apart = {Line({0, 0}, {100, 0}, 2), Line({0, 900}, {100, 900}, 2)};
    Ink ink = apart;
    Random rng(1);
    SwapStrokes(ink, params, rng);
    EXPECT_EQ(ink[0].front().y, 0);
}

TEST(SynthPen, JoinsFollowRateAndReach) {
    SynthParams params = NeutralParams();
    auto strokesAfterJoin = [&](std::uint64_t seed) {
        Ink ink = TestHand();
        Random rng(seed);
        JoinStrokes(ink, params, rng);
        return ink.size();
    };
    std::size_t total = 0;
    for (std::uint64_t seed = 1; seed <= 50; ++seed) total += strokesAfterJoin(seed);
    EXPECT_EQ(total, 50u * 4);

    params.joinRate = 1;
    params.joinReach = 1e6;
    total = 0;
    for (std::uint64_t seed = 1; seed <= 50; ++seed) total += strokesAfterJoin(seed);
    EXPECT_LT(total, 50u * 3);  // most boundaries are joined

    params.joinReach = 100;  // every pen-up move of the hand is longer
    for (std::uint64_t seed = 1; seed <= 20; ++seed) EXPECT_EQ(strokesAfterJoin(seed), 4u);

    // A joined stroke runs from the first stroke's start to the second's end.
    Ink pair = {Line({0, 0}, {100, 0}, 2), Line({120, 40}, {200, 40}, 2)};
    params.joinReach = 1e6;
    Random rng(1);
    for (int attempt = 0; attempt < 100 && pair.size() == 2; ++attempt) {
        pair = {Line({0, 0}, {100, 0}, 2), Line({120, 40}, {200, 40}, 2)};
        JoinStrokes(pair, params, rng);
    }
    ASSERT_EQ(pair.size(), 1u);
    EXPECT_EQ(pair[0].front().x, 0);
    EXPECT_EQ(pair[0].back().x, 200);
}

TEST(SynthPen, ClosedGapsEndOnTheStrokeAhead) {
    // A stem that stops 100 units above a bar, drawn after it.
    const Ink hand = {Line({300, 500}, {700, 500}, 2), Line({500, 100}, {500, 400}, 2)};
    SynthParams params = NeutralParams();
    params.touchRate = 1;
    Random rng(1);
    const Ink closed = Synthesize(hand, params, rng);
    ASSERT_EQ(closed.size(), 2u);
    EXPECT_NEAR(closed[1].back().y, 500, 1);
    EXPECT_NEAR(closed[1].front().y, 100, 1);  // nothing lies above the stem
    EXPECT_NEAR(closed[0].front().x, 300, 1);  // nor beside the bar
    params.touchReach = 90;
    Random again(1);
    EXPECT_NEAR(Synthesize(hand, params, again)[1].back().y, 400, 1);
}

TEST(SynthPen, HooksPointTowardsTheNextStroke) {
    SynthParams params = NeutralParams();
    params.hookRate = 1;
    params.hookLength = 60;
    const Ink hand = {Line({100, 100}, {100, 600}, 50), Line({600, 100}, {900, 100}, 30)};
    Ink ink = hand;
    Random rng(5);
    VaryStrokes(ink, params, rng);
    const double before = Distance(hand[0].back(), hand[1].front());
    const double after = Distance(ink[0].back(), hand[1].front());
    EXPECT_GT(before - after, 60 * 0.3 * 0.9);
    EXPECT_LE(before - after, 60 + 1e-9);
    EXPECT_EQ(ink[1].size(), hand[1].size());  // the last stroke has nowhere to go
}

TEST(SynthPen, StrokeShiftMovesStrokesByItsStandardDeviation) {
    SynthParams params = NeutralParams();
    params.strokeShift = 20;
    double squares = 0;
    int count = 0;
    for (std::uint64_t seed = 1; seed <= 200; ++seed) {
        Ink ink = TestHand();
        Random rng(seed);
        VaryStrokes(ink, params, rng);
        for (std::size_t i = 0; i < ink.size(); ++i) {
            const Point move = Centroid(ink[i]) - Centroid(TestHand()[i]);
            squares += move.x * move.x + move.y * move.y;
            count += 2;
        }
        EXPECT_NEAR(Length(ink[2]), 600, 1e-6);  // shape unchanged
    }
    EXPECT_NEAR(std::sqrt(squares / count), 20, 1.5);
}

TEST(SynthPen, RotationSpreadMatchesItsParameter) {
    SynthParams params = NeutralParams();
    params.rotate = 0.1;
    double squares = 0;
    const int n = 300;
    for (int seed = 1; seed <= n; ++seed) {
        Ink ink = {Line({0, 500}, {1000, 500}, 2)};
        Random rng(seed);
        ApplyWriterStyle(ink, params, rng);
        const Point d = ink[0].back() - ink[0].front();
        const double angle = std::atan2(d.y, d.x);
        squares += angle * angle;
    }
    EXPECT_NEAR(std::sqrt(squares / n), 0.1, 0.01);
}

TEST(SynthPen, PenSpacingAndSpeed) {
    SynthParams params = NeutralParams();
    params.spacingMin = params.spacingMax = 10;
    Ink ink = {Line({0, 0}, {1000, 0}, 2)};
    Random rng(1);
    TracePen(ink, params, rng);
    EXPECT_NEAR(MeanSpacing(ink[0]), 10, 0.2);

    // A slowing pen leaves its points closer together at the stroke ends.
    params.speedVariation = 1;
    ink = {Line({0, 0}, {1000, 0}, 2)};
    TracePen(ink, params, rng);
    const Stroke &trace = ink[0];
    EXPECT_LT(Distance(trace[0], trace[1]), 3);
    const std::size_t middle = trace.size() / 2;
    EXPECT_NEAR(Distance(trace[middle], trace[middle + 1]), 10, 0.5);

    // A dot stays one point.
    ink = {{{50, 50}}};
    TracePen(ink, params, rng);
    EXPECT_EQ(ink[0].size(), 1u);
}

TEST(SynthPen, TraceNeverExceedsThePointBudget) {
    SynthParams params = NeutralParams();
    params.spacingMin = params.spacingMax = 0.5;
    Ink ink;
    for (int i = 0; i < 40; ++i) ink.push_back(Line({0, 25.0 * i}, {1000, 25.0 * i}, 2));
    Random rng(1);
    TracePen(ink, params, rng);
    EXPECT_LE(PointCount(ink), kMaxSamplePoints);
    EXPECT_GT(PointCount(ink), kMaxSamplePoints / 4);
}

TEST(SynthPen, VertexReductionMakesSparsePolylines) {
    SynthParams params = NeutralParams();
    params.smoothing = 20;
    params.reduceRate = 1;
    params.reduceMin = params.reduceMax = 15;
    Random a(3), b(3);
    const Ink reduced = Synthesize(TestHand(), params, a);
    params.reduceRate = 0;
    const Ink dense = Synthesize(TestHand(), params, b);
    ASSERT_EQ(reduced.size(), dense.size());
    EXPECT_LT(PointCount(reduced) * 10, PointCount(dense));
    for (std::size_t i = 0; i < reduced.size(); ++i) {
        EXPECT_EQ(Distance(reduced[i].front(), dense[i].front()), 0);
        EXPECT_EQ(Distance(reduced[i].back(), dense[i].back()), 0);
    }
}

// ---- sample records ----------------------------------------------------

TEST(SynthSample, RecordLayout) {
    const ByteInk ink = {{{1, 2}, {3, 4}}, {{5, 6}}};
    std::vector<std::uint8_t> bytes = {0xAA};
    ASSERT_TRUE(AppendRecord(bytes, 0x4E2D, ink));
    const std::vector<std::uint8_t> expected = {0xAA, 18, 0, 0x2D, 0x4E, 0, 0, 1, 2, 3, 4, 255, 0,
                                                5,    6,  255, 0, 255, 255};
    EXPECT_EQ(bytes, expected);

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

TEST(SynthSample, QuantizeScalesTheLongerSideAndDropsRepeats) {
    const Ink ink = {{{100, 100}, {100.2, 100.1}, {600, 100}}, {{100, 350}}};
    const ByteInk bytes = Quantize(ink, 200, 10, 20);
    ASSERT_EQ(bytes.size(), 2u);
    ASSERT_EQ(bytes[0].size(), 2u);
    EXPECT_EQ(bytes[0][0].x, 10);
    EXPECT_EQ(bytes[0][0].y, 20);
    EXPECT_EQ(bytes[0][1].x, 210);
    EXPECT_EQ(bytes[1][0].y, 120);  // aspect ratio kept

    SynthParams params;
    for (std::uint64_t seed = 1; seed <= 50; ++seed) {
        Random rng(seed);
        const ByteInk placed = PlaceRandomly(TestHand(), params, rng);
        int low = 255, high = -1;
        for (const ByteStroke &stroke : placed)
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

    const char *bad[] = {
        "not json",
        R"({"strokes":[[[1,2]]]})",
        R"({"char":"中"})",
        R"({"char":"中国","strokes":[[[1,2]]]})",
        R"({"char":"😀","strokes":[[[1,2]]]})",
        R"({"char":7,"strokes":[[[1,2]]]})",
        R"({"char":"中","strokes":[[[1,2,3]]]})",
        R"({"char":"中","strokes":[[["1",2]]]})",
        R"({"char":"中","strokes":[[]]})",
    };
    for (const char *line : bad) EXPECT_THROW(ParseHand(line), std::runtime_error) << line;

    TempDir dir;
    const std::string path = dir.Write("hands.jsonl", std::string(R"({"char":"a","strokes":[[[0,0]]]})") +
                                                          "\n\n" + R"({"char":"b","strokes":"x"})" + "\n");
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
    const int n = 4000;
    for (int i = 0; i < n; ++i) fromFirst += library.Pick('a', rng)->front().front().x == 0;
    EXPECT_NEAR(fromFirst / double(n), 0.75, 0.03);
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

TEST(SynthCommand, WritesChunkedSampleFilesThatTheFeatureStageReads) {
    TempDir dir;
    const std::string source = dir.Write("src.jsonl",
        R"({"char":"一","strokes":[[[100,500],[900,480]]]})" "\n"
        R"({"char":"二","strokes":[[[200,300],[800,300]],[[100,700],[900,700]]]})" "\n"
        R"({"char":"十","strokes":[[[100,500],[900,500]],[[500,100],[500,900]]]})" "\n");
    const std::string other = dir.Write("other.jsonl", R"({"char":"十","strokes":[[[500,100],[500,900]]]})" "\n");
    const std::string run = "synth --samples=3 --chars-per-file=2 --prefix=t ";
    ASSERT_EQ(RunTool(run + dir.File("a") + " " + source + " " + other + ":2"), 0);
    ASSERT_EQ(RunTool(run + dir.File("b") + " " + source + " " + other + ":2"), 0);
    ASSERT_EQ(RunTool(run + "--seed=2 " + dir.File("c") + " " + source + " " + other + ":2"), 0);
    const std::string first = ReadFile(dir.File("a/t_000.smp"));
    EXPECT_EQ(CountRecords(first), 6);
    EXPECT_EQ(CountRecords(ReadFile(dir.File("a/t_001.smp"))), 3);
    EXPECT_EQ(first, ReadFile(dir.File("b/t_000.smp")));
    EXPECT_NE(first, ReadFile(dir.File("c/t_000.smp")));

    // A character gets at least --hand-samples samples per hand: 十 has two.
    ASSERT_EQ(RunTool("synth --samples=1 --hand-samples=3 " + dir.File("h") + " " + source + " " + other), 0);
    EXPECT_EQ(CountRecords(ReadFile(dir.File("h/synth_000.smp"))), 3 + 3 + 6);

    // Only characters of the charset are written.
    std::filesystem::create_directories(dir.File("charset"));
    dir.Write("charset/char_number.txt", "二 4\n十 4\n一 0\n");
    ASSERT_EQ(RunTool("synth --samples=2 --charset=" + dir.File("charset") + " " + dir.File("d") + " " + source), 0);
    EXPECT_EQ(CountRecords(ReadFile(dir.File("d/synth_000.smp"))), 4);

    // The training's feature stage accepts every record.
    dir.Write("charset/char_bit2.txt", "二\n十\n");
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
    for (int i = 0; i <= 100; ++i) line += (i ? "," : "") + std::string("[") + std::to_string(i * 10) + ",0]";
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
