// Whole SONARO runs against the scripted world: output, results, interrupts,
// set-up failures and the address-family fallback.
#include "fakeworld.h"
#include "ping/echorun.h"
#include "ping/interrupt.h"
#include "console/conlist.h"

#include <thread>

namespace {

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

bool Registered(PHANDLER_ROUTINE handler, BOOL add)
{
    for (auto &call : fake::console.CtrlHandlerCalls)
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

// The host's standard output on a pipe that holds next to nothing, so that
// each write waits until this thread has read it; once the text read holds
// `controlCAt` a Control-C arrives, as the console's thread would bring it.
std::string OutputThroughPipe(const wchar_t *line, const char *controlCAt, int *rc)
{
    HANDLE readEnd, writeEnd, saved = GetStdHandle(STD_OUTPUT_HANDLE);
    if (!CreatePipe(&readEnd, &writeEnd, nullptr, 1))
        return "no pipe";
    SetStdHandle(STD_OUTPUT_HANDLE, writeEnd);
    HostCaptureStop();
    std::thread run([&] {
        *rc = CallEntry(sonaro, line);
        CloseHandle(writeEnd);
    });
    std::string text;
    char chunk[256];
    DWORD got;
    while (ReadFile(readEnd, chunk, sizeof chunk, &got, nullptr) && got != 0) {
        text.append(chunk, got);
        if (controlCAt != nullptr && text.find(controlCAt) != std::string::npos) {
            PingCtrlHandler(CTRL_C_EVENT);
            controlCAt = nullptr;
        }
    }
    run.join();
    CloseHandle(readEnd);
    HostCaptureStart();
    SetStdHandle(STD_OUTPUT_HANDLE, saved);
    return text;
}

}  // namespace

using EchoRunTest = FakeWorldTest;

TEST_F(EchoRunTest, ThreeRepliesAndTheStatistics)
{
    EXPECT_EQ(CallEntry(sonaro, L"/n:3 /z:250 127.0.0.1"), 0);
    EXPECT_WTEXT(Header(L"127.0.0.1") + Reply(L"127.0.0.1") + Reply(L"127.0.0.1") +
                     Reply(L"127.0.0.1") + Stats(L"127.0.0.1", 3, 0),
                 CapturedOut());
    EXPECT_WTEXT(L"", CapturedErr());
    // Three waits of 250 ms in 20 ms steps, the last one 10 ms, then the
    // last note rings on to 1750 ms in all.
    EXPECT_EQ(fake::clock.PacingSteps(), 3u * 13);
    EXPECT_EQ(fake::clock.PacedMs(), 750u);
    EXPECT_EQ(fake::clock.Pauses(), std::vector<DWORD>({ 1500 }));
    EXPECT_EQ(fake::icmp.Opened4, 1);
    EXPECT_EQ(fake::icmp.Opened6, 1);
    EXPECT_EQ(fake::icmp.Closed, 2);
    EXPECT_EQ(PingStats.Received, 3u);
    // Output is no console: the run's own handler stays out.
    EXPECT_FALSE(Registered(PingCtrlHandler, TRUE));
    EXPECT_EQ(ListHandlerRegistered, false);
}

// In these the output is a console; /D keeps colours out of the way so that
// the text still goes through the host's output functions.
TEST_F(EchoRunTest, ControlCEndsTheHostAndTheNextOneRuns)
{
    fake::console.StdOutConsole = true;
    // In the third wait of the first host, then in the second of the next.
    fake::console.Events = { { 30, CTRL_C_EVENT }, { 50, CTRL_C_EVENT } };
    EXPECT_EQ(CallEntry(sonaro, L"/t /z:250 /q /d 127.0.0.1 127.0.0.2"), 0);
    std::wstring first = Header(L"127.0.0.1") + Reply(L"127.0.0.1") + Reply(L"127.0.0.1") +
                         Reply(L"127.0.0.1") + Stats(L"127.0.0.1", 3, 0);
    std::wstring second = Header(L"127.0.0.2") + Reply(L"127.0.0.2") + Reply(L"127.0.0.2") +
                          Stats(L"127.0.0.2", 2, 0);
    EXPECT_WTEXT(first + second, CapturedOut());
    EXPECT_EQ(fake::clock.PacingSteps(), 50u);
    EXPECT_EQ(fake::SentTo().size(), 5u);
    EXPECT_TRUE(Registered(PingCtrlHandler, TRUE));
}

TEST_F(EchoRunTest, ControlCWithACountAndTheHandlersRemoved)
{
    fake::console.StdOutConsole = true;
    fake::console.Events = { { 20, CTRL_C_EVENT } };
    EXPECT_EQ(CallEntry(sonaro, L"/n:4 /z:250 /d 127.0.0.1"), 0);
    EXPECT_WTEXT(Header(L"127.0.0.1") + Reply(L"127.0.0.1") + Reply(L"127.0.0.1") +
                     Stats(L"127.0.0.1", 2, 0),
                 CapturedOut());
    EXPECT_EQ(fake::clock.PacingSteps(), 20u);
    // The cut-short wait still counts as 250 ms for the closing pause.
    EXPECT_EQ(fake::clock.Pauses(), std::vector<DWORD>({ 1500 }));
    EXPECT_TRUE(Registered(PingCtrlHandler, TRUE));
    EXPECT_TRUE(Registered(PingCtrlHandler, FALSE));
    EXPECT_EQ(fake::console.CtrlHandlerCalls.back().first, PingCtrlHandler);
    EXPECT_EQ(fake::console.CtrlHandlerCalls.back().second, FALSE);
}

// Control-Break shows the figures so far and the run goes on; at the last
// echo the count's own figures follow, unless a Control-C came while the
// first were written.
TEST_F(EchoRunTest, ControlBreakShowsTheFiguresAndGoesOn)
{
    const std::wstring start =
        Header(L"127.0.0.1") + Reply(L"127.0.0.1", 4) + Reply(L"127.0.0.1", 8);
    const std::wstring two = Stats(L"127.0.0.1", 2, 0, 4, 8, 6);
    const std::wstring three = Stats(L"127.0.0.1", 3, 0, 4, 8, 6);
    const struct {
        size_t breakAt;          // the sleep after which Control-Break comes
        const char *controlCAt;  // and the output after which Control-C comes
        std::wstring out;
        size_t steps;
    } cases[] = {
        {20, nullptr, start + two + L"\r\n" + Reply(L"127.0.0.1", 6) + three, 13 + 7 + 13},
        {30, nullptr, start + Reply(L"127.0.0.1", 6) + three + L"\r\n" + three, 13 + 13 + 4},
        {30, "Ping statistics", start + Reply(L"127.0.0.1", 6) + three + L"\r\n", 13 + 13 + 4},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        InstallFakeWorld();
        fake::console.StdOutConsole = true;
        fake::console.Events = { { c.breakAt, CTRL_BREAK_EVENT } };
        fake::icmp.Script = { fake::Good(4), fake::Good(8), fake::Good(6) };
        int rc = -1;
        EXPECT_EQ(OutputThroughPipe(L"/n:3 /z:250 /q /d 127.0.0.1", c.controlCAt, &rc),
                  Narrow(c.out));
        EXPECT_EQ(rc, 0);
        EXPECT_EQ(fake::clock.PacingSteps(), c.steps);
    }
}

// Without a console the run's handler is not installed; the list-output
// handler's flag then ends the host like Control-C.
TEST_F(EchoRunTest, ListBreakFlagStopsARunWithoutConsole)
{
    fake::console.Events = { { 5, fake::ListBreak } };
    EXPECT_EQ(CallEntry(sonaro, L"/t /q 127.0.0.1"), 0);
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
    fake::console.StdOutConsole = true;
    fake::console.PingHandlerFails = true;
    // The Control-C at sleep 200 only stops a run that missed the first.
    fake::console.Events = { { 5, fake::ListBreak }, { 200, CTRL_C_EVENT } };
    EXPECT_EQ(CallEntry(sonaro, L"/t /q /d 127.0.0.1"), 0);
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
        InstallFakeWorld();
        ClearCaptured();
        fake::icmp.Fail4 = c.icmp4Fails;
        fake::icmp.Fail6 = c.icmp6Fails;
        fake::heap.FailMallocAt = c.failMalloc;
        EXPECT_EQ(CallEntry(sonaro, c.line), 2) << Narrow(c.message);
        EXPECT_WTEXT(std::wstring(L"Sonaro plugin: ") + c.message, CapturedErr());
        EXPECT_WTEXT(L"", CapturedOut());
        EXPECT_TRUE(fake::SentSizes().empty());
        EXPECT_EQ(fake::icmp.Closed, c.closed) << Narrow(c.message);
        // The drum, its pause, the full closing pause, then silence.
        EXPECT_EQ(fake::MidiText(fake::midi.Messages), "003A89 603A99 007BB5 007BB9")
            << Narrow(c.message);
        EXPECT_EQ(fake::clock.Pauses(), std::vector<DWORD>({ 1000, 1750 })) << Narrow(c.message);
    }
}

