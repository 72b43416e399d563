#include "HWKernel.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <vector>

#include "ModelImage.h"
#include "TempDir.h"

// Segments compare and print in the global namespace, where gtest finds them.
inline bool operator==(const _HW_SEGMENT &a, const _HW_SEGMENT &b) { return a.first == b.first && a.end == b.end; }
inline std::ostream &operator<<(std::ostream &os, const _HW_SEGMENT &s) {
    return os << '(' << s.first << ", " << s.end << ')';
}

namespace {

using Points = std::vector<_HR_POINT16>;

const _HR_POINT16 kStrokeEnd = {0xFFFF, 0x0000};
const _HR_POINT16 kDataEnd = {0xFFFF, 0xFFFF};

bool Same(_HR_POINT16 a, _HR_POINT16 b) { return a.x == b.x && a.y == b.y; }

// n points from (x0, y0) to (x1, y1), ended by a stroke-end marker.
Points Line(int x0, int y0, int x1, int y1, int n = 5) {
    Points points;
    for (int i = 0; i < n; ++i)
        points.push_back({static_cast<HR_UINT16>(x0 + (x1 - x0) * i / (n - 1)),
                          static_cast<HR_UINT16>(y0 + (y1 - y0) * i / (n - 1))});
    points.push_back(kStrokeEnd);
    return points;
}

// Everything a host can observe of an instance: the stroke table, the points
// through the end-of-data point (x << 16 | y) and the candidates with scores.
struct Snapshot {
    std::vector<std::pair<HR_INT32, HR_INT32>> strokes;
    std::vector<HR_UINT32> points;
    std::vector<std::pair<std::u16string, HR_UINT32>> candidates;
    bool operator==(const Snapshot &o) const {
        return strokes == o.strokes && points == o.points && candidates == o.candidates;
    }
};

// A model that gives every input the same answer, so that the lists made by
// the embedded lexicon are rich and predictable: a zero matrix projects any
// input to 0, and the k-th nearest prototype there is the k-th character of
// kRanked.
const std::u16string kRanked = u"中国人大一上下小";

std::vector<uint8_t> FixedAnswerModel() {
    std::u16string byCode = kRanked;  // the image lists prototypes by code
    std::sort(byCode.begin(), byCode.end());
    penrune::test::ModelLayout layout;
    layout.centres.push_back({});
    layout.members.emplace_back();
    for (char16_t c : byCode) {
        penrune::test::ModelPrototype prototype;
        prototype.code = c;
        prototype.values.fill(static_cast<int8_t>(1 + kRanked.find(c)));
        layout.members[0].push_back(static_cast<uint16_t>(layout.prototypes.size()));
        layout.prototypes.push_back(prototype);
    }
    return penrune::test::BuildModelImage(layout);
}

class KernelTest : public ::testing::Test {
protected:
    // A kernel over the embedded model, or over FixedAnswerModel.
    void Start(bool fixedModel = false) {
        if (fixedModel) model_ = FixedAnswerModel();
        modelData_ = model_.data();
        block_.assign(HWKernel_GetInstanceSize() / sizeof(HR_UINT64) + 1, 0);
        kernel_ = HWKernel_Initialize(block_.data(), 0, fixedModel ? &modelData_ : nullptr);
        ASSERT_EQ(static_cast<void *>(kernel_), static_cast<void *>(block_.data()));
    }

    void TearDown() override {
        if (kernel_ != nullptr) HWKernel_Terminate(kernel_);
    }

    int Add(const Points &points) {
        return HWKernel_AddStroke(kernel_, points.data(), static_cast<HR_UINT32>(points.size()));
    }

    std::vector<_HW_SEGMENT> Segments(const std::vector<_HW_RECT> &boxes) {
        kernel_->strokeTotal = static_cast<HR_INT32>(boxes.size());
        std::copy(boxes.begin(), boxes.end(), kernel_->box);
        HWKernel_CalcHistogram(kernel_);
        return std::vector<_HW_SEGMENT>(kernel_->segment, kernel_->segment + kernel_->segmentTotal);
    }

