#include "HTFeat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "HRFeature.h"
#include "HTCode.h"
#include "HTLog.h"
#include "SampleGen.h"
#include "TempDir.h"
#include "TrainData.h"

using penrune::test::FeatureRecord;
using penrune::test::LoadU16;
using penrune::test::LoadU32;
using penrune::test::ReadFeatureRecords;
using penrune_test::CountOf;
using penrune_test::ReadFile;
using penrune_test::TempDir;

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
        for (int i = 0; i < n; ++i) out.push_back({static_cast<std::uint8_t>(rng() % 255), static_cast<std::uint8_t>(rng() % 255)});
        return out;
    };
    const auto bytes = penrune::test::EncodeSampleRecord(code, {stroke(points), stroke(6)});
    return std::string(bytes.begin(), bytes.end());
}

Feature RandomFeature(std::mt19937 &rng) {
    Feature f(HT_FEAT_DIM);
    for (auto &v : f) v = static_cast<std::uint16_t>(rng() % 181);
    return f;
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

// Log of a test, read back from the log file.
class LogCapture {
public:
    explicit LogCapture(const std::string &path) : path_(path) { HTLog_Initialize(path.c_str()); }
    ~LogCapture() { HTLog_Terminate(); }
    bool Has(const std::string &text) const { return ReadFile(path_).find(text) != std::string::npos; }
    std::string Text() const { return ReadFile(path_); }

private:
    std::string path_;
};

// Every test starts with the exist flags of kCodeA and kCodeB set only.
class HTFeatStage : public ::testing::Test {
protected:
    void SetUp() override {
        std::memset(g_bCodeExist, 0, sizeof(HR_INT32) * HT_FEAT_CODE_SLOTS);
        g_bCodeExist[kCodeA] = g_bCodeExist[kCodeB] = 1;
    }
    void TearDown() override { std::memset(g_bCodeExist, 0, sizeof(HR_INT32) * HT_FEAT_CODE_SLOTS); }

    std::string Dir(const std::string &name) const {
        fs::create_directories(dir_.File(name));
        return dir_.File(name);
    }

    TempDir dir_;
};

TEST(HTFeatQuantize, RoundsToNearestWithHalvesAwayFromZeroAndClamps) {
    const struct {
        float y;
        int byte;
    } cases[] = {{0.0f, 0},        {127.9f, 0},     {128.0f, 1},      {-127.9f, 0},     {-128.0f, -1},
                 {383.9f, 1},      {384.0f, 2},     {32511.0f, 127},  {32512.0f, 127},  {40000.0f, 127},
                 {-32511.0f, -127}, {-32512.0f, -127}, {-40000.0f, -127}, {NAN, 0}};
    for (const auto &c : cases) EXPECT_EQ(HTFeat_CompFeatureQuantize(c.y), c.byte) << c.y;
}

TEST(HTFeatTransform, ProjectionSumsEveryRowInAscendingOrder) {
    // Rows are summed in groups; counts of rows that do not fill a group
    // must give the same sums as one row at a time.
    std::mt19937 rng(2);
    const int dim = 37;
    std::vector<HR_INT16> x(dim);
    for (auto &v : x) v = static_cast<HR_INT16>(rng() % 181);
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

// ---- Stage 1 ----------------------------------------------------------------

TEST_F(HTFeatStage, SampleFileGivesRecognizerFeaturesOfWantedWellFormedRecords) {
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
    const std::string in = dir_.Write("s.dat", junk + a + dropped + b + truncated);

    ASSERT_EQ(HTFeat_OrigFeatureByFile(in.c_str(), dir_.File("s.ori").c_str()), 1);
    std::memcpy(&truncated[truncated.size() - 4], "\xff\x00\xff\xff", 4);
    EXPECT_TRUE(ReadFile(dir_.File("s.ori")) == Expected(a) + Expected(bFixed) + Expected(truncated));
}

TEST_F(HTFeatStage, RecordLengthsUpTo49150AreReadAndLongerOnesFailAfterEarlierRecords) {
    const std::string longRecord = Sample(kCodeA, 4, (49150 - 24) / 2);
    ASSERT_EQ(LoadU16(longRecord, 0), 49150);
    std::string tooLong;
    Put<std::uint16_t>(tooLong, 49152);
    Put(tooLong, kCodeA);
    tooLong.append(49148, '\x10');
    const std::string in = dir_.Write("s.dat", Sample(kCodeA, 5) + longRecord + tooLong + Sample(kCodeB, 6));

    EXPECT_EQ(HTFeat_OrigFeatureByFile(in.c_str(), dir_.File("s.ori").c_str()), 0);
    EXPECT_TRUE(ReadFile(dir_.File("s.ori")) == Expected(Sample(kCodeA, 5)) + Expected(longRecord));
}

TEST_F(HTFeatStage, EmptyOrUnwantedSampleFilesGiveEmptyOutputsAndMissingOnesFail) {
    for (const std::string &content : {std::string(), Sample(kUnwanted, 9)}) {
        const std::string in = dir_.Write("s.dat", content);
        EXPECT_EQ(HTFeat_OrigFeatureByFile(in.c_str(), dir_.File("s.ori").c_str()), 1);
        EXPECT_TRUE(fs::exists(dir_.File("s.ori")));
        EXPECT_EQ(fs::file_size(dir_.File("s.ori")), 0u);
    }
    EXPECT_EQ(HTFeat_OrigFeatureByFile(dir_.File("none.dat").c_str(), dir_.File("n.ori").c_str()), 0);
    EXPECT_EQ(HTFeat_OrigFeatureByFile(dir_.File("s.dat").c_str(), dir_.File("no/dir.ori").c_str()), 0);
}

TEST_F(HTFeatStage, SampleDirectoryGivesOneNamedOutputPerFile) {
    const std::string samples = Dir("samples"), orig = Dir("orig");
    for (const char *name : {"a.dat", "b.set.txt", "c"}) dir_.Write(std::string("samples/") + name, Sample(kCodeA, 10));
    LogCapture log(dir_.File("log"));
    ASSERT_EQ(HTFeat_OrigFeature(samples.c_str(), orig.c_str()), 1);
    const std::pair<std::string, std::string> names[] = {{"a.dat", "a.ori"}, {"b.set.txt", "b.set.ori"}, {"c", "c.ori"}};
    for (const auto &[in, out] : names) {
        EXPECT_EQ(fs::file_size(orig + "/" + out), static_cast<uintmax_t>(HT_FEAT_ORI_RECORD)) << out;
        EXPECT_TRUE(log.Has("  " + samples + "/" + in + " -> " + orig + "/" + out + "\n")) << out;
    }
    EXPECT_TRUE(log.Has("make original feature finished.\n"));

    EXPECT_EQ(HTFeat_OrigFeature(Dir("empty").c_str(), orig.c_str()), 0);
    EXPECT_TRUE(log.Has("make original feature fail.\n"));
}

// ---- Stage 2 ------------------------------------------------------------------

TEST(HTFeatScatter, BlockedOuterProductsEqualOneSampleAtATimeExactly) {
    std::mt19937 rng(11);
    for (int dim : {1, 3, 4, 5, 12, 13, 29, 64}) {
        for (int count : {1, 31, 33, 70}) {
            std::vector<double> rows(static_cast<size_t>(count) * dim), weights(count);
            // Mostly zeros, as in real feature vectors.
            for (double &v : rows) v = rng() % 3 == 0 ? static_cast<double>(rng() % 181) : 0.0;
            for (double &w : weights) w = 1.0 / (1 + rng() % 7);
            const size_t packedSize = static_cast<size_t>(dim) * (dim + 1) / 2;
            std::vector<double> blocked(packedSize), single(packedSize);
            for (size_t e = 0; e < packedSize; ++e) blocked[e] = single[e] = 0.25 * (rng() % 100);
            HTFeat_CoarseAddOuterProducts(blocked.data(), dim, rows.data(), dim, weights.data(), count);
            // The plain reference: one sample at a time, row by row.
            for (int s = 0; s < count; ++s) {
                const double *x = rows.data() + static_cast<size_t>(s) * dim;
                size_t at = 0;
                for (int i = 0; i < dim; ++i) {
                    for (int j = i; j < dim; ++j) single[at++] += weights[s] * x[i] * x[j];
                }
            }
            ASSERT_EQ(blocked, single) << "dim " << dim << " count " << count;
        }
    }
}

TEST(HTFeatCoa, CodeSlotsAreTheNextEvenNumberAboveTheLargestCode) {
    EXPECT_EQ(HTFeat_CoarseCodeSlots(0x9FA5), 0x9FA6);
    EXPECT_EQ(HTFeat_CoarseCodeSlots(0x4E00), 0x4E02);
    EXPECT_EQ(HTFeat_CoarseCodeSlots(0), 2);
}

class HTFeatStatis : public HTFeatStage {
protected:
    // Runs the counting and accumulation passes over the given .ori files.
    void Gather(const std::vector<std::string> &files) {
        const PathList list(files);
        state_.dim = HT_FEAT_DIM;
        ASSERT_EQ(HTFeat_CoarseAllocMemory(&state_), 1);
        ASSERT_EQ(HTFeat_CoarseStatisSampleNumber(state_.classes, list.get(), list.size()), 1);
        ASSERT_EQ(HTFeat_CoarseInitMemory(&state_), 1);
        ASSERT_EQ(HTFeat_CoarseAccumulate(&state_, list.get(), list.size()), 1);
    }
    void TearDown() override {
        HTFeat_CoarseFreeMemory(&state_);
        HTFeatStage::TearDown();
    }
    double Packed(const double *packed, int i, int j) const {
        return packed[static_cast<size_t>(i) * HT_FEAT_DIM - static_cast<size_t>(i) * (i - 1) / 2 + (j - i)];
    }

    _HT_COARSE state_{};
};

TEST_F(HTFeatStatis, ScattersAverageTheClassCovariancesAndMeans) {
    // Class A: 40 random samples over two files; class B: 5 equal samples,
    // which add nothing to Sw; an unwanted class is left out.
    std::mt19937 rng(5);
    std::vector<Feature> a;
    std::string first = OriRecord(kUnwanted, RandomFeature(rng)), second;
    for (int s = 0; s < 40; ++s) {
        a.push_back(RandomFeature(rng));
        (s % 2 ? second : first) += OriRecord(kCodeA, a.back());
    }
    const Feature b = RandomFeature(rng);
    for (int s = 0; s < 5; ++s) second += OriRecord(kCodeB, b);
    Gather({dir_.Write("1.ori", first), dir_.Write("2.ori", second)});

    EXPECT_EQ(state_.classNum, 2);
    EXPECT_EQ(state_.classes[kCodeA].count, 40);
    EXPECT_EQ(state_.classes[kCodeB].count, 5);
    std::vector<double> meanA(HT_FEAT_DIM, 0.0);
    for (const Feature &f : a)
        for (int i = 0; i < HT_FEAT_DIM; ++i) meanA[i] += f[i] / 40.0;
    for (int i = 0; i < HT_FEAT_DIM; i += 3) {
        ASSERT_NEAR(state_.classes[kCodeA].mean[i], meanA[i], 1e-9);
        ASSERT_EQ(state_.classes[kCodeB].mean[i], b[i]);
    }
    // Sw: the mean of the class covariances; Sb: of the outer products of
    // the class means about their mean.
    for (int i = 0; i < HT_FEAT_DIM; i += 31) {
        for (int j = i; j < HT_FEAT_DIM; j += 17) {
            double covA = 0.0;
            for (const Feature &f : a) covA += (f[i] - meanA[i]) * (f[j] - meanA[j]) / 40.0;
            ASSERT_NEAR(Packed(state_.sw, i, j), covA / 2, 1e-6) << i << "," << j;
            ASSERT_NEAR(Packed(state_.sb, i, j), (meanA[i] - b[i]) * (meanA[j] - b[j]) / 4, 1e-6) << i << "," << j;
        }
    }
    const char missing[1][HT_PATH_MAX] = {"/nonexistent/x.ori"};
    EXPECT_EQ(HTFeat_CoarseStatisSampleNumber(state_.classes, missing, 1), 0);
}

class HTFeatCoaFile : public HTFeatStage {
protected:
    static constexpr int kD = 4, kK = 2;
    // LDA file with eigenvector rows e0 + e1, 2 e2, e3 and e0.
    void WriteLda() {
        const std::vector<float> values = {9, 5, 2, 1};
        const std::vector<float> vectors = {1, 1, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1, 1, 0, 0, 0};
        ASSERT_EQ(HTFeat_CoarseSaveLdaFile(values.data(), vectors.data(), kD, lda_.c_str()), 1);
    }
    void AddMean(std::uint16_t code, const std::vector<float> &mean) {
        Put(means_, code);
        for (float v : mean) Put(means_, v);
    }
    std::string lda_ = dir_.File("lda"), coa_ = dir_.File("x.coa");
    std::string means_;
};

TEST_F(HTFeatCoaFile, PrototypesAreScaledProjectedMeansPerCodeSlot) {
    g_bCodeExist[0x9FA5] = g_bCodeExist[0xFFFE] = 1;
    WriteLda();
    AddMean(kCodeB, {1, 2, 3, 4});           // projection (3, 6)
    AddMean(kCodeA, {-10, 0, 0.5f, 0});      // (-10, 1)
    AddMean(kUnwanted, {100, 100, 100, 100});
    AddMean(0xFFFE, {100, 100, 100, 100});
    for (int n = 0; n < 11; ++n) AddMean(0x9FA5, {1, 0, 0, float(n)});  // (1, 0)
    AddMean(kCodeB, {0, 0, 1, 0});           // (0, 2)
    const std::string meanPath = dir_.Write("means", means_);

    ASSERT_EQ(HTFeat_CoarseSaveCoaFile(lda_.c_str(), meanPath.c_str(), kD, kK, coa_.c_str()), 1);
    const std::string coa = ReadFile(coa_);
    EXPECT_EQ(LoadU32(coa, 0), 14u);        // the eleventh 0x9FA5 record is counted
    const std::uint32_t slots = LoadU32(coa, 4);
    EXPECT_EQ(slots, 0x9FA6u);
    EXPECT_EQ(LoadU32(coa, 8), 4u);
    EXPECT_EQ(LoadU32(coa, 12), 2u);
    const float s = 30720.0f / 10.0f;
    std::vector<float> transform(kK * kD);
    std::memcpy(transform.data(), coa.data() + 16, transform.size() * sizeof(float));
    EXPECT_EQ(transform, (std::vector<float>{s, s, 0, 0, 0, 0, 2 * s, 0}));
    const size_t counts = 16 + 4 * kK * kD;
    ASSERT_EQ(coa.size(), counts + slots + 2 * kK * (1 + 2 + 10));
    for (std::uint32_t code = 0; code < slots; ++code) {
        const int expected = code == kCodeA ? 1 : code == kCodeB ? 2 : code == 0x9FA5 ? 10 : 0;
        ASSERT_EQ(static_cast<std::uint8_t>(coa[counts + code]), expected) << code;
    }
    std::vector<int> values;
    for (size_t at = counts + slots; at < coa.size(); at += 2) values.push_back(static_cast<std::int16_t>(LoadU16(coa, at)));
    const int unit = static_cast<int>(s);
    std::vector<int> expected = {-30720, unit, 3 * unit, 6 * unit, 0, 2 * unit};
    for (int n = 0; n < 10; ++n) expected.insert(expected.end(), {unit, 0});
    EXPECT_EQ(values, expected);
}

TEST_F(HTFeatCoaFile, MissingInputsOrNoWantedMeansWriteNoFile) {
    AddMean(kUnwanted, {1, 2, 3, 4});
    const std::string meanPath = dir_.Write("means", means_);
    EXPECT_EQ(HTFeat_CoarseSaveCoaFile(lda_.c_str(), meanPath.c_str(), kD, kK, coa_.c_str()), 0);
    WriteLda();
    EXPECT_EQ(HTFeat_CoarseSaveCoaFile(lda_.c_str(), dir_.File("none").c_str(), kD, kK, coa_.c_str()), 0);
    EXPECT_EQ(HTFeat_CoarseSaveCoaFile(lda_.c_str(), meanPath.c_str(), kD, kK, coa_.c_str()), 0);
    EXPECT_FALSE(fs::exists(coa_));
}

TEST_F(HTFeatStage, CoarseStageWithoutWantedSamplesFailsAndLeavesNoCoa) {
    const std::string orig = Dir("orig"), coarse = Dir("coarse"), coa = coarse + "/c.coa";
    std::mt19937 rng(1);
    dir_.Write("orig/a.ori", OriRecord(kUnwanted, RandomFeature(rng)));
    dir_.Write("coarse/c.coa", "stale");
    LogCapture log(dir_.File("log"));
    EXPECT_EQ(HTFeat_Coarse(orig.c_str(), coarse.c_str(), coa.c_str()), 0);
    EXPECT_TRUE(log.Has("  class total = 0\n"));
    EXPECT_TRUE(log.Has("coarse classify fail.\n"));
    EXPECT_TRUE(fs::is_empty(coarse));
}

// ---- Stage 3 ------------------------------------------------------------------

// A .coa file whose transform row k picks feature k times `gain`.
std::string PickingCoa(float gain, int dim = HT_FEAT_DIM, int k = HT_FEAT_LDA_DIM) {
    std::string coa;
    for (std::int32_t v : {1, 2, dim, k}) Put(coa, v);
    for (int r = 0; r < k; ++r) {
        for (int j = 0; j < dim; ++j) Put(coa, j == r ? gain : 0.0f);
    }
    return coa;
}

TEST_F(HTFeatStage, TransformReaderChecksDimensionsAndLength) {
    float *t = HTFeat_CompFeatureReadTranVector(dir_.Write("ok.coa", PickingCoa(3.0f)).c_str());
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t[0], 3.0f);
    EXPECT_EQ(t[HT_FEAT_DIM + 1], 3.0f);
    EXPECT_EQ(t[HT_FEAT_DIM], 0.0f);
    EXPECT_EQ(t[63 * HT_FEAT_DIM + 63], 3.0f);
    std::free(t);
    std::string cut = PickingCoa(1.0f);
    cut.resize(cut.size() - 4);
    EXPECT_EQ(HTFeat_CompFeatureReadTranVector(dir_.Write("cut.coa", cut).c_str()), nullptr);
    EXPECT_EQ(HTFeat_CompFeatureReadTranVector(dir_.Write("small.coa", PickingCoa(1.0f, 8, 2)).c_str()), nullptr);
    EXPECT_EQ(HTFeat_CompFeatureReadTranVector(dir_.File("none.coa").c_str()), nullptr);
}

TEST_F(HTFeatStage, CompressionProjectsAndQuantisesWantedRecords) {
    const std::string orig = Dir("orig"), comp = Dir("comp");
    const std::string coa = dir_.Write("t.coa", PickingCoa(256.0f));
    Feature f(HT_FEAT_DIM, 0);
    for (int i = 0; i < HT_FEAT_DIM; ++i) f[i] = static_cast<std::uint16_t>((i * 7) % 181);
    std::string records = OriRecord(kCodeB, f) + OriRecord(kUnwanted, f) + OriRecord(kCodeA, Feature(HT_FEAT_DIM, 1));
    records += std::string(100, '\0');  // a cut last record is ignored
    dir_.Write("orig/x.ori", records);

    LogCapture log(dir_.File("log"));
    ASSERT_EQ(HTFeat_CompFeature(orig.c_str(), coa.c_str(), comp.c_str()), 1);
    const auto out = ReadFeatureRecords(comp + "/x.fec");
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].first, kCodeB);
    for (int r = 0; r < HT_FEAT_LDA_DIM; ++r) EXPECT_EQ(out[0].second[r], std::min<int>(f[r], 127)) << r;
    EXPECT_EQ(out[1].first, kCodeA);
    EXPECT_EQ(out[1].second, std::vector<int>(HT_FEAT_LDA_DIM, 1));
    EXPECT_TRUE(log.Has("  " + orig + "/x.ori -> " + comp + "/x.fec\n"));
    EXPECT_TRUE(log.Has("compress feature finished.\n"));
}