// IPv6 missing (as under Wine) while neither /4 nor /6 was given: IPv4
// alone serves, and a host with only an IPv6 address has no address.
TEST_F(EchoRunTest, FallbackFamilyWithoutHandleIsDropped)
{
    fake::icmp.Fail6 = true;
    EXPECT_EQ(CallEntry(sonaro, L"/n:1 /q 127.0.0.1"), 0);
    EXPECT_WTEXT(L"", CapturedErr());
    EXPECT_WTEXT(Header(L"127.0.0.1") + Reply(L"127.0.0.1") + Stats(L"127.0.0.1", 1, 0),
                 CapturedOut());

    InstallFakeWorld();
    fake::icmp.Fail6 = true;
    ClearCaptured();
    EXPECT_EQ(CallEntry(sonaro, L"/n:1 /q ::1 127.0.0.1"), 2);
    EXPECT_WTEXT(NoAddressError(L"::1"), CapturedErr());
    EXPECT_EQ(fake::SentTo(), std::vector<std::wstring>({ L"127.0.0.1" }));

    // /6 /4 with IPv4 missing: IPv6 alone.
    InstallFakeWorld();
    fake::icmp.Fail4 = true;
    ClearCaptured();
    EXPECT_EQ(CallEntry(sonaro, L"/6 /4 /n:1 /q ::1 127.0.0.1"), 2);
    EXPECT_WTEXT(NoAddressError(L"127.0.0.1"), CapturedErr());
    EXPECT_EQ(fake::SentTo(), std::vector<std::wstring>({ L"::1" }));
}

