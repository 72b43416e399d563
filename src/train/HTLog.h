/* SPDX-License-Identifier: MIT */
/* Progress log of the training tools.
 *
 * Every message goes to the log file (flushed at once) when one is open, and
 * then to standard output. Stage timers live in ten slots.
 *
 * Usage: HTLog_Initialize(path) → HTLog_Print / HTLog_TimeBegin /
 * HTLog_TimeStop → HTLog_Terminate (writes the total-time line and closes the
 * file). Printing and timers also work outside that span, on standard output
 * only. */
#ifndef HT_LOG_H
#define HT_LOG_H

#include <stdio.h>
#include <time.h>

#include "penrune/HRTypes.h"

PENRUNE_EXTERN_C_BEGIN

#define HT_LOG_TIMER_SLOTS 10      /* timer slots 0..9 */
#define HT_LOG_MESSAGE_BUFFER 4096 /* messages up to 4095 characters need no allocation */

extern FILE *g_fpLog;                          /* null while no log file is open */
extern time_t g_startTime;                     /* set by HTLog_Initialize */
extern time_t g_beginTime[HT_LOG_TIMER_SLOTS]; /* set by HTLog_TimeBegin */

/* Creates or truncates the log file (a log file still open is closed first)
 * and records the start time. When the file cannot be created the log stays
 * on standard output only. Returns 1. */
int HTLog_Initialize(const char *path);

/* Formats a message printf-style and emits it. Messages of any length are
 * emitted whole. */
#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
void HTLog_Print(const char *format, ...);

/* Stores the current time in timer slot (0..9) and returns it; a slot outside
 * 0..9 stores nothing. */
time_t HTLog_TimeBegin(int slot);

/* Emits "time = M:S(s)\n\n" for the whole seconds since HTLog_TimeBegin of
 * the slot; a slot outside 0..9 emits nothing. */
void HTLog_TimeStop(int slot);

/* Emits "time = M:S(s)\n\n" for an elapsed number of whole seconds: minutes
 * (not wrapped into hours) and the remaining seconds, without padding. */
void HTLog_PrintElapsed(HR_INT64 seconds);

/* With a log file open: emits "\ntotal time = M:S(s)\n" for the time since
 * HTLog_Initialize and closes the file. Otherwise does nothing. */
void HTLog_Terminate(void);

PENRUNE_EXTERN_C_END

#endif /* HT_LOG_H */
