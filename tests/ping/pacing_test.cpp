// The pacing wait against the scripted clock: steps, the last short sleep,
// the deadline met on time and never before, interrupts between steps,
// counters that stand still, jump or cannot be read, and the run's timer
// granted or refused.
#include "fakeworld.h"
#include "ping/echorun.h"
#include "ping/interrupt.h"
#include "console/conlist.h"
#include "base/preciseclock.h"

#include <algorithm>

namespace {

// Microseconds on the clock since a reading of it.
ULONGLONG Since(ULONGLONG clock)
{
    return fake::clock.Now - clock;
}

// A wait on a clock that does not simply follow the sleeps that never ends
// is stopped by Control-C after MaxSleeps, and the test then fails on the
// count.
const size_t MaxSleeps = 100000;

using PacingWaitTest = FakeWorldTest;

TEST_F(PacingWaitTest, SleepsAddUpToTheWaitInStepsOfAtMost20)
{
    const DWORD waits[] = { 250, 1000, 650, 10000, 20, 21, 39, 40, 41, 19, 1 };
    for (DWORD wait : waits) {
        SCOPED_TRACE(wait);
        InstallFakeWorld();
        ULONGLONG start = fake::clock.Now;
        PacingWait(wait, fake::clock.Counter());
        EXPECT_EQ(fake::clock.SleptMs, wait);
        EXPECT_EQ(Since(start), wait * 1000ull);
        ASSERT_FALSE(fake::clock.Sleeps.empty());
        EXPECT_EQ(fake::clock.Sleeps.size(), (wait + 19) / 20);
        // Every step but the last is a full one; the last is what remains.
        for (size_t i = 0; i + 1 < fake::clock.Sleeps.size(); i++)
            EXPECT_EQ(fake::clock.Sleeps[i], 20u) << "step " << i;
        EXPECT_GE(fake::clock.Sleeps.back(), 1u);
        EXPECT_LE(fake::clock.Sleeps.back(), 20u);
        EXPECT_EQ(fake::clock.Sleeps.back(), wait % 20 == 0 ? 20 : wait % 20);
    }
}

TEST_F(PacingWaitTest, NoWaitNoSleep)
{
    PacingWait(0, fake::clock.Counter());
    EXPECT_TRUE(fake::clock.Sleeps.empty());
}

// The wait counts from its start (when the echo returned): what passed
// since then, reporting and sounding the echo, is taken off the sleeps.  The
// tick count plays no part: where it wraps the wait is the same.
TEST_F(PacingWaitTest, TimeSinceTheStartCounts)
{
    struct { DWORD gone; DWORD slept; size_t sleeps; } cases[] = {
        { 0, 250, 13 }, { 7, 243, 13 }, { 10, 240, 12 }, { 249, 1, 1 },
        { 250, 0, 0 }, { 5000, 0, 0 },
    };
    for (ULONGLONG base : { 100000ull, 0xFFFFFFFCull, 0xFFFFFF06ull }) {
        for (auto &c : cases) {
            SCOPED_TRACE(std::to_string(c.gone) + " ms gone from " + std::to_string(base));
            InstallFakeWorld();
            fake::clock.Now = base * 1000;
            ULONGLONG clock = fake::clock.Now;
            LONGLONG start = fake::clock.Counter();
            fake::clock.Now += c.gone * 1000ull;
            SysResetCounts();
            PacingWait(250, start);
            EXPECT_EQ(fake::clock.SleptMs, c.slept);
            EXPECT_EQ(fake::clock.Sleeps.size(), c.sleeps);
            EXPECT_EQ(Since(clock), (c.gone > 250 ? c.gone : 250) * 1000ull);
            EXPECT_EQ(g_sysCallCount[SYS_GetTickCount], 0u);
        }
    }
}

// On time and never early, whatever the counter's frequency (10 MHz, the
// 3.579545 MHz of a power-management timer, a processor's clock, a coarse
// 1 kHz) and however late or early the sleeps end: sleeps that end early are
// made up, late ones are learned and the last of them kept that far from the
// deadline, the rest yielded away.
TEST_F(PacingWaitTest, OnTimeWhateverTheCounterAndTheSleeps)
{
    const LONGLONG frequencies[] = { 10000000, 3579545, 2994733000, 1000 };
    struct { int lateUs; DWORD wait; } cases[] = {
        { 0, 250 }, { 60, 250 }, { 999, 250 }, { 1500, 1000 }, { -300, 250 }, { 60, 21 },
    };
    for (LONGLONG frequency : frequencies) {
        for (auto &c : cases) {
            SCOPED_TRACE(std::to_string(frequency) + " Hz, sleeps " + std::to_string(c.lateUs) +
                         " us late, " + std::to_string(c.wait) + " ms");
            InstallFakeWorld();
            fake::clock.CounterFrequency = frequency;
            fake::clock.SleepLateUs = c.lateUs;
            ULONGLONG clock = fake::clock.Now;
            PacingWait(c.wait, fake::clock.Counter());
            // A reading lags the clock by less than one count, and the
            // lateness learned from two readings by less than one more.
            ULONGLONG count = static_cast<ULONGLONG>(1000000 / frequency);
            EXPECT_GE(Since(clock) + count, c.wait * 1000ull) << "early";
            EXPECT_LE(Since(clock), c.wait * 1000ull + 2 * count + fake::clock.YieldUs) << "late";
            EXPECT_TRUE(fake::clock.Pauses().empty()) << "a sleep over 20 ms";
        }
    }
}

// Sleeps that end whole milliseconds late: the last one keeps that far
// from the deadline, up to 2 ms; beyond that the timer is taken as coarse
// and the wait ends late rather than yield for longer.
TEST_F(PacingWaitTest, LateSleepsAreMadeUpByTheLastStep)
{
    struct { DWORD late; DWORD latest; } cases[] = {
        { 1, 0 }, { 2, 0 }, { 3, 1 }, { 7, 5 }, { 16, 14 },
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.late);
        InstallFakeWorld();
        fake::clock.SleepLateUs = c.late * 1000;
        ULONGLONG clock = fake::clock.Now;
        PacingWait(250, fake::clock.Counter());
        EXPECT_GE(Since(clock), 250000u);
        EXPECT_LE(Since(clock), 250000u + c.latest * 1000 + fake::clock.YieldUs);
        EXPECT_LT(fake::clock.SleptMs, 250u);
        EXPECT_TRUE(fake::clock.Pauses().empty()) << "a sleep over 20 ms";
    }
}