TEST_F(EchoRunTest, FamiliesChooseTheEchoPath)
{
    fake::icmp.Script = { fake::Good(0), fake::Good(2) };
    EXPECT_EQ(CallEntry(sonaro, L"/6 /n:2 /q ::1"), 0);
    EXPECT_WTEXT(Header(L"::1") + L"Reply from ::1: time<1ms\r\nReply from ::1: time=2ms\r\n" +
                     Stats(L"::1", 2, 0, 0, 2, 1),
                 CapturedOut());
    EXPECT_EQ(fake::icmp.Opened4, 0);

    // /6 alone: a host with only an IPv4 address has none.
    InstallFakeWorld();
    ClearCaptured();
    EXPECT_EQ(CallEntry(sonaro, L"/6 /n:1 /q 127.0.0.1"), 2);
    EXPECT_WTEXT(NoAddressError(L"127.0.0.1"), CapturedErr());
    EXPECT_WTEXT(L"", CapturedOut());

    // /6 /4 prefers IPv6 and falls back to IPv4; /4 /6 the other way.
    InstallFakeWorld();
    EXPECT_EQ(CallEntry(sonaro, L"/6 /4 /n:1 /q 127.0.0.1 ::1"), 0);
    EXPECT_EQ(fake::SentTo(), std::vector<std::wstring>({ L"127.0.0.1", L"::1" }));
}

TEST_F(EchoRunTest, RequestOptions)
{
    CallEntry(sonaro, L"/n:1 /q /i:9 /v:16 /f /l:100 /w:700 127.0.0.1");
    ASSERT_EQ(fake::SentOptions().size(), 1u);
    EXPECT_EQ(fake::SentOptions()[0].Ttl, 9);
    EXPECT_EQ(fake::SentOptions()[0].Tos, 16);
    EXPECT_EQ(fake::SentOptions()[0].Flags, IP_FLAG_DF);
    EXPECT_EQ(fake::SentOptions()[0].OptionsSize, 0);
    EXPECT_EQ(fake::SentOptions()[0].OptionsData, nullptr);
    EXPECT_EQ(fake::SentSizes()[0], 100u);
    EXPECT_EQ(fake::SentTimeouts()[0], 700u);

    InstallFakeWorld();
    fake::icmp.DefaultTtl = 64;
    CallEntry(sonaro, L"/n:1 /q 127.0.0.1");
    EXPECT_EQ(fake::SentOptions()[0].Ttl, 64);
    EXPECT_EQ(fake::SentOptions()[0].Flags, 0);
    EXPECT_EQ(fake::SentTimeouts()[0], 3000u);
}

TEST_F(EchoRunTest, HeaderForms)
{
    fake::net.ReverseName = L"loopback.test";
    CallEntry(sonaro, L"/a /n:1 /q 127.0.0.1");
    EXPECT_WTEXT(Header(L"loopback.test") + Reply(L"127.0.0.1") + Stats(L"127.0.0.1", 1, 0),
                 CapturedOut());

    // Nothing found by the reverse lookup: the argument is shown.
    InstallFakeWorld();
    ClearCaptured();
    CallEntry(sonaro, L"/a /n:1 /q /l:32 127.0.0.1");
    EXPECT_WTEXT(Header(L"127.0.0.1", nullptr, 32) + Reply(L"127.0.0.1", 0, 32) +
                     Stats(L"127.0.0.1", 1, 0),
                 CapturedOut());

    InstallFakeWorld();
    ClearCaptured();
    CallEntry(sonaro, L"/n:1 /q localhost");
    std::wstring out = CapturedOut();
    EXPECT_EQ(out.find(L"\r\nPinging localhost [127.0.0.1] with 64 bytes of data:\r\n\r\n"), 0u)
        << Escaped(out);
}

