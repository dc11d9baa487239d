// fakeclock.cpp - GetTickCount, QueryPerformanceCounter/Frequency, Sleep,
// timeBeginPeriod, timeEndPeriod and the waitable timers on one clock.
#include "fakeclock.h"
#include "fakehelp.h"

#include <algorithm>

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

size_t Clock::TimersOpen() const
{
    size_t open = 0;
    for (const Timer &timer : Timers)
        if (std::count(help.Closed.begin(), help.Closed.end(), timer.Handle) == 0)
            open++;
    return open;
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

// One sleep or wait of ms as recorded, us on the clock.
void Pass(DWORD ms, ULONGLONG us)
{
    clock.Sleeps.push_back(ms);
    clock.SleptMs += ms;
    if (clock.Sleeps.size() <= clock.FollowsSleeps)
        clock.Now += us;
    if (clock.Sleeps.size() == clock.JumpAt)
        clock.Now += static_cast<ULONGLONG>(clock.JumpUs);
    if (clock.RealSleep)
        g_sysDefault.Sleep(ms);
    for (void (*hook)(DWORD) : clock.OnSleep)
        hook(ms);
}

void WINAPI FakeSleep(DWORD ms)
{
    if (ms != 0 && clock.FinePeriods == 0)
        clock.CoarseSleeps++;
    ULONGLONG us = ms == 0 ? clock.YieldUs
                           : static_cast<ULONGLONG>(static_cast<LONGLONG>(ms) * 1000 + clock.SleepLateUs);
    Pass(ms, us);
}

// The flags Windows knows: manual reset, and from 10 1803 on high resolution.
const DWORD ManualReset = 0x1, HighResolution = 0x2;

HANDLE WINAPI FakeCreateWaitableTimerExW(LPSECURITY_ATTRIBUTES attributes, LPCWSTR name,
                                         DWORD flags, DWORD access)
{
    clock.TimerCreates++;
    EXPECT_EQ(attributes, nullptr);
    EXPECT_EQ(name, nullptr) << "a named timer is shared with other processes";
    DWORD known = ManualReset | (clock.RefuseHighResTimer ? 0 : HighResolution);
    if ((flags & ~known) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HANDLE handle = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0xE000 + 4 * clock.Timers.size()));
    clock.Timers.push_back({ handle, access, false, 0, 0 });
    return handle;
}

// The open timer of a handle, or null (ERROR_INVALID_HANDLE set).
Timer *OpenTimer(HANDLE handle)
{
    for (Timer &timer : clock.Timers)
        if (timer.Handle == handle && std::count(help.Closed.begin(), help.Closed.end(), handle) == 0)
            return &timer;
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
}

BOOL WINAPI FakeSetWaitableTimer(HANDLE handle, const LARGE_INTEGER *due, LONG period,
                                 PTIMERAPCROUTINE routine, LPVOID, BOOL resume)
{
    Timer *timer = OpenTimer(handle);
    if (timer == nullptr)
        return FALSE;
    if ((timer->Access & TIMER_MODIFY_STATE) == 0 || period < 0) {
        SetLastError(period < 0 ? ERROR_INVALID_PARAMETER : ERROR_ACCESS_DENIED);
        return FALSE;
    }
    EXPECT_EQ(period, 0);
    EXPECT_EQ(routine, nullptr);
    EXPECT_FALSE(resume);
    // Negative: from now, in 100 ns (rounded up here to the clock's
    // microseconds).  The run has no use for an absolute (UTC) time.
    EXPECT_LT(due->QuadPart, 0) << "not a relative due time";
    ULONGLONG hundreds = due->QuadPart < 0 ? static_cast<ULONGLONG>(-due->QuadPart) : 0;
    timer->AskedUs = (hundreds + 9) / 10;
    timer->DueUs = clock.Now + timer->AskedUs;
    timer->Set = true;
    return TRUE;
}

DWORD WINAPI FakeWaitForSingleObject(HANDLE handle, DWORD ms)
{
    Timer *timer = OpenTimer(handle);
    if (timer == nullptr)
        return WAIT_FAILED;
    if ((timer->Access & SYNCHRONIZE) == 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return WAIT_FAILED;
    }
    // Microseconds from now until it signals; a wait on a timer whose time
    // has passed still takes one.
    LONGLONG until = static_cast<LONGLONG>(timer->DueUs - clock.Now) + clock.TimerLateUs;
    ULONGLONG waitUs = until > 1 ? static_cast<ULONGLONG>(until) : 1;
    if (!timer->Set || (ms != INFINITE && waitUs > ms * 1000ull)) {
        if (ms == INFINITE) {
            ADD_FAILURE() << "waits for ever on a timer that is not set";
            return WAIT_FAILED;
        }
        Pass(ms, ms * 1000ull);
        return WAIT_TIMEOUT;
    }
    // A synchronization timer is reset by the wait it ends.
    timer->Set = false;
    clock.TimerWaits++;
    Pass(static_cast<DWORD>((timer->AskedUs + 999) / 1000), waitUs);
    return WAIT_OBJECT_0;
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
    g_sys.CreateWaitableTimerExW = FakeCreateWaitableTimerExW;
    g_sys.SetWaitableTimer = FakeSetWaitableTimer;
    g_sys.WaitForSingleObject = FakeWaitForSingleObject;
}

}  // namespace fake
