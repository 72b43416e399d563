// SPDX-License-Identifier: MIT
#include "train/HTDisc.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "train/HTCode.h"
#include "train/HTPlatform.h"
#include "TempDir.h"
#include "TrainData.h"

using penrune::test::FeatureRecord;
using penrune::test::LoadCodeTable;
using penrune::test::ReadFeatureRecords;
using penrune::test::TempDir;

namespace {

constexpr int kDim = HT_DISC_DIM;

// Identical samples: every seed after the first duplicates it and would be a
// centre without members, whose mean must not be computed.
TEST(HTClusterKMean, IdenticalSamplesGiveOneCentreAndNoEmptyOnes) {
    std::vector<HR_INT8> samples(5 * kDim, 5);
    std::vector<float> centres(3 * kDim, -999.0f);
    std::vector<HR_UINT16> assign(5, 9);
    ASSERT_EQ(HTCluster_KMean(samples.data(), 5, kDim, kDim, 3, centres.data(), assign.data()), 1);
    for (int j = 0; j < kDim; ++j) EXPECT_EQ(centres[j], 5.0f) << j;
    EXPECT_EQ(assign, std::vector<HR_UINT16>(5, 0));
    EXPECT_EQ(HTCluster_KMean(samples.data(), 5, kDim, kDim, 0, centres.data(), assign.data()), 0);
}

// A code table, a directory for files and a prototype set over the table.
class HTDiscFiles : public ::testing::Test {
protected:
    void Load(const std::vector<std::pair<uint16_t, int>> &codes) {
        ASSERT_TRUE(LoadCodeTable(dir.File("charset"), codes));
    }
    std::string WriteRecords(const std::string &name, const std::vector<std::string> &records) {
        std::string bytes;
        for (const std::string &r : records) bytes += r;
        return dir.Write(name, bytes);
    }
    // A fresh set over the code table, loaded from the records.
    void LoadSet(const std::vector<std::string> &records) {
        HTDisc_FreeSet(set);
        set = HTDisc_CreateSet(HTCode_GetItemTotal());
        ASSERT_NE(set, nullptr);
        ASSERT_EQ(HTDisc_LoadMdcFile(set, WriteRecords("p.mdc", records).c_str()), 1);
    }
    void TearDown() override { HTDisc_FreeSet(set); }

