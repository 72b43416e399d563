#include "HTEval.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "HTLog.h"
#include "ModelImage.h"
#include "SampleGen.h"
#include "TempDir.h"

using penrune_test::ReadFile;
using penrune_test::TempDir;
namespace pt = penrune::test;

namespace {

std::string Bytes(const std::vector<uint8_t> &v) { return std::string(v.begin(), v.end()); }

std::string Sample(uint16_t code, int points = 3) {
    pt::SampleStroke stroke;
    for (int i = 0; i < points; ++i) stroke.push_back({(uint8_t)(10 + i % 200), (uint8_t)(20 + i % 7)});
    return Bytes(pt::EncodeSampleRecord(code, {stroke}));
}

// A record of the given length field with the code and filler bytes.
std::string RawRecord(uint16_t length, uint16_t code, size_t bodyBytes) {
    std::string r = {(char)(length & 0xFF), (char)(length >> 8), (char)(code & 0xFF), (char)(code >> 8)};
    r.resize(2 + bodyBytes, '\x05');
    return r;
}

// The projection of the model is zero, so every sample gets the same
// candidates, ordered by prototype size: B (1), C (4), A (9).
class HTEvalTest : public ::testing::Test {
protected:
    void SetUp() override {
        HTEval_ResetCounters();
        pt::ModelLayout layout;
        layout.prototypes = {{'A', 0x0C, {3}}, {'B', 0x0C, {1}}, {'C', 0x0C, {2}}};
        layout.centres = {pt::ModelVector{}};
        layout.members = {{0, 1, 2}};
        model = dir.Write("model.dat", Bytes(pt::BuildModelImage(layout)));
        std::filesystem::create_directories(dir.File("test"));
    }
    std::string Run(const std::string &modelPath) {
        HTLog_Initialize(dir.File("eval.log").c_str());
        EXPECT_EQ(HTEval_Reco(modelPath.c_str(), dir.File("test").c_str()), 1);
        HTLog_Terminate();
        return ReadFile(dir.File("eval.log"));
    }
    // Runs the penrune tool with its output in Out(); returns the exit status.
    int Tool(const std::string &args) {
        const std::string out = " > " + dir.File("out.txt") + " 2>&1";
        return std::system((std::string(PENRUNE_TOOL_PATH) + " " + args + out).c_str());
    }
    std::string Out() const { return ReadFile(dir.File("out.txt")); }

    TempDir dir;
    std::string model;
};

TEST_F(HTEvalTest, CountsCandidatePositionsCumulativelyAndSortsTheTable) {
    dir.Write("test/a.dat", Sample('A') + Sample('B') + Sample('C') + Sample('C') + Sample('D'));
    // Malformed records are passed over; a record longer than the first
    // buffer is read whole; a length below 2 ends the file.
    dir.Write("test/b.dat", RawRecord(8, 'A', 6) + RawRecord(11, 'A', 9) + Sample('B', 9000) +
                                RawRecord(1, 'B', 0) + Sample('B'));
    std::string text = Run(model);
    EXPECT_EQ(g_nSampleTotal, 6.0f);
    EXPECT_NE(text.find("test/a.dat rate = 0.200000\n"), std::string::npos);
    EXPECT_NE(text.find("test/b.dat rate = 1.000000\n"), std::string::npos);
    // A at position 3 counts from [3] on.
    EXPECT_NE(text.find("\n  stat cand[1]=0.333333, [2]=0.666667, [3]=0.833333, [4]=0.833333, [5]=0.833333\n"),
              std::string::npos);
    // Rate 0 first, equal rates in code order; codes never seen are left out.
    EXPECT_NE(text.find("\n\n  A 0.000000 (0/1)\n  C 0.000000 (0/2)\n  D 0.000000 (0/1)\n  B 1.000000 (2/2)\n\n"),
              std::string::npos);
    EXPECT_NE(text.find("test finished.\n"), std::string::npos);
}

TEST_F(HTEvalTest, UnreadableModelOrTestFileIsPassedOver) {
    dir.Write("test/a.dat", Sample('A'));
    // A missing model, and a file that is not a model image: the run still
    // succeeds, without candidate line.
    for (const std::string &path : {dir.File("missing.dat"), dir.Write("bad.dat", std::string(64, '\x07'))}) {
        std::string text = Run(path);
        EXPECT_EQ(text.find("stat cand"), std::string::npos) << path;
        EXPECT_NE(text.find("test finished.\n"), std::string::npos) << path;
    }
    EXPECT_EQ(HTTest_RecoFile(dir.File("none.dat").c_str(), nullptr), 0);
    EXPECT_EQ(g_nSampleTotal, 0.0f);
}

TEST_F(HTEvalTest, ToolChecksTheModelBeforeEvaluating) {
    dir.Write("test/a.dat", Sample('B'));
    const std::string test = " " + dir.File("test");
    ASSERT_EQ(Tool("eval " + model + test), 0);
    EXPECT_NE(Out().find("stat cand[1]=1.000000"), std::string::npos);
    EXPECT_NE(Tool("eval " + dir.Write("bad.dat", std::string(64, '\x07')) + test), 0);
    EXPECT_NE(Out().find("is not a well-formed model image"), std::string::npos);
    EXPECT_NE(Tool("eval " + dir.File("missing.dat") + test), 0);
    EXPECT_NE(Tool("eval " + model + " " + dir.File("nowhere")), 0);
    EXPECT_NE(Out().find("does not exist"), std::string::npos);
}

// penrune rank over the same model: every sample gets B, C, A.
TEST_F(HTEvalTest, RankToolCountsPositionsAndListsTheMisses) {
    dir.Write("test/a.dat", Sample('A') + Sample('B') + RawRecord(11, 'A', 9) + Sample('C'));
    const std::string args = "rank " + model + " " + dir.File("test");
    ASSERT_EQ(Tool(args + " --top=3 --errors"), 0);
    EXPECT_EQ(Out(), "a.dat#0 A -> B C A\na.dat#3 C -> B C A\nsamples 3\ntop-1 33.3 %\ntop-2 66.7 %\ntop-3 100.0 %\n");
    // One candidate asked: only the first is searched for.
    ASSERT_EQ(Tool(args + " --top=1"), 0);
    EXPECT_EQ(Out(), "samples 3\ntop-1 33.3 %\n");
    EXPECT_EQ(Tool("rank embedded " + dir.File("test")), 0);
    EXPECT_NE(Tool("rank " + dir.File("missing.dat") + " " + dir.File("test")), 0);
    EXPECT_NE(Tool(args + " --top=0"), 0);
}

}  // namespace
