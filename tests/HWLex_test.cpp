#include "HWLex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "LexiconImage.h"
#include "TempDir.h"

using penrune_test::BuildLexicon;
using penrune_test::LexiconBuild;
using penrune_test::TempDir;

namespace {

TEST(LexiconGroups, MapCodeUnitsToGroups) {
    EXPECT_EQ(PYLex_GetGroupTotal(nullptr), 21160u);
    const std::pair<HR_UINT16, HR_UINT32> cases[] = {
        {0x0041, 65}, {0x00FF, 255}, {0x3001, 257}, {0x4E00, 258}, {0x9FA5, 21159}, {0x0100, 0},
        {0x3000, 0},  {0x3002, 0},   {0x4DFF, 0},   {0x9FA6, 0},   {0xF900, 0},     {0xFFFF, 0}};
    for (const auto &[unit, group] : cases) EXPECT_EQ(PYLex_GetGroupId(nullptr, unit), group) << std::hex << unit;
}

class EmbeddedLexicon : public testing::Test {
protected:
    void SetUp() override { PYLex_Initialize(&lex, nullptr); }

    // Checks one of the two lists: every phrase of group g has its first
    // (or last) unit in g, weights never decrease within a group, and the
    // unit before each text is its weight. Returns the ids in list order.
    std::vector<HR_UINT32> CheckList(bool last) {
        std::vector<HR_UINT32> ids;
        for (HR_UINT32 g = 0; g < PYLEX_GROUP_TOTAL; ++g) {
            int total = last ? PYLex_GetGroupRItemTotal(&lex, g) : PYLex_GetGroupItemTotal(&lex, g);
            int previous = 0;
            for (int i = 0; i < total; ++i) {
                HR_UINT32 id = last ? PYLex_GetGroupRItemPhraseId(&lex, g, i) : PYLex_GetGroupItemPhraseId(&lex, g, i);
                const HR_UINT16 *text = PYLex_GetPhraseDataPtr(&lex, id);
                int length = PYLex_GetPhraseLength(&lex, id);
                int weight = PYLex_GetPhraseWeight(&lex, id);
                EXPECT_GE(length, 1);
                EXPECT_EQ(PYLex_GetGroupId(&lex, text[last ? length - 1 : 0]), g);
                EXPECT_EQ(text[-1], weight);
                EXPECT_GE(weight, previous) << "group " << g << " item " << i;
                previous = weight;
                ids.push_back(id);
                if (testing::Test::HasFailure()) return ids;
            }
        }
        return ids;
    }

