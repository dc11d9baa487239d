// Whole SONARO runs against the scripted world: output, results, pacing,
// interrupts, set-up failures and the address-family fallback.
#include "fakeworld.h"
#include "ping/echorun.h"
#include "ping/interrupt.h"
#include "console/conlist.h"

#include <algorithm>

using fakeping::world;

namespace {

int Sonaro(const wchar_t *line)
{
    static wchar_t buffer[1024];
    wcsncpy(buffer, line, 1023);
    return sonaro(buffer);
}

std::wstring Header(const wchar_t *shown, const wchar_t *address = nullptr, unsigned size = 64)
{
    wchar_t text[512];
    if (address != nullptr)
        wsprintfW(text, L"\r\nPinging %s [%s] with %u bytes of data:\r\n\r\n", shown, address, size);
    else
        wsprintfW(text, L"\r\nPinging %s with %u bytes of data:\r\n\r\n", shown, size);
    return text;
}

std::wstring Reply(const wchar_t *from, unsigned time = 0, unsigned size = 64)
{
    wchar_t text[256];
    if (time == 0)
        wsprintfW(text, L"Reply from %s: bytes=%u time<1ms TTL=128\r\n", from, size);
    else
        wsprintfW(text, L"Reply from %s: bytes=%u time=%ums TTL=128\r\n", from, size, time);
    return text;
}

std::wstring Stats(const wchar_t *address, unsigned received, unsigned lost, unsigned min = 0,
                   unsigned max = 0, unsigned average = 0)
{
    unsigned sent = received + lost;
    wchar_t text[512];
    int n = wsprintfW(text,
                      L"\r\nPing statistics for %s:\r\n    Packets: Sent = %u, Received = %u, "
                      L"Lost = %u (%u%% loss)\r\n",
                      address, sent, received, lost, lost * 100 / sent);
    if (received != 0)
        wsprintfW(text + n,
                  L"Approximate round trip times in milliseconds:\r\n    Minimum = %ums, "
                  L"Maximum = %ums, Average = %ums\r\n",
                  min, max, average);
    return text;
}

// The pacing wait sleeps at most 20 ms at a time; the longer sleeps are the
// pauses of the sound (operational error, closing ring), in order.
size_t PacingSteps()
{
    return static_cast<size_t>(std::count_if(world.Sleeps.begin(), world.Sleeps.end(),
                                             [](DWORD ms) { return ms <= 20; }));
}

DWORD PacedMs()
{
    DWORD total = 0;
    for (DWORD ms : world.Sleeps)
        if (ms <= 20)
            total += ms;
    return total;
}

std::vector<DWORD> Pauses()
{
    std::vector<DWORD> pauses;
    for (DWORD ms : world.Sleeps)
        if (ms > 20)
            pauses.push_back(ms);
    return pauses;
}

bool Registered(PHANDLER_ROUTINE handler, BOOL add)
{
    for (auto &call : world.CtrlHandlerCalls)
        if (call.first == handler && call.second == add)
            return true;
    return false;
}

const wchar_t *const NoAddress = L"Sonaro plugin: Can\x2019t find an address for host %s.\r\n";

std::wstring NoAddressError(const wchar_t *host)
{
    wchar_t text[256];
    wsprintfW(text, NoAddress, host);
    return text;
}

}  // namespace

using EchoRunTest = PingRunTest;

