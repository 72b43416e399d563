#include "HTDisc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "HTCode.h"
#include "HTLog.h"
#include "TempDir.h"
#include "TrainData.h"

using penrune::test::FeatureRecord;
using penrune::test::LoadCodeTable;
using penrune::test::ReadFeatureRecords;
using penrune_test::ReadFile;
using penrune_test::TempDir;

namespace {

constexpr int kDim = HT_DISC_DIM;

using Vector = std::vector<int>;

struct Clustering {
    int count;
    std::vector<float> centres;
    std::vector<HR_UINT16> assign;
};

// K-means over points given by their leading components (the rest 0).
Clustering Cluster(const std::vector<Vector> &points, int k) {
    std::vector<HR_INT8> samples(points.size() * kDim, 0);
    for (size_t i = 0; i < points.size(); ++i)
        for (size_t j = 0; j < points[i].size(); ++j) samples[i * kDim + j] = (HR_INT8)points[i][j];
    Clustering out{0, std::vector<float>((size_t)k * kDim, -999.0f), std::vector<HR_UINT16>(points.size())};
    out.count = HTCluster_KMean(samples.data(), (int)points.size(), kDim, kDim, k, out.centres.data(),
                                out.assign.data());
    return out;
}

// Components 0 and 1 of every centre.
std::vector<std::pair<float, float>> Centres(const Clustering &r) {
    std::vector<std::pair<float, float>> out;
    for (int c = 0; c < r.count; ++c) out.push_back({r.centres[c * kDim], r.centres[c * kDim + 1]});
    return out;
}

TEST(HTDiscDistance, CutOffSumsStopRightAfterPassingTheLimit) {
    const HR_INT16 a[4] = {0, 0, 0, 0}, b[4] = {3, 4, 5, 6};  // terms 9 16 25 36
    const float bf[4] = {3, 4, 5, 6};
    EXPECT_EQ(HTDisc_CountDistanceShort(a, b, 4), 86u);
    EXPECT_EQ(HTDisc_CountDistanceShort(a, b, 0), 0u);
    const HR_INT32 cuts[][2] = {{20, 25}, {25, 50}, {1000, 86}};  // limit, sum; equal is not past
    for (const auto &cut : cuts) EXPECT_EQ(HTDisc_CountDistanceShortCutByMax(a, b, 4, cut[0]), cut[1]) << cut[0];
    EXPECT_EQ(HTDisc_CountDistanceShortCutByMax(a, b, -1, 0), 0);
    EXPECT_EQ(HTDisc_CountDistanceFloatCutByMax(a, bf, 4, 20.0f), 25.0f);
    EXPECT_EQ(HTDisc_CountDistanceFloatCutByMax(a, bf, 4, 1e30f), 86.0f);
}

TEST(HTClusterKMean, TiesGoToTheLowerSeedAndTheLowerCentre) {
    // A-B is the farthest pair; C and D are equally far from both seeds, so
    // C (lower index) becomes seed 2. D is equally near centres 0 and 1 and
    // joins centre 0.
    Clustering r = Cluster({{0, 0}, {100, 0}, {50, 40}, {50, -40}}, 3);
    ASSERT_EQ(r.count, 3);
    EXPECT_EQ(r.assign, (std::vector<HR_UINT16>{0, 1, 2, 0}));
    EXPECT_EQ(Centres(r), (std::vector<std::pair<float, float>>{{25, -20}, {100, 0}, {50, 40}}));
}

TEST(HTClusterKMean, RejectsClustersBelowTheMemberThreshold) {
    // 100 samples, K = 10: the threshold is 1.6 members. Eight groups of
    // identical samples, a pair (2 members: kept) and one outlier (1 member:
    // rejected, the clustering restarts without it).
    std::vector<Vector> points;
    for (int g = 0; g < 8; ++g) points.insert(points.end(), g == 7 ? 13 : 12, Vector{g * 12, 0});
    points.insert(points.end(), {{0, 50}, {0, 50}, {-120, -120}});
    Clustering r = Cluster(points, 10);
    // The restart has nine distinct points for ten seeds; the duplicate
    // centre gets no member and is dropped.
    ASSERT_EQ(r.count, 9);
    const auto centres = Centres(r);
    EXPECT_EQ(std::count(centres.begin(), centres.end(), std::make_pair(0.0f, 50.0f)), 1);
    EXPECT_EQ(std::count(centres.begin(), centres.end(), std::make_pair(-120.0f, -120.0f)), 0);
    for (HR_UINT16 a : r.assign) EXPECT_LT(a, 9);
}

TEST(HTClusterKMean, DegenerateInputsGiveOnlyRealCentres) {
    Clustering single = Cluster({{7, -3}}, 3);
    EXPECT_EQ(Centres(single), (std::vector<std::pair<float, float>>{{7, -3}}));
    EXPECT_EQ(single.assign[0], 0);
    // Identical samples: every further seed duplicates the first and would
    // be a centre without members.
    Clustering same = Cluster(std::vector<Vector>(5, {5, 5}), 3);
    EXPECT_EQ(Centres(same), (std::vector<std::pair<float, float>>{{5, 5}}));
    for (int j = 0; j < kDim; ++j) EXPECT_FALSE(std::isnan(same.centres[j]));
    EXPECT_EQ(same.assign, (std::vector<HR_UINT16>(5, 0)));
    EXPECT_EQ(Cluster({{1}}, 0).count, 0);
}

TEST(HTDiscRound, HalvesAwayFromZeroWithoutWrapping) {
    const std::pair<float, int> cases[] = {{2.5f, 3}, {-2.5f, -3}, {0.49f, 0}, {-128.0f, -128}, {128.0f, 127}};
    for (const auto &[value, rounded] : cases) EXPECT_EQ(HTDisc_RoundComponent(value), rounded) << value;
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
    Load({{'A', 1}, {'B', 1}, {'C', 40}, {'D', 8}, {'E', 1}, {'F', 1}, {'G', 3}});
    std::filesystem::create_directories(dir.File("sort"));
    auto put = [&](char code, int count, const std::function<Vector(int)> &components) {
        std::vector<std::string> records;
        for (int i = 0; i < count; ++i) records.push_back(FeatureRecord(code, components(i)));
        char name[16];
        std::snprintf(name, sizeof name, "sort/%X.fec", code);
        WriteRecords(name, records);
    };
    put('A', 1, [](int) { return Vector{9, -9}; });
    put('B', 3, [](int i) { return Vector{1 << i}; });
    put('C', 20, [](int i) { return Vector{i * 5}; });
    put('D', 5, [](int i) { return Vector{0, i * 20}; });
    put('E', 2, [](int) { return Vector{-128}; });
    put('F', 12000, [](int i) { return Vector{i < 10000 ? 0 : 100}; });
    std::string out = dir.File("class_000.mdc");
    ASSERT_EQ(HTDisc_MDC(dir.File("sort").c_str(), out.c_str()), 1);

    auto records = ReadFeatureRecords(out);
    std::map<int, int> perClass;
    for (const auto &r : records) ++perClass[r.first];
    // C: min(20 records, 40 nodes, 16); D: min(5, 8); G has no file.
    EXPECT_EQ(perClass, (std::map<int, int>{{'A', 1}, {'B', 1}, {'C', 16}, {'D', 5}, {'E', 1}, {'F', 1}}));
    ASSERT_EQ(records.size(), 25u);
    EXPECT_EQ(records[0].second[0], 9);  // the one record itself
    EXPECT_EQ(records[0].second[1], -9);
    EXPECT_EQ(records[1].second[0], 2);  // mean 7/3 rounds to 2
    std::set<int> dValues;
    for (int i = 18; i < 23; ++i) dValues.insert(records[i].second[1]);
    EXPECT_EQ(dValues, (std::set<int>{0, 20, 40, 60, 80}));
    EXPECT_EQ(records[23].second[0], -128);  // a mean of exactly -128 stays
    EXPECT_EQ(records[24].second[0], 0);     // only the first 10000 records count
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
    EXPECT_EQ(*HTDisc_ProtoAt(set, 0, 1, 0), 127.0f);
    EXPECT_EQ(*HTDisc_ProtoAt(set, 0, 1, 1), -127.0f);
    auto records = ReadFeatureRecords(out);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].first, 'A');
    EXPECT_EQ(records[0].second[0], 127);
    EXPECT_EQ(records[0].second[1], -127);
    EXPECT_EQ(records[1].second[2], -3);

    EXPECT_EQ(HTDisc_LoadMdcFile(set, dir.File("missing.mdc").c_str()), 0);
    EXPECT_EQ(set->count[1], 2);

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

