// Whole SONARO runs as they sound and keep time: the MIDI messages and their
// pitch, the sound options, the pauses, the pacing on the fake clock and the
// timer of a run.
#include "fakeworld.h"
#include "ping/echorun.h"

using EchoBeatTest = FakeWorldTest;

TEST_F(EchoBeatTest, MidiMessagesOfARun)
{
    fake::icmp.Script = { fake::Good(0), fake::Lost(IP_REQ_TIMED_OUT), fake::Good(120),
                     fake::WithStatus(IP_DEST_HOST_UNREACHABLE) };
    EXPECT_EQ(CallEntry(sonaro, L"/n:4 /z:250 nohost.invalid 127.0.0.1"), 2);
    EXPECT_EQ(fake::MidiText(fake::midi.Messages),
              "0072C5 "            // Steel Drums, program 114, before anything else
              "003A89 603A99 "     // no address: Vibraslap
              "004885 604895 "     // 0 ms: key 72
              "004289 604299 "     // lost: Low Timbale
              "003C85 603C95 "     // 120 ms: key 60
              "004289 604299 "     // unreachable: Low Timbale
              "007BB5 007BB9");    // all notes off, melodic then drums
    // The operational error pauses 1000 ms; the last wait was the error
    // snooze of 650 ms, topped up to 1750.
    EXPECT_EQ(fake::clock.Pauses(), std::vector<DWORD>({ 1000, 1100 }));
    EXPECT_WTEXT(L"Sonaro plugin: Can\x2019t find an address for host nohost.invalid.\r\n", CapturedErr());
}

TEST_F(EchoBeatTest, PitchFollowsTheRoundTripTime)
{
    struct { ULONG time; int key; } cases[] = {
        { 0, 72 },  { 1, 71 },  { 2, 69 },  { 5, 67 },   { 6, 65 },  { 10, 65 },
        { 11, 64 }, { 50, 64 }, { 51, 62 }, { 100, 62 }, { 101, 60 },
    };
    for (auto &c : cases)
        fake::icmp.Script.push_back(fake::Good(c.time));
    EXPECT_EQ(CallEntry(sonaro, L"/n:11 127.0.0.1"), 0);
    ASSERT_EQ(fake::midi.Messages.size(), 1 + 2 * 11 + 2u);
    for (size_t i = 0; i < 11; i++) {
        EXPECT_EQ(fake::midi.Messages[1 + 2 * i], 0x85u + cases[i].key * 256) << cases[i].time << " ms";
        EXPECT_EQ(fake::midi.Messages[2 + 2 * i], 0x95u + cases[i].key * 256 + 0x600000)
            << cases[i].time << " ms";
    }
}

TEST_F(EchoBeatTest, SoundOptions)
{
    struct { const wchar_t *line; std::vector<fake::Echo> echoes; const char *midi; } cases[] = {
        { L"/n:1 /g:1 /o:0 127.0.0.1", { fake::Good(0) },
          "0000C5 000C85 600C95 007BB5 007BB9" },
        { L"/n:1 /g:128 /o:9 127.0.0.1", { fake::Good(0) },
          "007FC5 007885 607895 007BB5 007BB9" },
        { L"/n:2 /e:0 127.0.0.1", { fake::Lost(IP_REQ_TIMED_OUT), fake::Good(200) },
          "0072C5 003C85 603C95 007BB5 007BB9" },
        { L"/n:1 /e:81 127.0.0.1", { fake::Lost(IP_REQ_TIMED_OUT) },
          "0072C5 005189 605199 007BB5 007BB9" },
        { L"/n:1 /x:0 nohost.invalid 127.0.0.1", { fake::Good(0) },
          "0072C5 004885 604895 007BB5 007BB9" },
    };
    for (auto &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        InstallFakeWorld();
        fake::icmp.Script = c.echoes;
        CallEntry(sonaro, c.line);
        EXPECT_EQ(fake::MidiText(fake::midi.Messages), c.midi) << Narrow(c.line);
    }
    // /X:0: no drum and no pause for the host without an address.
    EXPECT_EQ(fake::clock.Pauses(), std::vector<DWORD>({ 750 }));
}