TEST_F(EchoRunTest, ThreeRepliesAndTheStatistics)
{
    EXPECT_EQ(Sonaro(L"/n:3 /z:250 127.0.0.1"), 0);
    EXPECT_WTEXT(Header(L"127.0.0.1") + Reply(L"127.0.0.1") + Reply(L"127.0.0.1") +
                     Reply(L"127.0.0.1") + Stats(L"127.0.0.1", 3, 0),
                 CapturedOut());
    EXPECT_WTEXT(L"", CapturedErr());
    // Three waits of 250 ms in 20 ms steps, the last one 10 ms, then the
    // last note rings on to 1750 ms in all.
    EXPECT_EQ(PacingSteps(), 3u * 13);
    EXPECT_EQ(PacedMs(), 750u);
    EXPECT_EQ(Pauses(), std::vector<DWORD>({ 1500 }));
    EXPECT_EQ(g_icmp.Opened4, 1);
    EXPECT_EQ(g_icmp.Opened6, 1);
    EXPECT_EQ(g_icmp.Closed, 2);
    EXPECT_EQ(PingStats.Received, 3u);
    // Output is no console: the run's own handler stays out.
    EXPECT_FALSE(Registered(PingCtrlHandler, TRUE));
    EXPECT_EQ(ListHandlerRegistered, false);
}

TEST_F(EchoRunTest, MidiMessagesOfARun)
{
    g_icmp.Script = { fakeping::Good(0), fakeping::Lost(IP_REQ_TIMED_OUT), fakeping::Good(120),
                     fakeping::WithStatus(IP_DEST_HOST_UNREACHABLE) };
    EXPECT_EQ(Sonaro(L"/n:4 /z:250 nohost.invalid 127.0.0.1"), 2);
    EXPECT_EQ(fakeping::MidiText(world.Midi),
              "0072C5 "            // Steel Drums, program 114, before anything else
              "003A89 603A99 "     // no address: Vibraslap
              "004885 604895 "     // 0 ms: key 72
              "004289 604299 "     // lost: Low Timbale
              "003C85 603C95 "     // 120 ms: key 60
              "004289 604299 "     // unreachable: Low Timbale
              "007BB5 007BB9");    // all notes off, melodic then drums
    // The operational error pauses 1000 ms; the last wait was the error
    // snooze of 650 ms, topped up to 1750.
    EXPECT_EQ(Pauses(), std::vector<DWORD>({ 1000, 1100 }));
    EXPECT_WTEXT(NoAddressError(L"nohost.invalid"), CapturedErr());
}

TEST_F(EchoRunTest, PitchFollowsTheRoundTripTime)
{
    struct { ULONG time; int key; } cases[] = {
        { 0, 72 },  { 1, 71 },  { 2, 69 },  { 5, 67 },   { 6, 65 },  { 10, 65 },
        { 11, 64 }, { 50, 64 }, { 51, 62 }, { 100, 62 }, { 101, 60 },
    };
    for (auto &c : cases)
        g_icmp.Script.push_back(fakeping::Good(c.time));
    EXPECT_EQ(Sonaro(L"/n:11 127.0.0.1"), 0);
    ASSERT_EQ(world.Midi.size(), 1 + 2 * 11 + 2u);
    for (size_t i = 0; i < 11; i++) {
        EXPECT_EQ(world.Midi[1 + 2 * i], 0x85u + cases[i].key * 256) << cases[i].time << " ms";
        EXPECT_EQ(world.Midi[2 + 2 * i], 0x95u + cases[i].key * 256 + 0x600000)
            << cases[i].time << " ms";
    }
}

TEST_F(EchoRunTest, SoundOptions)
{
    struct { const wchar_t *line; std::vector<fakeping::Echo> echoes; const char *midi; } cases[] = {
        { L"/n:1 /g:1 /o:0 127.0.0.1", { fakeping::Good(0) },
          "0000C5 000C85 600C95 007BB5 007BB9" },
        { L"/n:1 /g:128 /o:9 127.0.0.1", { fakeping::Good(0) },
          "007FC5 007885 607895 007BB5 007BB9" },
        { L"/n:2 /e:0 127.0.0.1", { fakeping::Lost(IP_REQ_TIMED_OUT), fakeping::Good(200) },
          "0072C5 003C85 603C95 007BB5 007BB9" },
        { L"/n:1 /e:81 127.0.0.1", { fakeping::Lost(IP_REQ_TIMED_OUT) },
          "0072C5 005189 605199 007BB5 007BB9" },
        { L"/n:1 /x:0 nohost.invalid 127.0.0.1", { fakeping::Good(0) },
          "0072C5 004885 604895 007BB5 007BB9" },
    };
    for (auto &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        fakeping::Install();
        g_icmp.Script = c.echoes;
        Sonaro(c.line);
        EXPECT_EQ(fakeping::MidiText(world.Midi), c.midi) << Narrow(c.line);
    }
    // /X:0: no drum and no pause for the host without an address.
    EXPECT_EQ(Pauses(), std::vector<DWORD>({ 750 }));
}