    Snapshot Observe() const {
        Snapshot s;
        for (HR_INT32 k = 0; k < kernel_->strokeTotal; ++k)
            s.strokes.push_back({kernel_->stroke[k].first, kernel_->stroke[k].length});
        for (HR_INT32 i = 0; i <= kernel_->pointTotal; ++i)
            s.points.push_back(static_cast<HR_UINT32>(kernel_->point[i].x) << 16 | kernel_->point[i].y);
        for (HR_UINT16 i = 0; i < HWKernel_GetCandTotal(kernel_); ++i) {
            HR_UINT16 text[1100];
            HR_INT32 n = HWKernel_GetCandItem(kernel_, i, text, 1100);
            s.candidates.push_back({std::u16string(text, text + n), PYCand_GetItem(&kernel_->cand, i)->score});
        }
        return s;
    }

    // Stroke table and point buffer agree with each other.
    void ExpectConsistentStrokes() const {
        HR_INT32 next = 0;
        for (HR_INT32 k = 0; k < kernel_->strokeTotal; ++k) {
            const _HW_STROKE &s = kernel_->stroke[k];
            EXPECT_EQ(s.first, next) << k;
            EXPECT_GE(s.length, 2) << k;
            for (HR_INT32 i = 0; i + 1 < s.length; ++i) EXPECT_NE(kernel_->point[s.first + i].x, 0xFFFF) << k;
            EXPECT_EQ(kernel_->point[s.first + s.length - 1].x, 0xFFFF) << k;
            EXPECT_EQ(HWKernel_GetStrokeDataLen(kernel_, static_cast<HR_UINT16>(k)), s.length);
            EXPECT_EQ(HWKernel_GetStrokeDataPtr(kernel_, static_cast<HR_UINT16>(k)), &kernel_->point[s.first]);
            next += s.length;
        }
        EXPECT_EQ(kernel_->pointTotal, next);
        if (kernel_->strokeTotal > 0) {
            EXPECT_TRUE(Same(kernel_->point[next], kDataEnd));
        }
    }

