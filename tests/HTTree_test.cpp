// SPDX-License-Identifier: MIT
#include "train/HTTree.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "penrune/HRKernel.h"
#include "train/HTLog.h"
#include "TempDir.h"
#include "TrainData.h"

using namespace penrune::test;
using namespace penrune::test;

namespace {

TEST(HTTreeRules, CentreCountAdditionsAndAnotherPass) {
    EXPECT_EQ(HTTree_GetCentreCount(7463), 299);  // floor(sqrt(12 P)), capped at 800
    EXPECT_EQ(HTTree_GetCentreCount(60000), HT_TREE_CENTRE_MAX);
    EXPECT_TRUE(HTTree_ShouldAdd(0.94f, 0.0f, 0.0004f));  // below 0.95: always
    EXPECT_FALSE(HTTree_ShouldAdd(0.96f, 0.0004f, 0.0004f));
    EXPECT_TRUE(HTTree_ShouldAdd(0.96f, 0.0005f, 0.0004f));
    // The last three classes: D below 0.98, B below 0.99, A at 0.99 or more.
    const int lagging[] = {0, 0, 0, 0, 0, 3, 3}, done[] = {0, 0, 0, 0, 0, 3, 4};
    EXPECT_TRUE(HTTree_ShouldContinue(0.0004f, lagging));   // B >= A > 0
    EXPECT_FALSE(HTTree_ShouldContinue(0.0004f, done));     // B < A and D < B
    EXPECT_FALSE(HTTree_ShouldContinue(1.9e-7f, lagging));  // threshold used up
}

class HTTreeStage : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(dir.File("sort"));
        std::filesystem::create_directories(dir.File("tree"));
        std::string coa(16 + 4 * 64 * 1024, '\0');  // a zero transform, D = 1024, K = 64
        coa[9] = 0x04, coa[12] = 64;
        dir.Write("t.coa", coa);
    }
    // One wanted class from U+4E00 on per prototype, and the prototype file.
    void Prototypes(const std::vector<std::vector<int>> &protos) {
        std::vector<std::pair<uint16_t, int>> codes;
        std::string bytes;
        for (size_t c = 0; c < protos.size(); ++c) {
            codes.push_back({(uint16_t)(0x4E00 + c), 1});
            bytes += FeatureRecord((uint16_t)(0x4E00 + c), protos[c]);
        }
        ASSERT_TRUE(LoadCodeTable(dir.File("charset"), codes));
        dir.Write("p.mdc", bytes);
    }
    TempDir dir;
};

TEST_F(HTTreeStage, FewAdditionsRepeatThePassWithALowerThreshold) {
    // Twelve prototypes on a line: twelve centres, one per prototype.
    std::vector<std::vector<int>> protos;
    for (int c = 0; c < 12; ++c) protos.push_back({c * 10 - 55});
    Prototypes(protos);
    std::map<int, std::string> sorted;
    auto samples = [&](int c, int count, const std::vector<int> &at) {
        for (int i = 0; i < count; ++i) sorted[c] += FeatureRecord((uint16_t)(0x4E00 + c), at);
    };
    for (int c = 0; c < 12; ++c)
        if (c != 1) samples(c, 10, protos[c]);
    samples(0, 10, {55});  // half of class 0 is written where class 11 lies
    samples(1, 4, {55});   // class 1: four samples, all missed, never moved
    for (const auto &[c, bytes] : sorted) dir.Write("sort/" + std::to_string(c) + ".fec", bytes);
    const std::string log = dir.File("tree.log");
    HTLog_Initialize(log.c_str());
    ASSERT_EQ(HTTree_Process(dir.File("t.coa").c_str(), dir.File("p.mdc").c_str(), dir.File("model.dat").c_str(),
                             dir.File("sort").c_str(), dir.File("tree").c_str()),
              1);
    HTLog_Terminate();
    const std::string text = ReadFile(log);
    // One addition per pass: pass 1 is redone with delta x 0.8 until delta
    // falls to 2e-7, 36 passes in all, and its last file is the model.
    EXPECT_EQ(CountOf(text, "    center = 12, branch = 13, decision = "), 36);
    EXPECT_EQ(CountOf(text, "    1     1     1     1     1     1     10    \n"), 36);
    EXPECT_FALSE(std::filesystem::exists(dir.File("tree/tree_002.tdb")));
    const std::string model = ReadFile(dir.File("model.dat"));
    EXPECT_EQ(model, ReadFile(dir.File("tree/tree_001.tdb")));
    EXPECT_EQ(HRReco_CheckModel((const HR_UINT8 *)model.data(), (HR_UINT32)model.size()), 1);
    // Memberships of prototypes 0 and 1 in the centre lists: only 0 gained one.
    const size_t tree = LoadU32(model, 4), T = LoadU16(model, tree), lists = LoadU32(model, tree + 2 + 68 * T);
    int member[2] = {0, 0};
    for (size_t m = 0; m < lists; ++m)
        if (int proto = LoadU16(model, tree + 6 + 68 * T + 2 * m); proto < 2) ++member[proto];
    EXPECT_EQ(member[0], 2);
    EXPECT_EQ(member[1], 1);
}