TEST_F(HTFeatStage, CompressionFailsWithoutTransformOrOutputDirectory) {
    const std::string orig = Dir("orig"), comp = Dir("comp");
    dir_.Write("orig/x.ori", OriRecord(kCodeA, Feature(HT_FEAT_DIM, 1)));
    LogCapture log(dir_.File("log"));
    EXPECT_EQ(HTFeat_CompFeature(orig.c_str(), dir_.File("none.coa").c_str(), comp.c_str()), 0);
    EXPECT_TRUE(log.Has("compress feature fail.\n"));
    EXPECT_TRUE(fs::is_empty(comp));
    const std::string coa = dir_.Write("t.coa", PickingCoa(1.0f));
    EXPECT_EQ(HTFeat_CompFeature(orig.c_str(), coa.c_str(), dir_.File("missing").c_str()), 0);
    EXPECT_EQ(HTFeat_CompFeature(Dir("empty").c_str(), coa.c_str(), comp.c_str()), 1);
}

// ---- Stage 4 ------------------------------------------------------------------

// Record n of a code: its index spread over the first two components.
std::string Numbered(std::uint16_t code, int n) { return FeatureRecord(code, {n % 100, n / 100}); }

class HTFeatSort : public HTFeatStage {
protected:
    int Sort(const std::vector<std::string> &files) {
        const PathList list(files);
        return HTFeat_SortFeatureByFileList(list.get(), list.size(), HT_FEAT_LDA_DIM, sort_.c_str());
    }
    std::string sort_ = Dir("sort");
};

