// SPDX-License-Identifier: MIT
#include "train/HTCode.h"

#include <gtest/gtest.h>

#include <string>

#include "TempDir.h"

using penrune::test::TempDir;

namespace {

const std::string kYi = "\xe4\xb8\x80";        // U+4E00
const std::string kEr = "\xe4\xba\x8c";        // U+4E8C
const std::string kClef = "\xf0\x9d\x84\x9e";  // U+1D11E, outside the BMP
const std::string kBom = "\xef\xbb\xbf";       // skipped at the start of a file

// Lines without a number or with 0 make no item; a later line replaces an
// earlier one; numbers are 16-bit; words outside the BMP or with a broken
// first character are skipped (not folded to U+D11E or taken as code 0).
TEST(HTCodeTable, ItemsAscendLaterLinesReplaceEarlierAndTheMaskSelectsCharsets) {
    TempDir dir;
    dir.Write("char_number.txt", kBom + kEr + " 2\n" + kYi + " 1\n\nA 4 extra\nC\t5\n" + kYi + " 70001\nbad\nB 0\n" +
                                     kClef + " 2\n\x80\x80 2\n");
    dir.Write("char_bit0.txt", kBom + kEr + "\n" + kClef + "\n\xe4\x38\x80\n");
    dir.Write("char_bit1.txt", kYi + "\n" + kEr + "\n");  // masked out
    ASSERT_EQ(HTCode_Initialize(dir.path().c_str(), 0x0001), 1);
    ASSERT_EQ(HTCode_GetItemTotal(), 4);
    const HR_UINT16 codes[] = {0x41, 0x43, 0x4E00, 0x4E8C}, nodes[] = {4, 5, 70001 % 65536, 2}, sets[] = {0, 0, 0, 1};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(HTCode_GetItemPtr()[i].code, codes[i]) << i;
        EXPECT_EQ(HTCode_GetItemPtr()[i].nodeNum, nodes[i]) << i;
        EXPECT_EQ(HTCode_GetItemPtr()[i].charset, sets[i]) << i;
        EXPECT_EQ(g_nCodeIndex[codes[i]], i) << i;
    }
    for (HR_UINT16 code : {0x42, 0x62, 0xD11E, 0}) EXPECT_EQ(g_nCodeIndex[code], HT_CODE_NO_ITEM) << code;
    EXPECT_EQ(HTCode_GetCodeMaxVal(), 0x4E8C);
    EXPECT_NE(g_bCodeExist[0x4E8C], 0);
    for (HR_UINT16 code : {0x4E00, 0xFEFF, 0xD11E, 0}) EXPECT_EQ(g_bCodeExist[code], 0) << code;

    // Zero numbers only: the load fails and leaves no item of the earlier one.
    dir.Write("char_number.txt", kYi + " 0\n");
    EXPECT_EQ(HTCode_Initialize(dir.path().c_str(), 0xFFFF), 0);
    EXPECT_EQ(HTCode_GetItemTotal(), 0);
}

TEST(HTCodeTable, CharsetFileCountsBeyondCapacityButStoresOnlyCapacity) {
    TempDir dir;
    std::string path = dir.Write("bits.txt", "a\nb\n\nc\n" + kYi + " tail\ne\n");
    HR_UINT16 codes[3] = {0, 0, 0xBEEF};
    EXPECT_EQ(HTCode_ReadCodeCharsetBit(path.c_str(), codes, 2), 5);
    EXPECT_EQ(codes[2], 0xBEEF);
}

// Broken sequences give 0, also when cut short by the terminator; a value is
// written only when its whole sequence fits.
TEST(HTCodeUtf8, RoundTripAtEveryLengthBrokenSequencesAndOutputCapacity) {
    const HR_UINT32 values[] = {0x7F, 0x7FF, 0xFFFF, 0x1FFFFF, 0x3FFFFFF, 0x7FFFFFFF};  // largest of each length
    for (int i = 0; i < 6; ++i) {
        HR_UINT8 out[7] = {};
        ASSERT_EQ(HTCode_DecodeToUTF8(values[i], reinterpret_cast<char *>(out), 6), i + 1);
        EXPECT_EQ(HTCode_GetUTF8Size(out[0]), i + 1) << std::hex << values[i];
        EXPECT_EQ(HTCode_EncodeByUTF8(out), values[i]) << std::hex << values[i];
    }
    for (const char *broken : {"\xe4\x38\x80", "\x80", "\xe4\xb8"})
        EXPECT_EQ(HTCode_EncodeByUTF8(reinterpret_cast<const HR_UINT8 *>(broken)), 0u) << broken;

    char out[4] = {'.', '.', '.', '.'};
    EXPECT_EQ(HTCode_DecodeToUTF8(0x4E00, out, 2), 3);
    EXPECT_EQ(std::string(out, 4), "....");
    EXPECT_EQ(HTCode_DecodeToUTF8(0x4E00, out, 3), 3);
    EXPECT_EQ(HTCode_DecodeToUTF8(0x80000000u, out, 4), 0);
    EXPECT_EQ(std::string(out, 4), kYi + ".");
}

}  // namespace
