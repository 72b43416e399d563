// SPDX-License-Identifier: MIT
#include "lex/HWLexEx.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "penrune/HWLex.h"
#include "penrune/HWLexData.h"
#include "LexiconImage.h"
#include "TempDir.h"
#include "TrainData.h"

using penrune::test::LoadU32;
using namespace penrune::test;

namespace {

const std::string kExample = "中 zhong 100\n中国 zhongguo 60\n国 guo 40\n";
const HR_UINT16 kZhong = 0x4E2D, kGuo = 0x56FD;
const HR_UINT32 G = PYLEX_GROUP_TOTAL;

using Texts = std::vector<std::vector<HR_UINT16>>;

// The texts of group g's first-unit (or, with last, last-unit) list in order.
Texts GroupTexts(const _PY_LEX &lex, HR_UINT32 g, bool last) {
    Texts texts;
    int total = last ? PYLex_GetGroupRItemTotal(&lex, g) : PYLex_GetGroupItemTotal(&lex, g);
    for (int i = 0; i < total; ++i) {
        const HR_UINT16 *p = last ? PYLex_GetGroupRItemDataPtr(&lex, g, i) : PYLex_GetGroupItemDataPtr(&lex, g, i);
        texts.emplace_back(p,
                           p + (last ? PYLex_GetGroupRItemLength(&lex, g, i) : PYLex_GetGroupItemLength(&lex, g, i)));
    }
    return texts;
}

TEST(LexiconBuilder, BuildsTheExampleWithWeightsGroupsLayoutAndCSource) {
    TempDir dir;
    std::string description = "abcde";  // padded to 8 bytes
    LexiconBuild build = BuildLexicon(dir, kExample, &description);
    ASSERT_EQ(build.result, PYLEX_BUILD_OK);
    EXPECT_EQ(build.output + build.errors, "");
    _PY_LEX lex = build.View();
    ASSERT_EQ(PYLex_GetTotal(&lex), 3u);
    // The pool keeps input order: weight, text, weight, text...
    EXPECT_EQ(std::vector<HR_UINT16>(lex.pool, lex.pool + 7),
              (std::vector<HR_UINT16>{693, kZhong, 1203, kZhong, kGuo, 1609, kGuo}));
    EXPECT_EQ(GroupTexts(lex, 303, false), (Texts{{kZhong}, {kZhong, kGuo}}));
    EXPECT_EQ(GroupTexts(lex, 2559, true), (Texts{{kZhong, kGuo}, {kGuo}}));
    EXPECT_EQ(PYLex_GetGroupItemPhraseId(&lex, 303, 1), (2u << 24) | 3u);

    // Header (version, size, date, sections, directory, data, 0), then the
    // directory entries (tag, offset, size, 0).
    const std::string &image = build.image;
    EXPECT_EQ(image.substr(0, 4), "PYS1");
    const HR_UINT32 header[] = {1, static_cast<HR_UINT32>(image.size()), 0, 6, 32, 128, 0};
    for (int i : {0, 1, 3, 4, 5, 6}) EXPECT_EQ(LoadU32(image, 4 + 4 * i), header[i]) << i;
    const HR_UINT32 sections[6][3] = {
        {PYLEX_TAG_DESCRIPTION, 0, 5},           {PYLEX_TAG_FIRST_INDEX, 8, 4 * G + 4},
        {PYLEX_TAG_FIRST_ITEMS, 4 * G + 12, 12}, {PYLEX_TAG_LAST_INDEX, 4 * G + 24, 4 * G + 4},
        {PYLEX_TAG_LAST_ITEMS, 8 * G + 28, 12},  {PYLEX_TAG_POOL, 8 * G + 40, 14}};
    for (int i = 0; i < 24; ++i) EXPECT_EQ(LoadU32(image, 32 + 4 * i), i % 4 == 3 ? 0 : sections[i / 4][i % 4]) << i;
    EXPECT_EQ(image.substr(128, 8), std::string("abcde\0\0\0", 8));
    EXPECT_EQ(image.size(), 128u + 8 * G + 40 + 16);  // 14 pool bytes padded to 16

    // The C source: one "0x%02x," entry per image byte, and the size.
    const std::string &source = build.source;
    EXPECT_EQ(source.rfind("#include \"HWLexData.h\"\n\nconst HR_UINT8 g_lex_data[] = {\n    0x50, 0x", 0), 0u);
    EXPECT_EQ(static_cast<size_t>(std::count(source.begin(), source.end(), ',')), image.size());
    EXPECT_NE(source.find("HWLex_GetDataSize()\n{\n    return " + std::to_string(image.size()) + ";\n}"),
              std::string::npos);
}

// CRLF line ends must not leak into the frequency field; phrases of equal
// weight keep their input order within a group.
TEST(LexiconBuilder, ReadsCrLfLinesAndKeepsInputOrderOfEqualWeights) {
    TempDir dir;
    LexiconBuild build = BuildLexicon(dir, "ab x 5\r\nac x 9\r\nad x 5\naa x 5\r\n", nullptr);
    EXPECT_EQ(build.errors, "");
    EXPECT_EQ(GroupTexts(build.View(), 'a', false), (Texts{{'a', 'c'}, {'a', 'b'}, {'a', 'd'}, {'a', 'a'}}));
}

TEST(LexiconBuilder, ReportsRepeatsAndRejectsBadLines) {
    const std::pair<std::string, std::string> lines[] = {// report kind, line
                                                         {"", "中 a 100"},
                                                         {"rep", "中 b 7"},
                                                         {"", "onlytwo fields"},
                                                         {"err", "\xF0\x9F\x98\x80 c 5"},  // no UTF-16
                                                         {"err", "zero d 0"},
                                                         {"err", "big g 2147483648"},
                                                         {"err", std::string(256, 'q') + " h 1"},
                                                         {"err", "long x 1 " + std::string(1100, ' ')},
                                                         {"err", "four i 1 extra"},
                                                         {"", "last l 2147483647"}};  // largest frequency, no line end
    std::string phrases, errors, output;
    for (size_t i = 0; i < std::size(lines); ++i) {
        const auto &[kind, line] = lines[i];
        phrases += i + 1 < std::size(lines) ? line + "\n" : line;
        const std::string echo = std::to_string(i + 1) + "\t" + line + "\n";
        if (kind == "err") errors += echo;
        if (!kind.empty()) output += kind + ": " + echo;
    }
    TempDir dir;
    LexiconBuild build = BuildLexicon(dir, phrases, nullptr);
    ASSERT_EQ(build.result, PYLEX_BUILD_OK);
    EXPECT_EQ(build.errors, errors);
    EXPECT_EQ(build.output, output);
    _PY_LEX lex = build.View();
    ASSERT_EQ(PYLex_GetTotal(&lex), 2u);
    EXPECT_EQ(PYLex_GetGroupItemLength(&lex, 'l', 0), 4);
}

TEST(LexiconBuilder, StopsBeforeAPoolBeyond24BitOffsets) {
    // 65537 phrases of 255 units: the last starts at unit 1 + 256 * 65536.
    std::string phrases;
    for (int i = 0; i < 65537; ++i) {
        std::string number = std::to_string(i);
        phrases += number + std::string(255 - number.size(), 'p') + " x 1\n";
    }
    TempDir dir;
    LexiconBuild tooBig = BuildLexicon(dir, phrases, nullptr);
    EXPECT_EQ(tooBig.result, PYLEX_BUILD_POOL_FULL);
    EXPECT_EQ(tooBig.image + tooBig.source, "");

    // One phrase fewer fits: its last phrase starts at unit 0xFFFF01. A
    // directory in the way of the C source spares writing 200 MB of text.
    phrases.resize(phrases.size() - phrases.size() / 65537);
    std::filesystem::create_directories(dir.File("lex.dat.c"));
    dir.Write("lex.dat.c/keep", "");
    LexiconBuild fits = BuildLexicon(dir, phrases, nullptr);
    ASSERT_EQ(fits.result, PYLEX_BUILD_OK);
    _PY_LEX lex = fits.View();
    ASSERT_EQ(PYLex_GetTotal(&lex), 65536u);
    HR_UINT32 highest = 0;
    for (HR_INT32 i = 0; i < 65536; ++i) highest = std::max(highest, PYLex_GetItemPhraseId(&lex, i));
    EXPECT_EQ(highest, (255u << 24) | 0xFFFF01u);
}

// The embedded image must be what the builder makes of the checked-in
// phrase list, so the list and the generated source cannot drift apart.
TEST(LexiconData, EmbeddedImageIsBuiltFromTheCheckedInList) {
    const std::string root = PENRUNE_SOURCE_DIR "/data/lexicon/";
    TempDir dir;
    std::string description = ReadFile(root + "description.txt");
    LexiconBuild build = BuildLexicon(dir, ReadFile(root + "phrases.txt"), &description);
    ASSERT_EQ(build.result, PYLEX_BUILD_OK);
    std::string embedded(reinterpret_cast<const char *>(HWLex_GetDataPtr()), HWLex_GetDataSize());
    ASSERT_GE(embedded.size(), 16u);
    embedded.replace(12, 4, build.image.substr(12, 4));  // the build date
    EXPECT_TRUE(embedded == build.image);
}

}  // namespace