// The flags are looked at after every step: an event during the n-th sleep
// ends the wait right after it.
TEST_F(PacingWaitTest, InterruptEndsTheWaitAfterTheStep)
{
    struct { size_t at; DWORD event; } cases[] = {
        { 1, CTRL_C_EVENT }, { 7, CTRL_C_EVENT }, { 7, CTRL_BREAK_EVENT },
        { 12, CTRL_C_EVENT }, { 13, CTRL_BREAK_EVENT },
    };
    for (auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.at) + " event " + std::to_string(c.event));
        InstallFakeWorld();
        InterruptFlags = 0;
        fake::console.Events = { { c.at, c.event } };
        PacingWait(250, fake::clock.Counter());
        EXPECT_EQ(fake::clock.Sleeps.size(), c.at);
        EXPECT_EQ(InterruptFlags, c.event == CTRL_C_EVENT ? INTERRUPT_CTRL_C : INTERRUPT_CTRL_BREAK);
    }
}

TEST_F(PacingWaitTest, FlagsAlreadySetMeanNoWait)
{
    InterruptFlags = INTERRUPT_CTRL_BREAK;
    PacingWait(250, fake::clock.Counter());
    EXPECT_TRUE(fake::clock.Sleeps.empty());

    // The list-output flag counts only while it stands for Control-C.
    InterruptFlags = 0;
    ListBreakFlag = 1;
    ListBreakMeansInterrupt = true;
    PacingWait(250, fake::clock.Counter());
    EXPECT_TRUE(fake::clock.Sleeps.empty());
    EXPECT_EQ(InterruptFlags, INTERRUPT_CTRL_C);
    EXPECT_EQ(ListBreakFlag, 0);
}

