// @PINGTIME: defaults, argument ranges and messages, and the result text.
#include "fakeworld.h"
#include "resolve/netentries.h"

namespace {

class PingTimeTest : public FakeWorldTest {
protected:
    void SetUp() override
    {
        FakeWorldTest::SetUp();
        fake::net.Numeric = false;  // only the hosts listed resolve
        fake::icmp.After = fake::Echo();  // 3 ms replies
        fake::net.Hosts = {
            {L"Host", AF_INET, "10.8.0.1", L""},
            {L"dual", AF_INET, "10.8.0.2", L""},
            {L"dual", AF_INET6, "fd00::82", L""},
        };
        fake::icmp.DefaultTtl = 64;
    }
};

TEST_F(PingTimeTest, DefaultsAndExplicitValues)
{
    struct Case {
        const wchar_t *argument;
        DWORD timeout, size, ttl;
        bool v6;
    } cases[] = {
        {L"Host", 60000, 64, 64, false},
        {L" Host , 2 ", 2000, 64, 64, false},
        {L"Host,,128", 60000, 128, 64, false},
        {L"Host,,,,", 60000, 64, 64, false},
        {L"Host,1,12,1,0", 1000, 12, 1, false},
        {L"Host,60000,65520,255", 60000000, 65520, 255, false},
        {L"Host,0x3c,0x40,0xff", 60000, 64, 255, false},
        {L"dual,5,64,64,1", 5000, 64, 64, true},
        {L"dual,5,64,64,0xFFFFFFFE", 5000, 64, 64, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(Narrow(c.argument));
        fake::icmp.Calls.clear();
        std::wstring result;
        EXPECT_EQ(CallEntry(f_pingtime, c.argument, &result), 0);
        EXPECT_WTEXT(L"3", result);
        ASSERT_EQ(fake::icmp.Calls.size(), 1u);
        EXPECT_EQ(fake::icmp.Calls[0].Timeout, c.timeout);
        EXPECT_EQ(fake::icmp.Calls[0].Request.size(), c.size);
        EXPECT_EQ(fake::icmp.Calls[0].Options.Ttl, c.ttl);
        EXPECT_EQ(fake::icmp.Calls[0].V6, c.v6);
        EXPECT_WTEXT(L"", CapturedErr());
    }
}

TEST_F(PingTimeTest, SystemTtlFallsBackTo128)
{
    for (DWORD ttl : {0u, 256u, 1000u}) {
        SCOPED_TRACE(::testing::Message() << ttl);
        fake::icmp.DefaultTtl = ttl;
        fake::icmp.Calls.clear();
        std::wstring result;
        CallEntry(f_pingtime, L"Host", &result);
        ASSERT_EQ(fake::icmp.Calls.size(), 1u);
        EXPECT_EQ(fake::icmp.Calls[0].Options.Ttl, 128) << "system TTL " << ttl;
    }
    fake::icmp.StatisticsFail = true;
    fake::icmp.Calls.clear();
    std::wstring result;
    CallEntry(f_pingtime, L"Host", &result);
    ASSERT_EQ(fake::icmp.Calls.size(), 1u);
    EXPECT_EQ(fake::icmp.Calls[0].Options.Ttl, 128);
}

TEST_F(PingTimeTest, NegativeOutcomesAreResults)
{
    struct Case {
        const wchar_t *argument;
        ULONG status;
        DWORD returned;
        ULONG arrives;  // ms after the request
        const wchar_t *expected;
    } cases[] = {
        {L"nowhere", 0, 1, 3, L"-3"},
        {L"Host", IP_DEST_HOST_UNREACHABLE, 1, 3, L"-2"},
        {L"Host", IP_REQ_TIMED_OUT, 0, 3, L"-1"},
        // One second's wait: a reply at its end counts, a later one is lost.
        {L"Host,1", IP_SUCCESS, 1, 1000, L"1000"},
        {L"Host,1", IP_SUCCESS, 1, 1001, L"-1"},
        // The largest request still has the reply buffer Windows wants.
        {L"Host,1,65520", IP_SUCCESS, 1, 5, L"5"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        fake::icmp.After.Status = c.status;
        fake::icmp.After.Returned = c.returned;
        fake::icmp.After.RoundTrip = c.arrives;
        std::wstring result;
        EXPECT_EQ(CallEntry(f_pingtime, c.argument, &result), 0);
        EXPECT_WTEXT(c.expected, result);
        EXPECT_WTEXT(L"", CapturedErr());
    }
}

TEST_F(PingTimeTest, ArgumentErrors)
{
    struct Case {
        const wchar_t *argument;
        const wchar_t *message;
    } cases[] = {
        {L"", L"Missing hostname\r\n"},
        {L"   ", L"Missing hostname\r\n"},
        {L",5", L"Missing hostname\r\n"},
        {L"Host,0", L"Timeout must be 1 to 60000: 0\r\n"},
        {L"Host,60001", L"Timeout must be 1 to 60000: 60001\r\n"},
        {L"Host,5s", L"Bad timeout: \"5S\"\r\n"},
        {L"Host,-1", L"Bad timeout: \"-1\"\r\n"},
        {L"Host,4294967296", L"Bad timeout: \"4294967296\"\r\n"},
        {L"Host,5,11", L"Packetsize must be 12 to 65520: 11\r\n"},
        {L"Host,5,65521", L"Packetsize must be 12 to 65520: 65521\r\n"},
        {L"Host,5,big", L"Bad packetsize: \"BIG\"\r\n"},
        {L"Host,5,64,0", L"TTL must be 1 to 255: 0\r\n"},
        {L"Host,5,64,256", L"TTL must be 1 to 255: 256\r\n"},
        {L"Host,5,64,x1", L"Bad TTL: \"X1\"\r\n"},
        {L"Host,5,64,64,abc", L"Bad flags: \"ABC\"\r\n"},
        {L"Host,5,64,64,0x", L"Bad flags: \"0X\"\r\n"},
        // The first refused argument ends the checks.
        {L"Host,0,big,0,abc", L"Timeout must be 1 to 60000: 0\r\n"},
        {L"Host,,1,zz", L"Packetsize must be 12 to 65520: 1\r\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        ClearCaptured();
        std::wstring result;
        EXPECT_EQ(CallEntry(f_pingtime, c.argument, &result), -1) << Narrow(c.argument);
        EXPECT_ERROR(c.message) << Narrow(c.argument);
    }
    EXPECT_TRUE(fake::icmp.Calls.empty()) << "nothing sent after an argument error";
    EXPECT_EQ(f_pingtime(nullptr), -1);
}

}  // namespace
