#include "HTCode.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>

#include "TempDir.h"

using penrune_test::TempDir;

namespace {

const std::string kYi = "\xe4\xb8\x80";        // U+4E00
const std::string kEr = "\xe4\xba\x8c";        // U+4E8C
const std::string kSan = "\xe4\xb8\x89";       // U+4E09
const std::string kClef = "\xf0\x9d\x84\x9e";  // U+1D11E, outside the BMP
const std::string kBom = "\xef\xbb\xbf";       // skipped at the start of a file

const _CODE_ITEM *FindItem(HR_UINT16 code) {
    HR_UINT16 index = g_nCodeIndex[code];
    return index < HTCode_GetItemTotal() ? HTCode_GetItemPtr() + index : nullptr;
}

int Initialize(const TempDir &dir, HR_UINT32 mask) {
    testing::internal::CaptureStdout();
    int result = HTCode_Initialize(dir.path().c_str(), mask);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              std::string("code initialize begin.\ncode initialize ") + (result ? "finished.\n" : "fail.\n"));
    return result;
}

// Blank lines, lines without a number and zero node numbers make no item;
// a later line replaces an earlier one; numbers are kept as 16-bit values.
TEST(HTCodeTable, ItemsAscendLaterLinesReplaceEarlierAndNoItemsFail) {
    TempDir dir;
    dir.Write("char_number.txt",
              kBom + kEr + " 2\n" + kYi + " 1\n\nA 4 extra\n" + kSan + "\t5\n" + kYi + " 70001\nbad\nB 0\n");
    ASSERT_EQ(Initialize(dir, 0xFFFF), 1);
    ASSERT_EQ(HTCode_GetItemTotal(), 4);
    const HR_UINT16 codes[] = {0x41, 0x4E00, 0x4E09, 0x4E8C}, nodes[] = {4, 70001 % 65536, 5, 2};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(HTCode_GetItemPtr()[i].code, codes[i]) << i;
        EXPECT_EQ(HTCode_GetItemPtr()[i].nodeNum, nodes[i]) << i;
        EXPECT_EQ(g_nCodeIndex[codes[i]], i) << i;
    }
    EXPECT_EQ(g_nCodeIndex['B'], HT_CODE_NO_ITEM);
    EXPECT_EQ(g_nCodeIndex['b'], HT_CODE_NO_ITEM);
    EXPECT_EQ(HTCode_GetCodeMaxVal(), 0x4E8C);

    // Without a file, or with zero numbers only, the load fails and leaves
    // no item of the earlier one.
    std::remove(dir.File("char_number.txt").c_str());
    ASSERT_EQ(Initialize(dir, 0xFFFF), 0);
    EXPECT_EQ(HTCode_GetItemTotal(), 0);
    EXPECT_EQ(HTCode_GetCodeMaxVal(), 0);
    dir.Write("char_number.txt", kYi + " 0\n");
    EXPECT_EQ(Initialize(dir, 0xFFFF), 0);
}

TEST(HTCodeTable, MaskSelectsExistFlagsAndCharsetBits) {
    TempDir dir;
    dir.Write("char_number.txt", kYi + " 1\n" + kEr + " 1\n");
    dir.Write("char_bit0.txt", kBom + kEr + "\n");
    dir.Write("char_bit1.txt", kYi + "\n" + kEr + "\n" + kSan + "\n");
    ASSERT_EQ(Initialize(dir, 0x0001), 1);
    EXPECT_EQ(g_bCodeExist[0x4E00], 0);
    EXPECT_EQ(FindItem(0x4E00)->charset, 0);
    EXPECT_NE(g_bCodeExist[0x4E8C], 0);
    EXPECT_EQ(FindItem(0x4E8C)->charset, 0x0001);
    EXPECT_EQ(g_bCodeExist[0xFEFF], 0);
    EXPECT_EQ(HTCode_GetCharsetFlags(), 0x0001);

    ASSERT_EQ(Initialize(dir, 0xFFFF), 1);
    EXPECT_NE(g_bCodeExist[0x4E00], 0);
    EXPECT_EQ(FindItem(0x4E8C)->charset, 0x0003);
    // Wanted by a charset file but without item: flag only.
    EXPECT_NE(g_bCodeExist[0x4E09], 0);
    EXPECT_EQ(FindItem(0x4E09), nullptr);
}

TEST(HTCodeTable, WordsOutsideTheBmpOrInvalidAreSkipped) {
    TempDir dir;
    // Folding U+1D11E modulo 65536 would give U+D11E; an invalid lead would give code 0.
    dir.Write("char_number.txt", kClef + " 2\n\x80\x80 2\n" + kYi + " 1\n");
    dir.Write("char_bit0.txt", kClef + "\n\xe4\x38\x80\n" + kYi + "\n");
    ASSERT_EQ(Initialize(dir, 0xFFFF), 1);
    EXPECT_EQ(HTCode_GetItemTotal(), 1);
    for (HR_UINT16 code : {0xD11E, 0}) {
        EXPECT_EQ(g_nCodeIndex[code], HT_CODE_NO_ITEM) << code;
        EXPECT_EQ(g_bCodeExist[code], 0) << code;
    }
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

TEST(HTCodeUtf8, EncodeDecodesSequencesAndRejectsBrokenOnes) {
    const std::pair<std::string, HR_UINT32> cases[] = {
        {kYi, 0x4E00}, {"\xc2\xa9", 0xA9}, {kClef, 0x1D11E}, {"\xed\xa0\x80", 0xD800},
        {"\xe4\x38\x80", 0}, {"\x80", 0}, {"\xe4\xb8", 0} /* cut short by the terminator */,
        {"\xc0\x80", 0} /* overlong NUL is accepted as 0 */};
    for (const auto &[bytes, value] : cases)
        EXPECT_EQ(HTCode_EncodeByUTF8(reinterpret_cast<const HR_UINT8 *>(bytes.c_str())), value) << std::hex << value;
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

// Every length at both of its bounds, and the lead bytes no decoded value starts with.
TEST(HTCodeUtf8, DecodeAndEncodeRoundTripAtEveryLength) {
    const HR_UINT32 values[] = {0x0,     0x7F,     0x80,     0x7FF,     0x800,     0xFFFF,
                                0x10000, 0x1FFFFF, 0x200000, 0x3FFFFFF, 0x4000000, 0x7FFFFFFF};
    for (int i = 0; i < 12; ++i) {
        HR_UINT8 out[7] = {};
        ASSERT_EQ(HTCode_DecodeToUTF8(values[i], reinterpret_cast<char *>(out), 6), i / 2 + 1);
        EXPECT_EQ(HTCode_GetUTF8Size(out[0]), i / 2 + 1) << std::hex << values[i];
        EXPECT_EQ(HTCode_EncodeByUTF8(out), values[i]) << std::hex << values[i];
    }
    const std::pair<HR_UINT8, int> leads[] = {{0x80, -1}, {0xBF, -1}, {0xC0, 2}, {0xFF, 6}};
    for (const auto &[lead, size] : leads) EXPECT_EQ(HTCode_GetUTF8Size(lead), size) << std::hex << int(lead);
}

}  // namespace
