// fakeclock.cpp - GetTickCount, QueryPerformanceCounter/Frequency, Sleep,
// timeBeginPeriod and timeEndPeriod on one clock.
#include "fakeclock.h"

namespace fake {

Clock clock;

LONGLONG Clock::Counter() const
{
    // Split so that a clock of days at any frequency stays in range.
    ULONGLONG seconds = Now / 1000000, micros = Now % 1000000;
    return static_cast<LONGLONG>(seconds) * CounterFrequency +
           static_cast<LONGLONG>(micros) * CounterFrequency / 1000000;
}

// A pacing wait sleeps at most 20 ms at a time; longer sleeps are pauses.
const DWORD PacingStepMs = 20;

size_t Clock::PacingSteps() const
{
    size_t steps = 0;
    for (DWORD ms : Sleeps)
        if (ms <= PacingStepMs)
            steps++;
    return steps;
}

DWORD Clock::PacedMs() const
{
    DWORD total = 0;
    for (DWORD ms : Sleeps)
        if (ms <= PacingStepMs)
            total += ms;
    return total;
}

std::vector<DWORD> Clock::Pauses() const
{
    std::vector<DWORD> pauses;
    for (DWORD ms : Sleeps)
        if (ms > PacingStepMs)
            pauses.push_back(ms);
    return pauses;
}

namespace {

DWORD WINAPI FakeGetTickCount(void)
{
    return clock.Ms();
}

BOOL WINAPI FakeQueryPerformanceCounter(LARGE_INTEGER *count)
{
    count->QuadPart = clock.Counter();
    return TRUE;
}

BOOL WINAPI FakeQueryPerformanceFrequency(LARGE_INTEGER *frequency)
{
    frequency->QuadPart = clock.CounterFrequency;
    return TRUE;
}

MMRESULT WINAPI FakeTimeBeginPeriod(UINT period)
{
    clock.PeriodBegins++;
    EXPECT_EQ(period, 1u);
    if (clock.RefuseFineTimer)
        return TIMERR_NOCANDO;
    clock.FinePeriods++;
    return TIMERR_NOERROR;
}

MMRESULT WINAPI FakeTimeEndPeriod(UINT period)
{
    clock.PeriodEnds++;
    EXPECT_EQ(period, 1u);
    if (clock.FinePeriods == 0) {
        ADD_FAILURE() << "timeEndPeriod without a granted timeBeginPeriod";
        return TIMERR_NOCANDO;
    }
    clock.FinePeriods--;
    return TIMERR_NOERROR;
}

void WINAPI FakeSleep(DWORD ms)
{
    clock.Sleeps.push_back(ms);
    clock.SleptMs += ms;
    if (clock.Sleeps.size() > clock.FollowsSleeps) {
        // Stands still.
    } else if (ms == 0) {
        clock.Now += clock.YieldUs;
    } else {
        clock.Now += static_cast<ULONGLONG>(static_cast<LONGLONG>(ms) * 1000 + clock.SleepLateUs);
        if (clock.FinePeriods == 0)
            clock.CoarseSleeps++;
    }
    if (clock.Sleeps.size() == clock.JumpAt)
        clock.Now += static_cast<ULONGLONG>(clock.JumpUs);
    if (clock.RealSleep)
        g_sysDefault.Sleep(ms);
    for (void (*hook)(DWORD) : clock.OnSleep)
        hook(ms);
}

}  // namespace

void InstallClock(void)
{
    clock = Clock();
    g_sys.GetTickCount = FakeGetTickCount;
    g_sys.QueryPerformanceCounter = FakeQueryPerformanceCounter;
    g_sys.QueryPerformanceFrequency = FakeQueryPerformanceFrequency;
    g_sys.timeBeginPeriod = FakeTimeBeginPeriod;
    g_sys.timeEndPeriod = FakeTimeEndPeriod;
    g_sys.Sleep = FakeSleep;
}

}  // namespace fake