TEST_F(EchoRunTest, SilentRunsSendNothingAndDoNotPause)
{
    g_icmp.Script = { fakeping::Good(0), fakeping::Lost(IP_REQ_TIMED_OUT) };
    EXPECT_EQ(Sonaro(L"/q /n:2 nohost.invalid 127.0.0.1"), 2);
    EXPECT_TRUE(world.Midi.empty());
    EXPECT_TRUE(Pauses().empty());

    // No shared handle, or NoMidi in the registry: the same.
    fakeping::Install(false);
    EXPECT_EQ(Sonaro(L"/n:1 127.0.0.1"), 0);
    EXPECT_TRUE(Pauses().empty());

    fakeping::Install();
    SetRegistryDword(HKEY_CURRENT_USER, TEST_SETTINGS_KEY, L"NoMidi", 1);
    EXPECT_EQ(Sonaro(L"/n:1 127.0.0.1"), 0);
    EXPECT_TRUE(world.Midi.empty());
    EXPECT_TRUE(Pauses().empty());
}

TEST_F(EchoRunTest, ClosingPause)
{
    struct { const wchar_t *line; fakeping::Echo last; std::vector<DWORD> pauses; } cases[] = {
        { L"/n:1 /z:250 127.0.0.1", fakeping::Good(0), { 1500 } },
        { L"/n:1 /z:1750 127.0.0.1", fakeping::Good(0), {} },
        { L"/n:1 /z:2000 127.0.0.1", fakeping::Good(0), {} },
        { L"/n:1 /z:2000 127.0.0.1", fakeping::Lost(IP_REQ_TIMED_OUT), { 1100 } },
    };
    for (auto &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        fakeping::Install();
        g_icmp.Script = { c.last };
        Sonaro(c.line);
        EXPECT_EQ(Pauses(), c.pauses) << Narrow(c.line);
    }
    SetRegistryDword(HKEY_CURRENT_USER, TEST_SETTINGS_KEY, L"ErrorSnooze", 10000);
    fakeping::Install();
    g_icmp.Script = { fakeping::Lost(IP_REQ_TIMED_OUT) };
    Sonaro(L"/n:1 127.0.0.1");
    EXPECT_TRUE(Pauses().empty());
    EXPECT_EQ(PacingSteps(), 500u);
    EXPECT_EQ(PacedMs(), 10000u);
}

// The tick count wraps in the middle of the run: the waits, timed on the
// performance counter, are the same.
TEST_F(EchoRunTest, PacingWaitsAcrossTheTickWrap)
{
    world.Clock = 0xFFFFFF00ull * 1000;
    g_icmp.Script = { fakeping::Good(0), fakeping::Lost(IP_REQ_TIMED_OUT) };
    Sonaro(L"/n:2 /z:250 /q 127.0.0.1");
    // 250 ms: 13 steps; the error snooze of 650 ms: 33 steps.
    EXPECT_EQ(PacingSteps(), 13u + 33);
    EXPECT_EQ(PacedMs(), 250u + 650);
    EXPECT_EQ(world.Clock, (0xFFFFFF00ull + 250 + 650) * 1000);
}

