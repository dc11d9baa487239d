// The pacing wait against the scripted clock: steps, the last short sleep,
// interrupts between steps, and clocks that wrap, stand still or jump.
#include "fakeworld.h"
#include "ping/echorun.h"
#include "ping/interrupt.h"
#include "console/conlist.h"

#include <numeric>

using fakeping::world;

namespace {

DWORD Slept()
{
    return std::accumulate(world.Sleeps.begin(), world.Sleeps.end(), DWORD(0));
}

// Clocks that do not simply follow the sleeps.  Each Sleep is recorded; a
// wait that never ends is stopped by Control-C after MaxSleeps, and the
// test then fails on the count.
const size_t MaxSleeps = 100000;
size_t RunsFor;      // the clock follows this many sleeps, then stands still
DWORD Overshoot;     // while it runs, every sleep lasts this much longer
size_t JumpAt;       // the n-th sleep (1-based) moves it by JumpBy besides
DWORD JumpBy;

void WINAPI OddSleep(DWORD ms)
{
    world.Sleeps.push_back(ms);
    if (world.Sleeps.size() <= RunsFor)
        world.Now += ms + Overshoot;
    if (world.Sleeps.size() == JumpAt)
        world.Now += JumpBy;
    if (world.Sleeps.size() >= MaxSleeps)
        InterlockedOr(&InterruptFlags, INTERRUPT_CTRL_C);
}

class PacingWaitTest : public PingRunTest {
protected:
    void SetUp() override
    {
        PingRunTest::SetUp();
        InterruptFlags = 0;
        ListBreakFlag = 0;
        ListBreakMeansInterrupt = false;
        RunsFor = MaxSleeps;
        JumpAt = 0;
        JumpBy = 0;
        Overshoot = 0;
    }
    void TearDown() override
    {
        InterruptFlags = 0;
        ListBreakFlag = 0;
        ListBreakMeansInterrupt = false;
        PingRunTest::TearDown();
    }
};

TEST_F(PacingWaitTest, SleepsAddUpToTheWaitInStepsOfAtMost20)
{
    const DWORD waits[] = { 250, 1000, 650, 10000, 20, 21, 39, 40, 41, 19, 1 };
    for (DWORD wait : waits) {
        SCOPED_TRACE(wait);
        fakeping::Install();
        DWORD start = world.Now;
        PacingWait(wait, world.Now);
        EXPECT_EQ(Slept(), wait);
        EXPECT_EQ(world.Now - start, wait);
        ASSERT_FALSE(world.Sleeps.empty());
        EXPECT_EQ(world.Sleeps.size(), (wait + 19) / 20);
        // Every step but the last is a full one; the last is what remains.
        for (size_t i = 0; i + 1 < world.Sleeps.size(); i++)
            EXPECT_EQ(world.Sleeps[i], 20u) << "step " << i;
        EXPECT_GE(world.Sleeps.back(), 1u);
        EXPECT_LE(world.Sleeps.back(), 20u);
        EXPECT_EQ(world.Sleeps.back(), wait % 20 == 0 ? 20 : wait % 20);
    }
}

TEST_F(PacingWaitTest, NoWaitNoSleep)
{
    PacingWait(0, world.Now);
    EXPECT_TRUE(world.Sleeps.empty());
}

// The wait counts from its start tick (when the echo returned): what passed
// since then, reporting and sounding the echo, is taken off the sleeps.
TEST_F(PacingWaitTest, TimeSinceTheStartCounts)
{
    struct { DWORD gone; DWORD slept; size_t sleeps; } cases[] = {
        { 0, 250, 13 }, { 7, 243, 13 }, { 10, 240, 12 }, { 249, 1, 1 },
        { 250, 0, 0 }, { 5000, 0, 0 },
    };
    for (DWORD base : { 100000u, 0xFFFFFFFCu }) {
        for (auto &c : cases) {
            SCOPED_TRACE(std::to_string(c.gone) + " ms gone from " + std::to_string(base));
            fakeping::Install();
            world.Now = base;
            DWORD start = world.Now;
            world.Now += c.gone;
            PacingWait(250, start);
            EXPECT_EQ(Slept(), c.slept);
            EXPECT_EQ(world.Sleeps.size(), c.sleeps);
            EXPECT_EQ(world.Now - start, c.gone > 250 ? c.gone : 250);
        }
    }
}

TEST_F(PacingWaitTest, AcrossTheTickWrap)
{
    const DWORD starts[] = { 0xFFFFFFFFu, 0xFFFFFFF6u, 0xFFFFFF00u, 0xFFFFFFFFu - 249 };
    for (DWORD start : starts) {
        SCOPED_TRACE(start);
        fakeping::Install();
        world.Now = start;
        PacingWait(250, start);
        EXPECT_EQ(Slept(), 250u);
        EXPECT_EQ(world.Sleeps.size(), 13u);
        EXPECT_EQ(world.Now, start + 250);
    }
}

// Sleeps that last longer than asked: the wait still ends by the clock, the
// last sleep cut to what the clock says remains.
TEST_F(PacingWaitTest, LateSleepsAreMadeUpByTheLastStep)
{
    const DWORD overshoots[] = { 1, 3, 7, 16 };
    for (DWORD late : overshoots) {
        SCOPED_TRACE(late);
        fakeping::Install();
        g_sys.Sleep = OddSleep;
        Overshoot = late;
        DWORD start = world.Now;
        PacingWait(250, world.Now);
        DWORD elapsed = world.Now - start;
        EXPECT_GE(elapsed, 250u);
        EXPECT_LE(elapsed, 250u + late) << "late by no more than one sleep's delay";
        EXPECT_LT(Slept(), 250u);
        for (DWORD ms : world.Sleeps)
            EXPECT_LE(ms, 20u);
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
        fakeping::Install();
        InterruptFlags = 0;
        world.Events = { { c.at, c.event } };
        PacingWait(250, world.Now);
        EXPECT_EQ(world.Sleeps.size(), c.at);
        EXPECT_EQ(InterruptFlags, c.event == CTRL_C_EVENT ? INTERRUPT_CTRL_C : INTERRUPT_CTRL_BREAK);
    }
}

TEST_F(PacingWaitTest, FlagsAlreadySetMeanNoWait)
{
    InterruptFlags = INTERRUPT_CTRL_BREAK;
    PacingWait(250, world.Now);
    EXPECT_TRUE(world.Sleeps.empty());

    // The list-output flag counts only while it stands for Control-C.
    InterruptFlags = 0;
    ListBreakFlag = 1;
    ListBreakMeansInterrupt = true;
    PacingWait(250, world.Now);
    EXPECT_TRUE(world.Sleeps.empty());
    EXPECT_EQ(InterruptFlags, INTERRUPT_CTRL_C);
    EXPECT_EQ(ListBreakFlag, 0);
}

TEST_F(PacingWaitTest, ListBreakBetweenSteps)
{
    world.Events = { { 4, fakeping::ListBreak } };
    ListBreakMeansInterrupt = true;
    PacingWait(250, world.Now);
    EXPECT_EQ(world.Sleeps.size(), 4u);
    EXPECT_EQ(InterruptFlags, INTERRUPT_CTRL_C);

    // Not standing for Control-C: the wait runs its full length.
    fakeping::Install();
    InterruptFlags = 0;
    ListBreakMeansInterrupt = false;
    world.Events = { { 4, fakeping::ListBreak } };
    PacingWait(250, world.Now);
    EXPECT_EQ(Slept(), 250u);
    EXPECT_EQ(InterruptFlags, 0);
}

// A clock that stands still, or that jumps back or far ahead, ends the wait
// no later than the sleeps add up to what remained at its last good reading;
// a clock that reads before the start is taken as wrapped, a long time later.
TEST_F(PacingWaitTest, ClockThatJumpsOrStopsEndsTheWait)
{
    struct {
        const char *what;
        size_t runsFor;     // sleeps the clock follows
        DWORD overshoot;
        size_t jumpAt;
        DWORD jumpBy;
        DWORD slept;        // what the wait sleeps in all
    } cases[] = {
        { "stands still", 0, 0, 0, 0, 250 },
        { "stands still after 5 late sleeps", 5, 4, 0, 0, 230 },
        { "stands still after 3 very late sleeps", 3, 10, 0, 0, 220 },
        { "stands still, then jumps back", 0, 0, 1, 0u - 5000, 20 },
        { "jumps back, still after the start", MaxSleeps, 0, 5, 0u - 90, 250 },
        { "jumps back to before the start", MaxSleeps, 0, 3, 0u - 100, 60 },
        { "jumps ahead a minute", MaxSleeps, 0, 2, 60000, 40 },
        { "jumps ahead just to the end", MaxSleeps, 0, 1, 230, 20 },
        { "jumps ahead by half the counter", MaxSleeps, 0, 3, 0x80000000u, 60 },
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        fakeping::Install();
        InterruptFlags = 0;
        g_sys.Sleep = OddSleep;
        RunsFor = c.runsFor;
        Overshoot = c.overshoot;
        JumpAt = c.jumpAt;
        JumpBy = c.jumpBy;
        PacingWait(250, world.Now);
        EXPECT_LT(world.Sleeps.size(), MaxSleeps) << "the wait did not end by itself";
        EXPECT_EQ(Slept(), c.slept);
        EXPECT_EQ(InterruptFlags, 0);
        for (DWORD ms : world.Sleeps)
            EXPECT_LE(ms, 20u);
    }
}

TEST(PacingStepTest, FullStepsThenWhatRemains)
{
    struct { DWORD wait, elapsed, step; } cases[] = {
        { 250, 0, 20 },   { 250, 229, 20 }, { 250, 230, 20 }, { 250, 231, 19 },
        { 250, 249, 1 },  { 250, 250, 0 },  { 250, 251, 0 },  { 250, 0xFFFFFFFFu, 0 },
        { 0, 0, 0 },      { 5, 0, 5 },      { 0xFFFFFFFFu, 0, 20 },
        { 0xFFFFFFFFu, 0xFFFFFFFEu, 1 },
    };
    for (auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.wait) + " after " + std::to_string(c.elapsed));
        EXPECT_EQ(PacingStep(c.wait, c.elapsed), c.step);
    }
}

}  // namespace
