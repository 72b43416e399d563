// SPDX-License-Identifier: MIT
#include "train/HTFeat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "penrune/HRFeature.h"
#include "train/HTCode.h"
#include "SampleGen.h"
#include "TempDir.h"
#include "TrainData.h"

using penrune::test::FeatureRecord;
using penrune::test::LoadU16;
using penrune::test::LoadU32;
using penrune::test::ReadFeatureRecords;
using penrune::test::ReadFile;
using penrune::test::TempDir;

namespace {

namespace fs = std::filesystem;

constexpr std::uint16_t kCodeA = 0x4E00;
constexpr std::uint16_t kCodeB = 0x4E8C;
constexpr std::uint16_t kUnwanted = 0x4E09;

using Feature = std::vector<std::uint16_t>;

// Appends v in host (little-endian) byte order, as the files store it.
template <typename T>
void Put(std::string &s, T v) {
    s.append(reinterpret_cast<const char *>(&v), sizeof v);
}

std::string OriRecord(std::uint16_t code, const Feature &values) {
    std::string record;
    Put(record, code);
    for (std::uint16_t v : values) Put(record, v);
    return record;
}

// The .ori record of a sample record (markers already in place): its code
// and the features that the recognizer computes for its points.
std::string Expected(const std::string &sample) {
    std::vector<_HR_POINT8> points((sample.size() - 6) / 2);
    std::memcpy(points.data(), sample.data() + 6, points.size() * 2);
    std::vector<HR_INT16> v(HT_FEAT_DIM);
    HRFeature_Extract1024DimFeature(points.data(), static_cast<HR_UINT16>(points.size()), v.data());
    return OriRecord(LoadU16(sample, 2), Feature(v.begin(), v.end()));
}

// A sample record of two strokes of random points, the first of `points`
// points, the second of 6: its length is 2 * points + 24.
std::string Sample(std::uint16_t code, int seed, int points = 12) {
    std::mt19937 rng(static_cast<unsigned>(seed));
    const auto stroke = [&](int n) {
        penrune::test::SampleStroke out;
        for (int i = 0; i < n; ++i)
            out.push_back({static_cast<std::uint8_t>(rng() % 255), static_cast<std::uint8_t>(rng() % 255)});
        return out;
    };
    const auto bytes = penrune::test::EncodeSampleRecord(code, {stroke(points), stroke(6)});
    return std::string(bytes.begin(), bytes.end());
}

// The fixed-size path slots of a stage's file list.
struct PathList {
    explicit PathList(const std::vector<std::string> &files) : slots(files.size()) {
        for (size_t f = 0; f < files.size(); ++f) std::snprintf(slots[f].data(), HT_PATH_MAX, "%s", files[f].c_str());
    }
    const char (*get() const)[HT_PATH_MAX] { return reinterpret_cast<const char(*)[HT_PATH_MAX]>(slots.data()); }
    int size() const { return static_cast<int>(slots.size()); }
    std::vector<std::array<char, HT_PATH_MAX>> slots;
};

// Every test starts with the exist flags of kCodeA and kCodeB set only.
class HTFeatStage : public ::testing::Test {
protected:
    void SetUp() override {
        std::memset(g_bCodeExist, 0, sizeof(HR_INT32) * HT_FEAT_CODE_SLOTS);
        g_bCodeExist[kCodeA] = g_bCodeExist[kCodeB] = 1;
    }

    std::string Dir(const std::string &name) const {
        fs::create_directories(dir_.File(name));
        return dir_.File(name);
    }

