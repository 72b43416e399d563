// SPDX-License-Identifier: MIT
// The kernel's line mode: the path search over a constructed lattice, and
// the mode through the host calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <cstring>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "penrune/HWKernel.h"
#include "penrune/HWUtils.h"
#include "kernel/HWShape.h"
#include "kernel/HWLineSearch.h"

namespace {

using Points = std::vector<_HR_POINT16>;

std::u16string Utf16(const char *utf8) {
    HR_UINT16 units[64];
    int n = HR_utf8_to_utf16(utf8, static_cast<int>(std::char_traits<char>::length(utf8)), units, 64);
    return std::u16string(units, units + n);
}

std::u16string LineItem(const _HW_LINE *line, HR_UINT32 index) {
    HR_UINT16 text[HW_LINE_BOUNDARY_MAX + 1];
    HR_INT32 n = HWLine_GetItemString(line, index, text, HW_LINE_BOUNDARY_MAX + 1);
    return std::u16string(text, text + n);
}

// One pass of the search with the runs ending at the newest stroke given
// newest start first, each as its characters and distances.
struct Run {
    const char *codes;
    std::vector<HR_UINT16> distances;
};

void Pass(_HW_LINE *line, const std::vector<_HW_RECT> &boxes, const std::vector<Run> &runs) {
    HR_UINT32 n = static_cast<HR_UINT32>(boxes.size());
    HWLine_BeginPass(line, boxes.data(), n);
    for (HR_UINT32 i = 0; i < runs.size(); ++i) {
        ASSERT_TRUE(HWLine_OpenRun(line, boxes.data(), n - 1 - i));
        std::u16string codes = Utf16(runs[i].codes);
        HWLine_AddRun(line, n - 1 - i, reinterpret_cast<const HR_UINT16 *>(codes.data()), runs[i].distances.data(),
                      static_cast<HR_UINT32>(codes.size()));
    }
    HWLine_FinishPass(line);
}

// The search over the embedded lexicon, driven pass by pass.
class LineSearch : public ::testing::Test {
protected:
    void SetUp() override {
        PYLex_Initialize(&lex_, nullptr);
        HWLine_Initialize(line.get(), &lex_);
    }