    _PY_LEX lex;
};

TEST_F(EmbeddedLexicon, ListsIndexEveryPhraseOnceInItsGroup) {
    std::vector<HR_UINT32> first = CheckList(false);
    std::vector<HR_UINT32> last = CheckList(true);
    ASSERT_EQ(first.size(), PYLex_GetTotal(&lex));
    ASSERT_EQ(last.size(), PYLex_GetTotal(&lex));
    EXPECT_EQ(PYLex_GetGroupItemTotal(&lex, 256), 0);
    EXPECT_EQ(PYLex_GetGroupRItemTotal(&lex, 256), 0);

    // The whole-list accessors walk the same first-character list.
    for (HR_INT32 i = 0; i < static_cast<HR_INT32>(first.size()); ++i) {
        ASSERT_EQ(PYLex_GetItemPhraseId(&lex, i), first[static_cast<size_t>(i)]);
    }
    EXPECT_EQ(PYLex_GetItemWeight(&lex, 5), PYLex_GetPhraseWeight(&lex, first[5]));
    EXPECT_EQ(PYLex_GetItemLength(&lex, 5), PYLex_GetPhraseLength(&lex, first[5]));
    EXPECT_EQ(PYLex_GetItemDataPtr(&lex, 5), PYLex_GetPhraseDataPtr(&lex, first[5]));

    std::sort(first.begin(), first.end());
    std::sort(last.begin(), last.end());
    EXPECT_EQ(std::adjacent_find(first.begin(), first.end()), first.end());
    EXPECT_EQ(first, last);
}

TEST_F(EmbeddedLexicon, HoldsEveryCjkCharacterAndCommonWords) {
    for (HR_UINT16 c = 0x4E00; c <= 0x9FA5; ++c) {
        HR_UINT32 g = PYLex_GetGroupId(&lex, c);
        bool single = false;
        for (int i = 0; i < PYLex_GetGroupItemTotal(&lex, g) && !single; ++i) {
            single = PYLex_GetGroupItemLength(&lex, g, i) == 1;
        }
        ASSERT_TRUE(single) << std::hex << c;
    }
    const HR_UINT16 zhongguo[] = {0x4E2D, 0x56FD};
    bool found = false;
    for (int i = 0; i < PYLex_GetGroupItemTotal(&lex, 303) && !found; ++i) {
        found = PYLex_GetGroupItemLength(&lex, 303, i) == 2 &&
                std::memcmp(PYLex_GetGroupItemDataPtr(&lex, 303, i), zhongguo, sizeof(zhongguo)) == 0;
    }
    EXPECT_TRUE(found);
}

TEST(LexiconView, DescribeGivesTerminatedUtf8CutAtACharacter) {
    const std::string zhong = "\xE4\xB8\xAD";
    std::string cjk84;
    for (int i = 0; i < 84; ++i) cjk84 += zhong;
    const std::string ascii(255, 'a');
    TempDir dir;
    LexiconBuild build = BuildLexicon(
        dir, zhong + "\xE5\x9B\xBD x 9\n" + ascii + " x 5\nxy" + cjk84 + " x 3\n", nullptr);
    // The builder cannot take a phrase whose UTF-8 exceeds 255 bytes, but an
    // image can hold one: turn "xy" + 84 CJK units into "x" + 85 CJK units,
    // 256 bytes, one more than fits before the terminator.
    size_t xy = build.image.find(std::string("x\0y\0", 4));
    ASSERT_NE(xy, std::string::npos);
    build.image.replace(xy, 4, "x\0\x2D\x4E", 4);

    _PY_LEX lex = build.View();
    ASSERT_EQ(PYLex_GetTotal(&lex), 3u);

    const char *pair = PYLex_GetPhraseDescribe(&lex, PYLex_GetGroupItemPhraseId(&lex, 303, 0));
    EXPECT_EQ(std::string(pair, 7), zhong + "\xE5\x9B\xBD" + std::string(1, '\0'));
    // 255 one-byte units fill the buffer up to its terminator.
    EXPECT_EQ(std::string(PYLex_GetPhraseDescribe(&lex, PYLex_GetGroupItemPhraseId(&lex, 'a', 0))), ascii);
    // The cut keeps whole characters only: "x" and 84 CJK units.
    HR_UINT32 longest = PYLex_GetGroupRItemPhraseId(&lex, 303, 0);
    ASSERT_EQ(PYLex_GetPhraseLength(&lex, longest), 86);
    EXPECT_EQ(std::string(PYLex_GetPhraseDescribe(&lex, longest)), "x" + cjk84);
}

TEST(LexiconView, MissingSectionsAndBadIndexesGiveNothing) {
    _PY_LEX lex;
    const HR_UINT8 *none = nullptr;
    PYLex_Initialize(&lex, &none);
    EXPECT_EQ(PYLex_GetTotal(&lex), 0u);
    EXPECT_EQ(PYLex_GetGroupItemTotal(&lex, 303), 0);
    EXPECT_EQ(PYLex_GetGroupRItemDataPtr(&lex, 303, 0), nullptr);
    EXPECT_EQ(PYLex_GetItemPhraseId(&lex, 0), 0u);
    EXPECT_STREQ(PYLex_GetPhraseDescribe(&lex, PYLex_GetItemPhraseId(&lex, 0)), "");

    PYLex_Initialize(&lex, nullptr);
    EXPECT_EQ(PYLex_GetGroupItemTotal(&lex, PYLEX_GROUP_TOTAL), 0);
    EXPECT_EQ(PYLex_GetGroupItemPhraseId(&lex, 303, -1), 0u);
    EXPECT_EQ(PYLex_GetGroupItemDataPtr(&lex, 303, PYLex_GetGroupItemTotal(&lex, 303)), nullptr);
    EXPECT_EQ(PYLex_GetGroupRItemWeight(&lex, 303, PYLex_GetGroupRItemTotal(&lex, 303)), 0);
    EXPECT_EQ(PYLex_GetItemLength(&lex, static_cast<HR_INT32>(PYLex_GetTotal(&lex))), 0);
    PYLex_Terminate();
}

TEST(LexiconView, PassesOverUnknownSections) {
    TempDir dir;
    std::string description = "notes";
    LexiconBuild build = BuildLexicon(dir, "ab x 2\n", &description);
    build.image.replace(32, 4, "\x01\x02\x03\x04", 4);  // retag the description
    _PY_LEX lex = build.View();
    ASSERT_EQ(PYLex_GetTotal(&lex), 1u);
    EXPECT_EQ(PYLex_GetGroupRItemLength(&lex, 'b', 0), 2);
    EXPECT_EQ(PYLex_GetGroupRItemDataPtr(&lex, 'b', 0)[0], 'a');
}

}  // namespace