TEST_F(HTTreeStage, FewerBranchesWidenTheListsForSamplesFoundOnlyFartherOut) {
    EXPECT_EQ(HTTree_SetBranches(0), 0);
    EXPECT_EQ(HTTree_SetBranches(HR_RECO_MAX_CANDS + 1), 0);
    // Twelve prototypes on a line; half of class 0 is written at class 2,
    // so those samples meet their prototype's centre third nearest.
    std::vector<std::vector<int>> protos;
    for (int c = 0; c < 12; ++c) protos.push_back({c * 10 - 55});
    Prototypes(protos);
    std::map<int, std::string> sorted;
    for (int c = 0; c < 12; ++c)
        for (int i = 0; i < 10; ++i) sorted[c] += FeatureRecord((uint16_t)(0x4E00 + c), protos[c]);
    for (int i = 0; i < 10; ++i) sorted[0] += FeatureRecord(0x4E00, protos[2]);
    for (const auto &[c, bytes] : sorted) dir.Write("sort/" + std::to_string(c) + ".fec", bytes);
    // Memberships of prototype 0 in the model's centre lists.
    const auto memberships = [&](int branches) {
        EXPECT_EQ(HTTree_SetBranches(branches), 1);
        std::filesystem::remove_all(dir.File("tree"));
        std::filesystem::create_directories(dir.File("tree"));
        HTLog_Initialize(dir.File("tree.log").c_str());
        EXPECT_EQ(HTTree_Process(dir.File("t.coa").c_str(), dir.File("p.mdc").c_str(), dir.File("model.dat").c_str(),
                                 dir.File("sort").c_str(), dir.File("tree").c_str()),
                  1);
        HTLog_Terminate();
        const std::string model = ReadFile(dir.File("model.dat"));
        const size_t tree = LoadU32(model, 4), T = LoadU16(model, tree), lists = LoadU32(model, tree + 2 + 68 * T);
        int count = 0;
        for (size_t m = 0; m < lists; ++m) count += LoadU16(model, tree + 6 + 68 * T + 2 * m) == 0;
        return count;
    };
    EXPECT_EQ(memberships(HT_TREE_BRANCHES), 1);  // six centres reach it: nothing to add
    EXPECT_EQ(memberships(2), 2);                 // two do not: it joins class 2's centre
    EXPECT_EQ(memberships(HT_TREE_BRANCHES), 1);  // and six again add nothing
}

TEST_F(HTTreeStage, MergeKeepsTenPrototypesPerWantedClass) {
    Prototypes({{}, {}});
    std::string bytes;
    for (int i = 0; i < 12; ++i) bytes += FeatureRecord(0x4E00, {i * 9});
    bytes += FeatureRecord(0x4E01, {-40}) + FeatureRecord(0x5000, {40});  // U+5000 is not wanted
    dir.Write("p.mdc", bytes);
    ASSERT_EQ(HTTree_Merge(dir.File("t.coa").c_str(), dir.File("p.mdc").c_str(), dir.File("tree0.tdb").c_str()), 1);
    const std::string image = ReadFile(dir.File("tree0.tdb"));
    const size_t codes = LoadU32(image, 8);
    ASSERT_EQ(LoadU16(image, LoadU32(image, 0)), 11);
    EXPECT_EQ(LoadU16(image, LoadU32(image, 4)), 11);  // centres: floor(sqrt(132))
    EXPECT_EQ(LoadU16(image, codes + 2 * 9), 0x4E00);
    EXPECT_EQ(LoadU16(image, codes + 2 * 10), 0x4E01);
}

}  // namespace
