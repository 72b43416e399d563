// SPDX-License-Identifier: MIT
#include "penrune/HWCand.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "penrune/HWLex.h"
#include "LexiconImage.h"
#include "TempDir.h"

using namespace std::string_literals;

namespace {

const HR_UINT16 kFiller = 0xFFFF;
const HR_UINT16 kFillerDistance = 60000;

// One recognition block: (code, distance) pairs, padded with empty slots.
using Block = std::vector<std::pair<char16_t, HR_UINT16>>;

// A list entry: text and score.
using Item = std::pair<std::u16string, HR_UINT32>;

const char16_t kZhong = u'中', kGuo = u'国', kRen = u'人', kDa = u'大';

class CandTest : public ::testing::Test {
protected:
    // Builds a lexicon of "phrase tag frequency" lines; the more frequent a
    // phrase, the lower its weight.
    void UseLexicon(const std::string &lines) {
        penrune::test::TempDir dir;
        build_ = penrune::test::BuildLexicon(dir, lines, nullptr);
        lex_ = build_.View();
        PYCand_Initialize(cand_.get(), &lex_);
    }

    // Opens pass n, adds one block for every start stroke k = 0..n-1 (k-th
    // element of blocks) and finishes it with the given segmentation.
    void Pass(HR_UINT16 n, const std::vector<Block> &blocks, const std::vector<_HW_SEGMENT> &segments = {}) {
        ASSERT_EQ(blocks.size(), n);
        ASSERT_EQ(PYCand_BeginStroke(cand_.get(), n), 1);
        for (HR_UINT16 k = 0; k < n; ++k) ASSERT_EQ(Add(blocks[k], static_cast<HR_UINT16>(n - k)), 1);
        ASSERT_EQ(PYCand_FinishStroke(cand_.get(), n, static_cast<int>(segments.size()), segments.data()), 1);
    }

    int Add(const Block &block, HR_UINT16 strokes) {
        HR_UINT16 codes[PY_CAND_BLOCK], distances[PY_CAND_BLOCK];
        for (size_t i = 0; i < PY_CAND_BLOCK; ++i) {
            codes[i] = i < block.size() ? block[i].first : kFiller;
            distances[i] = i < block.size() ? block[i].second : kFillerDistance;
        }
        return PYCand_AddRecoResult(cand_.get(), PY_CAND_BLOCK, codes, distances, strokes);
    }

    std::vector<Item> List() const {
        std::vector<Item> items;
        for (HR_UINT32 i = 0; i < PYCand_GetTotal(cand_.get()); ++i) {
            const _PY_CAND_ITEM *slot = PYCand_GetItem(cand_.get(), static_cast<HR_UINT16>(i));
            items.push_back({std::u16string(slot->text, slot->text + slot->length), slot->score});
        }
        return items;
    }

