// SPDX-License-Identifier: MIT
#include "penrune/HWLex.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "LexiconImage.h"
#include "TempDir.h"

namespace {

TEST(LexiconGroups, MapCodeUnitsToGroups) {
    EXPECT_EQ(PYLex_GetGroupTotal(nullptr), 21160u);
    const std::pair<HR_UINT16, HR_UINT32> cases[] = {{0x0041, 65}, {0x00FF, 255}, {0x3001, 257}, {0x4E00, 258},
                                                     {0x9FA5, 21159}, {0x0100, 0}, {0x3002, 0}, {0x9FA6, 0}};
    for (const auto &[unit, group] : cases) EXPECT_EQ(PYLex_GetGroupId(nullptr, unit), group) << std::hex << unit;
}

// Candidates only list lexicon phrases: a character missing from the
// embedded lexicon could never be recognised.
TEST(EmbeddedLexicon, HoldsEveryCjkCharacterAsAPhrase) {
    _PY_LEX lex;
    PYLex_Initialize(&lex, nullptr);
    for (HR_UINT16 c = 0x4E00; c <= 0x9FA5; ++c) {
        const HR_UINT32 g = PYLex_GetGroupId(&lex, c);
        bool single = false;
        for (int i = 0; i < PYLex_GetGroupItemTotal(&lex, g) && !single; ++i)
            single = PYLex_GetGroupItemLength(&lex, g, i) == 1;
        ASSERT_TRUE(single) << std::hex << c;
    }
}

TEST(LexiconView, DescribeGivesTerminatedUtf8CutAtACharacter) {
    const std::string zhong = "\xE4\xB8\xAD";
    std::string cjk84;
    for (int i = 0; i < 84; ++i) cjk84 += zhong;
    const std::string ascii(255, 'a');
    penrune_test::TempDir dir;
    penrune_test::LexiconBuild build =
        penrune_test::BuildLexicon(dir, ascii + " x 5\nxy" + cjk84 + " x 3\n", nullptr);
    // The builder takes no phrase whose UTF-8 exceeds 255 bytes, but an image
    // can hold one: "xy" + 84 CJK units becomes "x" + 85 CJK units, 256 bytes.
    const size_t xy = build.image.find(std::string("x\0y\0", 4));
    ASSERT_NE(xy, std::string::npos);
    build.image.replace(xy, 4, "x\0\x2D\x4E", 4);
    _PY_LEX lex = build.View();
    ASSERT_EQ(PYLex_GetTotal(&lex), 2u);
    // 255 one-byte units fill the buffer up to its terminator.
    EXPECT_EQ(std::string(PYLex_GetPhraseDescribe(&lex, PYLex_GetGroupItemPhraseId(&lex, 'a', 0))), ascii);
    // The cut keeps whole characters only: "x" and 84 CJK units.
    const HR_UINT32 longest = PYLex_GetGroupRItemPhraseId(&lex, 303, 0);
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
    EXPECT_STREQ(PYLex_GetPhraseDescribe(&lex, PYLex_GetItemPhraseId(&lex, 0)), "");

    PYLex_Initialize(&lex, nullptr);
    EXPECT_EQ(PYLex_GetGroupItemTotal(&lex, PYLEX_GROUP_TOTAL), 0);
    EXPECT_EQ(PYLex_GetGroupItemPhraseId(&lex, 303, -1), 0u);
    EXPECT_EQ(PYLex_GetGroupItemDataPtr(&lex, 303, PYLex_GetGroupItemTotal(&lex, 303)), nullptr);
    EXPECT_EQ(PYLex_GetGroupRItemWeight(&lex, 303, PYLex_GetGroupRItemTotal(&lex, 303)), 0);
    EXPECT_EQ(PYLex_GetItemLength(&lex, static_cast<HR_INT32>(PYLex_GetTotal(&lex))), 0);
    PYLex_Terminate();
}

}  // namespace
