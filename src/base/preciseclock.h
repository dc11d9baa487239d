// preciseclock.h - waits that keep time: elapsed time from the performance
// counter, deadlines met on time and never before, and the 1 ms timer
// resolution a command asks for while it runs.
#pragma once

#include "sys/syscalls.h"

// A reading of the performance counter; 0 when it cannot be read.
LONGLONG ClockNow(void);

// Waits until ms have passed since start (a ClockNow reading; 0: from now).
// No sleep is longer than maxStepMs; stop (may be null) is asked after every
// sleep and ends the wait by returning true.  True when stop ended it.
bool WaitSince(LONGLONG start, DWORD ms, DWORD maxStepMs, bool (*stop)(void));

// One wait on its way, in counts of the performance counter.
struct ClockWait {
    LONGLONG Frequency;   // counts a second
    LONGLONG Length;      // counts to wait
    LONGLONG Elapsed;     // counts passed
    LONGLONG Last;        // the latest reading; 0: none
    bool Moves;           // the counter moved over the last sleep
    DWORD LateMs;         // how late a sleep of this wait has ended, rounded up
    DWORD MaxStepMs;
};

// The sleep to take next: whole milliseconds that end (even LateMs late)
// before the deadline, at most MaxStepMs; 0, a yield, when less is left.
// While the counter does not move, what remains, rounded up.
DWORD NextSleep(const ClockWait *wait);
// Counts the sleep taken and the reading after it (0: none).  A counter
// that stands still, steps back or cannot be read counts the sleep asked for.
void AfterSleep(ClockWait *wait, DWORD slept, LONGLONG now);

// The 1 ms timer resolution for the length of a command: each begin is
// matched by one end, and only a granted request is ended.
void BeginFineTimer(void);
void EndFineTimer(void);
