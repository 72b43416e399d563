// SPDX-License-Identifier: MIT
#include "train/HTDict.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "TempDir.h"
#include "TrainData.h"

using penrune::test::ReadFile;
using penrune::test::TempDir;

namespace {

constexpr int kDim = HT_DICT_OUTPUT_DIM;
constexpr int kTransform = HT_DICT_INPUT_DIM * HT_DICT_OUTPUT_DIM;

// A written image with little-endian field access.
struct Image {
    std::string bytes;
    HR_UINT32 U32(size_t at) const { return penrune::test::LoadU32(bytes, at); }
    HR_UINT16 U16(size_t at) const { return penrune::test::LoadU16(bytes, at); }
    size_t Word(int k) const { return U32(4 * k); }  // header word k: the offset of section k + 1
    // The member list of each centre: count, centres, offsets, members.
    std::vector<std::vector<HR_UINT16>> Tree() const {
        const int count = U16(Word(1));
        const size_t offsets = Word(1) + 2 + kDim * count, members = offsets + 4 * (count + 1);
        std::vector<std::vector<HR_UINT16>> out(count);
        for (int c = 0; c < count; ++c)
            for (HR_UINT32 m = U32(offsets + 4 * c); m < U32(offsets + 4 * c + 4); ++m)
                out[c].push_back(U16(members + 2 * m));
        return out;
    }
};

// Each test starts with six prototypes (prototype i filled with i), a zero transform and three zero
// centres; the assignment 2, 0, 7, 2, 1, 0 names a centre 7 that does not exist and leaves prototype 2 out.
class HTDictTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::vector<float> zero(kTransform, 0.0f), centres(3 * kDim, 0.0f);
        ASSERT_EQ(HTDict_Initialize(), 1);
        ASSERT_EQ(HTDict_SetTransVector(zero.data()), 1);
        std::vector<_HT_CLASS_SLOT> slots(6);
        for (int i = 0; i < 6; ++i) {
            feats_[i].assign(kDim, HR_INT8(i));
            slots[i] = {1, feats_[i].data()};
        }
        ASSERT_EQ(HTDict_SetModelFeat(6, slots.data()), 1);
        const HR_UINT16 assign[] = {2, 0, 7, 2, 1, 0};
        ASSERT_EQ(HTDict_SetTreeCenter(centres.data(), 3, assign, 6), 1);
    }

    Image Save() {
        EXPECT_EQ(HTDict_SaveResult(dir_.File("tree.tdb").c_str()), 1);
        return Image{ReadFile(dir_.File("tree.tdb"))};
    }

    TempDir dir_;
    std::vector<HR_INT8> feats_[6];
};

TEST_F(HTDictTest, HeaderAndTreeSectionsAreLaidOutAndUpdatedOnlyWhenConsistent) {
    EXPECT_EQ(HTDict_GetSectionSize(1), 131080 + 64 * 6);
    EXPECT_EQ(HTDict_GetSectionSize(2), 68 * 3 + 2 * 5 + 6);
    std::vector<HR_UINT32> expected = {32};
    for (int k = 1; k < 8; ++k) expected.push_back(expected.back() + HTDict_GetSectionSize(k));
    Image image = Save();
    for (int k = 0; k < 8; ++k) EXPECT_EQ(image.U32(4 * k), expected[k]) << "header word " << k;
    EXPECT_EQ(image.bytes.size(), image.U32(16));
    const std::vector<std::vector<HR_UINT16>> tree = {{1, 5}, {4}, {0, 3}};
    EXPECT_EQ(image.Tree(), tree);

    // Updates that disagree with the tree leave it alone; a valid one
    // replaces the member lists.
    const HR_UINT16 list[] = {0, 1, 2}, offsets16[] = {0, 1, 2, 3}, wrong16[] = {0, 1, 2, 4};
    const HR_UINT16 *lists[] = {list, list, list}, *missing[] = {list, nullptr, list};
    const HR_UINT32 offsets32[] = {0, 1, 2, 3};
    EXPECT_EQ(HTDict_UpdateTree(2, offsets16, lists, offsets32), 0);  // centre count differs
    EXPECT_EQ(HTDict_UpdateTree(3, wrong16, lists, offsets32), 0);
    EXPECT_EQ(HTDict_UpdateTree(3, offsets16, missing, offsets32), 0);
    EXPECT_EQ(Save().Tree(), tree);

    const HR_UINT16 list0[] = {1, 3, 4, 99}, list2[] = {0, 2}, new16[] = {0, 3, 3, 5};  // list0: 3 taken
    const HR_UINT16 *replaced[] = {list0, nullptr, list2};
    const HR_UINT32 new32[] = {10, 13, 13, 15};  // only differences count
    ASSERT_EQ(HTDict_UpdateTree(3, new16, replaced, new32), 1);
    EXPECT_EQ(Save().Tree(), (std::vector<std::vector<HR_UINT16>>{{1, 3, 4}, {}, {0, 2}}));
}