TEST_F(PacingWaitTest, ListBreakBetweenSteps)
{
    fake::console.Events = { { 4, fake::ListBreak } };
    ListBreakMeansInterrupt = true;
    PacingWait(250, fake::clock.Counter());
    EXPECT_EQ(fake::clock.Sleeps.size(), 4u);
    EXPECT_EQ(InterruptFlags, INTERRUPT_CTRL_C);

    // Not standing for Control-C: the wait runs its full length.
    InstallFakeWorld();
    InterruptFlags = 0;
    ListBreakMeansInterrupt = false;
    fake::console.Events = { { 4, fake::ListBreak } };
    PacingWait(250, fake::clock.Counter());
    EXPECT_EQ(fake::clock.SleptMs, 250u);
    EXPECT_EQ(InterruptFlags, 0);
}

// A counter that stands still, steps back or cannot be read ends the wait
// no later than the sleeps add up to what remained at its last good
// reading: a sleep never ends early.  A counter that jumps ahead ends it.
TEST_F(PacingWaitTest, CounterThatJumpsOrStopsEndsTheWait)
{
    struct {
        const char *what;
        size_t runsFor;     // sleeps the clock follows, then stands still
        DWORD overshoot;    // while it runs, every sleep lasts this many ms longer
        size_t jumpAt;      // the n-th sleep (1-based) moves it by jumpBy ms besides
        DWORD jumpBy;       // (a negative number as its 32-bit complement)
        bool unreadable;    // QueryPerformanceCounter fails
        DWORD slept;        // what the wait sleeps in all
    } cases[] = {
        { "stands still", 0, 0, 0, 0, false, 250 },
        { "stands still after 5 late sleeps", 5, 4, 0, 0, false, 230 },
        { "stands still after 3 very late sleeps", 3, 10, 0, 0, false, 220 },
        { "stands still, then steps back", 0, 0, 1, 0u - 5000, false, 250 },
        { "steps back, still after the start", MaxSleeps, 0, 5, 0u - 90, false, 250 },
        { "steps back to before the start", MaxSleeps, 0, 3, 0u - 100, false, 250 },
        { "jumps ahead a minute", MaxSleeps, 0, 2, 60000, false, 40 },
        { "jumps ahead just to the end", MaxSleeps, 0, 1, 230, false, 20 },
        { "jumps ahead by weeks", MaxSleeps, 0, 3, 0x7FFFFFFFu, false, 60 },
        { "cannot be read", MaxSleeps, 0, 0, 0, true, 250 },
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        InstallFakeWorld();
        InterruptFlags = 0;
        if (c.unreadable)
            FailEntry(SYS_QueryPerformanceCounter);
        fake::clock.FollowsSleeps = c.runsFor;
        fake::clock.SleepLateUs = static_cast<int>(c.overshoot) * 1000;
        fake::clock.JumpAt = c.jumpAt;
        fake::clock.JumpUs = static_cast<LONGLONG>(static_cast<LONG>(c.jumpBy)) * 1000;
        fake::console.Events = { { MaxSleeps, CTRL_C_EVENT } };
        PacingWait(250, fake::clock.Counter());
        EXPECT_LT(fake::clock.Sleeps.size(), MaxSleeps) << "the wait did not end by itself";
        EXPECT_EQ(fake::clock.SleptMs, c.slept);
        EXPECT_EQ(InterruptFlags, 0);
        EXPECT_TRUE(fake::clock.Pauses().empty()) << "a sleep over 20 ms";
    }
}