// A beat is the echo plus the wait: the wait counts from the echo's return,
// so the time the report and the note take comes off the sleeps.
TEST_F(EchoRunTest, BeatIsTheEchoPlusTheWait)
{
    world.EchoMs = 30;
    world.MidiMs = 3;  // a note is two messages
    g_icmp.Script = { fakeping::Good(0), fakeping::Lost(IP_REQ_TIMED_OUT), fakeping::Good(0) };
    EXPECT_EQ(Sonaro(L"/n:3 /z:250 127.0.0.1"), 0);
    ASSERT_EQ(world.EchoStarts.size(), 3u);
    EXPECT_EQ(world.EchoStarts[1] - world.EchoStarts[0], (30u + 250) * 1000);
    EXPECT_EQ(world.EchoStarts[2] - world.EchoStarts[1], (30u + 650) * 1000);
    EXPECT_EQ(PacedMs(), 2u * 250 + 650 - 3 * 6);
}

// The run asks for 1 ms timer resolution before its first wait and gives it
// back before the command returns, whichever way the run ends; every wait
// and pause sleeps at that resolution.  A refused request is not ended.
TEST_F(EchoRunTest, FineTimerForTheRunOnly)
{
    struct {
        const char *what;
        const wchar_t *line;
        int failMalloc;
        bool console;
        std::vector<std::pair<size_t, DWORD>> events;
        bool refused;
        int result;
        int begins;
    } cases[] = {
        { "replies", L"/n:2 /z:250 127.0.0.1", 0, false, {}, false, 0, 1 },
        { "set-up failure", L"127.0.0.1", 1, false, {}, false, 2, 1 },
        { "no address", L"/n:1 nohost.invalid", 0, false, {}, false, 2, 1 },
        { "Control-C", L"/t /z:250 /d 127.0.0.1", 0, true, { { 30, CTRL_C_EVENT } }, false, 0,
          1 },
        { "list-output break", L"/t 127.0.0.1", 0, false, { { 5, fakeping::ListBreak } },
          false, 0, 1 },
        { "missing host", L"/n:2", 0, false, {}, false, 1, 0 },
        { "usage", L"/?", 0, false, {}, false, 0, 0 },
        { "bad option", L"/n:x 127.0.0.1", 0, false, {}, false, 1, 0 },
        { "resolution refused", L"/n:2 /z:250 127.0.0.1", 0, false, {}, true, 0, 1 },
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        fakeping::Install();
        world.FailMallocAt = c.failMalloc;
        world.StdOutConsole = c.console;
        world.Events = c.events;
        world.RefuseFineTimer = c.refused;
        EXPECT_EQ(Sonaro(c.line), c.result);
        EXPECT_EQ(world.PeriodBegins, c.begins);
        EXPECT_EQ(world.PeriodEnds, c.refused ? 0 : c.begins);
        EXPECT_EQ(world.FinePeriods, 0) << "the resolution outlives the command";
        if (c.refused)
            EXPECT_FALSE(world.Sleeps.empty());
        else
            EXPECT_EQ(world.CoarseSleeps, 0u) << "slept at the default resolution";
    }
}

// In these the output is a console; /D keeps colours out of the way so that
// the text still goes through the host's output functions.
TEST_F(EchoRunTest, ControlCEndsTheHostAndTheNextOneRuns)
{
    world.StdOutConsole = true;
    // In the third wait of the first host, then in the second of the next.
    world.Events = { { 30, CTRL_C_EVENT }, { 50, CTRL_C_EVENT } };
    EXPECT_EQ(Sonaro(L"/t /z:250 /q /d 127.0.0.1 127.0.0.2"), 0);
    std::wstring first = Header(L"127.0.0.1") + Reply(L"127.0.0.1") + Reply(L"127.0.0.1") +
                         Reply(L"127.0.0.1") + Stats(L"127.0.0.1", 3, 0);
    std::wstring second = Header(L"127.0.0.2") + Reply(L"127.0.0.2") + Reply(L"127.0.0.2") +
                          Stats(L"127.0.0.2", 2, 0);
    EXPECT_WTEXT(first + second, CapturedOut());
    EXPECT_EQ(PacingSteps(), 50u);
    EXPECT_EQ(fakeping::SentTo().size(), 5u);
    EXPECT_TRUE(Registered(PingCtrlHandler, TRUE));
}