    TempDir dir_;
};

// Rows are summed in groups; counts of rows that do not fill a group must
// give the same sums as one row at a time, and write no further.
TEST(HTFeatTransform, ProjectionSumsEveryRowInAscendingOrder) {
    std::mt19937 rng(2);
    std::vector<HR_INT16> x(37);
    for (auto &v : x) v = static_cast<HR_INT16>(rng() % 181);
    const int dim = static_cast<int>(x.size());
    for (int k : {1, 3, 8, 11}) {
        std::vector<float> t(static_cast<size_t>(k) * dim), out(k + 1, -7.0f);
        for (float &v : t) v = static_cast<float>(static_cast<int>(rng() % 2001) - 1000) / 37.0f;
        HTFeat_CompFeatureTran(t.data(), x.data(), dim, out.data(), k);
        for (int r = 0; r < k; ++r) {
            float sum = 0.0f;
            for (int j = 0; j < dim; ++j) sum += static_cast<float>(x[j]) * t[static_cast<size_t>(r) * dim + j];
            EXPECT_EQ(out[r], sum) << "k " << k << " row " << r;
        }
        EXPECT_EQ(out[k], -7.0f) << "wrote past the output";
    }
}

TEST_F(HTFeatStage, SampleFilesGiveRecognizerFeaturesOfWantedWellFormedRecordsUpToTheLimit) {
    std::string junk;
    Put<std::uint16_t>(junk, 0);  // a length that covers not even itself
    Put<std::uint16_t>(junk, 8);  // too short for a header and the two markers
    Put(junk, kCodeA);
    junk.append(4, '\x05');
    Put<std::uint16_t>(junk, 13);  // odd
    Put(junk, kCodeA);
    junk.append(9, '\x07');
    const std::string a = Sample(kCodeA, 1), dropped = Sample(kUnwanted, 2);
    // Stored end points that are not markers are replaced by them.
    std::string b = Sample(kCodeB, 3);
    const std::string bFixed = b;
    std::memcpy(&b[b.size() - 4], "\x0a\x0b\x0c\x0d", 4);
    std::string truncated = Sample(kCodeB, 8, 20);
    truncated.resize(6 + 2 * 15);  // 15 of 29 points left, markers lost
    std::string in = dir_.Write("s.dat", junk + a + dropped + b + truncated);
    ASSERT_EQ(HTFeat_OrigFeatureByFile(in.c_str(), dir_.File("s.ori").c_str()), 1);
    std::memcpy(&truncated[truncated.size() - 4], "\xff\x00\xff\xff", 4);
    EXPECT_TRUE(ReadFile(dir_.File("s.ori")) == Expected(a) + Expected(bFixed) + Expected(truncated));

    // Records up to 49150 bytes are read; a longer one fails the file after
    // the records before it.
    const std::string longRecord = Sample(kCodeA, 4, (49150 - 24) / 2);
    ASSERT_EQ(LoadU16(longRecord, 0), 49150);
    std::string tooLong;
    Put<std::uint16_t>(tooLong, 49152);
    Put(tooLong, kCodeA);
    tooLong.append(49148, '\x10');
    in = dir_.Write("l.dat", a + longRecord + tooLong + bFixed);
    EXPECT_EQ(HTFeat_OrigFeatureByFile(in.c_str(), dir_.File("l.ori").c_str()), 0);
    EXPECT_TRUE(ReadFile(dir_.File("l.ori")) == Expected(a) + Expected(longRecord));
}

TEST(HTFeatScatter, BlockedOuterProductsEqualOneSampleAtATimeExactly) {
    std::mt19937 rng(11);
    for (int dim : {1, 5, 13, 64}) {
        for (int count : {1, 33, 70}) {
            std::vector<double> rows(static_cast<size_t>(count) * dim), weights(count);
            // Mostly zeros, as in real feature vectors.
            for (double &v : rows) v = rng() % 3 == 0 ? static_cast<double>(rng() % 181) : 0.0;
            for (double &w : weights) w = 1.0 / (1 + rng() % 7);
            const size_t packedSize = static_cast<size_t>(dim) * (dim + 1) / 2;
            std::vector<double> blocked(packedSize), single(packedSize);
            for (size_t e = 0; e < packedSize; ++e) blocked[e] = single[e] = 0.25 * (rng() % 100);
            HTFeat_CoarseAddOuterProducts(blocked.data(), dim, rows.data(), dim, weights.data(), count);
            for (int s = 0; s < count; ++s) {
                const double *x = rows.data() + static_cast<size_t>(s) * dim;
                for (int i = 0, at = 0; i < dim; ++i)
                    for (int j = i; j < dim; ++j) single[at++] += weights[s] * x[i] * x[j];
            }
            ASSERT_EQ(blocked, single) << "dim " << dim << " count " << count;
        }
    }
}

TEST_F(HTFeatStage, ScattersAverageTheClassCovariancesAndMeans) {
    // Class A: 40 random samples over two files; class B: 5 equal samples,
    // which add nothing to Sw; an unwanted class is left out.
    std::mt19937 rng(5);
    const auto RandomFeature = [&rng] {
        Feature f(HT_FEAT_DIM);
        for (auto &v : f) v = static_cast<std::uint16_t>(rng() % 181);
        return f;
    };
    std::vector<Feature> a;
    std::string first = OriRecord(kUnwanted, RandomFeature()), second;
    for (int s = 0; s < 40; ++s) {
        a.push_back(RandomFeature());
        (s % 2 ? second : first) += OriRecord(kCodeA, a.back());
    }
    const Feature b = RandomFeature();
    for (int s = 0; s < 5; ++s) second += OriRecord(kCodeB, b);
    const PathList list({dir_.Write("1.ori", first), dir_.Write("2.ori", second)});
    _HT_COARSE state{HT_FEAT_DIM, 0, nullptr, nullptr, nullptr, nullptr};
    ASSERT_EQ(HTFeat_CoarseAllocMemory(&state), 1);
    std::unique_ptr<_HT_COARSE, void (*)(_HT_COARSE *)> release(&state, HTFeat_CoarseFreeMemory);
    ASSERT_EQ(HTFeat_CoarseStatisSampleNumber(state.classes, list.get(), list.size()), 1);
    ASSERT_EQ(HTFeat_CoarseInitMemory(&state), 1);
    ASSERT_EQ(HTFeat_CoarseAccumulate(&state, list.get(), list.size()), 1);

    EXPECT_EQ(state.classNum, 2);
    std::vector<double> meanA(HT_FEAT_DIM, 0.0);
    for (const Feature &f : a)
        for (int i = 0; i < HT_FEAT_DIM; ++i) meanA[i] += f[i] / 40.0;
    // Sw: the mean of the class covariances; Sb: of the outer products of
    // the class means about their mean (wrong means or counts show in both).
    // Both are packed upper triangles.
    const auto packed = [](const double *p, int i, int j) { return p[i * HT_FEAT_DIM - i * (i - 1) / 2 + (j - i)]; };
    for (int i = 0; i < HT_FEAT_DIM; i += 31) {
        for (int j = i; j < HT_FEAT_DIM; j += 17) {
            double covA = 0.0;
            for (const Feature &f : a) covA += (f[i] - meanA[i]) * (f[j] - meanA[j]) / 40.0;
            ASSERT_NEAR(packed(state.sw, i, j), covA / 2, 1e-6) << i << "," << j;
            ASSERT_NEAR(packed(state.sb, i, j), (meanA[i] - b[i]) * (meanA[j] - b[j]) / 4, 1e-6) << i << "," << j;
        }
    }
}

TEST_F(HTFeatStage, CoaFileHoldsScaledProjectedMeansPerCodeSlot) {
    constexpr int kD = 4, kK = 2;
    g_bCodeExist[0x9FA5] = g_bCodeExist[0xFFFE] = 1;
    // Eigenvector rows e0 + e1, 2 e2, e3 and e0; only the first two are used.
    const std::vector<float> values = {9, 5, 2, 1}, vectors = {1, 1, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1, 1, 0, 0, 0};
    ASSERT_EQ(HTFeat_CoarseSaveLdaFile(values.data(), vectors.data(), kD, dir_.File("lda").c_str()), 1);
    std::string means;
    const auto addMean = [&](std::uint16_t code, const std::vector<float> &mean) {
        Put(means, code);
        for (float v : mean) Put(means, v);
    };
    addMean(kCodeB, {1, 2, 3, 4});       // projection (3, 6)
    addMean(kCodeA, {-10, 0, 0.5f, 0});  // (-10, 1)
    addMean(kUnwanted, {100, 100, 100, 100});
    addMean(0xFFFE, {100, 100, 100, 100});
    for (int n = 0; n < 11; ++n) addMean(0x9FA5, {1, 0, 0, float(n)});  // (1, 0), one too many
    addMean(kCodeB, {0, 0, 1, 0});                                      // (0, 2)
    const std::string meanPath = dir_.Write("means", means), coaPath = dir_.File("x.coa");

    ASSERT_EQ(HTFeat_CoarseSaveCoaFile(dir_.File("lda").c_str(), meanPath.c_str(), kD, kK, coaPath.c_str()), 1);
    const std::string coa = ReadFile(coaPath);
    // Header: mean records (the eleventh 0x9FA5 one is counted), code slots, D, K.
    const std::uint32_t slots = LoadU32(coa, 4);
    EXPECT_EQ((std::vector<std::uint32_t>{LoadU32(coa, 0), slots, LoadU32(coa, 8), LoadU32(coa, 12)}),
              (std::vector<std::uint32_t>{14, 0x9FA6, 4, 2}));
    const float s = 30720.0f / 10.0f;  // the largest projected component becomes 30720
    std::vector<float> transform(kK * kD);
    std::memcpy(transform.data(), coa.data() + 16, transform.size() * sizeof(float));
    EXPECT_EQ(transform, (std::vector<float>{s, s, 0, 0, 0, 0, 2 * s, 0}));
    const size_t counts = 16 + 4 * kK * kD;
    ASSERT_EQ(coa.size(), counts + slots + 2 * kK * (1 + 2 + 10));
    for (std::uint32_t code = 0; code < slots; ++code) {
        const int expected = code == kCodeA ? 1 : code == kCodeB ? 2 : code == 0x9FA5 ? 10 : 0;
        ASSERT_EQ(static_cast<std::uint8_t>(coa[counts + code]), expected) << code;
    }
    std::vector<int> prototypes;
    for (size_t at = counts + slots; at < coa.size(); at += 2)
        prototypes.push_back(static_cast<std::int16_t>(LoadU16(coa, at)));
    const int unit = static_cast<int>(s);
    std::vector<int> expected = {-30720, unit, 3 * unit, 6 * unit, 0, 2 * unit};
    for (int n = 0; n < 10; ++n) expected.insert(expected.end(), {unit, 0});
    EXPECT_EQ(prototypes, expected);
}

// A .coa file whose transform row r picks feature r times 384, negated in
// odd rows: its projections, over 256, end in halves of both signs.
std::string PickingCoa(int dim = HT_FEAT_DIM, int k = HT_FEAT_LDA_DIM) {
    std::string coa;
    for (std::int32_t v : {1, 2, dim, k}) Put(coa, v);
    for (int r = 0; r < k; ++r) {
        for (int j = 0; j < dim; ++j) Put(coa, j != r ? 0.0f : r % 2 ? -384.0f : 384.0f);
    }
    return coa;
}

TEST_F(HTFeatStage, CompressionProjectsAndQuantisesWantedRecordsWithACheckedTransform) {
    std::string cut = PickingCoa();
    cut.resize(cut.size() - 4);
    EXPECT_EQ(HTFeat_CompFeatureReadTranVector(dir_.Write("cut.coa", cut).c_str()), nullptr);
    EXPECT_EQ(HTFeat_CompFeatureReadTranVector(dir_.Write("small.coa", PickingCoa(8, 2)).c_str()), nullptr);

    const std::string orig = Dir("orig"), comp = Dir("comp"), coa = dir_.Write("t.coa", PickingCoa());
    Feature f(HT_FEAT_DIM, 0);
    for (int i = 0; i < HT_FEAT_DIM; ++i) f[i] = static_cast<std::uint16_t>((i * 7) % 181);
    std::string records = OriRecord(kCodeB, f) + OriRecord(kUnwanted, f) + OriRecord(kCodeA, Feature(HT_FEAT_DIM, 1));
    records += std::string(100, '\0');  // a cut last record is ignored
    dir_.Write("orig/x.ori", records);
    ASSERT_EQ(HTFeat_CompFeature(orig.c_str(), coa.c_str(), comp.c_str()), 1);
    const auto out = ReadFeatureRecords(comp + "/x.fec");
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].first, kCodeB);
    EXPECT_EQ(out[1].first, kCodeA);
    for (int r = 0; r < HT_FEAT_LDA_DIM; ++r) {
        // 1.5 f rounded with halves away from zero, clamped to 127.
        const int q = std::min((3 * f[r] + 1) / 2, 127);
        EXPECT_EQ(out[0].second[r], r % 2 ? -q : q) << r;
        EXPECT_EQ(out[1].second[r], r % 2 ? -2 : 2) << r;
    }
}

