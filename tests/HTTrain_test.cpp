#include "HTTrain.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "HRKernel.h"
#include "SampleGen.h"
#include "TempDir.h"

using penrune_test::CountOf;
using penrune_test::ReadFile;
using penrune_test::TempDir;
namespace fs = std::filesystem;
namespace pt = penrune::test;

namespace {

const char *const kStageBegin[HT_TRAIN_STAGES] = {
    "make original feature begin.", "coarse classify begin.", "compress feature begin.", "sort classify begin.",
    "rand classify begin.",         "MDC begin.",             "allocate tree begin.",    "test begin.",
};

// One training run over a directory tree: charset, train, test, work, out.
struct TrainRun {
    std::string root;
    std::string Path(const std::string &name) const { return root + "/" + name; }
    std::string Model() const { return Path("work/model/hrec.dat"); }
    std::string Log() const { return Path("train.log"); }
    std::string StepLog() const { return Path("work/train_step.log"); }
    void WriteStep(const char *text) const { std::ofstream(StepLog(), std::ios::binary) << text; }
    std::string Train(int retrain, const std::string &out = "out") const {
        HTTrain_Process(Path("charset").c_str(), (Path("train") + "/").c_str(), Path("test").c_str(), Model().c_str(),
                        Log().c_str(), Path("work").c_str(), Path(out).c_str(), "t", retrain);
        return ReadFile(Log());
    }
};

// Trains one model for the suite (each test process trains once): 15 classes of distinct stroke
// shapes, 30 noisy samples each for training and 8 fresh ones for testing.
class HTTrainTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        trained = std::make_unique<TempDir>();
        base.root = trained->path();
        pt::SampleSetPlan plan;
        plan.classes = 15;
        plan.samplesPerClass = 30;
        plan.files = 3;
        auto codes = pt::WriteSampleSet(base.Path("train"), plan);
        plan.samplesPerClass = 8;
        plan.files = 1;
        plan.noiseSeed = 2;
        pt::WriteSampleSet(base.Path("test"), plan);
        pt::WriteCharsetDir(base.Path("charset"), codes, 4);
        firstLog = base.Train(0);
    }
    static void TearDownTestSuite() { trained.reset(); }
    // A copy of the trained run that a test may change.
    TrainRun Copy() const {
        TrainRun run{scratch.path()};
        for (const char *part : {"charset", "train", "test", "work"})
            fs::copy(base.Path(part), run.Path(part), fs::copy_options::recursive);
        return run;
    }

    inline static std::unique_ptr<TempDir> trained;
    inline static TrainRun base;
    inline static std::string firstLog;
    TempDir scratch;
};

TEST_F(HTTrainTest, TrainsPublishesAndRecognisesHeldOutSamples) {
    const std::string &log = firstLog;
    for (const char *stage : kStageBegin) EXPECT_EQ(CountOf(log, stage), 1) << stage;
    EXPECT_EQ(CountOf(log, "fail"), 0);
    EXPECT_EQ(ReadFile(base.StepLog()), "9\r\n");

    std::string model = ReadFile(base.Model());
    ASSERT_EQ(HRReco_CheckModel((const HR_UINT8 *)model.data(), (HR_UINT32)model.size()), 1);
    std::vector<HR_UINT64> block(HRReco_GetInstanceSize() / 8 + 1);
    const HR_UINT8 *image = (const HR_UINT8 *)model.data();
    _HR_RECO *reco = HRReco_Initialize(block.data(), (HR_UINT32)(block.size() * 8), &image);
    ASSERT_NE(reco, nullptr);
    std::string samples = ReadFile(base.Path("test/samples_000.dat"));
    int total = 0, correct = 0;
    for (size_t at = 0; at + 10 <= samples.size();) {
        size_t length = (HR_UINT8)samples[at] | ((HR_UINT8)samples[at + 1] << 8);
        std::vector<HR_UINT8> record(samples.begin() + at, samples.begin() + at + length);
        HR_UINT16 code = (HR_UINT16)(record[2] | (record[3] << 8));
        HR_UINT16 codes[5];
        HRReco_RecognizeByte(reco, (_HR_POINT8 *)(record.data() + 6), (HR_UINT16)((length - 6) / 2), 5, codes, nullptr);
        ++total;
        correct += codes[0] == code;
        at += length;
    }
    ASSERT_EQ(total, 15 * 8);
    EXPECT_GE(correct * 100, total * 90) << correct << " of " << total;

    // Published: the model, the log as it stood before the closing lines,
    // and source text that compiles as the embedded model.
    EXPECT_EQ(ReadFile(base.Path("out/hrec_t.dat")), model);
    std::string published = ReadFile(base.Path("out/hrec_t.log"));
    EXPECT_EQ(published.find("train finished"), std::string::npos);
    EXPECT_NE(published.find("test finished.\n"), std::string::npos);
    std::string command = "cc -c -Wall -Werror -Wno-ignored-qualifiers -I" PENRUNE_SOURCE_DIR "/include " +
                          base.Path("out/hrec_t.dat.c") + " -o " + scratch.File("model.o");
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
}