    std::vector<HR_UINT64> block_;
    std::vector<uint8_t> model_;
    const HR_UINT8 *modelData_ = nullptr;
    _HW_KERNEL *kernel_ = nullptr;
};

using Segs = std::vector<_HW_SEGMENT>;

TEST_F(KernelTest, RefusesCallsBeyondThePointBuffer) {
    Start();
    Points points = Line(0, 0, 100, 100);
    EXPECT_EQ(HWKernel_AddStroke(kernel_, points.data(), 0), 0);
    EXPECT_EQ(HWKernel_Recognize(kernel_), 0);

    Points big;
    for (int i = 0; i < 15999; ++i) big.push_back({static_cast<HR_UINT16>(i % 2000), static_cast<HR_UINT16>(i / 8)});
    ASSERT_EQ(Add(big), 1);  // no final marker: one is added
    EXPECT_EQ(HWKernel_GetStrokeDataLen(kernel_, 0), 16000);
    Points more(383, _HR_POINT16{5, 5});
    EXPECT_EQ(Add(more), 0);  // 16000 + 383 + 1 > 16383
    EXPECT_EQ(kernel_->pointTotal, 16000);
    EXPECT_EQ(HWKernel_GetStrokeTotal(kernel_), 1);
    more.pop_back();
    EXPECT_EQ(Add(more), 1);
    EXPECT_EQ(kernel_->pointTotal, 16383);
    ExpectConsistentStrokes();
}

TEST_F(KernelTest, HoldsAtMost1024StrokesAndRefusesCallsThatWouldExceedIt) {
    Start();
    auto dots = [](int n) {
        Points points;
        for (int i = 0; i < n; ++i) {
            points.push_back({static_cast<HR_UINT16>(10 * i), static_cast<HR_UINT16>(i % 7)});
            points.push_back(kStrokeEnd);
        }
        return points;
    };
    EXPECT_EQ(Add(dots(1025)), 0);  // refused whole, not stored in part
    EXPECT_EQ(HWKernel_GetStrokeTotal(kernel_), 0);
    ASSERT_EQ(Add(dots(1024)), 1);
    EXPECT_EQ(HWKernel_GetStrokeTotal(kernel_), 1024);
    ExpectConsistentStrokes();
    EXPECT_EQ(HWKernel_GetCandTotal(kernel_), 0u);
    EXPECT_EQ(Add(dots(1)), 0);
    EXPECT_EQ(Add(Points{{1, 1}}), 0);  // even a call that would store nothing
    EXPECT_EQ(HWKernel_DelStroke(kernel_), 1);
    EXPECT_EQ(kernel_->cand.strokes, 1023u);
    EXPECT_EQ(Add(dots(1)), 1);
    EXPECT_EQ(HWKernel_GetStrokeTotal(kernel_), 1024);
    HWKernel_Reset(kernel_);
    EXPECT_EQ(HWKernel_GetStrokeTotal(kernel_), 0);
    EXPECT_EQ(Add(dots(1)), 1);
}

TEST_F(KernelTest, StoresStrokesByTheirMarkers) {
    Start();
    ASSERT_EQ(Add(Points{{1, 2}, {3, 4}, {5, 6}}), 1);  // no marker: one is appended
    EXPECT_EQ(HWKernel_GetStrokeDataLen(kernel_, 0), 4);
    EXPECT_TRUE(Same(HWKernel_GetStrokeDataPtr(kernel_, 0)[3], kStrokeEnd));
    EXPECT_EQ(Add(Points{{7, 8}}), 1);  // a lone point is dropped
    EXPECT_EQ(HWKernel_GetStrokeTotal(kernel_), 1);
    EXPECT_EQ(Add(Points{{7, 8}, kStrokeEnd}), 1);
    EXPECT_EQ(HWKernel_GetStrokeDataLen(kernel_, 1), 2);

    // Two markers in a row: the second is dropped; a host marker is kept as is.
    const _HR_POINT16 hostEnd = {0xFFFF, 0x1234};
    ASSERT_EQ(Add(Points{{10, 10}, {20, 20}, kStrokeEnd, kStrokeEnd, {30, 30}, hostEnd}), 1);
    ASSERT_EQ(HWKernel_GetStrokeTotal(kernel_), 4);
    EXPECT_EQ(HWKernel_GetStrokeDataLen(kernel_, 2), 3);
    EXPECT_EQ(HWKernel_GetStrokeDataLen(kernel_, 3), 2);
    EXPECT_TRUE(Same(HWKernel_GetStrokeDataPtr(kernel_, 3)[0], _HR_POINT16{30, 30}));
    EXPECT_TRUE(Same(HWKernel_GetStrokeDataPtr(kernel_, 3)[1], hostEnd));
    EXPECT_EQ(HWKernel_GetStrokeDataPtr(kernel_, 4), nullptr);
    EXPECT_EQ(HWKernel_GetStrokeDataLen(kernel_, 4), 0);
    ExpectConsistentStrokes();
    // Each stored stroke ran its own pass: pass 3 holds three blocks of 8.
    EXPECT_EQ(kernel_->cand.strokes, 4u);
    EXPECT_EQ(kernel_->cand.entryRange[3].end - kernel_->cand.entryRange[3].first, 24u);
}

TEST_F(KernelTest, DelStrokeBringsBackThePreviousStateAndAddingAgainRepeatsIt) {
    Start(true);
    EXPECT_EQ(HWKernel_DelStroke(kernel_), 0);
    const Points strokes[4] = {Line(0, 0, 100, 100), Line(100, 0, 0, 100), Line(300, 0, 300, 100),
                               Line(250, 50, 350, 50, 9)};
    for (int i = 0; i < 3; ++i) ASSERT_EQ(Add(strokes[i]), 1);
    Snapshot three = Observe();
    ASSERT_EQ(Add(strokes[3]), 1);
    Snapshot four = Observe();
    ASSERT_GE(four.candidates.size(), 10u);  // characters, phrases and completions
    ASSERT_FALSE(four.candidates == three.candidates);

    EXPECT_EQ(HWKernel_DelStroke(kernel_), 1);
    EXPECT_EQ(kernel_->pointTotal, four.strokes[3].first);
    EXPECT_EQ(Observe(), three);
    ASSERT_EQ(Add(strokes[3]), 1);
    EXPECT_EQ(Observe(), four);

    for (int i = 0; i < 4; ++i) EXPECT_EQ(HWKernel_DelStroke(kernel_), 1);
    EXPECT_EQ(kernel_->pointTotal, 0);
    EXPECT_EQ(HWKernel_GetCandTotal(kernel_), 0u);
    EXPECT_EQ(HWKernel_DelStroke(kernel_), 0);
}

TEST_F(KernelTest, SeparatedCharactersPutTheSegmentationCandidateFirst) {
    Start(true);
    ASSERT_EQ(Add(Line(0, 0, 100, 100)), 1);
    ASSERT_EQ(Add(Line(300, 0, 400, 100)), 1);
    EXPECT_EQ(kernel_->box[1].left, 300);
    EXPECT_EQ(kernel_->box[1].bottom, 100);
    EXPECT_EQ(Segs(kernel_->segment, kernel_->segment + kernel_->segmentTotal), (Segs{{0, 1}, {1, 2}}));

    // The best character of stroke 0 alone, then of stroke 1 alone, with
    // score 0; 中 for stroke 0 (distance 64) then 国 for stroke 1 (256) spell 中国.
    const std::vector<std::pair<std::u16string, HR_UINT32>> list = Observe().candidates;
    ASSERT_FALSE(list.empty());
    EXPECT_EQ(list[0], std::make_pair(kRanked.substr(0, 1) + kRanked[0], 0u));
    HR_UINT16 text[4] = {7, 7, 7, 7};  // the getter keeps within its capacity
    EXPECT_EQ(HWKernel_GetCandItem(kernel_, 0, text, 2), 2);
    EXPECT_EQ(std::u16string(text, text + 3), kRanked.substr(0, 1) + u'\0' + u'\7');
    EXPECT_EQ(PYCand_GetItem(&kernel_->cand, 0)->phraseId, 0u);
    EXPECT_NE(std::find(list.begin(), list.end(), std::make_pair(std::u16string(u"中国"), 320u)), list.end());

    std::vector<char> log(HW_KERNEL_LOG_SIZE);
    HR_UINT16 length = HWKernel_Log(kernel_, log.data());
    EXPECT_EQ(std::strlen(log.data()), length);
    EXPECT_EQ(std::string(log.data(), 2), "0.");
}

TEST_F(KernelTest, HistogramCutsAtTheMiddleOfWideGapsAndAssignsStrokesInWritingOrder) {
    Start();
    const _HW_RECT a = {0, 0, 100, 100}, b = {300, 0, 400, 100};
    // A narrow stroke across the cut at 200 maps into no bin, so the cut
    // stays; it fits no box and opens a segment of its own.
    const _HW_RECT straddle = {200, 0, 203, 100};
    const struct {
        const char *what;
        std::vector<_HW_RECT> boxes;
        Segs expected;
    } cases[] = {
        {"two boxes", {a, b}, {{0, 1}, {1, 2}}},
        // A one-bin gap (74, 75) cuts at 298: a stroke ending there lies in
        // the left box, edges inclusive; one ending a unit later fits no box.
        {"edge inside", {a, {90, 0, 298, 10}, b}, {{0, 2}, {2, 3}}},
        {"edge outside", {a, {90, 0, 299, 10}, b}, {{0, 1}, {1, 2}, {2, 3}}},
        // Only gaps as long as 40 % of the biggest stroke cut (6 bins of 100).
        {"short gap", {a, {120, 0, 220, 100}, {500, 0, 600, 100}}, {{0, 2}, {2, 3}}},
        {"narrow line", {a, {120, 0, 150, 100}, {0, 200, 140, 210}}, {{0, 3}}},
        {"zero width", {{50, 0, 50, 100}, {50, 200, 50, 300}}, {{0, 2}}},
        // The dot at the right end falls into no bin: the empty run reaches
        // the end and is no gap.
        {"trailing dot", {{0, 0, 50, 10}, {1000, 0, 1000, 10}}, {{0, 2}}},
        {"one stroke", {{5, 5, 6, 6}}, {{0, 1}}},
        {"straddle between", {a, straddle, b}, {{0, 1}, {1, 2}, {2, 3}}},
        {"straddle first", {straddle, a, b}, {{0, 2}, {2, 3}}},
        {"back into the first box", {a, b, {10, 10, 90, 90}}, {{0, 1}, {1, 2}, {2, 3}}},
        // A stroke that fits no box leaves the current box in force.
        {"straddle after the second box", {a, b, straddle, {310, 10, 390, 90}}, {{0, 1}, {1, 2}, {2, 4}}},
    };
    for (const auto &c : cases) EXPECT_EQ(Segments(c.boxes), c.expected) << c.what;
}

// Random host behaviour: point streams of every kind (plausible pen
// paths, any 16-bit values, markers anywhere) mixed with deletions,
// resets and candidate reads at any index and capacity. The instance must
// stay consistent and never write past what the host handed it; run under
// the sanitizers this also guards every buffer inside the kernel.
TEST_F(KernelTest, RandomHostCallsKeepTheInstanceConsistent) {
    Start();
    std::mt19937 rng(5);
    auto below = [&](unsigned n) { return static_cast<unsigned>(rng() % n); };
    for (int round = 0; round < 400; ++round) {
        const unsigned op = below(6);
        if (op <= 2) {
            Points points(below(10) == 0 ? below(3000) : below(200));
            HR_UINT16 x = static_cast<HR_UINT16>(below(1000)), y = static_cast<HR_UINT16>(below(1000));
            const bool wild = below(3) == 0;
            for (_HR_POINT16 &p : points) {
                x = static_cast<HR_UINT16>(wild ? rng() : x + below(21) - 10);
                y = static_cast<HR_UINT16>(wild ? rng() : y + below(21) - 10);
                const unsigned kind = below(50);
                p = kind == 0 ? kStrokeEnd : kind == 1 ? kDataEnd : _HR_POINT16{x, y};
            }
            const HR_INT32 before = kernel_->pointTotal;
            if (Add(points) == 0) {
                EXPECT_EQ(kernel_->pointTotal, before);
            }
        } else if (op == 3) {
            below(10) == 0 ? HWKernel_Reset(kernel_) : static_cast<void>(HWKernel_DelStroke(kernel_));
        } else {
            const HR_UINT16 index = static_cast<HR_UINT16>(below(HWKernel_GetCandTotal(kernel_) + 2));
            const HR_UINT16 capacity = static_cast<HR_UINT16>(below(24));
            std::vector<HR_UINT16> utf16(capacity + 1, 0xBEEF);
            std::vector<char> utf8(capacity + 1, '#');
            HWKernel_GetCandItem(kernel_, index, utf16.data(), capacity);
            HWKernel_GetCandItemUtf8(kernel_, index, utf8.data(), capacity);
            EXPECT_EQ(utf16[capacity], 0xBEEF) << "UTF-16 read wrote past capacity " << capacity;
            EXPECT_EQ(utf8[capacity], '#') << "UTF-8 read wrote past capacity " << capacity;
        }
        ASSERT_LE(kernel_->strokeTotal, HW_STROKE_MAX);
        ASSERT_LT(kernel_->pointTotal, HW_POINT_MAX);
        ExpectConsistentStrokes();
    }
    std::vector<char> log(HW_KERNEL_LOG_SIZE + 1, '#');
    const HR_UINT16 length = HWKernel_Log(kernel_, log.data());
    EXPECT_EQ(length, std::strlen(log.data()));
    EXPECT_EQ(log[HW_KERNEL_LOG_SIZE], '#');
}

// The command-line tool, run as a separate process.
struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

ToolRun RunTool(const penrune_test::TempDir &dir, const std::string &args) {
    const std::string out = dir.File("stdout"), err = dir.File("stderr");
    int raw =
        std::system((std::string("'") + PENRUNE_TOOL_PATH + "' " + args + " >'" + out + "' 2>'" + err + "'").c_str());
    EXPECT_TRUE(WIFEXITED(raw)) << args;
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, penrune_test::ReadFile(out), penrune_test::ReadFile(err)};
}

