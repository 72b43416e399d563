// SPDX-License-Identifier: MIT
// Progress log of the training tools: a text file flushed after every
// message, every message echoed to standard output, and ten stage timers.
#include "train/HTLog.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <vector>

FILE *g_fpLog = nullptr;
time_t g_startTime = 0;
time_t g_beginTime[HT_LOG_TIMER_SLOTS] = {};

namespace {

constexpr HR_INT64 kSecondsPerMinute = 60;

void Emit(const char *text) {
    if (g_fpLog != nullptr) {
        std::fputs(text, g_fpLog);
        std::fflush(g_fpLog);
    }
    std::fputs(text, stdout);
}

// Emits format with the minutes and seconds of a whole-second duration.
void EmitDuration(const char *format, HR_INT64 seconds) {
    HTLog_Print(format, static_cast<int>(seconds / kSecondsPerMinute), static_cast<int>(seconds % kSecondsPerMinute));
}

HR_INT64 SecondsSince(time_t begin) {
    // difftime gives a double; the whole seconds are its truncation.
    return static_cast<HR_INT64>(std::difftime(std::time(nullptr), begin));
}

bool ValidSlot(int slot) { return slot >= 0 && slot < HT_LOG_TIMER_SLOTS; }

}  // namespace

extern "C" int HTLog_Initialize(const char *path) {
    if (g_fpLog != nullptr) std::fclose(g_fpLog);
    g_fpLog = path != nullptr ? std::fopen(path, "w") : nullptr;
    g_startTime = std::time(nullptr);
    return 1;
}

extern "C" void HTLog_Print(const char *format, ...) {
    char text[HT_LOG_MESSAGE_BUFFER];
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int length = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (length >= static_cast<int>(sizeof text)) {
        // Longer messages are formatted again into a buffer of their size.
        std::vector<char> whole(static_cast<size_t>(length) + 1);
        std::vsnprintf(whole.data(), whole.size(), format, again);
        Emit(whole.data());
    } else if (length >= 0) {
        Emit(text);
    }
    va_end(again);
}

extern "C" time_t HTLog_TimeBegin(int slot) {
    time_t now = std::time(nullptr);
    if (ValidSlot(slot)) g_beginTime[slot] = now;
    return now;
}

extern "C" void HTLog_TimeStop(int slot) {
    if (ValidSlot(slot)) HTLog_PrintElapsed(SecondsSince(g_beginTime[slot]));
}

extern "C" void HTLog_PrintElapsed(HR_INT64 seconds) { EmitDuration("time = %d:%d(s)\n\n", seconds); }

extern "C" void HTLog_Terminate(void) {
    if (g_fpLog == nullptr) return;
    EmitDuration("\ntotal time = %d:%d(s)\n", SecondsSince(g_startTime));
    std::fclose(g_fpLog);
    g_fpLog = nullptr;
}
