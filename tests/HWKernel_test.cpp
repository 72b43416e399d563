// SPDX-License-Identifier: MIT
#include "penrune/HWKernel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "TempDir.h"

namespace {

using Points = std::vector<_HR_POINT16>;
using Segs = std::vector<std::pair<HR_INT32, HR_INT32>>;               // [first, end) of each segment
using Candidates = std::vector<std::pair<std::u16string, HR_UINT32>>;  // text and score

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

// A kernel over the embedded model in a host-allocated block.
class KernelTest : public ::testing::Test {
protected:
    void SetUp() override {
        block_.assign(HWKernel_GetInstanceSize() / sizeof(HR_UINT64) + 1, 0);
        kernel_ = HWKernel_Initialize(block_.data(), 0, nullptr);
        ASSERT_EQ(static_cast<void *>(kernel_), static_cast<void *>(block_.data()));
    }

    void TearDown() override {
        if (kernel_ != nullptr) HWKernel_Terminate(kernel_);
    }

    int Add(const Points &points) {
        return HWKernel_AddStroke(kernel_, points.data(), static_cast<HR_UINT32>(points.size()));
    }

    // The segments of the latest segmentation, or of the given stroke boxes.
    Segs Segments(const std::vector<_HW_RECT> &boxes = {}) {
        if (!boxes.empty()) {
            kernel_->strokeTotal = static_cast<HR_INT32>(boxes.size());
            std::copy(boxes.begin(), boxes.end(), kernel_->box);
            HWKernel_CalcHistogram(kernel_);
        }
        Segs segs;
        for (HR_INT32 i = 0; i < kernel_->segmentTotal; ++i)
            segs.push_back({kernel_->segment[i].first, kernel_->segment[i].end});
        return segs;
    }

    // Everything a host can observe: the stroke table, the points through
    // the end-of-data point, and the candidates.
    std::pair<std::string, Candidates> Observe() const {
        Candidates list;
        for (HR_UINT16 i = 0; i < HWKernel_GetCandTotal(kernel_); ++i) {
            HR_UINT16 text[1100];
            HR_INT32 n = HWKernel_GetCandItem(kernel_, i, text, 1100);
            list.push_back({std::u16string(text, text + n), PYCand_GetItem(&kernel_->cand, i)->score});
        }
        const char *strokes = reinterpret_cast<const char *>(kernel_->stroke);
        const char *points = reinterpret_cast<const char *>(kernel_->point);
        return {std::string(strokes, kernel_->strokeTotal * sizeof(_HW_STROKE)) +
                    std::string(points, (kernel_->pointTotal + 1) * sizeof(_HR_POINT16)),
                list};
    }

    // Stroke table and point buffer agree with each other.
    void ExpectConsistentStrokes() const {
        HR_INT32 next = 0;
        for (HR_UINT16 k = 0; k < kernel_->strokeTotal; ++k) {
            const _HW_STROKE &s = kernel_->stroke[k];
            ASSERT_TRUE(s.first == next && s.length >= 2) << k;
            for (HR_INT32 i = 0; i < s.length; ++i)  // a marker ends the stroke, and only there
                EXPECT_EQ(kernel_->point[s.first + i].x == 0xFFFF, i + 1 == s.length) << k;
            EXPECT_EQ(HWKernel_GetStrokeDataLen(kernel_, k), s.length);
            EXPECT_EQ(HWKernel_GetStrokeDataPtr(kernel_, k), &kernel_->point[s.first]);
            next += s.length;
        }
        EXPECT_EQ(kernel_->pointTotal, next);
        EXPECT_TRUE(kernel_->strokeTotal == 0 || Same(kernel_->point[next], kDataEnd));
    }