TEST_F(EchoRunTest, ControlCWithACountAndTheHandlersRemoved)
{
    world.StdOutConsole = true;
    world.Events = { { 20, CTRL_C_EVENT } };
    EXPECT_EQ(Sonaro(L"/n:4 /z:250 /d 127.0.0.1"), 0);
    EXPECT_WTEXT(Header(L"127.0.0.1") + Reply(L"127.0.0.1") + Reply(L"127.0.0.1") +
                     Stats(L"127.0.0.1", 2, 0),
                 CapturedOut());
    EXPECT_EQ(PacingSteps(), 20u);
    // The cut-short wait still counts as 250 ms for the closing pause.
    EXPECT_EQ(Pauses(), std::vector<DWORD>({ 1500 }));
    EXPECT_TRUE(Registered(PingCtrlHandler, TRUE));
    EXPECT_TRUE(Registered(PingCtrlHandler, FALSE));
    EXPECT_EQ(world.CtrlHandlerCalls.back().first, PingCtrlHandler);
    EXPECT_EQ(world.CtrlHandlerCalls.back().second, FALSE);
}

TEST_F(EchoRunTest, ControlBreakShowsTheFiguresAndGoesOn)
{
    world.StdOutConsole = true;
    world.Events = { { 20, CTRL_BREAK_EVENT } };  // in the second wait
    g_icmp.Script = { fakeping::Good(4), fakeping::Good(8), fakeping::Good(6) };
    EXPECT_EQ(Sonaro(L"/n:3 /z:250 /q /d 127.0.0.1"), 0);
    EXPECT_WTEXT(Header(L"127.0.0.1") + Reply(L"127.0.0.1", 4) + Reply(L"127.0.0.1", 8) +
                     Stats(L"127.0.0.1", 2, 0, 4, 8, 6) + L"\r\n" + Reply(L"127.0.0.1", 6) +
                     Stats(L"127.0.0.1", 3, 0, 4, 8, 6),
                 CapturedOut());
    EXPECT_EQ(PacingSteps(), 13u + 7 + 13);
}

// Without a console the run's handler is not installed; the list-output
// handler's flag then ends the host like Control-C.
TEST_F(EchoRunTest, ListBreakFlagStopsARunWithoutConsole)
{
    world.Events = { { 5, fakeping::ListBreak } };
    EXPECT_EQ(Sonaro(L"/t /q 127.0.0.1"), 0);
    EXPECT_WTEXT(Header(L"127.0.0.1") + Reply(L"127.0.0.1") + Stats(L"127.0.0.1", 1, 0),
                 CapturedOut());
    EXPECT_EQ(ListBreakFlag, 0);
    EXPECT_FALSE(Registered(PingCtrlHandler, TRUE));
    EXPECT_EQ(ListBreakMeansInterrupt, false);
}

// In a console whose run handler could not be registered, Control-C reaches
// only the list-output handler: its flag still ends a continuous run, and no
// reply line is turned into "^C".
TEST_F(EchoRunTest, ListBreakFlagStopsARunWhoseHandlerFailed)
{
    world.StdOutConsole = true;
    world.PingHandlerFails = true;
    // The Control-C at sleep 200 only stops a run that missed the first.
    world.Events = { { 5, fakeping::ListBreak }, { 200, CTRL_C_EVENT } };
    EXPECT_EQ(Sonaro(L"/t /q /d 127.0.0.1"), 0);
    EXPECT_WTEXT(Header(L"127.0.0.1") + Reply(L"127.0.0.1") + Stats(L"127.0.0.1", 1, 0),
                 CapturedOut());
    EXPECT_EQ(ListBreakFlag, 0);
    EXPECT_EQ(ListBreakMeansInterrupt, false);
    // The handler was tried and, not being registered, never removed.
    EXPECT_TRUE(Registered(PingCtrlHandler, TRUE));
    EXPECT_FALSE(Registered(PingCtrlHandler, FALSE));
}