// The step after a sleep: whole milliseconds that end before the deadline
// even when the sleep is as late as sleeps have been; a yield (0) below
// that; on a counter that does not move, what remains rounded up.  All in
// counts of a 10 MHz counter.
TEST(WaitStepTest, StepsLearnedLatenessAndYields)
{
    const LONGLONG Ms = 10000;
    struct { LONGLONG remaining; DWORD late; bool moves; DWORD step; } cases[] = {
        { 250 * Ms, 0, true, 20 },       { 20 * Ms, 0, true, 20 },
        { 19 * Ms, 0, true, 19 },        { 1 * Ms, 0, true, 1 },
        { Ms / 2, 0, true, 0 },          { 0, 0, true, 0 },
        { -5, 0, true, 0 },              { 250 * Ms, 1, true, 20 },
        { 21 * Ms, 1, true, 20 },        { 21 * Ms - 1, 1, true, 19 },
        { 2 * Ms, 1, true, 1 },          { 2 * Ms - 1, 1, true, 0 },
        { 3 * Ms, 2, true, 1 },          { 3 * Ms - 1, 2, true, 0 },
        { 19 * Ms + 2000, 0, false, 20 }, { 3000, 0, false, 1 },
        { 250 * Ms, 2, false, 20 },      { 5 * Ms, 0, false, 5 },
    };
    for (auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.remaining) + " counts, " + std::to_string(c.late) +
                     " ms late" + (c.moves ? "" : ", standing"));
        ClockWait wait = { 10000000, 1000 * Ms, 1000 * Ms - c.remaining, 5, c.moves, c.late, 20 };
        EXPECT_EQ(NextSleep(&wait), c.step);
    }
    // A pause takes its length in one sleep.
    ClockWait pause = { 10000000, 1750 * Ms, 0, 5, true, 0, 1750 };
    EXPECT_EQ(NextSleep(&pause), 1750u);
}

TEST(WaitStepTest, AfterAStep)
{
    const LONGLONG Ms = 10000;
    struct {
        const char *what;
        LONGLONG last, now;
        LONGLONG asked;
        LONGLONG elapsed;   // counts added
        bool moves;
        DWORD late;         // learned, from 0
    } cases[] = {
        { "on time", 100, 100 + 20 * Ms, 20 * Ms, 20 * Ms, true, 0 },
        { "a little late", 100, 100 + 20 * Ms + 600, 20 * Ms, 20 * Ms + 600, true, 1 },
        { "a timer tick late", 100, 100 + 35 * Ms, 20 * Ms, 35 * Ms, true, 2 },
        { "early", 100, 100 + 19 * Ms, 20 * Ms, 19 * Ms, true, 0 },
        { "a yield", 100, 100 + 30, 0, 30, true, 0 },
        { "standing", 100, 100, 20 * Ms, 20 * Ms, false, 0 },
        { "standing, a step of counts", 100, 100, 1234, 1234, false, 0 },
        { "a standing yield", 100, 100, 0, 0, false, 0 },
        { "stepped back", 100, 50, 20 * Ms, 20 * Ms, false, 0 },
        { "unreadable", 100, 0, 20 * Ms, 20 * Ms, false, 0 },
        { "no reading before", 0, 100, 20 * Ms, 20 * Ms, false, 0 },
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        ClockWait wait = { 10000000, 1000 * Ms, 7, c.last, true, 0, 20 };
        AfterWait(&wait, c.asked, c.now);
        EXPECT_EQ(wait.Elapsed, 7 + c.elapsed);
        EXPECT_EQ(wait.Moves, c.moves);
        EXPECT_EQ(wait.LateMs, c.late);
        EXPECT_EQ(wait.Last, c.now != 0 ? c.now : c.last);
    }
}

// The clock's reading after every step of a wait.
std::vector<ULONGLONG> wakes;

void NoteWake(DWORD)
{
    wakes.push_back(fake::clock.Now);
}

