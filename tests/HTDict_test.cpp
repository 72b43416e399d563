#include "HTDict.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "HRData.h"
#include "HTCode.h"
#include "TempDir.h"
#include "TrainData.h"

using penrune_test::ReadFile;
using penrune_test::TempDir;

namespace {

constexpr int kDim = HT_DICT_OUTPUT_DIM;
constexpr int kTransform = HT_DICT_INPUT_DIM * HT_DICT_OUTPUT_DIM;

// A written image with little-endian field access.
struct Image {
    std::string bytes;
    HR_UINT32 U32(size_t at) const { return penrune::test::LoadU32(bytes, at); }
    HR_UINT16 U16(size_t at) const { return penrune::test::LoadU16(bytes, at); }
    size_t Word(int k) const { return U32(4 * k); }  // header word k: the offset of section k + 1
    std::vector<HR_UINT32> Header() const {
        std::vector<HR_UINT32> words;
        for (int k = 0; k < 8; ++k) words.push_back(U32(4 * k));
        return words;
    }
    HR_INT16 Transform(int i) const { return static_cast<HR_INT16>(U16(32 + 8 + 2 * i)); }
    int CentreCount() const { return U16(Word(1)); }
    HR_INT8 Centre(int i) const { return static_cast<HR_INT8>(bytes.at(Word(1) + 2 + i)); }
    HR_UINT32 Offset(int c) const { return U32(Word(1) + 2 + kDim * CentreCount() + 4 * c); }
    std::vector<HR_UINT32> Offsets() const {
        std::vector<HR_UINT32> out;
        for (int c = 0; c <= CentreCount(); ++c) out.push_back(Offset(c));
        return out;
    }
    std::vector<HR_UINT16> Members() const {
        std::vector<HR_UINT16> out;
        for (HR_UINT32 m = 0; m < Offset(CentreCount()); ++m)
            out.push_back(U16(Word(1) + 6 + (kDim + 4) * CentreCount() + 2 * m));
        return out;
    }
};

class HTDictTest : public ::testing::Test {
protected:
    // Starts every test from a builder with no prototypes, no centres and a
    // zero transform.
    void SetUp() override {
        std::vector<float> zero(kTransform, 0.0f);
        ASSERT_EQ(HTDict_Initialize(), 1);
        ASSERT_EQ(HTDict_SetTransVector(zero.data()), 1);
        ASSERT_EQ(HTDict_SetModelFeat(0, nullptr), 1);
        ASSERT_EQ(HTDict_SetTreeCenter(nullptr, 0, nullptr, 0), 1);
    }

    Image Save() {
        std::string path = dir_.File("tree.tdb");
        EXPECT_EQ(HTDict_SaveResult(path.c_str()), 1);
        return Image{ReadFile(path)};
    }

    // Sets count prototypes in consecutive slots, prototype i filled with i.
    void SetPrototypes(int count) {
        feats_.assign(count, std::vector<HR_INT8>(kDim));
        std::vector<_HT_CLASS_SLOT> slots(count);
        for (int i = 0; i < count; ++i) {
            feats_[i].assign(kDim, static_cast<HR_INT8>(i));
            slots[i] = {1, feats_[i].data()};
        }
        ASSERT_EQ(HTDict_SetModelFeat(count, slots.data()), 1);
    }

    // Six prototypes and three zero centres with the assignment 2, 0, 7, 2,
    // 1, 0; centre 7 does not exist and prototype 2 is left out.
    void SetThreeCentres() {
        SetPrototypes(6);
        std::vector<float> centres(3 * kDim, 0.0f);
        const HR_UINT16 assign[] = {2, 0, 7, 2, 1, 0};
        ASSERT_EQ(HTDict_SetTreeCenter(centres.data(), 3, assign, 6), 1);
    }