TEST_F(HTFeatStage, SortPutsRecordsOfOneCodeInOneFileInReadingOrderAndRerunsDoNotAppend) {
    // Record n of a code carries n in its first two components; 1,200 records
    // overflow the write buffers more than once.
    const auto numbered = [](std::uint16_t code, int n) { return FeatureRecord(code, {n % 100, n / 100}); };
    std::string first, second;
    for (int n = 0; n < 1200; ++n) {
        std::string &file = n < 700 ? first : second;
        file += numbered(kCodeA, n);
        if (n % 100 == 0) file += numbered(kCodeB, n / 100) + numbered(kUnwanted, n);
    }
    const PathList list({dir_.Write("1.fec", first), dir_.Write("2.fec", second)});
    const std::string sort = Dir("sort");
    for (int run = 0; run < 2; ++run) {
        ASSERT_EQ(HTFeat_SortFeatureByFileList(list.get(), list.size(), HT_FEAT_LDA_DIM, sort.c_str()), 1);
        const auto a = ReadFeatureRecords(sort + "/4e00.fec");
        ASSERT_EQ(a.size(), 1200u);
        for (int n = 0; n < 1200; ++n) ASSERT_EQ(a[n].second[0] + 100 * a[n].second[1], n);
        EXPECT_EQ(ReadFeatureRecords(sort + "/4e8c.fec").size(), 12u);
        EXPECT_FALSE(fs::exists(sort + "/4e09.fec"));
    }
}

