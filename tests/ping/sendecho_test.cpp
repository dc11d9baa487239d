// Single echoes over both families: every reply status, its line, result and tally.
#include "fakeworld.h"
#include "ping/sendecho.h"
#include "ping/statistics.h"

#include <vector>

namespace {

const DWORD Size = 32;

struct Buffers {
    std::vector<unsigned char> request, reply4, reply6;
    Buffers()
        : request(Size + ICMP_OPTION_RECORD_SIZE), reply4(Size + ICMP_REPLY_EXTRA),
          reply6(Size + ICMP6_REPLY_EXTRA)
    {
        IP_OPTION_INFORMATION record = {};
        record.Ttl = 77;
        record.Flags = IP_FLAG_DF;
        memcpy(request.data() + Size, &record, ICMP_OPTION_RECORD_SIZE);
    }
};

int Echo4(Buffers &b, const char *to, LONGLONG *doneTime = nullptr)
{
    HostAddress address = {};
    address.V4.sin_family = AF_INET;
    address.V4.sin_addr.s_addr = inet_addr(to);
    HANDLE handle = SYS(IcmpCreateFile)();
    return SendEcho(&address, handle, b.request.data(), Size, b.reply4.data(),
                    static_cast<DWORD>(b.reply4.size()), 1500, doneTime);
}

int Echo6(Buffers &b, LONGLONG *doneTime = nullptr)
{
    HostAddress to = {};
    to.V6.sin6_family = AF_INET6;
    to.V6.sin6_addr.s6_addr[15] = 1;
    HANDLE handle = SYS(Icmp6CreateFile)();
    return SendEcho(&to, handle, b.request.data(), Size, b.reply6.data(),
                    static_cast<DWORD>(b.reply6.size()), 1500, doneTime);
}

struct Case {
    fake::Echo echo;
    const wchar_t *line;
    int result;
};

}  // namespace

using SendEchoTest = FakeWorldTest;

TEST_F(SendEchoTest, IPv4ReplyStatuses)
{
    Case cases[] = {
        { fake::Good(0), L"Reply from 10.9.8.7: bytes=32 time<1ms TTL=128\r\n", 0 },
        { fake::Good(17, 55), L"Reply from 10.9.8.7: bytes=32 time=17ms TTL=55\r\n", 17 },
        { fake::WithStatus(11002, 3), L"Reply from 10.9.8.7: Destination net unreachable.\r\n",
          -11002 },
        { fake::WithStatus(11003), L"Reply from 10.9.8.7: Destination host unreachable.\r\n",
          -11003 },
        { fake::WithStatus(11004),
          L"Reply from 10.9.8.7: Destination protocol unreachable.\r\n", -11004 },
        { fake::WithStatus(11005), L"Reply from 10.9.8.7: Destination port unreachable.\r\n",
          -11005 },
        { fake::WithStatus(11013, 9), L"Reply from 10.9.8.7: TTL expired in transit.\r\n",
          -11013 },
        { fake::WithStatus(11050), L"Reply from 10.9.8.7: Status = 11050\r\n", -20 },
        { fake::Corrupted(5),
          L"Reply from 10.9.8.7: bytes=32 time=5ms TTL=128\r\n    Data mismatch!\r\n", -10 },
        { fake::Lost(IP_REQ_TIMED_OUT), L"Request timed out.\r\n", -20 },
        { fake::Lost(1231), L"Failed: Error code = 1231\r\n", -20 },
    };
    ResetPingStats();
    Buffers b;
    for (const Case &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        fake::icmp.Script = { c.echo };
        fake::icmp.Next = 0;
        ClearCaptured();
        EXPECT_EQ(Echo4(b, "10.9.8.7"), c.result) << Narrow(c.line);
        EXPECT_WTEXT(c.line, CapturedOut());
    }
    EXPECT_EQ(PingStats.Received, 9u);
    EXPECT_EQ(PingStats.Lost, 2u);
    EXPECT_EQ(PingStats.TotalTime, 0u + 17 + 3 + 9 + 5);
    EXPECT_EQ(PingStats.MinTime, 0u);
    EXPECT_EQ(PingStats.MaxTime, 17u);

    // The request went out as given, with fresh random data each time.
    ASSERT_EQ(fake::SentSizes().size(), 11u);
    EXPECT_EQ(fake::SentSizes()[0], Size);
    EXPECT_EQ(fake::SentTimeouts()[0], 1500u);
    EXPECT_EQ(fake::SentTo()[0], L"10.9.8.7");
    EXPECT_EQ(fake::SentOptions()[0].Ttl, 77);
    EXPECT_EQ(fake::SentOptions()[0].Flags, IP_FLAG_DF);
}