    _PY_LEX lex_;
    std::unique_ptr<_HW_LINE> line{new _HW_LINE};
};

TEST_F(LineSearch, AWordOfTheLexiconOutranksTheBestCharactersAndWideRunsAreNotOpened) {
    // Two characters side by side; each run's best candidate is the wrong
    // one, the second is the word 安全.
    std::vector<_HW_RECT> boxes = {{0, 0, 1000, 1000}, {3000, 0, 4000, 1000}};
    Pass(line.get(), {boxes[0]}, {{"女安", {1500, 1600}}});
    ASSERT_EQ(LineItem(line.get(), 0), Utf16("女"));
    Pass(line.get(), boxes, {{"金全", {1500, 1600}}});
    // Both strokes together are four times as wide as a character: not a run.
    EXPECT_FALSE(HWLine_OpenRun(line.get(), boxes.data(), 0));

    ASSERT_GE(HWLine_GetTotal(line.get()), 4u);
    EXPECT_EQ(LineItem(line.get(), 0), Utf16("安全"));
    std::vector<std::u16string> texts;
    for (HR_UINT32 i = 0; i < HWLine_GetTotal(line.get()); ++i) {
        texts.push_back(LineItem(line.get(), i));
        if (i > 0) {
            EXPECT_LE(HWLine_GetItemScore(line.get(), i - 1), HWLine_GetItemScore(line.get(), i));
        }
    }
    EXPECT_NE(std::find(texts.begin(), texts.end(), Utf16("女金")), texts.end());
    std::sort(texts.begin(), texts.end());
    EXPECT_EQ(std::adjacent_find(texts.begin(), texts.end()), texts.end()) << "texts must be distinct";

    // The list of one stroke fewer comes back unchanged.
    ASSERT_TRUE(HWLine_DelLastStroke(line.get()));
    EXPECT_EQ(HWLine_GetTotal(line.get()), 2u);
    EXPECT_EQ(LineItem(line.get(), 0), Utf16("女"));
}

TEST_F(LineSearch, ACharacterOutsideAnyWordCostsAsTheWordsItBeginsOrEnds) {
    // 育 stands alone rarely but ends 教育, which is more frequent than
    // 肯 alone: at equal distances the words' weight decides for 育; a
    // character that stands alone pays only its own weight.
    const std::vector<_HW_RECT> box = {{0, 0, 1000, 1000}};
    line->weights.inWord = 0;
    Pass(line.get(), box, {{"肯育", {1500, 1500}}});
    EXPECT_EQ(LineItem(line.get(), 0), Utf16("育"));
    line->weights.inWord = line->weights.charWeightCap;
    Pass(line.get(), box, {{"肯育", {1500, 1500}}});
    EXPECT_EQ(LineItem(line.get(), 0), Utf16("肯"));
}

TEST_F(LineSearch, TheLineSettlesTheCaseOfLettersOfOneShape) {
    const _HW_RECT hanzi = {0, 0, 1000, 1000};
    struct Case {
        _HW_RECT box;
        const char *codes;
        const char *best;
    } cases[] = {
        {{1200, 550, 1550, 950}, "Oo0", "中o"},  // as high as half a character: lower case
        {{1200, 50, 1750, 950}, "oO", "中O"},    // as high as the character: capital
        {{1200, 50, 1750, 950}, "sS", "中S"},
        {{1200, 550, 1550, 950}, "Xx", "中x"},
    };
    for (const Case &c : cases) {
        HWLine_Reset(line.get());
        Pass(line.get(), {hanzi}, {{"中", {1500}}});
        std::vector<HR_UINT16> same(std::char_traits<char>::length(c.codes), 1500);
        Pass(line.get(), {hanzi, c.box}, {{c.codes, same}});
        EXPECT_EQ(LineItem(line.get(), 0), Utf16(c.best)) << c.codes;
    }
}

TEST(ShapeTable, KnowsTheUsualRatiosAndStrokesOfFlatTallAndSquareCharacters) {
    ASSERT_GT(g_hw_shapeCount, 3800u);
    EXPECT_TRUE(std::is_sorted(g_hw_shapeCodes, g_hw_shapeCodes + g_hw_shapeCount, std::less_equal<HR_UINT16>()))
        << "codes must ascend strictly, or the lookup misses";
    HR_INT32 flat = 0, tall = 0, square = 0, unknown = 7;
    HR_INT32 flatStrokes = 0, tallStrokes = 9, squareStrokes = 0, unknownStrokes = 7;
    ASSERT_TRUE(HWShape_Find(0x4E00, &flat, &flatStrokes));  // 一
    ASSERT_TRUE(HWShape_Find('1', &tall, &tallStrokes));
    ASSERT_TRUE(HWShape_Find(0x56FD, &square, &squareStrokes));  // 国
    EXPECT_GT(flat, 2 * HW_SHAPE_SCALE);
    EXPECT_LT(tall, -HW_SHAPE_SCALE / 2);
    EXPECT_LT(std::abs(square), HW_SHAPE_SCALE / 4);
    EXPECT_EQ(flatStrokes, 1);
    EXPECT_EQ(squareStrokes, 8);
    EXPECT_EQ(tallStrokes, 0) << "a letter's strokes are no sign of anything";
    EXPECT_FALSE(HWShape_Find(0xE000, &unknown, &unknownStrokes));  // private use: no shape
    EXPECT_EQ(unknown, 7);
    EXPECT_EQ(unknownStrokes, 7);

    EXPECT_EQ(HWShape_OfBox(1000, 1000), 0);
    EXPECT_EQ(HWShape_OfBox(2718, 1000), HW_SHAPE_SCALE);
    EXPECT_EQ(HWShape_OfBox(1000, 2718), -HW_SHAPE_SCALE);
    EXPECT_EQ(HWShape_OfBox(60000, 1), HW_SHAPE_LIMIT);
    EXPECT_EQ(HWShape_OfBox(0, 60000), -HW_SHAPE_LIMIT);  // an empty side counts as one unit
}

TEST_F(LineSearch, ARunFarNarrowerThanItsCharacterReadsAsAPartOfAWiderOne) {
    // 坊 written wide: its parts 土 and 方, each half as wide as they are
    // usually written, spell the word 土方. Read as 坊, the two strokes have
    // its usual shape.
    const std::vector<_HW_RECT> boxes = {{0, 0, 450, 1000}, {550, 0, 1150, 1000}};
    const auto costs = [&](HR_INT32 weight, HR_UINT16 whole) {
        line->weights.ratio = weight;
        Pass(line.get(), {boxes[0]}, {{"土", {1500}}});
        Pass(line.get(), boxes, {{"方", {1500}}, {"坊", {whole}}});
        std::map<std::u16string, HR_INT32> cost;
        for (HR_UINT32 i = 0; i < HWLine_GetTotal(line.get()); ++i)
            cost[LineItem(line.get(), i)] = HWLine_GetItemScore(line.get(), i);
        return std::make_pair(cost.at(Utf16("土方")), cost.at(Utf16("坊")));
    };
    const auto [split, whole] = costs(0, 1500);
    // 坊 so far from the ink that without the shape term 土方 wins by 500.
    const HR_UINT16 far = static_cast<HR_UINT16>(1500 + split - whole + 500);
    const auto [plainSplit, plainWhole] = costs(0, far);
    ASSERT_EQ(plainSplit + 500, plainWhole);
    const auto [narrowSplit, usualWhole] = costs(100, far);
    EXPECT_EQ(LineItem(line.get(), 0), Utf16("坊"));
    EXPECT_EQ(usualWhole, plainWhole) << "坊 at its usual shape pays nothing";
    EXPECT_GT(narrowSplit, plainSplit + 500) << "土 and 方 at half their width pay";

    // A character the shape table does not know costs nothing for its shape.
    Pass(line.get(), {boxes[0]}, {{"\xee\x80\x80", {1500}}});
    const HR_INT32 unknown = HWLine_GetItemScore(line.get(), 0);
    line->weights.ratio = 0;
    Pass(line.get(), {boxes[0]}, {{"\xee\x80\x80", {1500}}});
    EXPECT_EQ(HWLine_GetItemScore(line.get(), 0), unknown);
}

TEST_F(LineSearch, ARunPaysForTheStrokesItHasBeyondThoseItsCharacterMayHave) {
    // Three bars as one run, read as 一 (written with one stroke), 二 (two)
    // or 三 at one distance; only the strokes tell them apart here.
    _HW_LINE_WEIGHTS &w = line->weights;
    w.word = w.single = w.ratio = 0;
    w.strokesFree = 1;
    w.strokes = 300;
    const std::vector<_HW_RECT> boxes = {{0, 0, 1000, 100}, {0, 450, 1000, 550}, {0, 900, 1000, 1000}};
    Pass(line.get(), {boxes[0]}, {{"一", {1500}}});
    Pass(line.get(), {boxes[0], boxes[1]}, {{"一", {3000}}, {"二", {1500}}});
    Pass(line.get(), boxes, {{"一", {3000}}, {"二", {3000}}, {"一二三", {1500, 1500, 1500}}});
    std::map<std::u16string, HR_INT32> cost;
    for (HR_UINT32 i = 0; i < HWLine_GetTotal(line.get()); ++i)
        cost[LineItem(line.get(), i)] = HWLine_GetItemScore(line.get(), i);
    ASSERT_TRUE(cost.count(Utf16("一")) && cost.count(Utf16("二")) && cost.count(Utf16("三")));
    EXPECT_EQ(cost[Utf16("二")], cost[Utf16("三")]) << "one stroke more than 二 has is free: writers break strokes";
    EXPECT_EQ(cost[Utf16("一")], cost[Utf16("三")] + 300) << "the second stroke more than 一 has pays";
}

TEST_F(LineSearch, AWriterFarFromThePrototypesReadsTwoCharactersAsTwo) {
    // Two characters side by side, and both as one wide run that some
    // character fits at 1.2 times the distance of each alone. Only distances
    // and the width count here (characters the lexicon does not know).
    _HW_LINE_WEIGHTS &w = line->weights;
    w.word = w.single = w.charWeightCap = w.inWord = w.perChar = 0;
    w.narrow = w.innerGap = w.overlap = w.ratio = 0;
    w.wideAbove = 1015;
    w.wide = 4;
    const std::vector<_HW_RECT> boxes = {{0, 0, 750, 1000}, {950, 0, 1700, 1000}};
    const auto readsAsTwo = [&](HR_UINT16 d) {
        Pass(line.get(), {boxes[0]}, {{"\xee\x80\x80", {d}}});
        Pass(line.get(), boxes, {{"\xee\x80\x81", {d}}, {"\xee\x80\x82", {static_cast<HR_UINT16>(d * 6 / 5)}}});
        return LineItem(line.get(), 0).size() == 2;
    };
    // Without the credit every character pays its whole distance: the
    // writer whose ink is four times as far gains by merging.
    w.credit = 0;
    ASSERT_TRUE(readsAsTwo(1000));
    ASSERT_FALSE(readsAsTwo(4000));
    // Credited with the line's usual distance, each reads two characters.
    w.credit = 16;
    EXPECT_TRUE(readsAsTwo(1000));
    EXPECT_TRUE(readsAsTwo(4000));
    EXPECT_EQ(line->usualDistance, 4000);
}

TEST_F(LineSearch, ItemsAreCutToTheBuffer) {
    std::vector<_HW_RECT> boxes = {{0, 0, 1000, 1000}, {1200, 0, 2200, 1000}};
    Pass(line.get(), {boxes[0]}, {{"安", {1500}}});
    Pass(line.get(), boxes, {{"全", {1500}}});
    HR_UINT16 units[4] = {9, 9, 9, 9};
    EXPECT_EQ(HWLine_GetItemString(line.get(), 0, units, 2), 2);
    EXPECT_EQ(units[1], 0);
    EXPECT_EQ(units[2], 9);
    char bytes[8];
    std::memset(bytes, 'x', sizeof bytes);
    EXPECT_EQ(HWLine_GetItemStringUtf8(line.get(), 0, bytes, 5), 6);  // room for one character only
    EXPECT_STREQ(bytes, "安");
    EXPECT_EQ(bytes[4], 'x');
    EXPECT_EQ(HWLine_GetItemString(line.get(), HWLine_GetTotal(line.get()), units, 4), 0);
}

// n points from (x0, y0) to (x1, y1), ended by a stroke-end marker.
Points Line(int x0, int y0, int x1, int y1, int n = 5) {
    Points points;
    for (int i = 0; i < n; ++i)
        points.push_back({static_cast<HR_UINT16>(x0 + (x1 - x0) * i / (n - 1)),
                          static_cast<HR_UINT16>(y0 + (y1 - y0) * i / (n - 1))});
    points.push_back({HR_MARKER16, 0});
    return points;
}

class LineKernelTest : public ::testing::Test {
protected:
    void SetUp() override {
        block_.assign(HWKernel_GetInstanceSize() / sizeof(HR_UINT64) + 1, 0);
        kernel_ = HWKernel_Initialize(block_.data(), 0, nullptr);
        ASSERT_NE(kernel_, nullptr);
    }
    void TearDown() override { HWKernel_Terminate(kernel_); }

