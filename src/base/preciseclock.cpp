// preciseclock.cpp - waits on the performance counter, and the run's timer
// resolution.
//
// The tick count moves in steps of about 15.6 ms, so a wait timed by it ends
// up to a step early or late.  The performance counter is exact; a Sleep
// ends on a timer tick at or after the time asked for: within a millisecond
// at 1 ms resolution, within 15.6 ms at Windows' default.
#include "base/preciseclock.h"

// The last sleep before a deadline keeps as far from it as sleeps have been
// seen to end late, and the rest is yielded away.  A timer later than this is
// coarse: yielding through it would only burn the processor.
#define MAX_LATE_MS 2

static bool FineTimer;

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

void AfterSleep(ClockWait *wait, DWORD slept, LONGLONG now)
{
    LONGLONG asked = CountsOf(slept, wait->Frequency);
    if (wait->Last != 0 && now > wait->Last) {
        LONGLONG passed = now - wait->Last;
        wait->Elapsed += passed;
        wait->Moves = true;
        if (slept != 0 && passed > asked) {
            LONGLONG late = MsRoundedUp(passed - asked, wait->Frequency);
            if (late > MAX_LATE_MS)
                late = MAX_LATE_MS;
            if (late > wait->LateMs)
                wait->LateMs = static_cast<DWORD>(late);
        }
    } else {
        // A wait must end even on a counter that fails: no sleep ends early.
        wait->Elapsed += asked;
        wait->Moves = false;
    }
    if (now != 0)
        wait->Last = now;
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
        DWORD sleep = NextSleep(&wait);
        SYS(Sleep)(sleep);
        if (stop != nullptr && stop())
            return true;
        AfterSleep(&wait, sleep, counter ? ClockNow() : 0);
    }
    return false;
}

void BeginFineTimer(void)
{
    if (!FineTimer)
        FineTimer = SYS(timeBeginPeriod)(1) == TIMERR_NOERROR;
}

void EndFineTimer(void)
{
    if (FineTimer)
        SYS(timeEndPeriod)(1);
    FineTimer = false;
}