// Transform entries are scaled by 256, truncated and saturated to int16;
// centre components round half away from zero and keep their low byte.
TEST_F(HTDictTest, TransformAndCentresAreStoredAsFixedPoint) {
    const std::tuple<bool, int, float, int> cases[] = {// centre?, index, value, stored
                                                       {false, 0, 0.3f, 76},
                                                       {false, 1, -0.3f, -76},
                                                       {false, 2, 200.0f, INT16_MAX},
                                                       {false, 3, -200.0f, INT16_MIN},
                                                       {false, kTransform - 1, 1.0f, 256},
                                                       {true, 0, 2.5f, 3},
                                                       {true, 1, -2.5f, -3},
                                                       {true, 2, 0.49f, 0},
                                                       {true, 4, 200.0f, -56},
                                                       {true, kDim, 127.4f, 127}};
    std::vector<float> matrix(kTransform, 0.0f), centres(2 * kDim, 0.0f);
    for (const auto &[centre, at, value, stored] : cases) (centre ? centres : matrix)[at] = value;
    ASSERT_EQ(HTDict_SetTransVector(matrix.data()), 1);
    ASSERT_EQ(HTDict_SetTreeCenter(centres.data(), 2, nullptr, 0), 1);
    Image image = Save();
    for (const auto &[centre, at, value, stored] : cases) {
        const int got = centre ? HR_INT8(image.bytes.at(image.Word(1) + 2 + at)) : HR_INT16(image.U16(40 + 2 * at));
        EXPECT_EQ(got, stored) << (centre ? "centre " : "transform ") << at << " = " << value;
    }
}

TEST_F(HTDictTest, ModelFeatRefusesCountsBeyondSixteenBitsAndSkipsNegativeCounts) {
    std::vector<HR_INT8> feat(100 * kDim, 1);
    std::vector<_HT_CLASS_SLOT> slots(656, _HT_CLASS_SLOT{100, feat.data()});  // 65600 prototypes
    EXPECT_EQ(HTDict_SetModelFeat(static_cast<int>(slots.size()), slots.data()), 0);
    EXPECT_EQ(HTDict_SetModelFeat(1, nullptr), 0);
    EXPECT_EQ(HTDict_GetModelTotal(), 6);
    slots[1] = {-3, nullptr};  // a negative count holds nothing
    ASSERT_EQ(HTDict_SetModelFeat(3, slots.data()), 1);
    EXPECT_EQ(HTDict_GetModelTotal(), 200);
}

TEST_F(HTDictTest, LoadFileNeedsRoomForTheWholeFile) {
    std::string path = dir_.Write("image.dat", "0123456789");
    std::vector<HR_UINT8> buffer(10, 0);
    EXPECT_EQ(HTDict_LoadFile(path.c_str(), buffer.data(), 9), 0);
    ASSERT_EQ(HTDict_LoadFile(path.c_str(), buffer.data(), 10), 1);
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), "0123456789");
}

}  // namespace