TEST_F(HTTrainTest, ResumesFromTheStepLogAndReportsTheOutcome) {
    TrainRun run = Copy();
    auto tool = [&](const std::string &args) {
        std::string command = std::string(PENRUNE_TOOL_PATH) + " train " + args + " > /dev/null 2>&1";
        return std::system(command.c_str());
    };
    std::string common = run.Path("charset") + " " + run.Path("train") + " " + run.Path("test") + " " + run.Model() +
                         " " + run.Log() + " " + run.Path("work") + " " + run.Path("out") + " t";

    // Step log 4: three skip lines, then the run goes on from the sort stage.
    run.WriteStep("4\r\n");
    std::string log = run.Train(0);
    size_t sortBegin = log.find("sort classify begin.");
    ASSERT_NE(sortBegin, std::string::npos);
    EXPECT_LT(log.find("skip original feature.\nskip coarse class.\nskip compress feature.\n"), sortBegin);
    EXPECT_EQ(CountOf(log, "skip "), 3 + 50);  // the three stages, then the 50 snapshots
    EXPECT_EQ(CountOf(log, "coarse classify begin."), 0);
    EXPECT_NE(log.find("Skip MDC\n"), std::string::npos);
    EXPECT_EQ(ReadFile(run.StepLog()), "9\r\n");

    // Retrain 12: every stage skipped, the files published all the same.
    log = run.Train(12, "out12");
    EXPECT_EQ(CountOf(log, "skip "), 8);
    EXPECT_NE(log.find("skip test.\n"), std::string::npos);
    for (const char *stage : kStageBegin) EXPECT_EQ(CountOf(log, stage), 0) << stage;
    EXPECT_EQ(ReadFile(run.Path("out12/hrec_t.dat")), ReadFile(run.Model()));
    EXPECT_TRUE(fs::exists(run.Path("out12/hrec_t.dat.c")));
    EXPECT_EQ(ReadFile(run.StepLog()), "9\r\n");
    EXPECT_EQ(tool(common + " 12"), 0);

    // Snapshot 50 and its training file gone: stage 6 fails when resumed and
    // stays in the step log; the tool reports the unfinished run.
    fs::remove(run.Path("work/disc_mdc/class_050.mdc"));
    fs::remove(run.Path("work/feat_rand/rand_050.fec"));
    run.WriteStep("6\r\n");
    log = run.Train(0);
    EXPECT_NE(log.find("skip rand feature.\nSkip MDC\n"), std::string::npos);
    EXPECT_NE(log.find("GDC finished.\n"), std::string::npos);
    EXPECT_EQ(CountOf(log, "allocate tree begin."), 0);
    EXPECT_EQ(ReadFile(run.StepLog()), "6\r\n");
    EXPECT_NE(tool(common + " 12"), 0);
    EXPECT_NE(tool(run.Path("charset") + " " + run.Path("missing") + " " + run.Path("test") + " m l w o t"), 0);
    EXPECT_NE(tool(common + " x"), 0);
}

TEST(HTTrainDriver, StepLogRecordsTheNextStage) {
    TempDir dir;
    std::string path = dir.File("step.log");
    ASSERT_EQ(HTTrain_SetStepFinish(path.c_str(), 3), 1);
    EXPECT_EQ(ReadFile(path), std::string("\x34\x0D\x0A"));
    EXPECT_EQ(HTTrain_GetStep(path.c_str()), 4);
    EXPECT_EQ(HTTrain_GetStep(dir.File("none.log").c_str()), 0);
    EXPECT_EQ(HTTrain_SetStepFinish(dir.File("no/dir/step.log").c_str(), 3), 0);
}

TEST(HTTrainDriver, FirstStageFailureLeavesNoStepAndPublishesAnEmptyModel) {
    TempDir dir;
    TrainRun run{dir.path()};
    fs::create_directories(run.Path("train"));
    fs::create_directories(run.Path("test"));
    pt::WriteCharsetDir(run.Path("charset"), {0x4E00, 0x4E01});
    std::string log = run.Train(0);
    EXPECT_NE(log.find("make original feature fail.\n"), std::string::npos);
    EXPECT_FALSE(fs::exists(run.StepLog()));
    EXPECT_EQ(ReadFile(run.Path("out/hrec_t.dat")), "");
    EXPECT_NE(ReadFile(run.Path("out/hrec_t.dat.c")).find("return 0;"), std::string::npos);
}

TEST(HTTrainDriver, EmptyDirectoryArgumentTouchesNothing) {
    TempDir dir;
    std::string work = dir.File("work");
    EXPECT_EQ(HTTrain_Process(dir.path().c_str(), "/", dir.path().c_str(), dir.File("m.dat").c_str(),
                              dir.File("l.log").c_str(), work.c_str(), dir.File("out").c_str(), "t", 0),
              0);
    EXPECT_FALSE(fs::exists(work));
    EXPECT_FALSE(fs::exists(dir.File("l.log")));
}

}  // namespace
