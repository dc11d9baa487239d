// preciseclock.h - waits that keep time: elapsed time from the performance
// counter, deadlines met on time and never before, and the timer a command
// waits on while it runs.
#pragma once

#include "sys/syscalls.h"

// A reading of the performance counter; 0 when it cannot be read.
LONGLONG ClockNow(void);

// Waits until ms have passed since start (a ClockNow reading; 0: from now).
// No step is longer than maxStepMs; stop (may be null) is asked after every
// step and ends the wait by returning true.  True when stop ended it.  The
// steps are waits on the run's high-resolution timer while it has one, else
// sleeps.
bool WaitSince(LONGLONG start, DWORD ms, DWORD maxStepMs, bool (*stop)(void));

// One wait on its way, in counts of the performance counter.
struct ClockWait {
    LONGLONG Frequency;   // counts a second
    LONGLONG Length;      // counts to wait
    LONGLONG Elapsed;     // counts passed
    LONGLONG Last;        // the latest reading; 0: none
    bool Moves;           // the counter moved over the last step
    DWORD LateMs;         // how late a step of this wait has ended, rounded up
    DWORD MaxStepMs;
};

// The sleep to take next: whole milliseconds that end (even LateMs late)
// before the deadline, at most MaxStepMs; 0, a yield, when less is left.
// While the counter does not move, what remains, rounded up.
DWORD NextSleep(const ClockWait *wait);
// Counts a step that asked for asked counts (0: a yield) and the reading
// after it (0: none).  A counter that stands still, steps back or cannot be
// read counts the time asked for.
void AfterWait(ClockWait *wait, LONGLONG asked, LONGLONG now);

// The timer of a command, from before its first wait to after its last: a
// high-resolution waitable timer where the system has one, else the 1 ms
// timer resolution for its sleeps.  Each begin is matched by one end, which
// closes the timer or ends the resolution granted.
void BeginRunTimer(void);
void EndRunTimer(void);
