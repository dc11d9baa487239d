// fakeclock.h - the clock of the fake world: the tick count, the performance
// counter, Sleep, the timer resolution and waitable timers.
#pragma once

#include "testsupport.h"

#include <vector>

namespace fake {

struct Timer {
    HANDLE Handle;
    DWORD Access;
    bool Set;           // SetWaitableTimer called, not yet signaled to a wait
    ULONGLONG DueUs;    // on the clock
    ULONGLONG AskedUs;  // from SetWaitableTimer to the due time
};

// One clock, in microseconds, behind the tick count (its milliseconds, low 32
// bits) and the performance counter (CounterFrequency counts a second).  A
// Sleep advances it by the time asked plus SleepLateUs, a Sleep(0) by
// YieldUs; a wait on a set waitable timer to its due time plus TimerLateUs.
// Either then calls each of OnSleep.
struct Clock {
    ULONGLONG Now = 100000000;
    LONGLONG CounterFrequency = 10000000;
    int SleepLateUs = 0;         // negative: sleeps end early
    DWORD YieldUs = 50;
    bool RealSleep = false;      // also sleep for real (tests with threads)
    // A clock that does not simply follow the sleeps: it stands still after
    // the first FollowsSleeps of them, and the JumpAt-th (1-based) moves it
    // by JumpUs besides.
    size_t FollowsSleeps = SIZE_MAX;
    size_t JumpAt = 0;
    LONGLONG JumpUs = 0;
    // Every sleep and every wait on a timer, in ms (a timer's time asked
    // rounded up); TimerWaits of them were waits on a timer.
    std::vector<DWORD> Sleeps;
    ULONGLONG SleptMs = 0;
    size_t TimerWaits = 0;
    std::vector<void (*)(DWORD ms)> OnSleep;
    // Timer resolution: timeBeginPeriod(1) is refused when RefuseFineTimer;
    // the periods granted and not yet ended, every call of either kind, and
    // the sleeps (Sleep(0) aside) taken while no period was in force.
    bool RefuseFineTimer = false;
    int FinePeriods = 0;
    int PeriodBegins = 0;
    int PeriodEnds = 0;
    size_t CoarseSleeps = 0;
    // Waitable timers, every one created, closed ones too.  The
    // high-resolution flag is refused (ERROR_INVALID_PARAMETER) when
    // RefuseHighResTimer, as before Windows 10 1803.  A timer signals
    // TimerLateUs after its due time (negative: before it).
    bool RefuseHighResTimer = false;
    int TimerLateUs = 0;
    std::vector<Timer> Timers;
    int TimerCreates = 0;        // CreateWaitableTimerExW calls

    // The clock as the tick count shows it, and the counter's reading.
    DWORD Ms() const { return static_cast<DWORD>(Now / 1000); }
    LONGLONG Counter() const;
    // Puts the tick count at ms.
    void SetMs(DWORD ms) { Now = ms * 1000ull; }
    // The sleeps as a run takes them: the steps of its pacing waits (at most
    // 20 ms each) and their total, and the longer pauses of the sound in order.
    size_t PacingSteps() const;
    DWORD PacedMs() const;
    std::vector<DWORD> Pauses() const;
    // Timers created and not closed (CloseHandle is the fake help's).
    size_t TimersOpen() const;
};
extern Clock clock;

void InstallClock(void);

}  // namespace fake