TEST_F(EchoRunTest, SetUpFailures)
{
    struct {
        const wchar_t *line;
        bool icmp4Fails, icmp6Fails;
        int failMalloc;
        const wchar_t *message;
        int closed;
    } cases[] = {
        { L"127.0.0.1", true, false, 0, L"Error opening IPv4 echo-request handle.\r\n", 0 },
        { L"/4 127.0.0.1", true, false, 0, L"Error opening IPv4 echo-request handle.\r\n", 0 },
        { L"127.0.0.1", false, false, 1, L"Error allocating IPv4 reply buffer.\r\n", 1 },
        { L"/6 ::1", false, true, 0, L"Error opening IPv6 echo-request handle.\r\n", 0 },
        { L"/6 /4 ::1", false, true, 0, L"Error opening IPv6 echo-request handle.\r\n", 1 },
        { L"/6 ::1", false, false, 1, L"Error allocating IPv6 reply buffer.\r\n", 1 },
        { L"127.0.0.1", false, false, 2, L"Error allocating IPv6 reply buffer.\r\n", 2 },
        { L"127.0.0.1", false, false, 3, L"Error allocating request data buffer.\r\n", 2 },
        { L"/4 127.0.0.1", false, false, 2, L"Error allocating request data buffer.\r\n", 1 },
    };
    for (auto &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        fakeping::Install();
        ClearCaptured();
        g_icmp.Fail4 = c.icmp4Fails;
        g_icmp.Fail6 = c.icmp6Fails;
        world.FailMallocAt = c.failMalloc;
        EXPECT_EQ(Sonaro(c.line), 2) << Narrow(c.message);
        EXPECT_WTEXT(std::wstring(L"Sonaro plugin: ") + c.message, CapturedErr());
        EXPECT_WTEXT(L"", CapturedOut());
        EXPECT_TRUE(fakeping::SentSizes().empty());
        EXPECT_EQ(g_icmp.Closed, c.closed) << Narrow(c.message);
        // The drum, its pause, the full closing pause, then silence.
        EXPECT_EQ(fakeping::MidiText(world.Midi), "003A89 603A99 007BB5 007BB9")
            << Narrow(c.message);
        EXPECT_EQ(Pauses(), std::vector<DWORD>({ 1000, 1750 })) << Narrow(c.message);
    }
}

// IPv6 missing (as under Wine) while neither /4 nor /6 was given: IPv4
// alone serves, and a host with only an IPv6 address has no address.
TEST_F(EchoRunTest, FallbackFamilyWithoutHandleIsDropped)
{
    g_icmp.Fail6 = true;
    EXPECT_EQ(Sonaro(L"/n:1 /q 127.0.0.1"), 0);
    EXPECT_WTEXT(L"", CapturedErr());
    EXPECT_WTEXT(Header(L"127.0.0.1") + Reply(L"127.0.0.1") + Stats(L"127.0.0.1", 1, 0),
                 CapturedOut());

    fakeping::Install();
    g_icmp.Fail6 = true;
    ClearCaptured();
    EXPECT_EQ(Sonaro(L"/n:1 /q ::1 127.0.0.1"), 2);
    EXPECT_WTEXT(NoAddressError(L"::1"), CapturedErr());
    EXPECT_EQ(fakeping::SentTo(), std::vector<std::wstring>({ L"127.0.0.1" }));

    // /6 /4 with IPv4 missing: IPv6 alone.
    fakeping::Install();
    g_icmp.Fail4 = true;
    ClearCaptured();
    EXPECT_EQ(Sonaro(L"/6 /4 /n:1 /q ::1 127.0.0.1"), 2);
    EXPECT_WTEXT(NoAddressError(L"127.0.0.1"), CapturedErr());
    EXPECT_EQ(fakeping::SentTo(), std::vector<std::wstring>({ L"::1" }));
}

