// SPDX-License-Identifier: MIT
#include "penrune/HWLex.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <utility>

#include "penrune/HWLexData.h"
#include "LexiconImage.h"
#include "TempDir.h"

namespace {

TEST(LexiconGroups, MapCodeUnitsToGroups) {
    EXPECT_EQ(PYLex_GetGroupTotal(nullptr), 21160u);
    const std::pair<HR_UINT16, HR_UINT32> cases[] = {{0x0041, 65},    {0x00FF, 255}, {0x3001, 257}, {0x4E00, 258},
                                                     {0x9FA5, 21159}, {0x0100, 0},   {0x3002, 0},   {0x9FA6, 0}};
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
    penrune::test::TempDir dir;
    penrune::test::LexiconBuild build =
        penrune::test::BuildLexicon(dir, ascii + " x 5\nxy" + cjk84 + " x 3\n", nullptr);
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

// An exactly sized heap copy of an image, so that the sanitizers see any
// read past its end; `shift` bytes ahead of it move its start off alignment.
class ImageCopy {
public:
    explicit ImageCopy(const std::string &bytes, size_t shift = 0)
        : block_(new HR_UINT8[bytes.size() + shift]), size_(static_cast<HR_UINT32>(bytes.size())), shift_(shift) {
        if (!bytes.empty()) std::memcpy(block_.get() + shift, bytes.data(), bytes.size());
    }
    const HR_UINT8 *data() const { return block_.get() + shift_; }
    HR_UINT32 size() const { return size_; }
    int Check() const { return PYLex_CheckLexicon(data(), size_); }

private:
    std::unique_ptr<HR_UINT8[]> block_;
    HR_UINT32 size_;
    size_t shift_;
};

std::string EmbeddedImage() {
    return std::string(reinterpret_cast<const char *>(HWLex_GetDataPtr()), HWLex_GetDataSize());
}

HR_UINT32 LoadLE32(const std::string &bytes, size_t at) {
    HR_UINT32 v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<HR_UINT8>(bytes[at + i]);
    return v;
}

std::string FlipBit(std::string image, size_t bit) {
    image[bit / 8] = static_cast<char>(image[bit / 8] ^ (1 << (bit % 8)));
    return image;
}

// A built image with every kind of group: ASCII, 0x3001, CJK and group 0.
std::string SmallImage(const std::string *description) {
    penrune::test::TempDir dir;
    const std::string phrases =
        "ab x 5\n\xE4\xB8\xAD\xE6\x96\x87 x 9\n\xE3\x80\x81 x 2\n\xE2\x82\xAC x 1\n\xE4\xB8\xAD x 7\n";
    return penrune::test::BuildLexicon(dir, phrases, description).image;
}

TEST(LexiconCheck, AcceptsTheEmbeddedAndBuiltImagesAndViewsThemAsInitializeDoes) {
    EXPECT_EQ(PYLex_CheckLexicon(HWLex_GetDataPtr(), HWLex_GetDataSize()), 1);
    _PY_LEX checked, trusted;
    ASSERT_EQ(PYLex_InitializeImage(&checked, HWLex_GetDataPtr(), HWLex_GetDataSize()), 1);
    PYLex_Initialize(&trusted, nullptr);
    EXPECT_EQ(std::memcmp(&checked, &trusted, sizeof(checked)), 0);

    const std::string description = "a lexicon";
    for (const std::string &image : {SmallImage(nullptr), SmallImage(&description)}) {
        ImageCopy copy(image);
        ASSERT_EQ(copy.Check(), 1);
        _PY_LEX lex;
        ASSERT_EQ(PYLex_InitializeImage(&lex, copy.data(), copy.size()), 1);
        EXPECT_EQ(PYLex_GetTotal(&lex), 5u);
        // A larger buffer than the image is fine; an unaligned start is not.
        EXPECT_EQ(ImageCopy(image + std::string(8, '\0')).Check(), 1);
        EXPECT_EQ(ImageCopy(image, 2).Check(), 0);
    }
}

TEST(LexiconCheck, RefusesTruncatedAndZeroFilledImagesWithoutReadingPastThem) {
    const std::string small = SmallImage(nullptr);
    for (size_t size = 0; size < small.size(); size += size < 256 ? 1 : 997)
        EXPECT_EQ(ImageCopy(small.substr(0, size)).Check(), 0) << size;
    const std::string embedded = EmbeddedImage();
    for (size_t size : {embedded.size() / 4, embedded.size() / 2, embedded.size() * 3 / 4, embedded.size() - 4})
        EXPECT_EQ(ImageCopy(embedded.substr(0, size)).Check(), 0) << size;
    EXPECT_EQ(PYLex_CheckLexicon(nullptr, 100), 0);

    for (size_t size : {size_t{32}, size_t{4096}, small.size()})
        EXPECT_EQ(ImageCopy(std::string(size, '\0')).Check(), 0);
    // Header and directory intact, everything after them zero.
    const size_t base = 32 + 16 * 5;
    std::string zeroed = small;
    std::fill(zeroed.begin() + base, zeroed.end(), '\0');
    EXPECT_EQ(ImageCopy(zeroed).Check(), 0);

    _PY_LEX lex;
    ImageCopy cut(small.substr(0, small.size() / 2));
    EXPECT_EQ(PYLex_InitializeImage(&lex, cut.data(), cut.size()), 0);
    EXPECT_EQ(PYLex_GetTotal(&lex), 0u);
    EXPECT_EQ(PYLex_GetGroupItemDataPtr(&lex, 303, 0), nullptr);
}

TEST(LexiconCheck, RefusesEveryBitFlipOfTheLayoutAndSurvivesAnyOther) {
    // Four bytes: a flip of its size moves the next section.
    const std::string description = "abcd";
    for (const std::string &image : {SmallImage(nullptr), SmallImage(&description)}) {
        const HR_UINT32 sections = image[16];
        const size_t base = 32 + 16 * sections;
        // Every header and directory field but the build date (bytes 12-15).
        for (size_t bit = 0; bit < 8 * base; ++bit) {
            if (bit / 8 >= 12 && bit / 8 < 16) continue;
            EXPECT_EQ(ImageCopy(FlipBit(image, bit)).Check(), 0) << "bit " << bit;
        }
        // The last entry of each group index holds the item count.
        const HR_UINT32 firstIndex = base + LoadLE32(image, 32 + 16 * (sections - 5) + 4);
        for (size_t bit = 0; bit < 32; ++bit)
            EXPECT_EQ(ImageCopy(FlipBit(image, 8 * (firstIndex + 4 * PYLEX_GROUP_TOTAL) + bit)).Check(), 0);
        // High offset bits of any item id point past the small pool.
        const HR_UINT32 firstItems = base + LoadLE32(image, 32 + 16 * (sections - 4) + 4);
        for (int item = 0; item < 5; ++item) {
            for (size_t bit = 8; bit < 24; ++bit)
                EXPECT_EQ(ImageCopy(FlipBit(image, 8 * (firstItems + 4 * item) + bit)).Check(), 0);
        }
    }
    // Anywhere else a flip may or may not be refused, but is never read past.
    const std::string embedded = EmbeddedImage();
    std::mt19937 random(16);
    int refused = 0;
    for (int trial = 0; trial < 200; ++trial) {
        ImageCopy copy(FlipBit(embedded, random() % (8 * embedded.size())));
        refused += copy.Check() == 0;
    }
    EXPECT_GT(refused, 0);
}

}  // namespace