TEST_F(HTFeatSort, RecordsOfOneCodeEndInOneFileInReadingOrderAndRerunsDoNotAppend) {
    std::string first, second;
    for (int n = 0; n < 1200; ++n) {
        std::string &file = n < 700 ? first : second;
        file += Numbered(kCodeA, n);
        if (n % 100 == 0) file += Numbered(kCodeB, n / 100) + Numbered(kUnwanted, n);
    }
    const std::vector<std::string> files = {dir_.Write("1.fec", first), dir_.Write("2.fec", second)};
    LogCapture log(dir_.File("log"));
    for (int run = 0; run < 2; ++run) {
        ASSERT_EQ(Sort(files), 1);
        const auto a = ReadFeatureRecords(sort_ + "/4e00.fec");
        ASSERT_EQ(a.size(), 1200u);
        for (int n = 0; n < 1200; ++n) ASSERT_EQ(a[n].second[0] + 100 * a[n].second[1], n);
        EXPECT_EQ(ReadFeatureRecords(sort_ + "/4e8c.fec").size(), 12u);
        EXPECT_FALSE(fs::exists(sort_ + "/4e09.fec"));
    }
    // Per run: two flushes of 512 while reading and one of 176 at the end.
    EXPECT_EQ(CountOf(log.Text(), " " + sort_ + "/4e00.fec\n"), 6);
}