TEST_F(EchoRunTest, FamiliesChooseTheEchoPath)
{
    g_icmp.Script = { fakeping::Good(0), fakeping::Good(2) };
    EXPECT_EQ(Sonaro(L"/6 /n:2 /q ::1"), 0);
    EXPECT_WTEXT(Header(L"::1") + L"Reply from ::1: time<1ms\r\nReply from ::1: time=2ms\r\n" +
                     Stats(L"::1", 2, 0, 0, 2, 1),
                 CapturedOut());
    EXPECT_EQ(g_icmp.Opened4, 0);

    // /6 alone: a host with only an IPv4 address has none.
    fakeping::Install();
    ClearCaptured();
    EXPECT_EQ(Sonaro(L"/6 /n:1 /q 127.0.0.1"), 2);
    EXPECT_WTEXT(NoAddressError(L"127.0.0.1"), CapturedErr());
    EXPECT_WTEXT(L"", CapturedOut());

    // /6 /4 prefers IPv6 and falls back to IPv4; /4 /6 the other way.
    fakeping::Install();
    EXPECT_EQ(Sonaro(L"/6 /4 /n:1 /q 127.0.0.1 ::1"), 0);
    EXPECT_EQ(fakeping::SentTo(), std::vector<std::wstring>({ L"127.0.0.1", L"::1" }));
}

TEST_F(EchoRunTest, RequestOptions)
{
    Sonaro(L"/n:1 /q /i:9 /v:16 /f /l:100 /w:700 127.0.0.1");
    ASSERT_EQ(fakeping::SentOptions().size(), 1u);
    EXPECT_EQ(fakeping::SentOptions()[0].Ttl, 9);
    EXPECT_EQ(fakeping::SentOptions()[0].Tos, 16);
    EXPECT_EQ(fakeping::SentOptions()[0].Flags, IP_FLAG_DF);
    EXPECT_EQ(fakeping::SentOptions()[0].OptionsSize, 0);
    EXPECT_EQ(fakeping::SentOptions()[0].OptionsData, nullptr);
    EXPECT_EQ(fakeping::SentSizes()[0], 100u);
    EXPECT_EQ(fakeping::SentTimeouts()[0], 700u);

    fakeping::Install();
    world.DefaultTtl = 64;
    Sonaro(L"/n:1 /q 127.0.0.1");
    EXPECT_EQ(fakeping::SentOptions()[0].Ttl, 64);
    EXPECT_EQ(fakeping::SentOptions()[0].Flags, 0);
    EXPECT_EQ(fakeping::SentTimeouts()[0], 3000u);
}

TEST_F(EchoRunTest, HeaderForms)
{
    world.ReverseName = L"loopback.test";
    Sonaro(L"/a /n:1 /q 127.0.0.1");
    EXPECT_WTEXT(Header(L"loopback.test") + Reply(L"127.0.0.1") + Stats(L"127.0.0.1", 1, 0),
                 CapturedOut());

    // Nothing found by the reverse lookup: the argument is shown.
    fakeping::Install();
    ClearCaptured();
    Sonaro(L"/a /n:1 /q /l:32 127.0.0.1");
    EXPECT_WTEXT(Header(L"127.0.0.1", nullptr, 32) + Reply(L"127.0.0.1", 0, 32) +
                     Stats(L"127.0.0.1", 1, 0),
                 CapturedOut());

    fakeping::Install();
    ClearCaptured();
    Sonaro(L"/n:1 /q localhost");
    std::wstring out = CapturedOut();
    EXPECT_EQ(out.find(L"\r\nPinging localhost [127.0.0.1] with 64 bytes of data:\r\n\r\n"), 0u)
        << Escaped(out);
}