    TempDir dir_;
    std::vector<std::vector<HR_INT8>> feats_;
};

TEST_F(HTDictTest, EmptyImageIsHeaderSectionOneAndSixByteTree) {
    Image image = Save();
    ASSERT_EQ(image.bytes.size(), 131118u);
    EXPECT_EQ(image.Header(), (std::vector<HR_UINT32>{32, 131112, 131118, 131118, 131118, 131118, 131118, 131118}));
    EXPECT_EQ(image.U16(32 + 4), 1024);
    EXPECT_EQ(image.U16(32 + 6), 64);
    EXPECT_EQ(image.CentreCount(), 0);
    EXPECT_EQ(image.Offset(0), 0u);
}

TEST_F(HTDictTest, HeaderWordsAreRunningSumsAndMembersAscendPerExistingCentre) {
    SetThreeCentres();
    EXPECT_EQ(HTDict_GetSectionSize(1), 131080 + 64 * 6);
    EXPECT_EQ(HTDict_GetSectionSize(2), 68 * 3 + 2 * 5 + 6);
    EXPECT_EQ(HTDict_GetSectionSize(3), 12);
    EXPECT_EQ(HTDict_GetSectionSize(4), 12);
    for (int other : {0, 5, 6, 7, -1}) EXPECT_EQ(HTDict_GetSectionSize(other), 0) << other;
    std::vector<HR_UINT32> expected = {32};
    for (int k = 1; k < 8; ++k) expected.push_back(expected.back() + HTDict_GetSectionSize(k));
    Image image = Save();
    EXPECT_EQ(image.Header(), expected);
    EXPECT_EQ(image.bytes.size(), image.U32(16));
    EXPECT_EQ(image.Offsets(), (std::vector<HR_UINT32>{0, 2, 3, 5}));
    EXPECT_EQ(image.Members(), (std::vector<HR_UINT16>{1, 5, 4, 0, 3}));
}

// Transform entries are scaled by 256, truncated and saturated to int16;
// centre components round half away from zero and keep their low byte.
TEST_F(HTDictTest, TransformAndCentresAreStoredAsFixedPoint) {
    const struct {
        bool centre;
        int at;
        float value;
        int stored;
    } cases[] = {{false, 0, 0.3f, 76},         {false, 1, -0.3f, -76},         {false, 2, 200.0f, INT16_MAX},
                 {false, 3, -200.0f, INT16_MIN}, {false, kTransform - 1, 1.0f, 256}, {true, 0, 2.5f, 3},
                 {true, 1, -2.5f, -3},          {true, 2, 0.49f, 0},            {true, 3, -0.49f, 0},
                 {true, 4, 200.0f, -56},        {true, kDim, 127.4f, 127}};
    std::vector<float> matrix(kTransform, 0.0f), centres(2 * kDim, 0.0f);
    for (const auto &c : cases) (c.centre ? centres : matrix)[c.at] = c.value;
    ASSERT_EQ(HTDict_SetTransVector(matrix.data()), 1);
    ASSERT_EQ(HTDict_SetTreeCenter(centres.data(), 2, nullptr, 0), 1);
    Image image = Save();
    for (const auto &c : cases)
        EXPECT_EQ(c.centre ? image.Centre(c.at) : image.Transform(c.at), c.stored)
            << (c.centre ? "centre " : "transform ") << c.at << " = " << c.value;
}

TEST_F(HTDictTest, PrototypesAreCopiedInSlotOrderWithSlotIndexAsCode) {
    std::vector<HR_INT8> a(2 * kDim, 5), b(kDim, -7);
    std::vector<_HT_CLASS_SLOT> slots(0x4E03, _HT_CLASS_SLOT{0, nullptr});
    slots[0x4E00] = {2, a.data()};
    slots[0x4E01] = {-3, nullptr};  // a negative count holds nothing
    slots[0x4E02] = {1, b.data()};
    ASSERT_EQ(HTDict_SetModelFeat(static_cast<int>(slots.size()), slots.data()), 1);
    ASSERT_EQ(HTDict_GetModelTotal(), 3);
    EXPECT_EQ(HTDict_GetModelFeatPtr()[0], 5);
    EXPECT_EQ(HTDict_GetModelFeatPtr()[2 * kDim], -7);
    Image image = Save();
    EXPECT_EQ(image.U16(32), 3);
    EXPECT_EQ(image.U16(34), 0x4E03);
    const size_t codes = image.Word(2);
    EXPECT_EQ(image.U16(codes), 0x4E00);
    EXPECT_EQ(image.U16(codes + 2), 0x4E00);
    EXPECT_EQ(image.U16(codes + 4), 0x4E02);
    EXPECT_EQ(static_cast<HR_INT8>(image.bytes[32 + 8 + 2 * kTransform + 2 * kDim]), -7);
}

TEST_F(HTDictTest, ModelFeatRefusesCountsBeyondSixteenBits) {
    SetPrototypes(2);
    std::vector<HR_INT8> feat(100 * kDim, 1);
    std::vector<_HT_CLASS_SLOT> slots(656, _HT_CLASS_SLOT{100, feat.data()});  // 65600 prototypes
    EXPECT_EQ(HTDict_SetModelFeat(static_cast<int>(slots.size()), slots.data()), 0);
    EXPECT_EQ(HTDict_SetModelFeat(65536, slots.data()), 0);
    EXPECT_EQ(HTDict_SetModelFeat(1, nullptr), 0);
    EXPECT_EQ(HTDict_GetModelTotal(), 2);
}

TEST_F(HTDictTest, UpdateTreeRefusesInconsistentInputAndReplacesMemberLists) {
    SetThreeCentres();
    const HR_UINT16 list[] = {0, 1, 2};
    const HR_UINT16 *lists[] = {list, list, list}, *missing[] = {list, nullptr, list};
    const HR_UINT16 offsets16[] = {0, 1, 2, 3}, wrong16[] = {0, 1, 2, 4};
    const HR_UINT32 offsets32[] = {0, 1, 2, 3}, falling32[] = {0, 2, 1, 3};
    EXPECT_EQ(HTDict_UpdateTree(2, offsets16, lists, offsets32), 0);  // centre count differs
    EXPECT_EQ(HTDict_UpdateTree(3, wrong16, lists, offsets32), 0);
    EXPECT_EQ(HTDict_UpdateTree(3, offsets16, lists, falling32), 0);
    EXPECT_EQ(HTDict_UpdateTree(3, offsets16, missing, offsets32), 0);
    EXPECT_EQ(Save().Members(), (std::vector<HR_UINT16>{1, 5, 4, 0, 3}));

    const HR_UINT16 list0[] = {1, 3, 4, 99};  // only the first 3 are taken
    const HR_UINT16 list2[] = {0, 2};
    const HR_UINT16 *replaced[] = {list0, nullptr, list2};
    const HR_UINT16 new16[] = {0, 3, 3, 5};
    const HR_UINT32 new32[] = {10, 13, 13, 15};  // only differences count
    ASSERT_EQ(HTDict_UpdateTree(3, new16, replaced, new32), 1);
    EXPECT_EQ(HTDict_GetSectionSize(2), 68 * 3 + 2 * 5 + 6);
    Image image = Save();
    EXPECT_EQ(image.Offsets(), (std::vector<HR_UINT32>{0, 3, 3, 5}));
    EXPECT_EQ(image.Members(), (std::vector<HR_UINT16>{1, 3, 4, 0, 2}));
}

TEST_F(HTDictTest, CharsetWordsComeFromTheCodeTable) {
    TempDir charsets;
    charsets.Write("char_number.txt", "\xe4\xb8\x80 2\n");  // U+4E00
    charsets.Write("char_bit2.txt", "\xe4\xb8\x80\n");
    charsets.Write("char_bit3.txt", "\xe4\xb8\x80\n");
    ASSERT_EQ(HTCode_Initialize(charsets.path().c_str(), 0xFFFF), 1);
    std::vector<HR_INT8> feat(kDim, 0);
    std::vector<_HT_CLASS_SLOT> slots(0x4E01, _HT_CLASS_SLOT{0, nullptr});
    slots[0x41] = {1, feat.data()};  // no item: charset 0
    slots[0x4E00] = {1, feat.data()};
    ASSERT_EQ(HTDict_SetModelFeat(static_cast<int>(slots.size()), slots.data()), 1);
    Image image = Save();
    const size_t charset = image.Word(3);
    EXPECT_EQ(charset, image.Word(2) + 4);
    EXPECT_EQ(image.U16(charset), 0);
    EXPECT_EQ(image.U16(charset + 2), 0x000C);
}

TEST_F(HTDictTest, SaveAndLoadReportFileErrors) {
    EXPECT_EQ(HTDict_SaveResult(dir_.File("missing/tree.tdb").c_str()), 0);
#if defined(__linux__)
    EXPECT_EQ(HTDict_SaveResult("/dev/full"), 0);
#endif
    // Loading needs room for the whole file.
    std::string path = dir_.Write("image.dat", "0123456789");
    std::vector<HR_UINT8> buffer(10, 0);
    EXPECT_EQ(HTDict_LoadFile(path.c_str(), buffer.data(), 9), 0);
    ASSERT_EQ(HTDict_LoadFile(path.c_str(), buffer.data(), 10), 1);
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), "0123456789");
    EXPECT_EQ(HTDict_LoadFile(dir_.File("missing.dat").c_str(), buffer.data(), 10), 0);
}

TEST(HTDictEmbedded, EmbeddedImageHeaderMatchesItsSize) {
    Image image{std::string(reinterpret_cast<const char *>(HRData_GetDataPtr()), HRData_GetDataSize())};
    ASSERT_GE(image.bytes.size(), 32u);
    EXPECT_EQ(image.U32(0), 32u);
    for (int k = 4; k < 8; ++k) EXPECT_EQ(image.U32(4 * k), image.bytes.size()) << "header word " << k;
    const int models = image.U16(32);
    EXPECT_EQ(image.Word(3), image.Word(2) + 2u * models);
    EXPECT_EQ(image.U32(16), image.Word(3) + 2u * models);
}

}  // namespace