TEST_F(HTFeatSort, UnreadableCompressedFileFailsTheStage) {
    EXPECT_EQ(Sort({dir_.Write("1.fec", Numbered(kCodeA, 1)), dir_.File("missing.fec")}), 0);
    EXPECT_EQ(Sort({dir_.Write("2.fec", Numbered(kCodeA, 1))}), 1);
    EXPECT_EQ(fs::remove_all(sort_), 2u);
    EXPECT_EQ(Sort({dir_.File("2.fec")}), 0);  // the sorted file cannot be written
}

// ---- Stage 5 ------------------------------------------------------------------

TEST(HTFeatRand, TriesDependOnTheRecordCountOfTheClass) {
    const struct {
        HR_UINT32 records;
        int tries;
    } cases[] = {{0, 8}, {20000, 8}, {20001, 2}, {100000, 2}, {100001, 1}};
    for (const auto &c : cases) EXPECT_EQ(HTFeat_RandFeatureTries(c.records * HT_FEAT_FEC_RECORD), c.tries) << c.records;
}

class HTFeatRandSets : public HTFeatStage {
protected:
    // Items 0..2 are kCodeA, 0x4E01 and kCodeB; 0x4E01 has no sorted file
    // and kUnwanted has one but no item.
    void SetUp() override {
        HTFeatStage::SetUp();
        penrune::test::WriteCharsetDir(dir_.File("charset"), {kCodeA, 0x4E01, kCodeB});
        ASSERT_EQ(HTCode_Initialize(dir_.File("charset").c_str(), 0xFFFF), 1);
    }
    void WriteSorted(std::uint16_t code, int records, int tag) {
        std::string bytes;
        for (int n = 0; n < records; ++n) bytes += FeatureRecord(code, {tag, n % 100, n / 100});
        char name[16];
        std::snprintf(name, sizeof name, "sort/%x.fec", code);
        dir_.Write(name, bytes);
    }
    std::string sort_ = Dir("sort"), rand_ = Dir("rand");
};