TEST_F(SendEchoTest, EveryEchoCarriesNewData)
{
    Buffers b;
    Echo4(b, "127.0.0.1");
    std::vector<unsigned char> first(b.request.begin(), b.request.begin() + Size);
    Echo4(b, "127.0.0.1");
    std::vector<unsigned char> second(b.request.begin(), b.request.begin() + Size);
    EXPECT_NE(first, second);
    EXPECT_EQ(g_sysCallCount[SYS_rand_s], 2 * Size);
}

TEST_F(SendEchoTest, IPv6ReplyStatuses)
{
    Case cases[] = {
        { fake::Good(0), L"Reply from ::1: time<1ms\r\n", 0 },
        { fake::Good(3), L"Reply from ::1: time=3ms\r\n", 3 },
        { fake::WithStatus(11003, 1), L"Reply from ::1: Destination host unreachable.\r\n",
          -11003 },
        { fake::WithStatus(11013), L"Reply from ::1: Hop limit exceeded in transit.\r\n",
          -11013 },
        { fake::WithStatus(99), L"Reply from ::1: Status = 99\r\n", -20 },
        { fake::Corrupted(2), L"Reply from ::1: time=2ms\r\n    Data mismatch!\n", -10 },
        { fake::Lost(IP_REQ_TIMED_OUT), L"Request timed out.\r\n", -20 },
        { fake::Lost(5), L"Failed: Error code = 5\r\n", -20 },
    };
    ResetPingStats();
    Buffers b;
    for (const Case &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        fake::icmp.Script = { c.echo };
        fake::icmp.Next = 0;
        ClearCaptured();
        EXPECT_EQ(Echo6(b), c.result) << Narrow(c.line);
        EXPECT_WTEXT(c.line, CapturedOut());
    }
    EXPECT_EQ(PingStats.Received, 6u);
    EXPECT_EQ(PingStats.Lost, 2u);
    EXPECT_EQ(PingStats.TotalTime, 6u);
    EXPECT_EQ(PingStats.MaxTime, 3u);
    ASSERT_FALSE(fake::SentTo().empty());
    EXPECT_EQ(fake::SentTo()[0], L"::1");
    EXPECT_EQ(fake::SentOptions()[0].Ttl, 77);
}

TEST_F(SendEchoTest, ReplyDataOutsideTheBufferIsAMismatch)
{
    // A reply record whose data pointer leads elsewhere is never followed.
    fake::icmp.After = fake::Good(0, 0);
    fake::icmp.After.DataElsewhere = true;
    Buffers b;
    EXPECT_EQ(Echo4(b, "127.0.0.1"), -10);
    EXPECT_WTEXT(L"Reply from 127.0.0.1: bytes=32 time<1ms TTL=0\r\n    Data mismatch!\r\n",
                 CapturedOut());
}

