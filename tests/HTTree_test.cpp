#include "HTTree.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "HRKernel.h"
#include "HTLog.h"
#include "TempDir.h"
#include "TrainData.h"

using namespace penrune::test;
using namespace penrune_test;

namespace {

TEST(HTTreeRules, CentreCountCoverageClassesAndAdditions) {
    // The root of twelve per prototype, capped at 800.
    const std::pair<int, int> centres[] = {{0, 0}, {100, 34}, {7463, 299}, {60000, 800}};
    for (const auto &[protos, count] : centres) EXPECT_EQ(HTTree_GetCentreCount(protos), count) << protos;

    int classes[HT_TREE_COVERAGE_CLASSES] = {};
    for (float coverage : {0.96f, 0.5f, 0.995f}) HTTree_CountCoverage(coverage, classes);
    const int expected[HT_TREE_COVERAGE_CLASSES] = {1, 1, 1, 1, 2, 2, 1};
    for (int i = 0; i < HT_TREE_COVERAGE_CLASSES; ++i) EXPECT_EQ(classes[i], expected[i]) << i;

    EXPECT_TRUE(HTTree_ShouldAdd(0.94f, 0.0f, 0.0004f));  // below 0.95: always
    EXPECT_FALSE(HTTree_ShouldAdd(0.96f, 0.0004f, 0.0004f));
    EXPECT_TRUE(HTTree_ShouldAdd(0.96f, 0.0005f, 0.0004f));
}

TEST(HTTreeRules, AnotherPassRunsWhileCoverageLags) {
    auto next = [](float delta, int A, int B, int D) {
        int classes[HT_TREE_COVERAGE_CLASSES] = {0, 0, 0, 0, D, B, A};
        return HTTree_ShouldContinue(delta, classes) != 0;
    };
    EXPECT_TRUE(next(0.0004f, 3, 3, 0));    // B >= A > 0
    EXPECT_FALSE(next(0.0004f, 4, 3, 0));   // B < A and D < B
    EXPECT_TRUE(next(0.0004f, 4, 3, 3));    // every lagging one below 0.98
    EXPECT_FALSE(next(0.0004f, 9, 0, 0));   // all at 0.99: done
    EXPECT_FALSE(next(1.9e-7f, 3, 3, 3));   // threshold used up
}

// A model image read back from a file.
struct Image {
    std::string bytes;
    size_t Section(int k) const { return LoadU32(bytes, 4 * (k - 1)); }
    int P() const { return LoadU16(bytes, Section(1)); }
    int T() const { return LoadU16(bytes, Section(2)); }
    HR_UINT32 Offset(int c) const { return LoadU32(bytes, Section(2) + 2 + 64 * T() + 4 * c); }
    int Member(HR_UINT32 m) const { return LoadU16(bytes, Section(2) + 6 + 68 * T() + 2 * m); }
    int Code(int p) const { return LoadU16(bytes, Section(3) + 2 * p); }
    int Memberships(int proto) const {
        int n = 0;
        for (HR_UINT32 m = 0; m < Offset(T()); ++m) n += Member(m) == proto;
        return n;
    }
};

class HTTreeStage : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(dir.File("sort"));
        std::filesystem::create_directories(dir.File("tree"));
        std::string coa(16 + 4 * 64 * 1024, '\0');
        coa[8] = 0x00, coa[9] = 0x04;  // D = 1024
        coa[12] = 64;                  // K = 64
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
    // Samples of class c in its own feature file.
    void Samples(int c, int count, const std::vector<int> &at) {
        for (int i = 0; i < count; ++i) samples[c] += FeatureRecord((uint16_t)(0x4E00 + c), at);
    }
    std::string Run() {
        for (const auto &[c, bytes] : samples) dir.Write("sort/" + std::to_string(c) + ".fec", bytes);
        HTLog_Initialize(log.c_str());
        result = HTTree_Process(dir.File("t.coa").c_str(), dir.File("p.mdc").c_str(), dir.File("model.dat").c_str(),
                                dir.File("sort").c_str(), dir.File("tree").c_str());
        HTLog_Terminate();
        return ReadFile(log);
    }

    TempDir dir;
    std::string log = dir.File("tree.log");
    std::map<int, std::string> samples;
    int result = -1;
};

