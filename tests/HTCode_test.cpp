#include "HTCode.h"

#include <gtest/gtest.h>

#include <string>

#include "TempDir.h"

using penrune_test::TempDir;

namespace {

// UTF-8 forms of a few characters.
const std::string kYi = "\xe4\xb8\x80";    // U+4E00
const std::string kEr = "\xe4\xba\x8c";    // U+4E8C
const std::string kSan = "\xe4\xb8\x89";   // U+4E09
const std::string kClef = "\xf0\x9d\x84\x9e";  // U+1D11E, outside the BMP
const std::string kBom = "\xef\xbb\xbf";

const _CODE_ITEM *FindItem(HR_UINT16 code) {
    HR_UINT16 index = g_nCodeIndex[code];
    return index < HTCode_GetItemTotal() ? HTCode_GetItemPtr() + index : nullptr;
}

int Initialize(const TempDir &dir, HR_UINT32 mask) {
    testing::internal::CaptureStdout();
    int result = HTCode_Initialize(dir.path().c_str(), mask);
    std::string log = testing::internal::GetCapturedStdout();
    EXPECT_EQ(log, result ? "code initialize begin.\ncode initialize finished.\n"
                          : "code initialize begin.\ncode initialize fail.\n");
    return result;
}

TEST(HTCodeTable, ZeroNodeNumberLeavesCharacterOut) {
    TempDir dir;
    dir.Write("char_number.txt", kYi + " 3\n" + kEr + " 0\n");
    ASSERT_EQ(Initialize(dir, 0xFFFF), 1);
    ASSERT_EQ(HTCode_GetItemTotal(), 1);
    EXPECT_EQ(HTCode_GetItemPtr()[0].code, 0x4E00);
    EXPECT_EQ(HTCode_GetItemPtr()[0].nodeNum, 3);
    EXPECT_EQ(g_nCodeIndex[0x4E00], 0);
    EXPECT_EQ(g_nCodeIndex[0x4E8C], HT_CODE_NO_ITEM);
    EXPECT_EQ(HTCode_GetCharsetFlags(), 0xFFFF);
}

TEST(HTCodeTable, ItemsAscendAndLaterLinesReplaceEarlier) {
    TempDir dir;
    dir.Write("char_number.txt",
              kEr + " 2\n" + kYi + " 1\n\nA 4 extra\n" + kSan + "\t5\n" + kYi + " 70001\nbad\n");
    ASSERT_EQ(Initialize(dir, 0xFFFF), 1);
    ASSERT_EQ(HTCode_GetItemTotal(), 4);
    const HR_UINT16 codes[] = {0x41, 0x4E00, 0x4E09, 0x4E8C};
    const HR_UINT16 nodes[] = {4, 70001 % 65536, 5, 2};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(HTCode_GetItemPtr()[i].code, codes[i]) << i;
        EXPECT_EQ(HTCode_GetItemPtr()[i].nodeNum, nodes[i]) << i;
        EXPECT_EQ(g_nCodeIndex[codes[i]], i);
    }
    EXPECT_EQ(HTCode_GetCodeMaxVal(), 0x4E8C);
}

TEST(HTCodeTable, ByteOrderMarkIsSkipped) {
    TempDir marked;
    marked.Write("char_number.txt", kBom + kYi + " 3\n");
    marked.Write("char_bit0.txt", kBom + kYi + "\n");
    ASSERT_EQ(Initialize(marked, 0xFFFF), 1);
    ASSERT_EQ(HTCode_GetItemTotal(), 1);
    EXPECT_EQ(HTCode_GetItemPtr()[0].code, 0x4E00);
    EXPECT_EQ(HTCode_GetItemPtr()[0].charset, 1);
    EXPECT_EQ(g_bCodeExist[0xFEFF], 0);
}

TEST(HTCodeTable, MaskSelectsExistFlagsAndCharsetBits) {
    TempDir dir;
    dir.Write("char_number.txt", kYi + " 1\n" + kEr + " 1\n");
    dir.Write("char_bit0.txt", kEr + "\n");
    dir.Write("char_bit1.txt", kYi + "\n" + kEr + "\n" + kSan + "\n");
    ASSERT_EQ(Initialize(dir, 0x0001), 1);
    EXPECT_EQ(g_bCodeExist[0x4E00], 0);
    EXPECT_EQ(FindItem(0x4E00)->charset, 0);
    EXPECT_NE(g_bCodeExist[0x4E8C], 0);
    EXPECT_EQ(FindItem(0x4E8C)->charset, 0x0001);
    EXPECT_EQ(HTCode_GetCharsetFlags(), 0x0001);

    ASSERT_EQ(Initialize(dir, 0xFFFF), 1);
    EXPECT_NE(g_bCodeExist[0x4E00], 0);
    EXPECT_EQ(FindItem(0x4E8C)->charset, 0x0003);
    // Wanted by a charset file but without item: flag only.
    EXPECT_NE(g_bCodeExist[0x4E09], 0);
    EXPECT_EQ(FindItem(0x4E09), nullptr);
}