TEST_F(SendEchoTest, ErrorTextOnlyWhereTheSystemReallyHasIt)
{
    struct {
        const char *name;
        bool wine, noNtdll;
        const wchar_t *lines;
        unsigned long textCalls;
    } cases[] = {
        { "Windows", false, false, L"Request timed out.\r\nRequest timed out.\r\n", 2 },
        { "ntdll not found", false, true, L"Request timed out.\r\nRequest timed out.\r\n", 2 },
        { "Wine", true, false, L"Failed: Error code = 11010\r\nFailed: Error code = 11010\r\n", 0 },
    };
    Buffers b;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        fake::icmp.Wine = c.wine;
        fake::icmp.NoNtdll = c.noNtdll;
        fake::icmp.Script = { fake::Lost(IP_REQ_TIMED_OUT), fake::Lost(IP_REQ_TIMED_OUT) };
        fake::icmp.Next = 0;
        IpErrorTextState = 0;
        SysResetCounts();
        ClearCaptured();
        ResetPingStats();
        EXPECT_EQ(Echo4(b, "10.9.8.7"), ECHO_FAILED);
        EXPECT_EQ(Echo6(b), ECHO_FAILED);
        EXPECT_WTEXT(c.lines, CapturedOut());
        EXPECT_EQ(PingStats.Lost, 2u);
        EXPECT_EQ(g_sysCallCount[SYS_GetIpErrorString], c.textCalls);
        // Looked at once, at the first echo without a reply.
        EXPECT_EQ(g_sysCallCount[SYS_GetModuleHandleW], 1u);
        EXPECT_EQ(g_sysCallCount[SYS_GetProcAddress], c.noNtdll ? 0u : 1u);
    }

    // Replies alone never look.
    IpErrorTextState = 0;
    SysResetCounts();
    fake::icmp.Script = { fake::Good(1), fake::WithStatus(11003) };
    fake::icmp.Next = 0;
    Echo4(b, "10.9.8.7");
    Echo4(b, "10.9.8.7");
    EXPECT_EQ(g_sysCallCount[SYS_GetModuleHandleW], 0u);
    EXPECT_EQ(IpErrorTextState, 0);
}

TEST_F(SendEchoTest, LostEchoWithTheRealSystemLookups)
{
    // The system these tests run on, Wine, not a fake: the echo must give
    // the numbered line instead of ending the process.
    UseReal({SYS_GetModuleHandleW, SYS_GetProcAddress, SYS_GetIpErrorString});
    fake::icmp.Script = { fake::Lost(IP_REQ_TIMED_OUT) };
    Buffers b;
    EXPECT_EQ(Echo4(b, "10.9.8.7"), ECHO_FAILED);
    EXPECT_WTEXT(L"Failed: Error code = 11010\r\n", CapturedOut());
    EXPECT_EQ(IpErrorTextState, 2);
}

// The pacing wait counts from the moment the echo call returned, before the
// report line; every outcome on both paths notes it.
TEST_F(SendEchoTest, DoneTimeIsTakenWhenTheEchoCallReturns)
{
    const fake::Echo echoes[] = { fake::Good(0), fake::WithStatus(11003),
                                      fake::Lost(IP_REQ_TIMED_OUT) };
    Buffers b;
    fake::icmp.EchoMs = 40;
    for (bool v6 : { false, true }) {
        for (const fake::Echo &echo : echoes) {
            SCOPED_TRACE(std::string(v6 ? "IPv6 " : "IPv4 ") + std::to_string(echo.Status) +
                         "/" + std::to_string(echo.Returned));
            fake::icmp.Script = { echo };
            fake::icmp.Next = 0;
            LONGLONG before = fake::clock.Counter();
            LONGLONG done = 0;
            if (v6)
                Echo6(b, &done);
            else
                Echo4(b, "10.9.8.7", &done);
            // A time-out takes the time-out of 1500 ms.
            LONGLONG took = echo.Returned != 0 ? 40 : 1500;
            EXPECT_EQ(done, before + took * fake::clock.CounterFrequency / 1000);
        }
    }
    // Not asked for: the clock is not read at all.
    SysResetCounts();
    Echo4(b, "10.9.8.7");
    Echo6(b);
    EXPECT_EQ(g_sysCallCount[SYS_QueryPerformanceCounter], 0u);
}