    std::vector<HR_UINT64> block_;
    _HW_KERNEL *kernel_ = nullptr;
};

TEST_F(KernelTest, RefusesCallsBeyondThePointAndStrokeBuffers) {
    EXPECT_EQ(HWKernel_AddStroke(kernel_, Line(0, 0, 9, 9).data(), 0), 0);
    Points big;
    for (int i = 0; i < 15999; ++i) big.push_back({static_cast<HR_UINT16>(i % 2000), static_cast<HR_UINT16>(i / 8)});
    ASSERT_EQ(Add(big), 1);  // no final marker: one is added
    Points more(383, _HR_POINT16{5, 5});
    EXPECT_EQ(Add(more), 0);  // 16000 + 383 + 1 > 16383: refused whole
    EXPECT_EQ(kernel_->pointTotal, 16000);
    more.pop_back();
    EXPECT_EQ(Add(more), 1);
    EXPECT_EQ(kernel_->pointTotal, 16383);
    ExpectConsistentStrokes();

    HWKernel_Reset(kernel_);
    Points dots;
    for (int i = 0; i < 1025; ++i) dots.insert(dots.end(), {{static_cast<HR_UINT16>(10 * i), 0}, kStrokeEnd});
    EXPECT_EQ(Add(dots), 0);  // 1025 strokes: refused whole, not stored in part
    EXPECT_EQ(HWKernel_GetStrokeTotal(kernel_), 0);
    dots.resize(2048);
    ASSERT_EQ(Add(dots), 1);
    EXPECT_EQ(HWKernel_GetStrokeTotal(kernel_), 1024);
    ExpectConsistentStrokes();
    EXPECT_EQ(Add(Points{{1, 1}}), 0);  // even a call that would store nothing
}

TEST_F(KernelTest, StoresStrokesByTheirMarkers) {
    EXPECT_EQ(Add(Points{{7, 8}}), 1);  // a lone point is dropped
    EXPECT_EQ(HWKernel_GetStrokeTotal(kernel_), 0);
    // No final marker: one is appended. Two markers in a row: the second is
    // dropped. A host marker is kept as is.
    const _HR_POINT16 hostEnd = {0xFFFF, 0x1234};
    ASSERT_EQ(Add(Points{{10, 10}, {20, 20}, kStrokeEnd, kStrokeEnd, {30, 30}, hostEnd, {1, 2}, {3, 4}}), 1);
    ASSERT_EQ(HWKernel_GetStrokeTotal(kernel_), 3);
    EXPECT_EQ(HWKernel_GetStrokeDataLen(kernel_, 0), 3);
    EXPECT_TRUE(Same(HWKernel_GetStrokeDataPtr(kernel_, 1)[1], hostEnd));
    EXPECT_TRUE(Same(HWKernel_GetStrokeDataPtr(kernel_, 2)[2], kStrokeEnd));
    EXPECT_EQ(HWKernel_GetStrokeDataPtr(kernel_, 3), nullptr);
    ExpectConsistentStrokes();
    // Each stored stroke ran its own pass: pass 3 holds three blocks of 8.
    EXPECT_EQ(kernel_->cand.entryRange[3].end - kernel_->cand.entryRange[3].first, 24u);
}

TEST_F(KernelTest, DelStrokeBringsBackThePreviousStateAndAddingAgainRepeatsIt) {
    EXPECT_EQ(HWKernel_DelStroke(kernel_), 0);
    const Points strokes[4] = {Line(0, 0, 100, 100), Line(100, 0, 0, 100), Line(300, 0, 400, 100),
                               Line(400, 0, 300, 100, 9)};
    for (int i = 0; i < 3; ++i) ASSERT_EQ(Add(strokes[i]), 1);
    const auto three = Observe();
    // A cross and, apart from it, a stroke are two characters; the best of
    // each, with score 0, stands first.
    EXPECT_EQ(Segments(), (Segs{{0, 2}, {2, 3}}));
    ASSERT_FALSE(three.second.empty());
    EXPECT_EQ(three.second[0].first.size(), 2u);
    EXPECT_EQ(three.second[0].second, 0u);
    ASSERT_EQ(Add(strokes[3]), 1);
    const auto four = Observe();
    ASSERT_GE(four.second.size(), 10u);  // characters, phrases and completions
    ASSERT_NE(four.second, three.second);
    EXPECT_EQ(HWKernel_DelStroke(kernel_), 1);
    EXPECT_EQ(Observe(), three);
    ASSERT_EQ(Add(strokes[3]), 1);
    EXPECT_EQ(Observe(), four);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(HWKernel_DelStroke(kernel_), 1);
    EXPECT_EQ(kernel_->pointTotal, 0);
    EXPECT_EQ(HWKernel_GetCandTotal(kernel_), 0u);
}

TEST_F(KernelTest, HistogramCutsAtTheMiddleOfWideGapsAndAssignsStrokesInWritingOrder) {
    const _HW_RECT a = {0, 0, 100, 100}, b = {300, 0, 400, 100};
    const struct {
        const char *what;
        std::vector<_HW_RECT> boxes;
        Segs expected;
    } cases[] = {
        // A one-bin gap (74, 75) cuts at 298: a stroke ending there lies in
        // the left box, edges inclusive; one ending a unit later fits no box.
        {"edge inside", {a, {90, 0, 298, 10}, b}, {{0, 2}, {2, 3}}},
        {"edge outside", {a, {90, 0, 299, 10}, b}, {{0, 1}, {1, 2}, {2, 3}}},
        // Only gaps as long as 40 % of the biggest stroke cut (6 bins of 100).
        {"short gap", {a, {120, 0, 220, 100}, {500, 0, 600, 100}}, {{0, 2}, {2, 3}}},
        {"back into the first box", {a, b, {10, 10, 90, 90}}, {{0, 1}, {1, 2}, {2, 3}}},
        // A narrow stroke across the cut at 200 maps into no bin, so the cut
        // stays; it fits no box and leaves the current box in force.
        {"straddle after the second box", {a, b, {200, 0, 203, 100}, {310, 10, 390, 90}}, {{0, 1}, {1, 2}, {2, 4}}},
    };
    for (const auto &c : cases) EXPECT_EQ(Segments(c.boxes), c.expected) << c.what;
}

// Random host behaviour: point streams of every kind (plausible pen
// paths, any 16-bit values, markers anywhere) mixed with deletions,
// resets and candidate reads at any index and capacity. The instance must
// stay consistent and never write past what the host handed it; run under
// the sanitizers this also guards every buffer inside the kernel.
TEST_F(KernelTest, RandomHostCallsKeepTheInstanceConsistent) {
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
TEST(RecognizeTool, PrintsTheRankedCandidatesAsJson) {
    penrune::test::TempDir dir;
    const std::string file = dir.Write("line.json", "[[[0,0],[50,50],[100,100]], [[300,0],[350,50],[400,100]]]");
    const std::string out = dir.File("out.json");
    auto run = [&](const std::string &flags) {
        EXPECT_EQ(std::system(
                      ("'" PENRUNE_TOOL_PATH "' recognize --json " + flags + " '" + file + "' >'" + out + "'").c_str()),
                  0);
        return nlohmann::json::parse(penrune::test::ReadFile(out));
    };
    const nlohmann::json classic = run("--classic");
    EXPECT_EQ(classic["strokes"], 2);
    ASSERT_FALSE(classic["candidates"].empty());
    EXPECT_EQ(classic["candidates"][0]["rank"], 1);
    EXPECT_EQ(classic["candidates"][0]["score"], 0);  // the segmentation candidate
    // The line mode by default: two characters far apart, scores rising.
    const nlohmann::json line = run("");
    ASSERT_FALSE(line["candidates"].empty());
    const std::string first = line["candidates"][0]["text"];
    EXPECT_EQ(std::count_if(first.begin(), first.end(), [](char c) { return (c & 0xC0) != 0x80; }), 2) << first;
    for (size_t i = 1; i < line["candidates"].size(); ++i)
        EXPECT_LE(line["candidates"][i - 1]["score"], line["candidates"][i]["score"]);
}

}  // namespace
