#include "HWLexEx.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iterator>
#include <string>
#include <utility>
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
const HR_UINT32 G = PYLEX_GROUP_TOTAL;

using Texts = std::vector<std::vector<HR_UINT16>>;

// The texts of group g's first-unit (or, with last, last-unit) list in order.
Texts GroupTexts(const _PY_LEX &lex, HR_UINT32 g, bool last) {
    Texts texts;
    int total = last ? PYLex_GetGroupRItemTotal(&lex, g) : PYLex_GetGroupItemTotal(&lex, g);
    for (int i = 0; i < total; ++i) {
        const HR_UINT16 *p = last ? PYLex_GetGroupRItemDataPtr(&lex, g, i) : PYLex_GetGroupItemDataPtr(&lex, g, i);
        texts.emplace_back(p, p + (last ? PYLex_GetGroupRItemLength(&lex, g, i) : PYLex_GetGroupItemLength(&lex, g, i)));
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
    EXPECT_EQ(std::vector<HR_UINT16>(lex.pool, lex.pool + 7),
              (std::vector<HR_UINT16>{693, kZhong, 1203, kZhong, kGuo, 1609, kGuo}));
    EXPECT_EQ(GroupTexts(lex, 303, false), (Texts{{kZhong}, {kZhong, kGuo}}));
    EXPECT_EQ(GroupTexts(lex, 2559, true), (Texts{{kZhong, kGuo}, {kGuo}}));
    EXPECT_EQ(GroupTexts(lex, 2559, false), (Texts{{kGuo}}));
    EXPECT_EQ(GroupTexts(lex, 303, true), (Texts{{kZhong}}));
    EXPECT_EQ(PYLex_GetGroupItemWeight(&lex, 303, 1), 1203);
    EXPECT_EQ(PYLex_GetGroupRItemWeight(&lex, 2559, 1), 1609);
    EXPECT_EQ(PYLex_GetGroupItemPhraseId(&lex, 303, 1), (2u << 24) | 3u);
}

TEST(LexiconBuilder, WritesTheHeaderDirectoryAndCSource) {
    TempDir dir;
    std::string description = "abcde";  // padded to 8 bytes
    const LexiconBuild build = BuildLexicon(dir, kExample, &description);
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

    // Build date: today's YYYYMMDD as packed BCD, so its hex digits read as the date.
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char date[16], bcd[16];
    std::strftime(date, sizeof date, "%Y%m%d", &local);
    std::snprintf(bcd, sizeof bcd, "%02x%02x%02x%02x", image[12] & 255, image[13] & 255, image[14] & 255,
                  image[15] & 255);
    EXPECT_STREQ(bcd, date);

    const struct {
        HR_UINT32 tag, offset, size;
    } sections[] = {{PYLEX_TAG_DESCRIPTION, 0, 5},           {PYLEX_TAG_FIRST_INDEX, 8, 4 * G + 4},
                    {PYLEX_TAG_FIRST_ITEMS, 4 * G + 12, 12}, {PYLEX_TAG_LAST_INDEX, 4 * G + 24, 4 * G + 4},
                    {PYLEX_TAG_LAST_ITEMS, 8 * G + 28, 12},  {PYLEX_TAG_POOL, 8 * G + 40, 14}};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(LoadU32(image, 32 + 16 * i), sections[i].tag) << i;
        EXPECT_EQ(LoadU32(image, 36 + 16 * i), sections[i].offset) << i;
        EXPECT_EQ(LoadU32(image, 40 + 16 * i), sections[i].size) << i;
        EXPECT_EQ(LoadU32(image, 44 + 16 * i), 0u) << i;
    }
    EXPECT_EQ(image.substr(128, 8), std::string("abcde\0\0\0", 8));
    // 14 pool bytes padded to 16 end the image.
    EXPECT_EQ(image.size(), 128u + 8 * G + 40 + 16);
    EXPECT_EQ(image.substr(image.size() - 2), std::string(2, '\0'));

    // The C source: one "0x%02x," entry per image byte between head and tail.
    const std::string &source = build.source;
    const std::string head = "#include \"HWLexData.h\"\n\nconst HR_UINT8 g_lex_data[] = {\n";
    const std::string tail = "};\n\nconst HR_UINT8 * HWLex_GetDataPtr()\n{\n    return g_lex_data;\n}\n\n"
                             "const HR_UINT32 HWLex_GetDataSize()\n{\n    return " +
                             std::to_string(image.size()) + ";\n}\n\n";
    ASSERT_GE(source.size(), head.size() + tail.size());
    EXPECT_EQ(source.substr(0, head.size()), head);
    EXPECT_EQ(source.substr(source.size() - tail.size()), tail);
    std::string body = source.substr(head.size(), source.size() - head.size() - tail.size());
    EXPECT_EQ(static_cast<size_t>(std::count(body.begin(), body.end(), ',')), image.size());
    EXPECT_EQ(body.compare(0, 12, "    0x50, 0x"), 0);  // 'P' of the magic
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
    const std::string longField(256, 'q');
    const std::pair<std::string, std::string> lines[] = {  // report kind, line
        {"", "\xE4\xB8\xAD a 100"}, {"rep", "\xE4\xB8\xAD b 7"}, {"", "onlytwo fields"},  // skipped silently
        {"err", "\xF0\x9F\x98\x80 c 5"},  // no UTF-16 unit
        {"err", "zero d 0"}, {"err", "neg e -3"}, {"err", "word f 12abc"}, {"err", "big g 2147483648"},
        {"err", longField + " h 1"}, {"err", "x " + longField + " 1"},  // fields too long
        {"err", "long x 1 " + std::string(1100, ' ')}, {"err", "four i 1 extra"},
        {"", "zero j 4"},  // line 5 was rejected, so no repeat
        {"rep", "\xF0\x9F\x98\x80 k 5"}, {"", "last l 2147483647"}};  // largest frequency, no line end
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
    ASSERT_EQ(PYLex_GetTotal(&lex), 3u);
    EXPECT_EQ(PYLex_GetGroupItemTotal(&lex, 'z'), 1);
    EXPECT_EQ(PYLex_GetGroupItemLength(&lex, 'l', 0), 4);
    EXPECT_EQ(PYLex_GetGroupItemTotal(&lex, 'w'), 0);
}

TEST(LexiconBuilder, UnreadablePhraseListGivesEmptyGroups) {
    TempDir dir;
    std::string output = dir.File("lex.dat");
    ASSERT_EQ(PYLex_CreateSysLex(nullptr, dir.File("missing.txt").c_str(), output.c_str(),
                                 dir.File("errors.txt").c_str()),
              PYLEX_BUILD_OK);
    std::string image = ReadFile(output);
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