    TempDir dir;
    _HT_PROTO_SET *set = nullptr;
};

TEST_F(HTDiscFiles, MdcPrototypesFollowRecordAndNodeCounts) {
    Load({{'A', 1}, {'C', 40}, {'F', 1}, {'G', 3}});
    std::filesystem::create_directories(dir.File("sort"));
    std::map<char, std::vector<std::string>> files = {{'A', {FeatureRecord('A', {9, -9})}}};
    for (int i = 0; i < 20; ++i) files['C'].push_back(FeatureRecord('C', {i * 5}));
    for (int i = 0; i < 12000; ++i) files['F'].push_back(FeatureRecord('F', {i < 10000 ? 0 : 100}));
    for (const auto &[code, records] : files) {
        char name[16];
        std::snprintf(name, sizeof name, "sort/%X.fec", code);
        WriteRecords(name, records);
    }
    std::string out = dir.File("class_000.mdc");
    ASSERT_EQ(HTDisc_MDC(dir.File("sort").c_str(), out.c_str()), 1);

    auto records = ReadFeatureRecords(out);
    std::map<int, int> perClass;
    for (const auto &r : records) ++perClass[r.first];
    // C: min(20 records, 40 nodes, 16); G has no file.
    EXPECT_EQ(perClass, (std::map<int, int>{{'A', 1}, {'C', 16}, {'F', 1}}));
    ASSERT_EQ(records.size(), 18u);
    EXPECT_EQ(records[0].second[1], -9);  // the one record itself
    EXPECT_EQ(records[17].second[0], 0);  // only the first 10000 records count
}

TEST_F(HTDiscFiles, LoadSkipsForeignCodesAndExtraPrototypesAndSaveClampsInPlace) {
    Load({{'A', 2}, {'B', 2}});
    LoadSet({FeatureRecord('A', {1}), FeatureRecord('Z', {2}), FeatureRecord('B', {3}), FeatureRecord('B', {4}),
             FeatureRecord('A', {5}).substr(0, 30)});
    EXPECT_EQ(set->count[0], 1);  // the truncated A record is dropped
    EXPECT_EQ(set->count[1], 2);  // Z has no item and is skipped
    EXPECT_EQ(*HTDisc_ProtoAt(set, 1, 2, 0), 4.0f);

    *HTDisc_ProtoAt(set, 0, 1, 0) = 130.0f;
    *HTDisc_ProtoAt(set, 0, 1, 1) = -140.0f;
    *HTDisc_ProtoAt(set, 1, 1, 2) = -2.5f;
    std::string out = dir.File("out.mdc");
    ASSERT_EQ(HTDisc_SaveMdcFile(set, out.c_str()), 1);
    EXPECT_EQ(*HTDisc_ProtoAt(set, 0, 1, 1), -127.0f);  // clamped in place
    auto records = ReadFeatureRecords(out);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].second[0], 127);
    EXPECT_EQ(records[0].second[1], -127);
    EXPECT_EQ(records[1].second[2], -3);

    EXPECT_FALSE(HT_IsFile((out + ".part").c_str()));

    // A write cut short (here by a file-size limit, as by a full disk)
    // leaves nothing under the name a rerun would take as finished.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    const rlimit small{40, saved.rlim_max};
    setrlimit(RLIMIT_FSIZE, &small);
    const std::string cut = dir.File("cut.mdc");
    const int written = HTDisc_SaveMdcFile(set, cut.c_str());
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, SIG_DFL);
    EXPECT_EQ(written, 0);
    EXPECT_FALSE(HT_IsFile(cut.c_str()));
    EXPECT_FALSE(HT_IsFile((cut + ".part").c_str()));

    std::vector<std::string> eighteen;
    for (int i = 0; i < 18; ++i) eighteen.push_back(FeatureRecord('A', {i}));
    LoadSet(eighteen);
    EXPECT_EQ(set->count[0], HT_DISC_PROTO_MAX);
    EXPECT_EQ(*HTDisc_ProtoAt(set, 0, 16, 0), 15.0f);
}

// Classes from U+4E00, one prototype each, its component 0 given by
// first(c); the sample is the zero vector, so class c lies at 36.9 + first².
class HTDiscCandidates : public HTDiscFiles {
protected:
    void Build(int classes, int (*first)(int)) {
        std::vector<std::pair<uint16_t, int>> codes;
        std::vector<std::string> records;
        for (int c = 0; c < classes; ++c) {
            codes.push_back({(uint16_t)(0x4E00 + c), 1});
            records.push_back(FeatureRecord((uint16_t)(0x4E00 + c), {first(c)}));
        }
        Load(codes);
        LoadSet(records);
    }
    int Candidates(int trueClass) { return HTDisc_GetCandidate(set, trueClass, x, kDim, HTCode_GetItemTotal()); }
    float x[kDim] = {};
};

