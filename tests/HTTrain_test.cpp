// SPDX-License-Identifier: MIT
#include "train/HTTrain.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "penrune/HRKernel.h"
#include "SampleGen.h"
#include "TempDir.h"
#include "train/HTSample.h"

using penrune::test::CountOf;
using penrune::test::ReadFile;
using penrune::test::TempDir;
namespace pt = penrune::test;

namespace {

const char *const kStageBegin[HT_TRAIN_STAGES] = {
    "make original feature begin.", "coarse classify begin.",
    "compress feature begin.",      "sort classify begin.",
    "rand classify begin.",         "MDC begin.",
    "allocate tree begin.",         "test begin.",
};

// A training run over a directory tree (charset, train, test, work, out):
// 15 classes of distinct stroke shapes, 30 noisy samples each for training
// and 8 fresh ones for testing. The suite trains once; every test starts
// from a finished run (the resume test leaves one behind as well).
class HTTrainTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = std::make_unique<TempDir>();
        pt::WriteTinyTrainingSet(dir->path());
        firstLog = Train();
    }
    static void TearDownTestSuite() { dir.reset(); }
    static std::string Path(const std::string &name) { return dir->File(name); }
    static std::string Model() { return Path("work/model/hrec.dat"); }
    static std::string StepLog() { return Path("work/train_step.log"); }
    static std::string Train() {
        HTTrain_Process(Path("charset").c_str(), (Path("train") + "/").c_str(), Path("test").c_str(), Model().c_str(),
                        Path("train.log").c_str(), Path("work").c_str(), Path("out").c_str(), "t", 0);
        return ReadFile(Path("train.log"));
    }

    static std::unique_ptr<TempDir> dir;
    static std::string firstLog;
};

std::unique_ptr<TempDir> HTTrainTest::dir;
std::string HTTrainTest::firstLog;

TEST_F(HTTrainTest, TrainsPublishesAndRecognisesHeldOutSamples) {
    for (const char *stage : kStageBegin) EXPECT_EQ(CountOf(firstLog, stage), 1) << stage;
    EXPECT_EQ(CountOf(firstLog, "fail"), 0);
    EXPECT_EQ(ReadFile(StepLog()), "9\r\n");

    std::string model = ReadFile(Model());
    ASSERT_EQ(HRReco_CheckModel((const HR_UINT8 *)model.data(), (HR_UINT32)model.size()), 1);
    std::vector<HR_UINT64> block(HRReco_GetInstanceSize() / 8 + 1);
    const HR_UINT8 *image = (const HR_UINT8 *)model.data();
    _HR_RECO *reco = HRReco_Initialize(block.data(), (HR_UINT32)(block.size() * 8), &image);
    ASSERT_NE(reco, nullptr);
    std::unique_ptr<FILE, int (*)(FILE *)> samples(std::fopen(Path("test/samples_000.dat").c_str(), "rb"),
                                                   &std::fclose);
    ASSERT_TRUE(samples);
    penrune::SampleReader sample(samples.get());
    int total = 0, correct = 0;
    while (sample.Next()) {
        ASSERT_TRUE(sample.Whole() && sample.IsSample());
        HR_UINT16 points = 0;
        _HR_POINT8 *ink = sample.Points(&points);
        HR_UINT16 codes[5];
        HRReco_RecognizeByte(reco, ink, points, 5, codes, nullptr);
        ++total;
        correct += codes[0] == sample.Code();
    }
    ASSERT_EQ(total, 15 * 8);
    EXPECT_GE(correct * 100, total * 90) << correct << " of " << total;

    // Published: the model, the log as it stood before the closing lines,
    // and source text that compiles as the embedded model.
    EXPECT_EQ(ReadFile(Path("out/hrec_t.dat")), model);
    std::string published = ReadFile(Path("out/hrec_t.log"));
    EXPECT_EQ(published.find("train finished"), std::string::npos);
    EXPECT_NE(published.find("test finished.\n"), std::string::npos);
    std::string command = "cc -c -Wall -Werror -Wno-ignored-qualifiers -I" PENRUNE_SOURCE_DIR "/include/penrune " +
                          Path("out/hrec_t.dat.c") + " -o " + Path("model.o");
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
}

// Step log 4 resumes at the sort stage; the tool's retrain 12 then skips
// every stage and publishes all the same.
TEST_F(HTTrainTest, ResumesFromTheStepLog) {
    std::ofstream(StepLog(), std::ios::binary) << "4\r\n";
    std::string log = Train();
    size_t sortBegin = log.find("sort classify begin.");
    ASSERT_NE(sortBegin, std::string::npos);
    EXPECT_LT(log.find("skip original feature.\nskip coarse class.\nskip compress feature.\n"), sortBegin);
    EXPECT_EQ(CountOf(log, "coarse classify begin."), 0);
    EXPECT_EQ(ReadFile(StepLog()), "9\r\n");

    std::string command = std::string(PENRUNE_TOOL_PATH) + " train";
    for (const char *arg : {"charset", "train", "test", "work/model/hrec.dat", "train.log", "work", "out12"})
        command += " " + Path(arg);
    ASSERT_EQ(std::system((command + " t 12 >/dev/null 2>&1").c_str()), 0);
    log = ReadFile(Path("train.log"));
    for (const char *stage : kStageBegin) EXPECT_EQ(CountOf(log, stage), 0) << stage;
    EXPECT_EQ(ReadFile(Path("out12/hrec_t.dat")), ReadFile(Model()));
}

}  // namespace