TEST_F(HTDiscCandidates, ListEndsAtTheFirstClearGapFromPosition100) {
    Build(128, [](int c) { return c; });
    EXPECT_EQ(Candidates(5), 5);
    EXPECT_EQ(set->cand.count, 100);  // position 99 is already far
    EXPECT_FLOAT_EQ(set->cand.item[99].distance, 36.9f + 99 * 99);
    EXPECT_EQ(Candidates(110), 100);  // not listed: appended as entry 101
    EXPECT_EQ(set->cand.count, 101);
    EXPECT_EQ(set->cand.item[100].classIndex, 110);

    // 0: 36.9; 1..110: 37.9; 111..127: 52.9, the first gap above 0.23 at
    // position 111.
    Build(128, [](int c) { return c == 0 ? 0 : c <= 110 ? 1 : 4; });
    Candidates(0);
    EXPECT_EQ(set->cand.count, 112);

    // Fewer classes than entries: the unfilled entries are dropped.
    Build(3, [](int c) { return c * 3; });
    EXPECT_EQ(Candidates(2), 2);
    EXPECT_EQ(set->cand.count, 3);
}

TEST_F(HTDiscCandidates, CloseListHolds128AndTheTrueClassAs129th) {
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
    HTDisc_GetCandidateInRange(sample, kDim, first, end, set->proto, set->count, set->classDist,
                               &set->protoDist[0][0], &set->cand);
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

// Class 0 (true) and class 1 (competitor), one prototype each.
class HTDiscGrade : public HTDiscCandidates {
protected:
    void SetUp() override {
        Load({{'A', 1}, {'B', 1}});
        LoadSet({FeatureRecord('A', {-10}), FeatureRecord('B', {0, 10})});
        set->learningRate = 0.02f;
    }
};

TEST_F(HTDiscGrade, EqualMarginMovesTheTruePrototypeByATenth) {
    // d_t = m, so the loss slope is 0.25; w = 1; x - p = 10.
    ASSERT_EQ(HTDisc_GPD(set, 0, x, kDim, 2), 1);
    EXPECT_FLOAT_EQ(set->lossSlope, 0.25f);
    EXPECT_FLOAT_EQ(*HTDisc_ProtoAt(set, 0, 1, 0), -9.9f);
    EXPECT_EQ(*HTDisc_ProtoAt(set, 0, 1, 1), 0.0f);
    // The competitor is pushed away by the same amount (g = d_c, B = 1).
    EXPECT_NEAR(*HTDisc_ProtoAt(set, 1, 1, 1), 10.1f, 1e-4f);
}

TEST_F(HTDiscGrade, NoUpdateWhenTheLossSlopeVanishes) {
    x[2] = 120.0f;  // both classes far, but the true one far more
    *HTDisc_ProtoAt(set, 0, 1, 2) = -120.0f;
    EXPECT_EQ(HTDisc_GPD(set, 0, x, kDim, 2), 0);
    EXPECT_EQ(*HTDisc_ProtoAt(set, 0, 1, 0), -10.0f);
    EXPECT_EQ(*HTDisc_ProtoAt(set, 1, 1, 1), 10.0f);
}

TEST_F(HTDiscFiles, ResumedTrainingCarriesOnFromTheLatestSnapshot) {
    Load({{'A', 1}, {'B', 1}, {'C', 1}});
    for (const char *sub : {"mdc", "rand"}) std::filesystem::create_directories(dir.File(sub));
    WriteRecords("mdc/class_000.mdc", {FeatureRecord('A', {-20}), FeatureRecord('B', {0, 20}), FeatureRecord('C', {20})});
    // Samples as far from their own prototype as from the others, so that
    // every sample moves the prototypes by whole units.
    std::mt19937 rng(5);
    for (int file = 1; file <= 3; ++file) {
        std::vector<std::string> records;
        for (int i = 0; i < 40; ++i)
            records.push_back(FeatureRecord((uint16_t)(rng() % 3), {(int)(rng() % 5) - 2, (int)(rng() % 5) - 2, 80}));
        WriteRecords("rand/rand_00" + std::to_string(file) + ".fec", records);
    }
    const std::string randDir = dir.File("rand"), mdcDir = dir.File("mdc");
    ASSERT_EQ(HTDisc_MCE(randDir.c_str(), mdcDir.c_str(), 0, 1, 2), 1);
    HTLog_Initialize(dir.File("train.log").c_str());
    ASSERT_EQ(HTDisc_MCE(randDir.c_str(), mdcDir.c_str(), 0, 1, 3), 1);
    HTLog_Terminate();
    const std::string log = ReadFile(dir.File("train.log"));
    EXPECT_NE(log.find("  skip " + mdcDir + "/class_001.mdc\n"), std::string::npos);
    EXPECT_NE(log.find("  skip " + mdcDir + "/class_002.mdc\n"), std::string::npos);

    // The same training by hand: snapshot 2, then file 3 with the rate the
    // 80 earlier samples of 120 left.
    HTDisc_FreeSet(set);
    set = HTDisc_CreateSet(HTCode_GetItemTotal());
    ASSERT_NE(set, nullptr);
    ASSERT_EQ(HTDisc_LoadMdcFile(set, (mdcDir + "/class_002.mdc").c_str()), 1);
    double j = 80.0;
    for (const auto &record : ReadFeatureRecords(randDir + "/rand_003.fec")) {
        float sample[kDim];
        for (int d = 0; d < kDim; ++d) sample[d] = (float)record.second[d];
        set->learningRate = (float)(0.02 * (1.0 - j / 120.0));
        HTDisc_GPD(set, record.first, sample, kDim, 3);
        j += 1.0;
    }
    const std::string expected = dir.File("expected.mdc");
    ASSERT_EQ(HTDisc_SaveMdcFile(set, expected.c_str()), 1);
    EXPECT_EQ(ReadFile(mdcDir + "/class_003.mdc"), ReadFile(expected));
    EXPECT_NE(ReadFile(mdcDir + "/class_003.mdc"), ReadFile(mdcDir + "/class_002.mdc"));
}

TEST_F(HTDiscFiles, TrainingFailsWithoutItsInputs) {
    Load({{'A', 1}});
    std::filesystem::create_directories(dir.File("mdc"));
    const std::string randDir = dir.File("rand"), mdcDir = dir.File("mdc");
    EXPECT_EQ(HTDisc_MCE(randDir.c_str(), mdcDir.c_str(), 0, 1, 1), 0);  // no snapshot 0
    WriteRecords("mdc/class_000.mdc", {FeatureRecord('A', {1})});
    EXPECT_EQ(HTDisc_MCE(randDir.c_str(), mdcDir.c_str(), 0, 1, 1), 0);  // no rand_001
    EXPECT_EQ(HTDisc_MCE(randDir.c_str(), mdcDir.c_str(), 0, 2, 1), 1);  // nothing to train
}

}  // namespace