TEST_F(HTFeatRandSets, BucketsStopAtTheirCapacity) {
    WriteSorted(kCodeA, 20000, 1);
    const std::string path = rand_ + "/one.fec";
    ASSERT_EQ(HTFeat_RandFeatureMakeSet(sort_.c_str(), 7, 10, path.c_str()), 1);
    const auto records = ReadFeatureRecords(path);
    // 8 tries for each of 20,000 records give about 16 hits per bucket.
    EXPECT_LE(records.size(), 1000u);
    EXPECT_GE(records.size(), 900u);
    for (const auto &[label, v] : records) {
        ASSERT_EQ(label, 0);
        ASSERT_EQ(v[0], 1);
    }
    EXPECT_EQ(HTFeat_RandFeatureMakeSet(sort_.c_str(), 7, 10, dir_.File("no/dir.fec").c_str()), 0);
}

TEST_F(HTFeatRandSets, SixtySetsLabelRecordsWithTheirItemNumberReproduciblyFromTheSeed) {
    WriteSorted(kCodeA, 3000, 1);
    WriteSorted(kCodeB, 500, 2);
    WriteSorted(kUnwanted, 500, 3);
    LogCapture log(dir_.File("log"));
    const auto setPath = [&](int set) {
        char name[32];
        std::snprintf(name, sizeof name, "/rand_%03d.fec", set);
        return rand_ + name;
    };
    const auto draw = [&] {
        EXPECT_EQ(HTFeat_RandFeature(sort_.c_str(), rand_.c_str()), 1);
        std::string all;
        for (int set = 1; set <= HT_FEAT_RAND_SETS; ++set) all += ReadFile(setPath(set));
        return all;
    };
    setenv(HT_FEAT_RAND_SEED_ENV, "12345", 1);
    const std::string first = draw();
    size_t total = 0;
    for (int set = 1; set <= HT_FEAT_RAND_SETS; ++set) {
        const auto records = ReadFeatureRecords(setPath(set));
        total += records.size();
        for (const auto &[label, v] : records) {
            ASSERT_TRUE(label == 0 || label == 2) << "set " << set << " label " << label;
            ASSERT_EQ(v[0], label == 0 ? 1 : 2) << "record of another class";
        }
    }
    // About 8 % of 3,500 records per set.
    EXPECT_GT(total, 60u * 200);
    EXPECT_LT(total, 60u * 360);
    EXPECT_TRUE(log.Has("rand classify finished.\n"));

    EXPECT_EQ(draw(), first);
    setenv(HT_FEAT_RAND_SEED_ENV, "54321", 1);
    EXPECT_NE(draw(), first);
    unsetenv(HT_FEAT_RAND_SEED_ENV);
    EXPECT_TRUE(log.Has("  random seed 12345 from " HT_FEAT_RAND_SEED_ENV "\n"));
}