// On a console the host and reply addresses are highlighted unless /D.
TEST_F(EchoRunTest, HighlightUnlessDisabled)
{
    static std::wstring written;
    static std::vector<WORD> attributes;
    written.clear();
    attributes.clear();
    g_sys._cputws = [](const wchar_t *text) -> int {
        written += L"[" + std::to_wstring(attributes.empty() ? 0 : attributes.back()) + L"]";
        written += text;
        return 0;
    };
    g_sys.SetConsoleTextAttribute = [](HANDLE, WORD attribute) WINAPI -> BOOL {
        attributes.push_back(attribute);
        return TRUE;
    };
    world.StdOutConsole = true;
    HostSetAttribute(0x07);
    EXPECT_EQ(Sonaro(L"/n:1 /q 127.0.0.1"), 0);
    HostSetAttribute(-1);
    EXPECT_NE(written.find(L"Pinging [15]127.0.0.1[7] with 64 bytes"), std::wstring::npos)
        << Narrow(written);
    EXPECT_NE(written.find(L"Reply from [15]127.0.0.1[7]: "), std::wstring::npos)
        << Narrow(written);

    fakeping::Install();
    written.clear();
    world.StdOutConsole = true;
    SysResetCounts();
    EXPECT_EQ(Sonaro(L"/n:1 /q /d 127.0.0.1"), 0);
    EXPECT_EQ(g_sysCallCount[SYS__cputws], 0u);
    EXPECT_EQ(g_sysCallCount[SYS_SetConsoleTextAttribute], 0u);
}

TEST_F(EchoRunTest, LineNumbersStartAgainForEveryHost)
{
    EXPECT_EQ(Sonaro(L"/c /n:2 /q 127.0.0.1 127.0.0.1"), 0);
    std::wstring block = Header(L"127.0.0.1") + L"    1:  " + Reply(L"127.0.0.1") + L"    2:  " +
                         Reply(L"127.0.0.1") + Stats(L"127.0.0.1", 2, 0);
    EXPECT_WTEXT(block + block, CapturedOut());
}

TEST_F(EchoRunTest, ResultCodes)
{
    g_icmp.Script = { fakeping::Lost(IP_REQ_TIMED_OUT), fakeping::WithStatus(11003) };
    EXPECT_EQ(Sonaro(L"/n:2 /q 127.0.0.1"), 1);
    EXPECT_WTEXT(Header(L"127.0.0.1") + L"Request timed out.\r\n" +
                     L"Reply from 127.0.0.1: Destination host unreachable.\r\n" +
                     Stats(L"127.0.0.1", 1, 1),
                 CapturedOut());

    // A host without an address makes it 2, whatever follows.
    fakeping::Install();
    ClearCaptured();
    EXPECT_EQ(Sonaro(L"/n:1 /q nohost.invalid 127.0.0.1"), 2);
    EXPECT_WTEXT(NoAddressError(L"nohost.invalid"), CapturedErr());
    EXPECT_WTEXT(Header(L"127.0.0.1") + Reply(L"127.0.0.1") + Stats(L"127.0.0.1", 1, 0),
                 CapturedOut());

    // The last host had no address: the tallies read as before any run.
    fakeping::Install();
    EXPECT_EQ(Sonaro(L"/n:1 /q 127.0.0.1 nohost.invalid"), 2);
    EXPECT_EQ(PingStats.Received, 0u);
    EXPECT_EQ(PingStats.MinTime, 0xFFFFFFFFu);
}

TEST_F(EchoRunTest, DefaultHostname)
{
    EXPECT_EQ(Sonaro(L"/n:1 /q"), 1);
    EXPECT_WTEXT(L"Sonaro plugin: Missing host name.\r\n", CapturedErr());
    EXPECT_EQ(g_icmp.Opened4, 0);
    EXPECT_TRUE(Pauses().empty());

    SetRegistryString(HKEY_CURRENT_USER, TEST_SETTINGS_KEY, L"DefaultHostname", L"127.0.0.1");
    fakeping::Install();
    ClearCaptured();
    EXPECT_EQ(Sonaro(L"/n:2 /q /l:20"), 0);
    EXPECT_WTEXT(Header(L"127.0.0.1", nullptr, 20) + Reply(L"127.0.0.1", 0, 20) +
                     Reply(L"127.0.0.1", 0, 20) + Stats(L"127.0.0.1", 2, 0),
                 CapturedOut());
}