// The run's timer as the system has it: a high-resolution timer (on time to
// its accuracy, or a little before by the counter, which is made up), or
// none, and then sleeps at 1 ms resolution or at the default; a timer that
// fails is given up for the sleeps.  Whichever, a wait ends on time and
// never before, every step is at most 20 ms so that Control-C is seen within
// that, no timer resolution is held beside a timer, and nothing stays open.
TEST_F(PacingWaitTest, OnTheRunTimerAsTheSystemHasIt)
{
    struct {
        const char *what;
        bool refuseHighRes, refuseFine;
        int timerLateUs, sleepLateUs;
        SysId failing;       // SYS_COUNT: none
        bool onTimer;        // every step a wait on the timer
        int begins;          // timeBeginPeriod calls
        ULONGLONG latestUs;  // a wait ends at most this late
    } cases[] = {
        { "high-resolution timer", false, false, 0, 0, SYS_COUNT, true, 0, 0 },
        { "high-resolution timer, 0.5 ms late", false, false, 500, 0, SYS_COUNT, true, 0, 500 },
        { "high-resolution timer, 30 us early", false, false, -30, 0, SYS_COUNT, true, 0, 1 },
        { "1 ms resolution", true, false, 0, 999, SYS_COUNT, false, 1, 50 },
        { "the default resolution", true, true, 0, 0, SYS_COUNT, false, 1, 0 },
        { "the timer cannot be set", false, false, 0, 0, SYS_SetWaitableTimer, false, 1, 0 },
        { "waits on the timer fail", false, false, 0, 0, SYS_WaitForSingleObject, false, 1, 0 },
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        InstallFakeWorld();
        InterruptFlags = 0;
        fake::clock.RefuseHighResTimer = c.refuseHighRes;
        fake::clock.RefuseFineTimer = c.refuseFine;
        fake::clock.TimerLateUs = c.timerLateUs;
        fake::clock.SleepLateUs = c.sleepLateUs;
        if (c.failing != SYS_COUNT)
            FailEntry(c.failing);
        wakes.clear();
        fake::clock.OnSleep.push_back(NoteWake);
        SysResetCounts();
        BeginRunTimer();

        ULONGLONG start = fake::clock.Now;
        PacingWait(250, fake::clock.Counter());
        EXPECT_GE(Since(start), 250000u) << "early";
        EXPECT_LE(Since(start), 250000u + c.latestUs) << "late";
        ASSERT_FALSE(wakes.empty());
        ULONGLONG longest = wakes[0] - start;
        for (size_t i = 1; i < wakes.size(); i++)
            longest = std::max(longest, wakes[i] - wakes[i - 1]);
        EXPECT_LE(longest, 20000u + std::max(c.timerLateUs, c.sleepLateUs)) << "a step over 20 ms";

        // Control-C in the seventh step ends the next wait after it.
        size_t before = fake::clock.Sleeps.size();
        fake::console.Events = { { before + 7, CTRL_C_EVENT } };
        PacingWait(250, fake::clock.Counter());
        EXPECT_EQ(fake::clock.Sleeps.size(), before + 7);
        EXPECT_EQ(InterruptFlags, INTERRUPT_CTRL_C);

        EXPECT_EQ(fake::clock.TimerWaits, c.onTimer ? fake::clock.Sleeps.size() : 0u);
        if (c.onTimer) {
            EXPECT_EQ(g_sysCallCount[SYS_Sleep], 0u) << "slept or yielded beside the timer";
        }
        EXPECT_EQ(fake::clock.TimerCreates, 1);
        EXPECT_EQ(fake::clock.PeriodBegins, c.begins);
        EXPECT_EQ(fake::clock.FinePeriods, c.begins != 0 && !c.refuseFine ? 1 : 0);
        EndRunTimer();
        EXPECT_EQ(fake::clock.TimersOpen(), 0u);
        EXPECT_EQ(fake::clock.FinePeriods, 0) << "the resolution outlives the run";
        InterruptFlags = 0;
    }
}

}  // namespace