const char kTwoCharacters[] = "[[[0,0],[50,50],[100,100]], [[300,0],[350,50],[400,100]]]";

TEST(RecognizeTool, PrintsTheSameRankedCandidatesAsTextAndJson) {
    penrune_test::TempDir dir;
    const std::string file = dir.Write("line.json", kTwoCharacters);
    ToolRun text = RunTool(dir, "recognize '" + file + "'"), json = RunTool(dir, "recognize '" + file + "' --json");
    ASSERT_EQ(text.status, 0) << text.err;
    ASSERT_EQ(json.status, 0) << json.err;
    nlohmann::json last = nlohmann::json::parse(json.out);
    EXPECT_EQ(last["strokes"], 2);
    ASSERT_FALSE(last["candidates"].empty());
    EXPECT_EQ(last["candidates"][0]["score"], 0);  // the segmentation candidate
    std::string lines;
    for (const nlohmann::json &c : last["candidates"])
        lines += c["rank"].dump() + "\t" + c["text"].get<std::string>() + "\t" + c["score"].dump() + "\n";
    EXPECT_EQ(text.out, lines);

    nlohmann::json passes = nlohmann::json::parse(RunTool(dir, "recognize --json --each '" + file + "'").out);
    ASSERT_EQ(passes.size(), 2u);
    EXPECT_EQ(passes[0]["strokes"], 1);
    EXPECT_EQ(passes[1], last);
    EXPECT_EQ(RunTool(dir, "recognize --each '" + file + "'").out.rfind("stroke 1\n", 0), 0u);
}