// ---- Stages 1 and 2 ------------------------------------------------------------

// The coarse stage over generated samples: with 72 samples in 1024
// dimensions it must cope with a singular Sw, and it leaves only the .coa.
TEST_F(HTFeatStage, FirstTwoStagesOnGeneratedSamplesLeaveTheOriFilesAndTheCoa) {
    penrune::test::SampleSetPlan plan;
    plan.classes = 12;
    plan.samplesPerClass = 6;
    plan.files = 2;
    const auto codes = penrune::test::WriteSampleSet(dir_.File("samples"), plan);
    penrune::test::WriteCharsetDir(dir_.File("charset"), codes);
    ASSERT_EQ(HTCode_Initialize(dir_.File("charset").c_str(), 0xFFFF), 1);
    const std::string orig = Dir("feat_orig"), coarse = Dir("feat_coarse"), coa = coarse + "/coarse_training.coa";
    LogCapture log(dir_.File("log"));

    ASSERT_EQ(HTFeat_OrigFeature(dir_.File("samples").c_str(), orig.c_str()), 1);
    EXPECT_EQ(fs::file_size(orig + "/samples_001.ori"), 36u * HT_FEAT_ORI_RECORD);
    ASSERT_EQ(HTFeat_Coarse(orig.c_str(), coarse.c_str(), coa.c_str()), 1);
    EXPECT_EQ(std::distance(fs::directory_iterator(coarse), fs::directory_iterator()), 1);
    EXPECT_EQ(LoadU32(ReadFile(coa), 0), 12u);
    EXPECT_TRUE(log.Has("solving again"));
}

}  // namespace
