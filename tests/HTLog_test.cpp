#include "HTLog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>

#include "TempDir.h"

using penrune_test::ReadFile;
using penrune_test::TempDir;

namespace {

// Every test runs with an open log file; the file and standard output must
// carry the same text.
class HTLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(HTLog_Initialize(dir_.File("train.log").c_str()), 1);
        testing::internal::CaptureStdout();
    }
    void TearDown() override {
        HTLog_Terminate();
        testing::internal::GetCapturedStdout();
    }
    // Text logged so far, checked to be identical on standard output.
    std::string Logged() {
        printed_ += testing::internal::GetCapturedStdout();
        testing::internal::CaptureStdout();
        std::string file = ReadFile(dir_.File("train.log"));
        EXPECT_EQ(printed_, file);
        return file;
    }

    TempDir dir_;
    std::string printed_;
};

TEST_F(HTLogTest, ElapsedTimeIsMinutesAndSecondsWithoutPadding) {
    HTLog_PrintElapsed(75);
    HTLog_PrintElapsed(5);
    HTLog_PrintElapsed(2 * 3600);
    EXPECT_EQ(Logged(), "time = 1:15(s)\n\ntime = 0:5(s)\n\ntime = 120:0(s)\n\n");
}

TEST_F(HTLogTest, TimerSlotMeasuresFromItsBeginTimeAndIgnoresSlotsOutsideTheTen) {
    time_t now = HTLog_TimeBegin(3);
    EXPECT_EQ(g_beginTime[3], now);
    g_beginTime[3] = now - 75;
    time_t before[HT_LOG_TIMER_SLOTS];
    std::copy(g_beginTime, g_beginTime + HT_LOG_TIMER_SLOTS, before);
    HTLog_TimeBegin(-1);
    HTLog_TimeBegin(HT_LOG_TIMER_SLOTS);
    HTLog_TimeStop(HT_LOG_TIMER_SLOTS);
    EXPECT_TRUE(std::equal(before, before + HT_LOG_TIMER_SLOTS, g_beginTime));
    EXPECT_EQ(Logged(), "");
    HTLog_TimeStop(3);
    // The clock may tick once between the two readings.
    EXPECT_TRUE(std::regex_match(Logged(), std::regex("time = 1:1[56]\\(s\\)\n\n")));
}

TEST_F(HTLogTest, LongMessagesAreLoggedWhole) {
    std::string text(5000, 'x');
    HTLog_Print("  %s|%d\n", text.c_str(), 42);
    EXPECT_EQ(Logged(), "  " + text + "|42\n");
    std::string edge(HT_LOG_MESSAGE_BUFFER - 1, 'y');  // exactly fills the buffer
    HTLog_Print("%s", edge.c_str());
    EXPECT_EQ(Logged(), "  " + text + "|42\n" + edge);
}

TEST_F(HTLogTest, TerminateAppendsTotalTimeAndCloses) {
    HTLog_Print("train begin(retrain = %d).\n", 0);
    HTLog_Terminate();
    EXPECT_EQ(g_fpLog, nullptr);
    EXPECT_TRUE(std::regex_match(Logged(), std::regex("train begin\\(retrain = 0\\)\\.\n"
                                                      "\ntotal time = 0:[0-9]+\\(s\\)\n")));
    // A log that cannot be created: messages still reach standard output,
    // and terminating without a log prints nothing.
    EXPECT_EQ(HTLog_Initialize(dir_.File("missing/train.log").c_str()), 1);
    EXPECT_EQ(g_fpLog, nullptr);
    HTLog_Print("  %s -> %s\n", "a", "b");
    HTLog_Terminate();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "  a -> b\n");
    testing::internal::CaptureStdout();
}

}  // namespace