TEST(HTCodeTable, NoItemsFailsWithMaximumZero) {
    TempDir dir;
    ASSERT_EQ(Initialize(dir, 0xFFFF), 0);
    EXPECT_EQ(HTCode_GetItemTotal(), 0);
    EXPECT_EQ(HTCode_GetCodeMaxVal(), 0);
    dir.Write("char_number.txt", kYi + " 0\n");
    EXPECT_EQ(Initialize(dir, 0xFFFF), 0);
    EXPECT_EQ(HTCode_GetItemTotal(), 0);
}

TEST(HTCodeTable, WordsOutsideTheBmpOrInvalidAreSkipped) {
    TempDir dir;
    // Folding U+1D11E modulo 65536 would give U+D11E; an invalid lead would
    // give code 0.
    dir.Write("char_number.txt", kClef + " 2\n\x80\x80 2\n" + kYi + " 1\n");
    dir.Write("char_bit0.txt", kClef + "\n\xe4\x38\x80\n" + kYi + "\n");
    ASSERT_EQ(Initialize(dir, 0xFFFF), 1);
    EXPECT_EQ(HTCode_GetItemTotal(), 1);
    EXPECT_EQ(g_nCodeIndex[0xD11E], HT_CODE_NO_ITEM);
    EXPECT_EQ(g_nCodeIndex[0], HT_CODE_NO_ITEM);
    EXPECT_EQ(g_bCodeExist[0xD11E], 0);
    EXPECT_EQ(g_bCodeExist[0], 0);
}

TEST(HTCodeTable, CharsetFileCountsBeyondCapacity) {
    TempDir dir;
    std::string path = dir.Write("bits.txt", "a\nb\n\nc\n" + kYi + " tail\ne\n");
    HR_UINT16 codes[3] = {0, 0, 0xBEEF};
    EXPECT_EQ(HTCode_ReadCodeCharsetBit(path.c_str(), codes, 2), 5);
    EXPECT_EQ(codes[0], 'a');
    EXPECT_EQ(codes[1], 'b');
    EXPECT_EQ(codes[2], 0xBEEF);
    EXPECT_EQ(HTCode_ReadCodeCharsetBit(dir.File("missing.txt").c_str(), codes, 2), 0);
}

TEST(HTCodeUtf8, SequenceLengthFromLeadByte) {
    const HR_UINT8 leads[] = {0x7F, 0x80, 0xBF, 0xC2, 0xE4, 0xF7, 0xF8, 0xFB, 0xFC, 0xFF};
    const int sizes[] = {1, -1, -1, 2, 3, 4, 5, 5, 6, 6};
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(HTCode_GetUTF8Size(leads[i]), sizes[i]) << std::hex << int(leads[i]);
}

TEST(HTCodeUtf8, EncodeDecodesSequences) {
    auto encode = [](const std::string &s) {
        return HTCode_EncodeByUTF8(reinterpret_cast<const HR_UINT8 *>(s.c_str()));
    };
    EXPECT_EQ(encode(kYi), 0x4E00u);
    EXPECT_EQ(encode("A"), 0x41u);
    EXPECT_EQ(encode("\xc2\xa9"), 0xA9u);
    EXPECT_EQ(encode(kClef), 0x1D11Eu);
    EXPECT_EQ(encode("\xe4\x38\x80"), 0u);
    EXPECT_EQ(encode("\x80"), 0u);
    EXPECT_EQ(encode("\xe4\xb8"), 0u);  // cut short by the terminator
    EXPECT_EQ(encode("\xc0\x80"), 0u);  // overlong NUL is accepted as 0
    EXPECT_EQ(encode("\xed\xa0\x80"), 0xD800u);
}

TEST(HTCodeUtf8, DecodeWritesOnlyWhenItFits) {
    char out[8] = {'.', '.', '.', '.', '.', '.', '.', '.'};
    EXPECT_EQ(HTCode_DecodeToUTF8(0x4E00, out, 2), 3);
    EXPECT_EQ(std::string(out, 8), "........");
    EXPECT_EQ(HTCode_DecodeToUTF8(0x4E00, out, 3), 3);
    EXPECT_EQ(std::string(out, 4), kYi + ".");
    EXPECT_EQ(HTCode_DecodeToUTF8(0x80000000u, out, 8), 0);
    EXPECT_EQ(std::string(out, 4), kYi + ".");
}

TEST(HTCodeUtf8, DecodeAndEncodeRoundTripAtEveryLength) {
    const HR_UINT32 values[] = {0x0,      0x7F,      0x80,      0x7FF,      0x800,     0xFFFF,
                                0x10000,  0x1FFFFF,  0x200000,  0x3FFFFFF,  0x4000000, 0x7FFFFFFF};
    const int lengths[] = {1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6};
    for (int i = 0; i < 12; ++i) {
        HR_UINT8 out[7] = {};
        ASSERT_EQ(HTCode_DecodeToUTF8(values[i], reinterpret_cast<char *>(out), 6), lengths[i]);
        EXPECT_EQ(HTCode_GetUTF8Size(out[0]), lengths[i]) << std::hex << values[i];
        EXPECT_EQ(HTCode_EncodeByUTF8(out), values[i]) << std::hex << values[i];
    }
}

}  // namespace
