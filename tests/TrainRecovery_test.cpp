// SPDX-License-Identifier: MIT
// penrune train interrupted and faulted on a tiny data set: killed in any
// stage, a rerun resumes from the step log and publishes a sound model; a
// full disk fails the run with the stage's "fail." line and a non-zero exit.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "penrune/HRKernel.h"
#include "train/HTFeat.h"
#include "SampleGen.h"
#include "TempDir.h"

using penrune::test::ReadFile;
namespace pt = penrune::test;

namespace {

// What a run must have logged when it is killed: the start of each stage in
// turn, and in the discriminative stage also its first snapshot, after
// which a rerun resumes from that snapshot rather than from the start.
const char *const kKillPoints[] = {
    "make original feature begin.", "coarse classify begin.", "compress feature begin.",
    "sort classify begin.",         "rand classify begin.",   "MDC begin.",
    "class_001.mdc nodes",          "allocate tree begin.",   "test begin.",
};
const char kSnapshotKillPoint[] = "class_001.mdc nodes";

class TrainRecovery : public ::testing::Test {
protected:
    void SetUp() override { pt::WriteTinyTrainingSet(dir_.path()); }

    std::string Log(const std::string &run) const { return dir_.File(run + ".log"); }
    std::string Published(const std::string &run) const { return dir_.File(run + "-out/hrec_t.dat"); }

    // Starts penrune train for `run` (its own working, output and log
    // paths) with a fixed seed; a positive fileLimit caps every file the
    // run writes at that many bytes.
    pid_t Start(const std::string &run, rlim_t fileLimit = 0) const {
        return Start(dir_.File(run), dir_.File(run + "-out"), Log(run), fileLimit);
    }
    pid_t Start(const std::string &work, const std::string &out, const std::string &log, rlim_t fileLimit) const {
        const std::string charset = dir_.File("charset"), train = dir_.File("train"), test = dir_.File("test");
        const std::string model = work + "/model/hrec.dat";
        const pid_t pid = fork();
        if (pid != 0) return pid;
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        if (fileLimit > 0) {
            const rlimit limit{fileLimit, fileLimit};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        execl(PENRUNE_TOOL_PATH, "penrune", "train", "--seed=16", charset.c_str(), train.c_str(), test.c_str(),
              model.c_str(), log.c_str(), work.c_str(), out.c_str(), "t", "0", static_cast<char *>(nullptr));
        _exit(127);
    }

    static int Wait(pid_t pid) {
        int status = 0;
        waitpid(pid, &status, 0);
        return status;
    }

    int Run(const std::string &run, rlim_t fileLimit = 0) const { return Wait(Start(run, fileLimit)); }

    // Kills the run with SIGKILL as soon as its log holds `point`. False
    // when the run ended before.
    bool KillAt(const std::string &run, const char *point) const {
        const pid_t pid = Start(run);
        while (ReadFile(Log(run)).find(point) == std::string::npos) {
            if (waitpid(pid, nullptr, WNOHANG) == pid) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        kill(pid, SIGKILL);
        return WIFSIGNALED(Wait(pid));
    }

    penrune::test::TempDir dir_;
};

bool IsSoundModel(const std::string &model) {
    return HRReco_CheckModel(reinterpret_cast<const HR_UINT8 *>(model.data()), static_cast<HR_UINT32>(model.size()));
}

// The evaluation's summary line of a run: "test rate = ...".
std::string TestRate(const std::string &log) {
    const size_t at = log.rfind("rate = ");
    return at == std::string::npos ? "" : log.substr(at, log.find('\n', at) - at);
}

TEST_F(TrainRecovery, ResumesAfterAKillInEveryStageToTheSameModel) {
    ASSERT_EQ(Run("reference"), 0);
    const std::string reference = ReadFile(Published("reference"));
    ASSERT_TRUE(IsSoundModel(reference));
    const std::string referenceRate = TestRate(ReadFile(Log("reference")));
    ASSERT_NE(referenceRate, "");

    int run = 0;
    for (const char *point : kKillPoints) {
        const std::string name = "killed" + std::to_string(run++);
        ASSERT_TRUE(KillAt(name, point)) << point;
        ASSERT_EQ(Run(name), 0) << point;
        const std::string model = ReadFile(Published(name));
        ASSERT_TRUE(IsSoundModel(model)) << point;
        // Resumed from a snapshot the model may differ in its last bits but
        // recognises the held-out samples as well; restarted stages repeat
        // the uninterrupted run exactly.
        if (std::string(point) == kSnapshotKillPoint)
            EXPECT_EQ(TestRate(ReadFile(Log(name))), referenceRate);
        else
            EXPECT_EQ(model, reference) << point;
    }
}

TEST_F(TrainRecovery, AFullDiskFailsTheStageAndTheRun) {
    for (rlim_t limit : {rlim_t{4096}, rlim_t{200000}, rlim_t{400000}}) {
        const std::string name = "full" + std::to_string(limit);
        EXPECT_NE(Run(name, limit), 0) << limit;
        const std::string log = ReadFile(Log(name));
        EXPECT_NE(log.find("fail."), std::string::npos) << limit << "\n" << log;
        const std::string model = ReadFile(Published(name));
        EXPECT_TRUE(model.empty() || IsSoundModel(model)) << limit;
    }
}

// A directory that cannot be made (its parent is a regular file) stands
// for one the run may not write: for the working directory the first stage
// fails; for the output directory nothing is published. Both fail the run.
TEST_F(TrainRecovery, AnUnwritableDirectoryFailsTheRun) {
    const std::string file = dir_.Write("file", "not a directory");
    EXPECT_NE(Wait(Start(file + "/work", dir_.File("out"), Log("work"), 0)), 0);
    EXPECT_NE(ReadFile(Log("work")).find("make original feature fail."), std::string::npos) << ReadFile(Log("work"));

    EXPECT_NE(Wait(Start(dir_.File("work"), file + "/out", Log("out"), 0)), 0);
    EXPECT_NE(ReadFile(Log("out")).find("test finished."), std::string::npos);
}

}  // namespace