// Stage 5 draws 60 random sets from the sorted files: records keep their
// class's item number as label, classes outside the charset are left out,
// and a fixed seed makes the draw repeatable.
TEST_F(HTFeatStage, RandomSetsLabelByItemNumberAndRepeatWithTheSeed) {
    penrune::test::WriteCharsetDir(dir_.File("charset"), {kCodeA, 0x4E01, kCodeB});
    ASSERT_EQ(HTCode_Initialize(dir_.File("charset").c_str(), 0xFFFF), 1);
    const std::string sort = Dir("sort"), rand = Dir("rand");
    for (const auto &[code, tag] : {std::pair{kCodeA, 1}, std::pair{kCodeB, 2}, std::pair{kUnwanted, 3}}) {
        std::string bytes;
        for (int n = 0; n < 1000; ++n) bytes += FeatureRecord(code, {tag, n});
        char name[16];
        std::snprintf(name, sizeof name, "/%x.fec", code);
        dir_.Write("sort" + std::string(name), bytes);
    }
    const auto draw = [&] {
        EXPECT_EQ(HTFeat_RandFeature(sort.c_str(), rand.c_str()), 1);
        std::string all;
        for (int set = 1; set <= HT_FEAT_RAND_SETS; ++set) {
            char name[32];
            std::snprintf(name, sizeof name, "/rand_%03d.fec", set);
            for (const auto &[label, v] : ReadFeatureRecords(rand + name)) {
                EXPECT_EQ(v[0], label == 0 ? 1 : label == 2 ? 2 : -1) << "set " << set << " label " << label;
            }
            all += ReadFile(rand + name);
        }
        return all;
    };
    HTFeat_SetRandSeed(1, 12345);
    const std::string first = draw();
    EXPECT_GT(first.size(), 0u);
    EXPECT_EQ(draw(), first);
    HTFeat_SetRandSeed(1, 54321);
    EXPECT_NE(draw(), first);
    HTFeat_SetRandSeed(0, 0);
}

}  // namespace
