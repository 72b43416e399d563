#include "HWCand.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "HWLex.h"

namespace {

const HR_UINT16 kFiller = 0xFFFF;
const HR_UINT16 kFillerDistance = 60000;

struct Phrase {
    std::u16string text;
    HR_UINT16 weight;
};

// A lexicon image without description section holding the phrases in input
// order; within a group the phrases follow by increasing weight.
std::vector<HR_UINT8> BuildLexicon(const std::vector<Phrase> &phrases) {
    std::vector<HR_UINT16> pool;
    std::vector<std::pair<HR_UINT16, HR_UINT32>> byWeight;  // (weight, phrase id)
    for (const Phrase &p : phrases) {
        pool.push_back(p.weight);
        byWeight.push_back({p.weight, static_cast<HR_UINT32>(p.text.size() << 24 | pool.size())});
        pool.insert(pool.end(), p.text.begin(), p.text.end());
    }
    pool.resize(pool.size() + pool.size() % 2);
    std::stable_sort(byWeight.begin(), byWeight.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    std::vector<std::vector<HR_UINT32>> sections;  // first index, items, last index, items, pool
    for (bool last : {false, true}) {
        std::vector<std::vector<HR_UINT32>> groups(PYLEX_GROUP_TOTAL);
        for (const auto &entry : byWeight) {
            const HR_UINT16 *text = &pool[entry.second & 0xFFFFFF];
            groups[PYLex_GetGroupId(nullptr, text[last ? (entry.second >> 24) - 1 : 0])].push_back(entry.second);
        }
        std::vector<HR_UINT32> index(1, 0), items;
        for (const auto &group : groups) {
            items.insert(items.end(), group.begin(), group.end());
            index.push_back(static_cast<HR_UINT32>(items.size()));
        }
        sections.push_back(index);
        sections.push_back(items);
    }
    sections.emplace_back(pool.size() / 2);
    std::memcpy(sections.back().data(), pool.data(), 2 * pool.size());
    const HR_UINT32 tags[5] = {PYLEX_TAG_FIRST_INDEX, PYLEX_TAG_FIRST_ITEMS, PYLEX_TAG_LAST_INDEX, PYLEX_TAG_LAST_ITEMS,
                               PYLEX_TAG_POOL};
    std::vector<HR_UINT32> words = {0x31535950 /* "PYS1" */, 1, 0, 0x12012120, 5, 32, 32 + 5 * 16, 0};
    for (HR_UINT32 s = 0, offset = 0; s < 5; offset += 4 * static_cast<HR_UINT32>(sections[s++].size()))
        words.insert(words.end(), {tags[s], offset, 4 * static_cast<HR_UINT32>(sections[s].size()), 0});
    for (const auto &section : sections) words.insert(words.end(), section.begin(), section.end());
    words[2] = 4 * static_cast<HR_UINT32>(words.size());
    std::vector<HR_UINT8> image(4 * words.size());  // the test hosts are little-endian
    std::memcpy(image.data(), words.data(), image.size());
    return image;
}

// One recognition block: (code, distance) pairs, padded with empty slots.
using Block = std::vector<std::pair<char16_t, HR_UINT16>>;

struct Item {
    std::u16string text;
    HR_UINT32 score;
    HR_UINT16 weight;
    bool operator==(const Item &o) const { return text == o.text && score == o.score && weight == o.weight; }
};

// UTF-8 of n empty recognizer slots (code 0xFFFF).
std::string Fillers(int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += "\xEF\xBF\xBF";
    return out;
}

const char16_t kZhong = u'中', kGuo = u'国', kRen = u'人', kDa = u'大', kXiao = u'小', kShan = u'山';

class CandTest : public ::testing::Test {
protected:
    void UseLexicon(const std::vector<Phrase> &phrases) {
        image_ = BuildLexicon(phrases);
        data_ = image_.data();
        PYLex_Initialize(&lex_, &data_);
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
            items.push_back({std::u16string(slot->text, slot->text + slot->length), slot->score, slot->weight});
        }
        return items;
    }

    std::string Dump(HR_UINT32 capacity = PY_CAND_DUMP_SIZE) const {
        std::vector<char> text(capacity + 16, 'x');
        HR_UINT16 n = PYCand_DumpBounded(cand_.get(), text.data(), capacity);
        EXPECT_EQ(std::strlen(text.data()), n);
        return std::string(text.data(), n);
    }

    std::vector<HR_UINT8> image_;
    const HR_UINT8 *data_ = nullptr;
    _PY_LEX lex_{};
    std::unique_ptr<_PY_CAND> cand_ = std::make_unique<_PY_CAND>();
};

TEST_F(CandTest, OneStrokeListsLexiconCharactersByDistanceThenWeight) {
    UseLexicon({{u"中", 300}, {u"人", 200}, {u"大", 100}});
    Pass(1, {{{kZhong, 120}, {kGuo, 90}, {kRen, 120}, {kDa, 150}}});
    // 国 is not in the lexicon; equal distances put the more frequent first.
    EXPECT_EQ(List(), (std::vector<Item>{{u"人", 120, 200}, {u"中", 120, 300}, {u"大", 150, 100}}));
}

TEST_F(CandTest, PhraseSpelledThroughTheLatticeNeedsEveryCharacterAndKeepsItsBestScore) {
    UseLexicon({{u"中国", 500}});
    Pass(1, {{{kRen, 10}, {kZhong, 100}}});
    Pass(2, {{{kDa, 300}}, {{kGuo, 200}}});
    EXPECT_EQ(List(), (std::vector<Item>{{u"中国", 300, 500}}));

    PYCand_Reset(cand_.get());  // 中 missing from the earlier pass
    Pass(1, {{{kRen, 10}, {kDa, 100}}});
    Pass(2, {{{kDa, 300}}, {{kGuo, 200}}});
    EXPECT_TRUE(List().empty());

    PYCand_Reset(cand_.get());
    Pass(1, {{{kZhong, 50}}});
    Pass(2, {{{kZhong, 80}}, {{kRen, 10}}});
    // Through stroke 1 the phrase costs 200 + 50, through stroke 2 150 + 80.
    Pass(3, {{{kDa, 10}}, {{kGuo, 200}}, {{kGuo, 150}}});
    EXPECT_EQ(List(), (std::vector<Item>{{u"中国", 230, 500}}));
}

TEST_F(CandTest, SegmentationCandidateStandsFirstAndAbsorbsTheSamePhrase) {
    UseLexicon({{u"中国", 500}, {u"人", 100}});
    Pass(1, {{{kZhong, 100}, {kRen, 120}}});
    Pass(2, {{{kRen, 300}}, {{kGuo, 200}}}, {{0, 1}, {1, 2}});
    // 中国 spells with 300 but its text equals the segmentation text (score 0).
    EXPECT_EQ(List(), (std::vector<Item>{{u"中国", 0, 0}, {u"人", 300, 100}}));
    EXPECT_EQ(cand_->segmentCount, 2u);
}

TEST_F(CandTest, KeepsFiveMultiCharacterPhrasesAndOnlyAStrictlyBetterOneDisplacesTheWorst) {
    const std::u16string firsts = u"一二三四五六";
    std::vector<Phrase> phrases;
    for (size_t i = 0; i < firsts.size(); ++i)
        phrases.push_back({std::u16string(1, firsts[i]) + kGuo, static_cast<HR_UINT16>(100 + i)});
    UseLexicon(phrases);
    auto run = [&](HR_UINT16 sixth) {
        PYCand_Reset(cand_.get());
        Pass(1, {{{u'一', 10}, {u'二', 20}, {u'三', 30}, {u'四', 40}, {u'五', 50}, {u'六', sixth}}});
        Pass(2, {{}, {{kGuo, 100}}});
        return List();
    };
    EXPECT_EQ(run(5), (std::vector<Item>{{u"六国", 105, 105}, {u"一国", 110, 100}, {u"二国", 120, 101},
                                         {u"三国", 130, 102}, {u"四国", 140, 103}}));
    EXPECT_EQ(run(50), (std::vector<Item>{{u"一国", 110, 100}, {u"二国", 120, 101}, {u"三国", 130, 102},
                                          {u"四国", 140, 103}, {u"五国", 150, 104}}));  // equal score: kept out
}

TEST_F(CandTest, KeepsFiveCompletionsAndOnlyAMoreFrequentOneDisplacesTheRarest) {
    // 中 has six completions (weights 1000..1005), 人 one of the given weight.
    auto run = [&](HR_UINT16 renShan) {
        std::vector<Phrase> phrases = {{u"中", 100}, {u"人", 200}, {u"人山", renShan}};
        const std::u16string seconds = u"一二三四五六";
        for (size_t i = 0; i < seconds.size(); ++i)
            phrases.push_back({std::u16string(1, kZhong) + seconds[i], static_cast<HR_UINT16>(1000 + i)});
        UseLexicon(phrases);
        Pass(1, {{{kZhong, 100}, {kRen, 120}}});
        return List();
    };
    std::vector<Item> kept = {
        {u"中", 100, 100}, {u"中一", 101, 1000}, {u"中二", 101, 1001}, {u"中三", 101, 1002}, {u"中四", 101, 1003}};
    std::vector<Item> displaced = kept;
    displaced.insert(displaced.end(), {{u"人", 120, 200}, {u"人山", 121, 500}});
    EXPECT_EQ(run(500), displaced);
    kept.insert(kept.end(), {{u"中五", 101, 1004}, {u"人", 120, 200}});
    EXPECT_EQ(run(1004), kept);
}

TEST_F(CandTest, DelLastStrokeRestoresEveryItemWithItsOwnSegmentationText) {
    UseLexicon({{u"中", 100}, {u"国", 110}, {u"人", 120}, {u"大", 130}, {u"中国", 300}, {u"中国人", 400}});
    Pass(1, {{{kZhong, 100}, {kDa, 140}}});
    Pass(2, {{{kRen, 300}}, {{kGuo, 200}, {kXiao, 210}}}, {{0, 1}, {1, 2}});
    std::vector<Item> two = List();
    ASSERT_EQ(two.front(), (Item{u"中国", 0, 0}));
    Pass(3, {{{kDa, 500}}, {{kShan, 400}}, {{kRen, 150}}}, {{0, 2}, {2, 3}});
    std::vector<Item> three = List();
    ASSERT_EQ(three.front(), (Item{u"人人", 0, 0}));

    EXPECT_EQ(PYCand_DelLastStroke(cand_.get()), 1);
    EXPECT_EQ(List(), two);
    // The dropped space is reused and the same pass gives the same list.
    Pass(3, {{{kDa, 500}}, {{kShan, 400}}, {{kRen, 150}}}, {{0, 2}, {2, 3}});
    EXPECT_EQ(List(), three);

    for (int i = 0; i < 3; ++i) EXPECT_EQ(PYCand_DelLastStroke(cand_.get()), 1);
    EXPECT_EQ(PYCand_GetTotal(cand_.get()), 0u);
    EXPECT_EQ(PYCand_DelLastStroke(cand_.get()), 0);
}

TEST_F(CandTest, ItemGettersNeverWritePastTheCapacity) {
    UseLexicon({{u"中国", 300}});
    Pass(1, {{{kZhong, 10}}});
    Pass(2, {{}, {{kGuo, 20}}});
    HR_UINT16 units[4] = {7, 7, 7, 7};
    EXPECT_EQ(PYCand_GetItemString(cand_.get(), 0, units, 0), 2);
    EXPECT_EQ(units[0], 7);
    EXPECT_EQ(PYCand_GetItemString(cand_.get(), 0, units, 2), 2);  // cut: result >= capacity
    EXPECT_EQ(units[0], kZhong);
    EXPECT_EQ(units[1], 0);
    EXPECT_EQ(units[2], 7);
    EXPECT_EQ(PYCand_GetItemString(cand_.get(), 0, units, 3), 2);
    EXPECT_EQ(std::u16string(units, units + 3), std::u16string(u"中国") + u'\0');
    EXPECT_EQ(PYCand_GetItemString(cand_.get(), 1, units, 4), 0);

    char bytes[8];
    std::memset(bytes, 'x', sizeof bytes);
    EXPECT_EQ(PYCand_GetItemStringUtf8(cand_.get(), 0, bytes, 4), 6);
    EXPECT_STREQ(bytes, "中");
    EXPECT_EQ(bytes[4], 'x');
    EXPECT_EQ(PYCand_GetItemStringUtf8(cand_.get(), 0, bytes, 6), 6);  // no room for the terminator
    EXPECT_STREQ(bytes, "中");
    EXPECT_EQ(PYCand_GetItemStringUtf8(cand_.get(), 0, bytes, 7), 6);
    EXPECT_STREQ(bytes, "中国");
    EXPECT_EQ(PYCand_GetItemStringUtf8(cand_.get(), 1, bytes, 7), 0);
}

TEST_F(CandTest, DumpWritesTheListThenTheEntriesOfEveryPass) {
    UseLexicon({{u"人", 100}});
    EXPECT_EQ(Dump(), "\r\n\r\n");
    Pass(1, {{{kZhong, 100}}});
    Pass(2, {{{kRen, 300}}, {{kGuo, 200}}}, {{0, 1}, {1, 2}});
    // The segmentation candidate has phrase id 0.
    EXPECT_EQ(Dump(), "0.中国 0 0x00000000 | 1.人 300 0x01000001 | \r\n\r\n中" + Fillers(7) + "\r\n人" + Fillers(7) +
                          "国" + Fillers(7) + "\r\n");
}

TEST_F(CandTest, DumpCutsLongTextsAndStopsAtTheCapacity) {
    std::u16string longPhrase(1, kZhong);
    longPhrase += std::u16string(29, kGuo);
    UseLexicon({{u"中", 100}, {longPhrase, 900}});
    Pass(1, {{{kZhong, 100}}});
    std::string cut = "中";
    for (int i = 0; i < 20; ++i) cut += "国";  // 63 bytes of whole characters
    const std::string list = "0.中 100 0x01000001 | 1." + cut + " 101 0x1e000003 | ";
    EXPECT_EQ(Dump(), list + "\r\n\r\n中" + Fillers(7) + "\r\n");
    // A short buffer keeps whole pieces only, and always a terminator.
    EXPECT_EQ(Dump(static_cast<HR_UINT32>(list.size())), "0.中 100 0x01000001 | ");
    EXPECT_EQ(Dump(static_cast<HR_UINT32>(list.size() + 1)), list);
    EXPECT_EQ(Dump(5), "");
    char none = 'x';
    EXPECT_EQ(PYCand_DumpBounded(cand_.get(), &none, 0), 0);
    EXPECT_EQ(none, 'x');
}

TEST_F(CandTest, FullRecognitionTableRefusesResultsAndDropsTheSegmentation) {
    UseLexicon({{u"中", 100}});
    ASSERT_EQ(PYCand_BeginStroke(cand_.get(), 1), 1);
    for (int i = 0; i < (PY_CAND_ENTRY_MAX - 1) / PY_CAND_BLOCK - 1; ++i) ASSERT_EQ(Add({{kZhong, 1}}, 1), 1) << i;
    EXPECT_EQ(Add({{kZhong, 1}}, 2), 0);  // more strokes than the pass has
    EXPECT_EQ(PYCand_AddRecoResult(cand_.get(), 0, nullptr, nullptr, 1), 1);
    ASSERT_EQ(PYCand_FinishStroke(cand_.get(), 1, 0, nullptr), 1);
    EXPECT_EQ(List(), (std::vector<Item>{{u"中", 1, 100}}));
    EXPECT_EQ(Add({{kZhong, 1}}, 1), 0);  // no pass open
    EXPECT_EQ(PYCand_FinishStroke(cand_.get(), 1, 0, nullptr), 0);

    ASSERT_EQ(PYCand_BeginStroke(cand_.get(), 2), 1);
    ASSERT_EQ(Add({{kGuo, 5}}, 2), 1);
    EXPECT_EQ(cand_->entryTotal, 8184u);
    EXPECT_EQ(Add({{kGuo, 5}}, 1), 0);  // 8192 > 8191: block 1 of pass 2 is missing
    EXPECT_EQ(cand_->entryTotal, 8184u);
    const _HW_SEGMENT segments[2] = {{0, 1}, {1, 2}};
    ASSERT_EQ(PYCand_FinishStroke(cand_.get(), 2, 2, segments), 1);
    EXPECT_TRUE(List().empty());
    EXPECT_EQ(cand_->segTextTotal, 0u);
}

TEST_F(CandTest, CandidateTableIsNeverOverrun) {
    std::vector<Phrase> phrases = {{u"中", 100}};
    for (char16_t c : std::u16string(u"一二三四五")) phrases.push_back({std::u16string(1, kZhong) + c, 200});
    UseLexicon(phrases);
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
    EXPECT_EQ(PYCand_GetTotal(cand_.get()), 0u);
}

TEST_F(CandTest, StrokeCountBeyondTheTablesLeavesTheLastListIntact) {
    UseLexicon({{u"中", 100}, {u"中国", 300}});
    ASSERT_EQ(PYCand_BeginStroke(cand_.get(), PY_CAND_STROKE_MAX - 1), 1);
    ASSERT_EQ(Add({{kZhong, 10}}, PY_CAND_STROKE_MAX - 1), 1);
    ASSERT_EQ(PYCand_FinishStroke(cand_.get(), PY_CAND_STROKE_MAX - 1, 0, nullptr), 1);
    std::vector<Item> last = List();
    ASSERT_EQ(last.size(), 2u);
    HR_UINT32 entries = cand_->entryTotal;

    EXPECT_EQ(PYCand_BeginStroke(cand_.get(), PY_CAND_STROKE_MAX), 0);
    EXPECT_EQ(PYCand_GetTotal(cand_.get()), 0u);
    EXPECT_EQ(Add({{kZhong, 10}}, 1), 0);
    EXPECT_EQ(cand_->entryTotal, entries);
    EXPECT_EQ(PYCand_FinishStroke(cand_.get(), PY_CAND_STROKE_MAX, 0, nullptr), 0);
    EXPECT_EQ(PYCand_FinishStroke(cand_.get(), PY_CAND_STROKE_MAX - 1, 0, nullptr), 0);

    EXPECT_EQ(PYCand_DelLastStroke(cand_.get()), 1);
    EXPECT_EQ(List(), last);
    EXPECT_EQ(PYCand_DelLastStroke(cand_.get()), 1);
    EXPECT_EQ(cand_->strokes, PY_CAND_STROKE_MAX - 2u);
    EXPECT_EQ(PYCand_GetTotal(cand_.get()), 0u);  // skipped stroke counts hold empty lists
}

}  // namespace
