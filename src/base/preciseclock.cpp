// preciseclock.cpp - waits on the performance counter, and the run's timer.
//
// The tick count moves in steps of about 15.6 ms, so a wait timed by it ends
// up to a step early or late.  The performance counter is exact.  A Sleep
// ends on a timer tick at or after the time asked for: within a millisecond
// at 1 ms resolution, within 15.6 ms at Windows' default, and that
// resolution is the whole system's.  A high-resolution waitable timer
// (Windows 10 1803 on) is signaled at its due time without either.
#include "base/preciseclock.h"

// The last sleep before a deadline keeps as far from it as sleeps have been
// seen to end late, and the rest is yielded away.  A timer later than this is
// coarse: yielding through it would only burn the processor.
#define MAX_LATE_MS 2

// Not in every SDK's headers; older Windows refuse it.
#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

// A timer not signaled this long after its time is no timer to keep time
// with: the run gives it up for the sleeps.
#define TIMER_GRACE_MS 20

static HANDLE RunTimer;   // the run's high-resolution timer; null: none
static bool FineTimer;    // the run holds the 1 ms timer resolution

LONGLONG ClockNow(void)
{
    LARGE_INTEGER now;
    if (!SYS(QueryPerformanceCounter)(&now) || now.QuadPart <= 0)
        return 0;
    return now.QuadPart;
}

static LONGLONG Frequency(void)
{
    LARGE_INTEGER frequency;
    if (!SYS(QueryPerformanceFrequency)(&frequency) || frequency.QuadPart <= 0)
        return 0;
    return frequency.QuadPart;
}

// Split so that no product overflows, whatever the counter's frequency.
static LONGLONG CountsOf(DWORD ms, LONGLONG frequency)
{
    return ms / 1000 * frequency + ms % 1000 * frequency / 1000;
}

static LONGLONG WholeMs(LONGLONG counts, LONGLONG frequency)
{
    return counts / frequency * 1000 + counts % frequency * 1000 / frequency;
}

static LONGLONG MsRoundedUp(LONGLONG counts, LONGLONG frequency)
{
    LONGLONG ms = WholeMs(counts, frequency);
    return counts % frequency * 1000 % frequency != 0 ? ms + 1 : ms;
}

// A timer's due time counts in 100 ns; rounded up, so that it is not early.
static LONGLONG HundredsOfNsRoundedUp(LONGLONG counts, LONGLONG frequency)
{
    const LONGLONG second = 10000000;
    LONGLONG part = counts % frequency * second;
    return counts / frequency * second + part / frequency + (part % frequency != 0 ? 1 : 0);
}

DWORD NextSleep(const ClockWait *wait)
{
    LONGLONG remaining = wait->Length - wait->Elapsed;
    if (remaining <= 0)
        return 0;
    LONGLONG ms;
    if (wait->Moves) {
        ms = WholeMs(remaining, wait->Frequency) - wait->LateMs;
        if (ms <= 0)
            return 0;
    } else {
        ms = MsRoundedUp(remaining, wait->Frequency);
    }
    return ms < wait->MaxStepMs ? static_cast<DWORD>(ms) : wait->MaxStepMs;
}

void AfterWait(ClockWait *wait, LONGLONG asked, LONGLONG now)
{
    if (wait->Last != 0 && now > wait->Last) {
        LONGLONG passed = now - wait->Last;
        wait->Elapsed += passed;
        wait->Moves = true;
        if (asked != 0 && passed > asked) {
            LONGLONG late = MsRoundedUp(passed - asked, wait->Frequency);
            if (late > MAX_LATE_MS)
                late = MAX_LATE_MS;
            if (late > wait->LateMs)
                wait->LateMs = static_cast<DWORD>(late);
        }
    } else {
        // A wait must end even on a counter that fails: no step ends early.
        wait->Elapsed += asked;
        wait->Moves = false;
    }
    if (now != 0)
        wait->Last = now;
}

static void BeginFineTimer(void)
{
    if (!FineTimer)
        FineTimer = SYS(timeBeginPeriod)(1) == TIMERR_NOERROR;
}

// A timer that fails is closed, and the rest of the run sleeps.
static void GiveUpTimer(void)
{
    SYS(CloseHandle)(RunTimer);
    RunTimer = nullptr;
    BeginFineTimer();
}

// One step on the run's timer, aimed at the deadline itself: nothing to
// learn and no yields.  The counts waited, or -1 when the timer failed.
static LONGLONG TimerStep(const ClockWait *wait)
{
    LONGLONG step = wait->Length - wait->Elapsed;
    LONGLONG most = CountsOf(wait->MaxStepMs, wait->Frequency);
    if (step > most)
        step = most;
    LARGE_INTEGER due;
    due.QuadPart = -HundredsOfNsRoundedUp(step, wait->Frequency);  // negative: from now
    DWORD timeout = static_cast<DWORD>(MsRoundedUp(step, wait->Frequency)) + TIMER_GRACE_MS;
    if (SYS(SetWaitableTimer)(RunTimer, &due, 0, nullptr, nullptr, FALSE) &&
        SYS(WaitForSingleObject)(RunTimer, timeout) == WAIT_OBJECT_0)
        return step;
    GiveUpTimer();
    return -1;
}

bool WaitSince(LONGLONG start, DWORD ms, DWORD maxStepMs, bool (*stop)(void))
{
    ClockWait wait;
    wait.Frequency = Frequency();
    bool counter = wait.Frequency != 0;
    if (!counter)
        wait.Frequency = 1000;  // counted by the sleeps alone, in ms
    wait.Last = counter ? ClockNow() : 0;
    wait.Length = CountsOf(ms, wait.Frequency);
    wait.Elapsed = start != 0 && wait.Last > start ? wait.Last - start : 0;
    wait.Moves = wait.Last != 0;
    wait.LateMs = 0;
    wait.MaxStepMs = maxStepMs;
    while (wait.Elapsed < wait.Length) {
        LONGLONG asked = RunTimer != nullptr ? TimerStep(&wait) : -1;
        if (asked < 0) {
            DWORD sleep = NextSleep(&wait);
            SYS(Sleep)(sleep);
            asked = CountsOf(sleep, wait.Frequency);
        }
        if (stop != nullptr && stop())
            return true;
        AfterWait(&wait, asked, counter ? ClockNow() : 0);
    }
    return false;
}

void BeginRunTimer(void)
{
    if (RunTimer != nullptr || FineTimer)
        return;
    RunTimer = SYS(CreateWaitableTimerExW)(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                          TIMER_MODIFY_STATE | SYNCHRONIZE);
    if (RunTimer == nullptr)
        BeginFineTimer();
}

void EndRunTimer(void)
{
    if (RunTimer != nullptr)
        SYS(CloseHandle)(RunTimer);
    RunTimer = nullptr;
    if (FineTimer)
        SYS(timeEndPeriod)(1);
    FineTimer = false;
}
