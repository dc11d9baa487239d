// @PINGDNS, @PINGDHCP, @PINGROUTER, @PINGWINS: index handling, results and messages.
#include "fakeworld.h"
#include "resolve/netentries.h"

namespace {

class NetFunctionsTest : public FakeWorldTest {
protected:
    void SetUp() override
    {
        FakeWorldTest::SetUp();
        fake::TypicalNetwork();
        // The second adapter has a WINS server of its own.
        fake::net.Adapters[1].HaveWins = 1;
        fake::net.Adapters[1].PrimaryWins = "10.2.0.3";
    }
};

TEST_F(NetFunctionsTest, IndexesAndCounts)
{
    struct Case {
        int (WINAPI *function)(wchar_t *);
        const wchar_t *argument;
        const wchar_t *expected;
    } cases[] = {
        {f_pingdns, L"", L"10.0.0.1"},       {f_pingdns, L"0", L"2"},
        {f_pingdns, L"2", L"10.0.0.2"},      {f_pingdns, L"3", L""},
        {f_pingdns, L" 2 ", L"10.0.0.2"},    {f_pingdns, L"2,abc", L"10.0.0.2"},
        {f_pingdns, L",3", L"10.0.0.1"},     {f_pingdns, L"0x2", L"10.0.0.2"},
        {f_pingdns, L"0X2", L"10.0.0.2"},    {f_pingdns, L"4294967295", L""},
        {f_pingdhcp, L"", L"10.1.0.1"},      {f_pingdhcp, L"0", L"1"},
        {f_pingwins, L"0", L"3"},            {f_pingwins, L"0x3", L"10.2.0.3"},
        {f_pingrouter, L"", L"192.168.1.1"}, {f_pingrouter, L"0", L"1"},
        {f_pingrouter, L"2", L""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        ClearCaptured();
        std::wstring result;
        EXPECT_EQ(CallEntry(c.function, c.argument, &result), 0) << Narrow(c.argument);
        EXPECT_WTEXT(c.expected, result) << Narrow(c.argument);
        EXPECT_WTEXT(L"", CapturedErr());
    }
}

TEST_F(NetFunctionsTest, NoServersCountZero)
{
    fake::net.Adapters.clear();
    fake::net.DnsServers.clear();
    std::wstring result;
    EXPECT_EQ(CallEntry(f_pingrouter, L"0", &result), 0);
    EXPECT_WTEXT(L"0", result);
    EXPECT_EQ(CallEntry(f_pingwins, L"", &result), 0);
    EXPECT_WTEXT(L"", result);
    EXPECT_EQ(CallEntry(f_pingdns, L"0", &result), 0);
    EXPECT_WTEXT(L"0", result);
}

TEST_F(NetFunctionsTest, BadIndex)
{
    struct Case {
        int (WINAPI *function)(wchar_t *);
        const wchar_t *argument;
        const wchar_t *message;
    } cases[] = {
        {f_pingdhcp, L"x", L"Bad index value: \"X\"\r\n"},
        {f_pingdhcp, L"-1", L"Bad index value: \"-1\"\r\n"},
        {f_pingdhcp, L"1x", L"Bad index value: \"1X\"\r\n"},
        {f_pingdns, L"4294967296", L"Bad index value: \"4294967296\"\r\n"},
        {f_pingwins, L"0x", L"Bad index value: \"0X\"\r\n"},
        {f_pingrouter, L" abc ,2", L"Bad index value: \"ABC\"\r\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        ClearCaptured();
        std::wstring result;
        EXPECT_EQ(CallEntry(c.function, c.argument, &result), -1) << Narrow(c.argument);
        EXPECT_ERROR(c.message);
    }
    EXPECT_EQ(f_pingdns(nullptr), -1);
    EXPECT_EQ(f_pingdhcp(nullptr), -1);
    EXPECT_EQ(f_pingrouter(nullptr), -1);
    EXPECT_EQ(f_pingwins(nullptr), -1);
}

}  // namespace