TEST_F(EchoBeatTest, SilentRunsSendNothingAndDoNotPause)
{
    fake::icmp.Script = { fake::Good(0), fake::Lost(IP_REQ_TIMED_OUT) };
    EXPECT_EQ(CallEntry(sonaro, L"/q /n:2 nohost.invalid 127.0.0.1"), 2);
    EXPECT_TRUE(fake::midi.Messages.empty());
    EXPECT_TRUE(fake::clock.Pauses().empty());

    // No shared handle, or NoMidi in the registry: the same.
    InstallFakeWorld();
    fake::InstallMidi(false);
    EXPECT_EQ(CallEntry(sonaro, L"/n:1 127.0.0.1"), 0);
    EXPECT_TRUE(fake::clock.Pauses().empty());

    InstallFakeWorld();
    SetRegistryDword(HKEY_CURRENT_USER, TEST_SETTINGS_KEY, L"NoMidi", 1);
    EXPECT_EQ(CallEntry(sonaro, L"/n:1 127.0.0.1"), 0);
    EXPECT_TRUE(fake::midi.Messages.empty());
    EXPECT_TRUE(fake::clock.Pauses().empty());
}

TEST_F(EchoBeatTest, ClosingPause)
{
    struct { const wchar_t *line; fake::Echo last; std::vector<DWORD> pauses; } cases[] = {
        { L"/n:1 /z:250 127.0.0.1", fake::Good(0), { 1500 } },
        { L"/n:1 /z:1750 127.0.0.1", fake::Good(0), {} },
        { L"/n:1 /z:2000 127.0.0.1", fake::Good(0), {} },
        { L"/n:1 /z:2000 127.0.0.1", fake::Lost(IP_REQ_TIMED_OUT), { 1100 } },
    };
    for (auto &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        InstallFakeWorld();
        fake::icmp.Script = { c.last };
        CallEntry(sonaro, c.line);
        EXPECT_EQ(fake::clock.Pauses(), c.pauses) << Narrow(c.line);
    }
    SetRegistryDword(HKEY_CURRENT_USER, TEST_SETTINGS_KEY, L"ErrorSnooze", 10000);
    InstallFakeWorld();
    fake::icmp.Script = { fake::Lost(IP_REQ_TIMED_OUT) };
    CallEntry(sonaro, L"/n:1 127.0.0.1");
    EXPECT_TRUE(fake::clock.Pauses().empty());
    EXPECT_EQ(fake::clock.PacingSteps(), 500u);
    EXPECT_EQ(fake::clock.PacedMs(), 10000u);
}

// The tick count wraps in the middle of the run: the waits, timed on the
// performance counter, are the same.
TEST_F(EchoBeatTest, PacingWaitsAcrossTheTickWrap)
{
    fake::clock.Now = 0xFFFFFF00ull * 1000;
    fake::icmp.Script = { fake::Good(0), fake::Lost(IP_REQ_TIMED_OUT) };
    CallEntry(sonaro, L"/n:2 /z:250 /q 127.0.0.1");
    // 250 ms: 13 steps; the error snooze of 650 ms: 33 steps.  The lost
    // echo took its time-out of 3000 ms.
    EXPECT_EQ(fake::clock.PacingSteps(), 13u + 33);
    EXPECT_EQ(fake::clock.PacedMs(), 250u + 650);
    EXPECT_EQ(fake::clock.Now, (0xFFFFFF00ull + 250 + 3000 + 650) * 1000);
}

// A beat is the echo plus the wait: the wait counts from the echo's return,
// so the time the report and the note take comes off the waits.  So on the
// high-resolution timer, to its accuracy, and on sleeps without it.
TEST_F(EchoBeatTest, BeatIsTheEchoPlusTheWait)
{
    struct { const char *what; bool refused; int timerLateUs, sleepLateUs; ULONGLONG latestUs; } cases[] = {
        { "high-resolution timer", false, 0, 0, 0 },
        { "high-resolution timer, 0.5 ms late", false, 500, 0, 500 },
        { "sleeps at 1 ms resolution, late", true, 0, 999, 50 },
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        InstallFakeWorld();
        fake::clock.RefuseHighResTimer = c.refused;
        fake::clock.TimerLateUs = c.timerLateUs;
        fake::clock.SleepLateUs = c.sleepLateUs;
        fake::icmp.EchoMs = 30;
        fake::midi.MessageMs = 3;  // a note is two messages
        fake::icmp.Script = { fake::Good(0), fake::Lost(IP_REQ_TIMED_OUT), fake::Good(0) };
        EXPECT_EQ(CallEntry(sonaro, L"/n:3 /z:250 127.0.0.1"), 0);
        ASSERT_EQ(fake::icmp.EchoStarts.size(), 3u);
        ULONGLONG beats[] = { fake::icmp.EchoStarts[1] - fake::icmp.EchoStarts[0],
                              fake::icmp.EchoStarts[2] - fake::icmp.EchoStarts[1] };
        EXPECT_GE(beats[0], (30u + 250) * 1000);
        EXPECT_LE(beats[0], (30u + 250) * 1000 + c.latestUs);
        EXPECT_GE(beats[1], (3000u + 650) * 1000) << "a time-out takes the whole time-out";
        EXPECT_LE(beats[1], (3000u + 650) * 1000 + c.latestUs);
        if (c.latestUs == 0) {
            EXPECT_EQ(fake::clock.PacedMs(), 2u * 250 + 650 - 3 * 6);
        }
    }
}