TEST_F(HTTreeStage, FewAdditionsRepeatThePassWithALowerThreshold) {
    // Twelve prototypes on a line: twelve centres, one per prototype.
    std::vector<std::vector<int>> protos;
    for (int c = 0; c < 12; ++c) protos.push_back({c * 10 - 55});
    Prototypes(protos);
    for (int c = 0; c < 12; ++c)
        if (c != 1) Samples(c, 10, protos[c]);
    Samples(0, 10, {55});  // half of class 0 is written where class 11 lies
    Samples(1, 4, {55});   // class 1: four samples, all missed, never moved
    std::string text = Run();
    ASSERT_EQ(result, 1);

    // One addition per pass: pass 1 is redone with delta x 0.8 until delta
    // falls to 2e-7, 36 passes in all, and its last file is the model.
    EXPECT_EQ(CountOf(text, "    center = 12, branch = 13, decision = "), 36);
    EXPECT_EQ(CountOf(text, "    1     1     1     1     1     1     10    \n"), 36);
    EXPECT_FALSE(std::filesystem::exists(dir.File("tree/tree_002.tdb")));
    Image model{ReadFile(dir.File("model.dat"))};
    EXPECT_EQ(model.bytes, ReadFile(dir.File("tree/tree_001.tdb")));
    EXPECT_EQ(HRReco_CheckModel((const HR_UINT8 *)model.bytes.data(), (HR_UINT32)model.bytes.size()), 1);
    EXPECT_EQ(model.Memberships(0), 2);
    EXPECT_EQ(model.Memberships(1), 1);
}

TEST_F(HTTreeStage, PassesThatAddFiftyMembershipsAreAdopted) {
    // 120 prototypes on a grid; half of every class's samples lie beyond
    // one corner, where only the centres near that corner are visited.
    std::vector<std::vector<int>> protos;
    for (int c = 0; c < 120; ++c) protos.push_back({(c % 11) * 10 - 50, (c / 11) * 10 - 50});
    Prototypes(protos);
    for (int c = 0; c < 120; ++c) {
        Samples(c, 5, protos[c]);
        Samples(c, 5, {110, 110});
    }
    std::string text = Run();
    ASSERT_EQ(result, 1);

    // Branch count logged after a tree file; -1 when the file is not logged.
    auto branch = [&](const char *file) {
        size_t at = text.find(file);
        return at == std::string::npos ? -1 : std::stoi(text.substr(text.find("branch = ", at) + 9));
    };
    const int branch1 = branch("tree/tree_001.tdb\n");
    EXPECT_GE(branch1 - 120, HT_TREE_MIN_ADDED);
    // Pass 2 reaches every prototype: nothing more to add, the run stops.
    EXPECT_EQ(branch("tree/tree_002.tdb\n"), branch1);
    EXPECT_EQ(CountOf(text, "decision = "), 2);
    EXPECT_EQ(ReadFile(dir.File("model.dat")), ReadFile(dir.File("tree/tree_002.tdb")));
}

TEST_F(HTTreeStage, MergeKeepsTenPrototypesPerWantedClass) {
    Prototypes({{}, {}});
    std::string bytes;
    for (int i = 0; i < 12; ++i) bytes += FeatureRecord(0x4E00, {i * 9});
    bytes += FeatureRecord(0x4E01, {-40}) + FeatureRecord(0x5000, {40});  // U+5000 is not wanted
    dir.Write("p.mdc", bytes);
    HTLog_Initialize(log.c_str());
    ASSERT_EQ(HTTree_Merge(dir.File("t.coa").c_str(), dir.File("p.mdc").c_str(), dir.File("tree0.tdb").c_str()), 1);
    HTLog_Terminate();
    Image image{ReadFile(dir.File("tree0.tdb"))};
    ASSERT_EQ(image.P(), 11);
    EXPECT_EQ(image.T(), 11);  // floor(sqrt(132))
    EXPECT_EQ(image.Code(9), 0x4E00);
    EXPECT_EQ(image.Code(10), 0x4E01);
    EXPECT_EQ(LoadU16(image.bytes, image.Section(1) + 2), 0x4E02);  // class slots: even, above 0x4E01
    EXPECT_NE(ReadFile(log).find("  class 4e00: prototypes beyond 10 ignored\n"), std::string::npos);
}

TEST_F(HTTreeStage, FailsWithoutTransformOrTreeFile) {
    Prototypes({{1}});
    EXPECT_EQ(HTTree_Merge(dir.File("none.coa").c_str(), dir.File("p.mdc").c_str(), dir.File("t0.tdb").c_str()), 0);
    const std::string sort = dir.File("sort"), tree = dir.File("tree");
    EXPECT_EQ(HTTree_Optimize(dir.File("none.tdb").c_str(), dir.File("m.dat").c_str(), sort.c_str(), tree.c_str()), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.File("m.dat")));
}

}  // namespace