TEST_F(HTDiscCandidates, ListEndsAtAGapFromPosition100OrAtCapacityWithTheTrueClassAppended) {
    Build(128, [](int c) { return c; });
    EXPECT_EQ(Candidates(5), 5);
    EXPECT_EQ(set->cand.count, 100);  // position 99 is already far
    EXPECT_EQ(Candidates(110), 100);  // not listed: appended as entry 101
    EXPECT_EQ(set->cand.count, 101);
    EXPECT_EQ(set->cand.item[100].classIndex, 110);

    // Close classes fill the list to 128 and the true class goes 129th.
    Build(130, [](int c) { return c == 0 ? 0 : 1; });
    // Equal distances list the later class first, and a class only enters a
    // full list when it is strictly nearer than the last entry: the list is
    // 0, 127, 126, ..., 1 and classes 128 and 129 stay out.
    EXPECT_EQ(Candidates(1), HT_DISC_CAND_MAX - 1);
    EXPECT_EQ(set->cand.count, HT_DISC_CAND_MAX);
    EXPECT_EQ(set->cand.item[1].classIndex, 127);
    EXPECT_EQ(Candidates(129), HT_DISC_CAND_MAX);
    EXPECT_EQ(set->cand.count, HT_DISC_CAND_MAX + 1);
    EXPECT_EQ(set->cand.item[127].classIndex, 1);
    EXPECT_EQ(set->cand.item[128].classIndex, 129);
}

TEST_F(HTDiscFiles, LaneDistancesMatchTheScalarSumExactly) {
    // Classes with 0..16 prototypes so that classes straddle the blocks.
    std::mt19937 rng(11);
    std::vector<std::pair<uint16_t, int>> codes;
    std::vector<std::string> records;
    for (int c = 0; c < 40; ++c) {
        codes.push_back({(uint16_t)(0x5000 + c), 16});
        records.insert(records.end(), rng() % 17, FeatureRecord((uint16_t)(0x5000 + c), {}));
    }
    Load(codes);
    LoadSet(records);
    std::uniform_real_distribution<float> value(-120.0f, 120.0f);
    float sample[kDim];
    for (float &v : sample) v = value(rng);
    for (int c = 0; c < 40; ++c)
        for (int k = 1; k <= set->count[c]; ++k)
            for (int j = 0; j < kDim; ++j) *HTDisc_ProtoAt(set, c, k, j) = value(rng);

    const int first = 7, end = 33;
    HTDisc_GetCandidateInRange(sample, kDim, first, end, set->proto, set->count, set->classDist, &set->protoDist[0][0],
                               &set->cand);
    for (int c = first; c < end; ++c) {
        double least = 1e36f;
        for (int k = 1; k <= set->count[c]; ++k) {
            float d = 36.9f;
            for (int j = 0; j < kDim; ++j) {
                const float diff = sample[j] - *HTDisc_ProtoAt(set, c, k, j);
                const float sq = diff * diff;
                d += sq;
            }
            EXPECT_EQ(set->protoDist[c][k - 1], (double)d) << "class " << c << " prototype " << k;
            least = std::min(least, (double)d);
        }
        EXPECT_EQ(set->classDist[c], least) << "class " << c;
    }
    for (int e = 1; e < set->cand.count; ++e) EXPECT_LE(set->cand.item[e - 1].distance, set->cand.item[e].distance);
}

TEST_F(HTDiscFiles, GradeStepAtEqualMarginMovesBothPrototypesByATenth) {
    // Class 0 (true) and class 1 (competitor), one prototype each, both 10
    // from the zero sample: d_t = m, so the loss slope is 0.25; w = 1.
    Load({{'A', 1}, {'B', 1}});
    LoadSet({FeatureRecord('A', {-10}), FeatureRecord('B', {0, 10})});
    set->learningRate = 0.02f;
    const float x[kDim] = {};
    ASSERT_EQ(HTDisc_GPD(set, 0, x, kDim, 2), 1);
    EXPECT_FLOAT_EQ(set->lossSlope, 0.25f);
    EXPECT_FLOAT_EQ(*HTDisc_ProtoAt(set, 0, 1, 0), -9.9f);
    EXPECT_EQ(*HTDisc_ProtoAt(set, 0, 1, 1), 0.0f);
    // The competitor is pushed away by the same amount (g = d_c, B = 1).
    EXPECT_NEAR(*HTDisc_ProtoAt(set, 1, 1, 1), 10.1f, 1e-4f);
}

}  // namespace