// The run takes the high-resolution timer before its first wait, and no
// timer resolution beside it; where the system has none, it asks for 1 ms
// timer resolution instead.  Whichever way the run ends, the timer is closed
// and the resolution given back before the command returns, and every wait
// and pause is on the timer or at that resolution.  A refused request is not
// ended.
TEST_F(EchoBeatTest, RunTimerForTheRunOnly)
{
    struct {
        const char *what;
        const wchar_t *line;
        int failMalloc;
        bool console;
        std::vector<std::pair<size_t, DWORD>> events;
        bool highResRefused, fineRefused;
        int result;
        int begins;   // run timers begun: 0 or 1
    } cases[] = {
        { "replies", L"/n:2 /z:250 127.0.0.1", 0, false, {}, false, false, 0, 1 },
        { "set-up failure", L"127.0.0.1", 1, false, {}, false, false, 2, 1 },
        { "no address", L"/n:1 nohost.invalid", 0, false, {}, false, false, 2, 1 },
        { "Control-C", L"/t /z:250 /d 127.0.0.1", 0, true, { { 30, CTRL_C_EVENT } }, false, false,
          0, 1 },
        { "list-output break", L"/t 127.0.0.1", 0, false, { { 5, fake::ListBreak } }, false,
          false, 0, 1 },
        { "missing host", L"/n:2", 0, false, {}, false, false, 1, 0 },
        { "usage", L"/?", 0, false, {}, false, false, 0, 0 },
        { "bad option", L"/n:x 127.0.0.1", 0, false, {}, false, false, 1, 0 },
        { "no high-resolution timer", L"/n:2 /z:250 127.0.0.1", 0, false, {}, true, false, 0, 1 },
        { "no high-resolution timer, Control-C", L"/t /z:250 /d 127.0.0.1", 0, true,
          { { 30, CTRL_C_EVENT } }, true, false, 0, 1 },
        { "neither timer nor resolution", L"/n:2 /z:250 127.0.0.1", 0, false, {}, true, true, 0,
          1 },
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        InstallFakeWorld();
        fake::heap.FailMallocAt = c.failMalloc;
        fake::console.StdOutConsole = c.console;
        fake::console.Events = c.events;
        fake::clock.RefuseHighResTimer = c.highResRefused;
        fake::clock.RefuseFineTimer = c.fineRefused;
        EXPECT_EQ(CallEntry(sonaro, c.line), c.result);
        EXPECT_EQ(fake::clock.TimerCreates, c.begins);
        EXPECT_EQ(fake::clock.TimersOpen(), 0u) << "the timer outlives the command";
        EXPECT_EQ(fake::clock.PeriodBegins, c.highResRefused ? c.begins : 0);
        EXPECT_EQ(fake::clock.PeriodEnds, c.highResRefused && !c.fineRefused ? c.begins : 0);
        EXPECT_EQ(fake::clock.FinePeriods, 0) << "the resolution outlives the command";
        if (!c.events.empty()) {
            EXPECT_EQ(fake::clock.Sleeps.size(), c.events[0].first + 1) << "the closing pause";
        }
        if (c.highResRefused) {
            EXPECT_EQ(fake::clock.TimerWaits, 0u);
            EXPECT_FALSE(fake::clock.Sleeps.empty());
            EXPECT_EQ(fake::clock.CoarseSleeps, c.fineRefused ? fake::clock.Sleeps.size() : 0u);
        } else {
            EXPECT_EQ(fake::clock.TimerWaits, fake::clock.Sleeps.size()) << "a sleep beside the timer";
        }
    }
}