// On a console the host and reply addresses are highlighted unless /D.
TEST_F(EchoRunTest, HighlightUnlessDisabled)
{
    fake::console.StdOutConsole = true;
    HostSetAttribute(0x07);
    EXPECT_EQ(CallEntry(sonaro, L"/n:1 /q 127.0.0.1"), 0);
    HostSetAttribute(-1);
    const std::wstring &written = fake::console.Log;
    EXPECT_NE(written.find(L"Pinging ] A0F [127.0.0.1] A07 [ with 64 bytes"), std::wstring::npos)
        << Narrow(written);
    EXPECT_NE(written.find(L"Reply from ] A0F [127.0.0.1] A07 [: "), std::wstring::npos)
        << Narrow(written);

    InstallFakeWorld();
    fake::console.StdOutConsole = true;
    SysResetCounts();
    EXPECT_EQ(CallEntry(sonaro, L"/n:1 /q /d 127.0.0.1"), 0);
    EXPECT_EQ(g_sysCallCount[SYS__cputws], 0u);
    EXPECT_EQ(g_sysCallCount[SYS_SetConsoleTextAttribute], 0u);
}

TEST_F(EchoRunTest, LineNumbersStartAgainForEveryHost)
{
    EXPECT_EQ(CallEntry(sonaro, L"/c /n:2 /q 127.0.0.1 127.0.0.1"), 0);
    std::wstring block = Header(L"127.0.0.1") + L"    1:  " + Reply(L"127.0.0.1") + L"    2:  " +
                         Reply(L"127.0.0.1") + Stats(L"127.0.0.1", 2, 0);
    EXPECT_WTEXT(block + block, CapturedOut());
}

TEST_F(EchoRunTest, ResultCodes)
{
    fake::icmp.Script = { fake::Lost(IP_REQ_TIMED_OUT), fake::WithStatus(11003) };
    EXPECT_EQ(CallEntry(sonaro, L"/n:2 /q 127.0.0.1"), 1);
    EXPECT_WTEXT(Header(L"127.0.0.1") + L"Request timed out.\r\n" +
                     L"Reply from 127.0.0.1: Destination host unreachable.\r\n" +
                     Stats(L"127.0.0.1", 1, 1),
                 CapturedOut());

    // A host without an address makes it 2, whatever follows.
    InstallFakeWorld();
    ClearCaptured();
    EXPECT_EQ(CallEntry(sonaro, L"/n:1 /q nohost.invalid 127.0.0.1"), 2);
    EXPECT_WTEXT(NoAddressError(L"nohost.invalid"), CapturedErr());
    EXPECT_WTEXT(Header(L"127.0.0.1") + Reply(L"127.0.0.1") + Stats(L"127.0.0.1", 1, 0),
                 CapturedOut());

    // The last host had no address: the tallies read as before any run.
    InstallFakeWorld();
    EXPECT_EQ(CallEntry(sonaro, L"/n:1 /q 127.0.0.1 nohost.invalid"), 2);
    EXPECT_EQ(PingStats.Received, 0u);
    EXPECT_EQ(PingStats.MinTime, 0xFFFFFFFFu);
}

TEST_F(EchoRunTest, DefaultHostname)
{
    EXPECT_EQ(CallEntry(sonaro, L"/n:1 /q"), 1);
    EXPECT_WTEXT(L"Sonaro plugin: Missing host name.\r\n", CapturedErr());
    EXPECT_EQ(fake::icmp.Opened4, 0);
    EXPECT_TRUE(fake::clock.Pauses().empty());

    SetRegistryString(HKEY_CURRENT_USER, TEST_SETTINGS_KEY, L"DefaultHostname", L"127.0.0.1");
    InstallFakeWorld();
    ClearCaptured();
    EXPECT_EQ(CallEntry(sonaro, L"/n:2 /q /l:20"), 0);
    EXPECT_WTEXT(Header(L"127.0.0.1", nullptr, 20) + Reply(L"127.0.0.1", 0, 20) +
                     Reply(L"127.0.0.1", 0, 20) + Stats(L"127.0.0.1", 2, 0),
                 CapturedOut());
}