    int Add(const Points &p) { return HWKernel_AddStroke(kernel_, p.data(), static_cast<HR_UINT32>(p.size())); }

    // The current list as the tool prints it: rank, text and score a line.
    std::string List() const {
        std::ostringstream out;
        for (HR_UINT32 i = 0; i < HWKernel_GetCandTotal(kernel_); ++i) {
            char text[4096];
            HWKernel_GetCandItemUtf8(kernel_, static_cast<HR_UINT16>(i), text, sizeof text);
            long long score = kernel_->mode == HW_MODE_LINE
                                  ? HWLine_GetItemScore(&kernel_->line, i)
                                  : PYCand_GetItem(&kernel_->cand, static_cast<HR_UINT16>(i))->score;
            out << i + 1 << '\t' << text << '\t' << score << '\n';
        }
        return out.str();
    }

    // Stroke i of a row of crosses, each cross a horizontal then a vertical
    // stroke in its own cell.
    static Points CrossStroke(int i) {
        int x = 100 + (i / 2) * 60;
        return i % 2 == 0 ? Line(x, 120, x + 40, 120) : Line(x + 20, 100, x + 20, 140);
    }

    std::vector<HR_UINT64> block_;
    _HW_KERNEL *kernel_ = nullptr;
};

TEST_F(LineKernelTest, SetModeChecksItsArgumentsAndForgetsTheStrokes) {
    EXPECT_EQ(kernel_->mode, HW_MODE_CLASSIC);
    EXPECT_EQ(HWKernel_SetMode(nullptr, HW_MODE_LINE), 0);
    ASSERT_EQ(Add(Line(100, 100, 500, 100)), 1);
    EXPECT_EQ(HWKernel_SetMode(kernel_, 2), 0);
    EXPECT_EQ(HWKernel_SetMode(kernel_, -1), 0);
    EXPECT_EQ(HWKernel_GetStrokeTotal(kernel_), 1) << "a refused mode changes nothing";
    EXPECT_EQ(HWKernel_SetMode(kernel_, HW_MODE_LINE), 1);
    EXPECT_EQ(HWKernel_GetStrokeTotal(kernel_), 0);
    EXPECT_EQ(HWKernel_GetCandTotal(kernel_), 0u);
    EXPECT_EQ(HWKernel_DelStroke(kernel_), 0);
}

TEST_F(LineKernelTest, AWholeLineToTheStrokeCapacityKeepsAListAfterEveryStroke) {
    ASSERT_EQ(HWKernel_SetMode(kernel_, HW_MODE_LINE), 1);
    for (int i = 0; i < HW_STROKE_MAX; ++i) {
        ASSERT_EQ(Add(CrossStroke(i)), 1) << "stroke " << i + 1;
        ASSERT_GT(HWKernel_GetCandTotal(kernel_), 0u) << "stroke " << i + 1;
        HR_UINT16 text[HW_LINE_BOUNDARY_MAX + 1];
        HR_INT32 n = HWKernel_GetCandItem(kernel_, 0, text, HW_LINE_BOUNDARY_MAX + 1);
        ASSERT_GE(n, (i + 2) / 2) << "every cross is at least one character";
        ASSERT_LE(n, i + 1);
    }
    EXPECT_EQ(Add(CrossStroke(0)), 0) << "the stroke table is full";
    char log[HW_KERNEL_LOG_SIZE];
    EXPECT_GT(HWKernel_Log(kernel_, log), 0);
    EXPECT_EQ(std::string(log).rfind("0.", 0), 0u);
}

TEST_F(LineKernelTest, DelStrokeBringsBackEveryEarlierListAndTheModeStays) {
    ASSERT_EQ(HWKernel_SetMode(kernel_, HW_MODE_LINE), 1);
    std::vector<std::string> lists;
    for (int i = 0; i < 40; ++i) {
        ASSERT_EQ(Add(CrossStroke(i)), 1);
        lists.push_back(List());
    }
    for (int i = 39; i > 0; --i) {
        ASSERT_EQ(HWKernel_DelStroke(kernel_), 1);
        ASSERT_EQ(List(), lists[i - 1]) << "after deleting back to " << i << " strokes";
    }
    for (int i = 1; i < 40; ++i) {
        ASSERT_EQ(Add(CrossStroke(i)), 1);
        ASSERT_EQ(List(), lists[i]) << "after adding again up to " << i + 1 << " strokes";
    }
    EXPECT_EQ(kernel_->mode, HW_MODE_LINE);
}

// The list after every stroke of each example, as `penrune recognize --each
// --classic` printed it before the line mode existed.
TEST_F(LineKernelTest, ClassicListsOfTheExamplesAreUnchanged) {
    for (const char *name : {"one", "shi", "xuexi", "yi", "zhongguo"}) {
        for (bool switched : {false, true}) {
            if (switched) {  // back from the line mode
                ASSERT_EQ(HWKernel_SetMode(kernel_, HW_MODE_LINE), 1);
                ASSERT_EQ(HWKernel_SetMode(kernel_, HW_MODE_CLASSIC), 1);
            }
            HWKernel_Reset(kernel_);
            std::ifstream in(std::string(PENRUNE_SOURCE_DIR "/examples/") + name + ".json");
            std::ostringstream got;
            int strokes = 0;
            for (const auto &stroke : nlohmann::json::parse(in)) {
                Points points;
                for (const auto &p : stroke) points.push_back({p[0].get<HR_UINT16>(), p[1].get<HR_UINT16>()});
                points.push_back({HR_MARKER16, 0});
                ASSERT_EQ(Add(points), 1);
                got << "stroke " << ++strokes << '\n' << List();
            }
            std::ifstream expected(std::string(PENRUNE_SOURCE_DIR "/tests/data/classic/") + name + ".txt");
            std::stringstream want;
            want << expected.rdbuf();
            EXPECT_EQ(got.str(), want.str()) << name << (switched ? " after switching modes" : "");
        }
    }
}

}  // namespace