    penrune::test::LexiconBuild build_;
    _PY_LEX lex_{};
    std::unique_ptr<_PY_CAND> cand_ = std::make_unique<_PY_CAND>();
};

TEST_F(CandTest, OneStrokeListsLexiconCharactersByDistanceThenWeight) {
    UseLexicon("中 a 1\n人 b 2\n大 c 3\n");
    Pass(1, {{{kZhong, 120}, {kGuo, 90}, {kRen, 120}, {kDa, 150}}});
    // 国 is not in the lexicon; equal distances put the more frequent first.
    EXPECT_EQ(List(), (std::vector<Item>{{u"人", 120}, {u"中", 120}, {u"大", 150}}));
}

TEST_F(CandTest, PhraseSpelledThroughTheLatticeNeedsEveryCharacterAndKeepsItsBestScore) {
    UseLexicon("中国 a 1\n");
    Pass(1, {{{kRen, 10}, {kDa, 100}}});  // no 中
    Pass(2, {{{kDa, 300}}, {{kGuo, 200}}});
    EXPECT_TRUE(List().empty());

    PYCand_Reset(cand_.get());
    Pass(1, {{{kZhong, 50}}});
    Pass(2, {{{kZhong, 80}}, {{kRen, 10}}});
    // Through stroke 1 the phrase costs 200 + 50, through stroke 2 150 + 80.
    Pass(3, {{{kDa, 10}}, {{kGuo, 200}}, {{kGuo, 150}}});
    EXPECT_EQ(List(), (std::vector<Item>{{u"中国", 230}}));
}

TEST_F(CandTest, SegmentationCandidateStandsFirstAndAbsorbsTheSamePhrase) {
    UseLexicon("中国 a 1\n人 b 1\n");
    Pass(1, {{{kZhong, 100}, {kRen, 120}}});
    Pass(2, {{{kRen, 300}}, {{kGuo, 200}}}, {{0, 1}, {1, 2}});
    // 中国 spells with 300 but its text equals the segmentation text (score 0).
    EXPECT_EQ(List(), (std::vector<Item>{{u"中国", 0}, {u"人", 300}}));
}

TEST_F(CandTest, KeepsFiveMultiCharacterPhrasesAndOnlyAStrictlyBetterOneDisplacesTheWorst) {
    UseLexicon("一国 a 6\n二国 b 5\n三国 c 4\n四国 d 3\n五国 e 2\n六国 f 1\n");
    auto run = [&](HR_UINT16 sixth) {
        PYCand_Reset(cand_.get());
        Pass(1, {{{u'一', 10}, {u'二', 20}, {u'三', 30}, {u'四', 40}, {u'五', 50}, {u'六', sixth}}});
        Pass(2, {{}, {{kGuo, 100}}});
        std::u16string listed;
        for (const Item &item : List()) listed += item.first[0];
        return listed;
    };
    EXPECT_EQ(run(5), u"六一二三四");
    EXPECT_EQ(run(50), u"一二三四五");  // equal score: kept out
}

// At most five completions stand in the list; a more frequent one displaces
// the rarest, whichever character it completes.
TEST_F(CandTest, KeepsTheFiveMostFrequentCompletions) {
    UseLexicon("中 a 9\n人 b 8\n人山 c 7\n中一 d 6\n中二 e 5\n中三 f 4\n中四 g 3\n中五 h 2\n中六 i 1\n");
    Pass(1, {{{kZhong, 100}, {kRen, 120}}});
    EXPECT_EQ(List(), (std::vector<Item>{{u"中", 100},
                                         {u"中一", 101},
                                         {u"中二", 101},
                                         {u"中三", 101},
                                         {u"中四", 101},
                                         {u"人", 120},
                                         {u"人山", 121}}));
}

TEST_F(CandTest, Utf8GetterKeepsWholeCharactersWithinTheCapacity) {
    UseLexicon("中国 a 1\n");
    Pass(1, {{{kZhong, 10}}});
    Pass(2, {{}, {{kGuo, 20}}});
    char bytes[8];
    std::memset(bytes, 'x', sizeof bytes);
    EXPECT_EQ(PYCand_GetItemStringUtf8(cand_.get(), 0, bytes, 4), 6);
    EXPECT_EQ(std::string(bytes, 5), "中\0x"s);
    EXPECT_EQ(PYCand_GetItemStringUtf8(cand_.get(), 0, bytes, 6), 6);  // no room for the terminator
    EXPECT_STREQ(bytes, "中");
    EXPECT_EQ(PYCand_GetItemStringUtf8(cand_.get(), 0, bytes, 7), 6);
    EXPECT_STREQ(bytes, "中国");
    EXPECT_EQ(PYCand_GetItemStringUtf8(cand_.get(), 1, bytes, 7), 0);
}

TEST_F(CandTest, FullRecognitionTableRefusesResultsAndDropsTheSegmentation) {
    UseLexicon("中 a 1\n");
    ASSERT_EQ(PYCand_BeginStroke(cand_.get(), 1), 1);
    for (int i = 0; i < (PY_CAND_ENTRY_MAX - 1) / PY_CAND_BLOCK - 1; ++i) ASSERT_EQ(Add({{kZhong, 1}}, 1), 1) << i;
    EXPECT_EQ(Add({{kZhong, 1}}, 2), 0);  // more strokes than the pass has
    ASSERT_EQ(PYCand_FinishStroke(cand_.get(), 1, 0, nullptr), 1);
    EXPECT_EQ(List(), (std::vector<Item>{{u"中", 1}}));
    EXPECT_EQ(Add({{kZhong, 1}}, 1), 0);  // no pass open

    ASSERT_EQ(PYCand_BeginStroke(cand_.get(), 2), 1);
    ASSERT_EQ(Add({{kGuo, 5}}, 2), 1);
    EXPECT_EQ(Add({{kGuo, 5}}, 1), 0);  // 8192 > 8191: block 1 of pass 2 is missing
    EXPECT_EQ(cand_->entryTotal, 8184u);
    const _HW_SEGMENT segments[2] = {{0, 1}, {1, 2}};
    ASSERT_EQ(PYCand_FinishStroke(cand_.get(), 2, 2, segments), 1);
    EXPECT_TRUE(List().empty());
    EXPECT_EQ(cand_->segTextTotal, 0u);
}

TEST_F(CandTest, CandidateTableIsNeverOverrun) {
    UseLexicon("中 a 2\n中一 b 1\n中二 c 1\n中三 d 1\n中四 e 1\n中五 f 1\n");
    const HR_UINT16 code = kZhong, distance = 10;
    // Every pass of one stroke adds the character and its five completions.
    for (int pass = 0; pass < 3500; ++pass) {
        ASSERT_EQ(PYCand_BeginStroke(cand_.get(), 1), 1);
        ASSERT_EQ(PYCand_AddRecoResult(cand_.get(), 1, &code, &distance, 1), 1);
        ASSERT_EQ(PYCand_FinishStroke(cand_.get(), 1, 0, nullptr), 1);
        ASSERT_LE(cand_->candTotal, static_cast<HR_UINT32>(PY_CAND_SLOT_MAX));
    }
    EXPECT_EQ(cand_->candTotal, static_cast<HR_UINT32>(PY_CAND_SLOT_MAX));
    EXPECT_EQ(cand_->strokes, 1u);  // the field after the table is intact
}

TEST_F(CandTest, StrokeCountBeyondTheTablesLeavesTheLastListIntact) {
    UseLexicon("中 a 2\n中国 b 1\n");
    const HR_UINT16 last = PY_CAND_STROKE_MAX - 1;
    ASSERT_EQ(PYCand_BeginStroke(cand_.get(), last), 1);
    ASSERT_EQ(Add({{kZhong, 10}}, last), 1);
    ASSERT_EQ(PYCand_FinishStroke(cand_.get(), last, 0, nullptr), 1);
    const std::vector<Item> list = List();
    ASSERT_EQ(list.size(), 2u);
    const HR_UINT32 entries = cand_->entryTotal;

    EXPECT_EQ(PYCand_BeginStroke(cand_.get(), PY_CAND_STROKE_MAX), 0);
    EXPECT_EQ(Add({{kZhong, 10}}, 1), 0);
    EXPECT_EQ(cand_->entryTotal, entries);
    EXPECT_EQ(PYCand_FinishStroke(cand_.get(), PY_CAND_STROKE_MAX, 0, nullptr), 0);
    EXPECT_EQ(PYCand_DelLastStroke(cand_.get()), 1);
    EXPECT_EQ(List(), list);
}

}  // namespace
