// SPDX-License-Identifier: MIT
#include "train/HTLog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "TempDir.h"

using penrune::test::ReadFile;
using penrune::test::TempDir;

namespace {

// Messages longer than the buffer, and one that exactly fills it, reach the
// file and standard output whole; timer slots outside the ten are ignored.
TEST(HTLog, LongMessagesAreLoggedWholeAndOnlyTheTenTimerSlotsAreUsed) {
    TempDir dir;
    ASSERT_EQ(HTLog_Initialize(dir.File("train.log").c_str()), 1);
    testing::internal::CaptureStdout();
    const std::string text(5000, 'x'), edge(HT_LOG_MESSAGE_BUFFER - 1, 'y');
    HTLog_Print("  %s|%d\n", text.c_str(), 42);
    HTLog_Print("%s", edge.c_str());
    g_beginTime[3] = HTLog_TimeBegin(3) - 75;
    time_t before[HT_LOG_TIMER_SLOTS];
    std::copy(g_beginTime, g_beginTime + HT_LOG_TIMER_SLOTS, before);
    HTLog_TimeBegin(-1);
    HTLog_TimeBegin(HT_LOG_TIMER_SLOTS);
    HTLog_TimeStop(HT_LOG_TIMER_SLOTS);
    EXPECT_TRUE(std::equal(before, before + HT_LOG_TIMER_SLOTS, g_beginTime));
    HTLog_TimeStop(3);
    const std::string logged = ReadFile(dir.File("train.log"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), logged);
    HTLog_Terminate();
    // Slot 3 measures from its begin time; the clock may tick once in between.
    EXPECT_TRUE(logged == "  " + text + "|42\n" + edge + "time = 1:15(s)\n\n" ||
                logged == "  " + text + "|42\n" + edge + "time = 1:16(s)\n\n")
        << logged.substr(logged.size() - 40);
}

}  // namespace