TEST(RecognizeTool, RejectsBadInputWithOneLineOnStderr) {
    penrune_test::TempDir dir;
    // Empty stroke, fraction, marker value, negative, triple, string, flat
    // list, object, unbalanced, empty file, no strokes, out of range.
    const char *bad[] = {"[[[0,0],[5,5]], []]", "[[[0,0.5]]]", "[[[0,65535]]]", "[[[-1,0]]]",
                         "[[[0,0,0]]]", "[[[0,\"1\"]]]", "[[0,0]]", "{\"a\":1}", "[[[0,0]]", "", "[]",
                         "[[[1,99999999999999999999]]]"};
    for (const char *content : bad) {
        const std::string file = dir.Write("bad.json", content);
        ToolRun run = RunTool(dir, "recognize '" + file + "'");
        EXPECT_EQ(run.status, 1) << content;
        EXPECT_TRUE(run.out.empty()) << content;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << content << ": " << run.err;
    }
    ToolRun missing = RunTool(dir, "recognize '" + dir.File("missing.json") + "'");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("missing.json"), std::string::npos);
    EXPECT_EQ(RunTool(dir, "recognize").status, 2);
}

TEST(LexiconTool, BuildsAnImageThatTheViewReads) {
    penrune_test::TempDir dir;
    const std::string phrases = dir.Write("phrases.txt", "中 zhong 100\n中国 zhongguo 60\n国 guo 40\n");
    const std::string image = dir.File("lex.dat");
    ToolRun run = RunTool(dir, "lexicon '" + dir.File("none.txt") + "' '" + phrases + "' '" + image + "' '" +
                                   dir.File("errors.txt") + "'");
    ASSERT_EQ(run.status, 0) << run.err;
    std::string bytes = penrune_test::ReadFile(image);
    ASSERT_GE(bytes.size(), 32u);
    EXPECT_EQ(bytes.substr(0, 4), "PYS1");
    EXPECT_FALSE(penrune_test::ReadFile(image + ".c").empty());
    const HR_UINT8 *data = reinterpret_cast<const HR_UINT8 *>(bytes.data());
    _PY_LEX lex;
    PYLex_Initialize(&lex, &data);
    EXPECT_EQ(PYLex_GetTotal(&lex), 3u);

    run = RunTool(dir, "lexicon x '" + dir.File("missing.txt") + "' '" + image + "' e");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("missing.txt"), std::string::npos);
    EXPECT_EQ(RunTool(dir, "lexicon a b c").status, 2);
}

}  // namespace
