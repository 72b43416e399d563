#include "HWLexEx.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <ctime>
#include <string>
#include <vector>

#include "HWLex.h"
#include "HWLexData.h"
#include "LexiconImage.h"
#include "TempDir.h"
#include "TrainData.h"

using penrune::test::LoadU32;
using penrune_test::BuildLexicon;
using penrune_test::LexiconBuild;
using penrune_test::ReadFile;
using penrune_test::TempDir;

namespace {

const std::string kExample =
    "\xE4\xB8\xAD zhong 100\n"               // 中
    "\xE4\xB8\xAD\xE5\x9B\xBD zhongguo 60\n"  // 中国
    "\xE5\x9B\xBD guo 40\n";                 // 国
const HR_UINT16 kZhong = 0x4E2D;
const HR_UINT16 kGuo = 0x56FD;

std::vector<HR_UINT16> Text(const HR_UINT16 *p, int n) { return std::vector<HR_UINT16>(p, p + n); }

std::vector<std::vector<HR_UINT16>> GroupTexts(const _PY_LEX &lex, HR_UINT32 group, bool last) {
    std::vector<std::vector<HR_UINT16>> texts;
    int total = last ? PYLex_GetGroupRItemTotal(&lex, group) : PYLex_GetGroupItemTotal(&lex, group);
    for (int i = 0; i < total; ++i) {
        texts.push_back(last ? Text(PYLex_GetGroupRItemDataPtr(&lex, group, i), PYLex_GetGroupRItemLength(&lex, group, i))
                             : Text(PYLex_GetGroupItemDataPtr(&lex, group, i), PYLex_GetGroupItemLength(&lex, group, i)));
    }
    return texts;
}

// The image with its build-date bytes cleared, for comparing two runs.
std::string WithoutDate(std::string image) {
    if (image.size() >= 16) image.replace(12, 4, 4, '\0');
    return image;
}

TEST(LexiconBuilder, BuildsTheExampleWithWeightsGroupsAndPoolOrder) {
    TempDir dir;
    std::string description = "test lexicon\r\n";
    LexiconBuild build = BuildLexicon(dir, kExample, &description);
    ASSERT_EQ(build.result, PYLEX_BUILD_OK);
    EXPECT_EQ(build.output, "");
    EXPECT_EQ(build.errors, "");

    _PY_LEX lex = build.View();
    ASSERT_EQ(PYLex_GetTotal(&lex), 3u);

    // The pool keeps input order: weight, text, weight, text...
    const HR_UINT16 pool[] = {693, kZhong, 1203, kZhong, kGuo, 1609, kGuo};
    EXPECT_EQ(Text(lex.pool, 7), Text(pool, 7));

    using Texts = std::vector<std::vector<HR_UINT16>>;
    EXPECT_EQ(GroupTexts(lex, 303, false), (Texts{{kZhong}, {kZhong, kGuo}}));
    EXPECT_EQ(GroupTexts(lex, 2559, true), (Texts{{kZhong, kGuo}, {kGuo}}));
    EXPECT_EQ(GroupTexts(lex, 2559, false), (Texts{{kGuo}}));
    EXPECT_EQ(GroupTexts(lex, 303, true), (Texts{{kZhong}}));
    EXPECT_EQ(PYLex_GetGroupItemWeight(&lex, 303, 1), 1203);
    EXPECT_EQ(PYLex_GetGroupRItemWeight(&lex, 2559, 1), 1609);
    EXPECT_EQ(PYLex_GetGroupItemPhraseId(&lex, 303, 1), (2u << 24) | 3u);
}

TEST(LexiconBuilder, WritesTheHeaderAndDirectory) {
    TempDir dir;
    std::string description = "abcde";  // padded to 8 bytes
    LexiconBuild build = BuildLexicon(dir, kExample, &description);
    const std::string &image = build.image;
    ASSERT_GE(image.size(), 128u);
    EXPECT_EQ(image.substr(0, 4), "PYS1");
    EXPECT_EQ(LoadU32(image, 4), 1u);
    EXPECT_EQ(LoadU32(image, 8), image.size());
    EXPECT_EQ(image.size() % 4, 0u);
    EXPECT_EQ(LoadU32(image, 16), 6u);
    EXPECT_EQ(LoadU32(image, 20), 32u);
    EXPECT_EQ(LoadU32(image, 24), 128u);
    EXPECT_EQ(LoadU32(image, 28), 0u);

    // Build date: today's "%04d%02d%02d" as packed BCD.
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char date[40];
    std::snprintf(date, sizeof(date), "%04d%02d%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    std::string bcd;
    for (int i = 12; i < 16; ++i) bcd += std::to_string((image[i] >> 4) & 15) + std::to_string(image[i] & 15);
    EXPECT_EQ(bcd, date);

    const HR_UINT32 G = PYLEX_GROUP_TOTAL;
    const HR_UINT32 tags[] = {PYLEX_TAG_DESCRIPTION, PYLEX_TAG_FIRST_INDEX, PYLEX_TAG_FIRST_ITEMS,
                              PYLEX_TAG_LAST_INDEX,  PYLEX_TAG_LAST_ITEMS,  PYLEX_TAG_POOL};
    const HR_UINT32 offsets[] = {0, 8, 4 * G + 12, 4 * G + 24, 8 * G + 28, 8 * G + 40};
    const HR_UINT32 sizes[] = {5, 4 * G + 4, 12, 4 * G + 4, 12, 14};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(LoadU32(image, 32 + 16 * i), tags[i]) << i;
        EXPECT_EQ(LoadU32(image, 36 + 16 * i), offsets[i]) << i;
        EXPECT_EQ(LoadU32(image, 40 + 16 * i), sizes[i]) << i;
        EXPECT_EQ(LoadU32(image, 44 + 16 * i), 0u) << i;
    }
    EXPECT_EQ(image.substr(128, 8), std::string("abcde\0\0\0", 8));
    // 14 pool bytes padded to 16 end the image.
    EXPECT_EQ(image.size(), 128u + 8 * G + 40 + 16);
    EXPECT_EQ(image.substr(image.size() - 2), std::string(2, '\0'));
}

TEST(LexiconBuilder, MissingOrEmptyDescriptionGivesFiveSections) {
    TempDir dir;
    LexiconBuild none = BuildLexicon(dir, kExample, nullptr);
    std::string empty;
    LexiconBuild blank = BuildLexicon(dir, kExample, &empty);
    ASSERT_EQ(none.result, PYLEX_BUILD_OK);
    EXPECT_EQ(LoadU32(none.image, 16), 5u);
    EXPECT_EQ(LoadU32(none.image, 24), 112u);
    EXPECT_EQ(LoadU32(none.image, 32), PYLEX_TAG_FIRST_INDEX);
    EXPECT_EQ(LoadU32(none.image, 36), 0u);
    EXPECT_EQ(WithoutDate(none.image), WithoutDate(blank.image));

    _PY_LEX lex = none.View();
    EXPECT_EQ(PYLex_GetTotal(&lex), 3u);
    EXPECT_EQ(PYLex_GetGroupItemWeight(&lex, 303, 0), 693);
}

TEST(LexiconBuilder, EqualFrequenciesKeepInputOrderInAGroup) {
    TempDir dir;
    LexiconBuild build = BuildLexicon(dir, "ab x 5\nac x 9\nad x 5\naa x 5\n", nullptr);
    _PY_LEX lex = build.View();
    using Texts = std::vector<std::vector<HR_UINT16>>;
    EXPECT_EQ(GroupTexts(lex, 'a', false), (Texts{{'a', 'c'}, {'a', 'b'}, {'a', 'd'}, {'a', 'a'}}));
}

TEST(LexiconBuilder, ReportsRepeatsAndRejectsBadLines) {
    TempDir dir;
    const std::string longField(256, 'q');
    const std::string longLine = "long x 1 " + std::string(1100, ' ') + "\n";
    const std::string phrases =
        "\xE4\xB8\xAD a 100\n"            // 1 used
        "\xE4\xB8\xAD b 7\n"              // 2 rep
        "onlytwo fields\n"                // 3 skipped silently
        "\xF0\x9F\x98\x80 c 5\n"          // 4 err: no UTF-16 unit
        "zero d 0\n"                      // 5 err: frequency 0
        "neg e -3\n"                      // 6 err
        "word f 12abc\n"                  // 7 err: not a number
        "big g 2147483648\n"              // 8 err: beyond 32 bits
        + longField + " h 1\n"            // 9 err: phrase field too long
        "x " + longField + " 1\n"         // 10 err: second field too long
        + longLine +                      // 11 err: line too long
        "four i 1 extra\n"                // 12 err
        "zero j 4\n"                      // 13 used: line 5 was rejected
        "\xF0\x9F\x98\x80 k 5\n"          // 14 rep of line 4
        "last l 2147483647";              // 15 used, no line end
    LexiconBuild build = BuildLexicon(dir, phrases, nullptr);
    ASSERT_EQ(build.result, PYLEX_BUILD_OK);

    const char *rejected[] = {"4\t\xF0\x9F\x98\x80 c 5\n", "5\tzero d 0\n",     "6\tneg e -3\n",
                              "7\tword f 12abc\n",          "8\tbig g 2147483648\n"};
    std::string expectedErrors;
    for (const char *line : rejected) expectedErrors += line;
    expectedErrors += "9\t" + longField + " h 1\n";
    expectedErrors += "10\tx " + longField + " 1\n";
    expectedErrors += "11\t" + longLine;
    expectedErrors += "12\tfour i 1 extra\n";
    EXPECT_EQ(build.errors, expectedErrors);

    std::string expectedOutput = "rep: 2\t\xE4\xB8\xAD b 7\n";
    for (size_t at = 0; at < expectedErrors.size();) {
        size_t end = expectedErrors.find('\n', at) + 1;
        expectedOutput += "err: " + expectedErrors.substr(at, end - at);
        at = end;
    }
    expectedOutput += "rep: 14\t\xF0\x9F\x98\x80 k 5\n";
    EXPECT_EQ(build.output, expectedOutput);

    _PY_LEX lex = build.View();
    ASSERT_EQ(PYLex_GetTotal(&lex), 3u);
    EXPECT_EQ(PYLex_GetGroupItemTotal(&lex, 'z'), 1);
    EXPECT_EQ(PYLex_GetGroupItemLength(&lex, 'l', 0), 4);
    EXPECT_EQ(PYLex_GetGroupItemTotal(&lex, 'w'), 0);
}

TEST(LexiconBuilder, CrLfLinesAreRead) {
    TempDir dir;
    LexiconBuild build = BuildLexicon(dir, "ab x 3\r\ncd y 1\r\n", nullptr);
    _PY_LEX lex = build.View();
    EXPECT_EQ(PYLex_GetTotal(&lex), 2u);
    EXPECT_EQ(PYLex_GetGroupRItemLength(&lex, 'd', 0), 2);
}

TEST(LexiconBuilder, UnreadablePhraseListGivesEmptyGroups) {
    TempDir dir;
    std::string output = dir.File("lex.dat");
    std::string errors = dir.File("errors.txt");
    ASSERT_EQ(PYLex_CreateSysLex(nullptr, dir.File("missing.txt").c_str(), output.c_str(), errors.c_str()),
              PYLEX_BUILD_OK);
    std::string image = ReadFile(output);
    const HR_UINT32 G = PYLEX_GROUP_TOTAL;
    EXPECT_EQ(image.size(), 112u + 2 * (4 * G + 4));
    EXPECT_EQ(image.find_first_not_of('\0', 112), std::string::npos);
    EXPECT_EQ(LoadU32(image, 32 + 16 * 4 + 8), 0u);  // empty pool
}

TEST(LexiconBuilder, OutputThatCannotBeCreatedIsReported) {
    TempDir dir;
    std::string phrases = dir.Write("phrases.txt", kExample);
    std::string output = dir.File("no/such/dir/lex.dat");
    EXPECT_EQ(PYLex_CreateSysLex(nullptr, phrases.c_str(), output.c_str(), dir.File("errors.txt").c_str()),
              PYLEX_BUILD_NO_OUTPUT);
    EXPECT_EQ(ReadFile(output + ".c"), "");
}

TEST(LexiconBuilder, StopsBeforeAPoolBeyond24BitOffsets) {
    // 65537 phrases of 255 units: the last starts at unit 1 + 256 * 65536.
    std::string phrases;
    phrases.reserve(65537u * 262u);
    for (int i = 0; i < 65537; ++i) {
        std::string number = std::to_string(i);
        phrases += number + std::string(255 - number.size(), 'p') + " x 1\n";
    }
    TempDir dir;
    LexiconBuild tooBig = BuildLexicon(dir, phrases, nullptr);
    EXPECT_EQ(tooBig.result, PYLEX_BUILD_POOL_FULL);
    EXPECT_EQ(tooBig.image, "");
    EXPECT_EQ(tooBig.source, "");
    EXPECT_NE(tooBig.output.find("err: "), std::string::npos);

    // One phrase fewer fits: its last phrase starts at unit 0xFFFF01. A
    // directory in the way of the C source spares writing 200 MB of text and
    // shows that the image is kept when its source cannot be written.
    phrases.resize(phrases.size() - phrases.size() / 65537);
    std::filesystem::create_directories(dir.File("lex.dat.c"));
    dir.Write("lex.dat.c/keep", "");
    LexiconBuild fits = BuildLexicon(dir, phrases, nullptr);
    ASSERT_EQ(fits.result, PYLEX_BUILD_OK);
    EXPECT_EQ(fits.output, "");
    _PY_LEX lex = fits.View();
    ASSERT_EQ(PYLex_GetTotal(&lex), 65536u);
    HR_UINT32 highest = 0;
    for (HR_INT32 i = 0; i < 65536; ++i) highest = std::max(highest, PYLex_GetItemPhraseId(&lex, i));
    EXPECT_EQ(highest, (255u << 24) | 0xFFFF01u);
}

TEST(LexiconBuilder, WritesTheImageAsCSource) {
    TempDir dir;
    std::string description = "abcde";
    LexiconBuild build = BuildLexicon(dir, kExample, &description);
    const std::string &source = build.source;
    const std::string head = "#include \"HWLexData.h\"\n\nconst HR_UINT8 g_lex_data[] = {\n";
    ASSERT_EQ(source.compare(0, head.size(), head), 0);
    const std::string tail = "};\n\nconst HR_UINT8 * HWLex_GetDataPtr()\n{\n    return g_lex_data;\n}\n\n"
                             "const HR_UINT32 HWLex_GetDataSize()\n{\n    return " +
                             std::to_string(build.image.size()) + ";\n}\n\n";
    ASSERT_GE(source.size(), head.size() + tail.size());
    EXPECT_EQ(source.substr(source.size() - tail.size()), tail);

    // One "0x%02x," entry per image byte between the two.
    std::string body = source.substr(head.size(), source.size() - head.size() - tail.size());
    EXPECT_EQ(static_cast<size_t>(std::count(body.begin(), body.end(), ',')), build.image.size());
    EXPECT_EQ(body.compare(0, 12, "    0x50, 0x"), 0);  // 'P' of the magic
}

TEST(LexiconData, LoadsWholeFilesIntoBlocks) {
    TempDir dir;
    _HR_BLOCK block{reinterpret_cast<HR_UINT8 *>(&block), 99};
    EXPECT_EQ(PYLex_LoadDataFile(&block, dir.File("missing").c_str()), -1);
    EXPECT_EQ(block.data, nullptr);
    EXPECT_EQ(block.size, 0u);

    std::string bytes("x\0y\xFFz", 5);
    ASSERT_EQ(PYLex_LoadDataFile(&block, dir.Write("f", bytes).c_str()), 0);
    ASSERT_EQ(block.size, 5u);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(block.data), block.size), bytes);
    std::free(block.data);
}

// The embedded image must be what the builder makes of the checked-in
// phrase list, so the list and the generated source cannot drift apart.
TEST(LexiconData, EmbeddedImageIsBuiltFromTheCheckedInList) {
    const std::string root = PENRUNE_SOURCE_DIR "/data/lexicon/";
    TempDir dir;
    std::string description = ReadFile(root + "description.txt");
    LexiconBuild build = BuildLexicon(dir, ReadFile(root + "phrases.txt"), &description);
    ASSERT_EQ(build.result, PYLEX_BUILD_OK);
    EXPECT_EQ(build.output, "");
    std::string embedded(reinterpret_cast<const char *>(HWLex_GetDataPtr()), HWLex_GetDataSize());
    EXPECT_EQ(embedded.size(), build.image.size());
    EXPECT_TRUE(WithoutDate(embedded) == WithoutDate(build.image));
}

}  // namespace
