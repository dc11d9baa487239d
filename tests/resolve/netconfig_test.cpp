// The configuration lookups, keyword matching and expansion over faked adapter data.
#include "fakeworld.h"
#include "netinfo/netconfig.h"
#include "base/hostaddress.h"

#include <string.h>

namespace {

class NetConfigTest : public FakeWorldTest {
protected:
    void TearDown() override
    {
        EXPECT_EQ(g_sysCallCount[SYS_malloc], g_sysCallCount[SYS_free]) << "buffers freed";
        FakeWorldTest::TearDown();
    }
};

// Index 0 and then every index up to one past the count.
std::vector<std::string> Walk(DWORD (*lookup)(DWORD))
{
    std::vector<std::string> out;
    DWORD count = lookup(0);
    out.push_back(std::to_string(count));
    for (DWORD i = 1; i <= count + 1; i++)
        out.push_back(lookup(i) ? IPv4Text(lookup(i)) : "-");
    return out;
}

typedef std::vector<std::string> Texts;

TEST_F(NetConfigTest, DnsServersSkipUnusableEntries)
{
    fake::net.DnsServers = {"", "10.0.0.1", "0.0.0.0", "255.255.255.255", "bogus", "10.0.0.2"};
    EXPECT_EQ(Walk(LookupDnsServer), (Texts{"2", "10.0.0.1", "10.0.0.2", "-"}));
    EXPECT_EQ(LookupDnsServer(0xFFFFFFFF), 0u);
}

TEST_F(NetConfigTest, NothingReadableGivesZero)
{
    fake::net.DnsServers = {"10.0.0.1"};
    fake::Adapter adapter;
    adapter.Gateways = {"10.0.0.1"};
    fake::net.Adapters = {adapter};
    DWORD (*lookups[])(DWORD) = {LookupDnsServer, LookupDhcpServer, LookupWinsServer,
                                 LookupGateway};

    fake::net.ConfigEmpty = true;
    for (auto &lookup : lookups) {
        SCOPED_TRACE(TableRow(lookups, lookup));
        EXPECT_EQ(lookup(0), 0u);
        EXPECT_EQ(lookup(1), 0u);
    }
    EXPECT_EQ(g_sysCallCount[SYS_malloc], 0u) << "size 0: nothing allocated";

    fake::net.ConfigEmpty = false;
    fake::net.ConfigSecondFails = true;
    for (auto &lookup : lookups) {
        SCOPED_TRACE(TableRow(lookups, lookup));
        EXPECT_EQ(lookup(0), 0u);
    }

    fake::net.ConfigSecondFails = false;
    SysResetCounts();
    FailEntry(SYS_malloc);
    for (auto &lookup : lookups) {
        SCOPED_TRACE(TableRow(lookups, lookup));
        EXPECT_EQ(lookup(1), 0u);
    }
    EXPECT_EQ(g_sysCallCount[SYS_free], 0u) << "nothing to free after a failed allocation";
    SysResetCounts();
}

TEST_F(NetConfigTest, DhcpOnlyFromEnabledAdapters)
{
    fake::Adapter off, on, second;
    off.DhcpEnabled = 0;
    off.Dhcp = {"10.1.0.1"};
    on.DhcpEnabled = 1;
    on.Dhcp = {"10.1.0.2", "10.1.0.3"};  // the chained entry is not read
    second.DhcpEnabled = 1;
    second.Dhcp = {"255.255.255.255"};
    fake::net.Adapters = {off, on, second};
    EXPECT_EQ(Walk(LookupDhcpServer), (Texts{"1", "10.1.0.2", "-"}));
}

TEST_F(NetConfigTest, WinsNumberedAdapterByAdapter)
{
    fake::Adapter first, none, second;
    first.HaveWins = 1;
    first.PrimaryWins = "10.2.0.1";
    first.SecondaryWins = "10.2.0.2";
    none.HaveWins = 0;
    none.PrimaryWins = "10.2.0.9";
    second.HaveWins = 1;
    second.PrimaryWins = "10.2.0.3";
    second.SecondaryWins = "10.2.0.4";
    fake::net.Adapters = {first, none, second};
    EXPECT_EQ(Walk(LookupWinsServer),
              (Texts{"4", "10.2.0.1", "10.2.0.2", "10.2.0.3", "10.2.0.4", "-"}));

    fake::net.Adapters[0].PrimaryWins = "0.0.0.0";
    EXPECT_EQ(Walk(LookupWinsServer), (Texts{"3", "10.2.0.2", "10.2.0.3", "10.2.0.4", "-"}));
}

TEST_F(NetConfigTest, GatewaysSkipZeroAddresses)
{
    fake::Adapter a, b, c;
    a.Gateways = {"0.0.0.0"};
    b.Gateways = {"10.3.0.1", "0.0.0.0", "10.3.0.2"};
    c.DhcpEnabled = 0;
    c.Gateways = {"10.3.0.3"};
    fake::net.Adapters = {a, b, c};
    EXPECT_EQ(Walk(LookupGateway), (Texts{"3", "10.3.0.1", "10.3.0.2", "10.3.0.3", "-"}));

    fake::net.Adapters = {a};
    EXPECT_EQ(Walk(LookupGateway), (Texts{"0", "-"}));
}

TEST_F(NetConfigTest, MatchKeyword)
{
    struct Case {
        const wchar_t *keyword, *argument;
        int expected;
    } cases[] = {
        {L"#dns", L"#dns", 1},     {L"#dns", L"#DNS", 1},    {L"#dns", L"#Dns1", 1},
        {L"#dns", L"#dns2", 2},    {L"#dns", L"#dns9", 9},   {L"#dns", L"#dns0", 0},
        {L"#dns", L"#dns10", 0},   {L"#dns", L"#dns2x", 0},  {L"#dns", L"#dnsx", 0},
        {L"#dns", L"#dn", 0},      {L"#dns", L"dns", 0},     {L"#dns", L"", 0},
        {L"", L"#dns", 0},         {nullptr, L"#dns", 0},    {L"#dns", nullptr, 0},
        {L"#router", L"#ROUTER3", 3}, {L"#gw", L"#gw ", 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(MatchKeyword(c.keyword, c.argument), c.expected)
            << (c.keyword ? Narrow(c.keyword) : "null") << " / "
            << (c.argument ? Narrow(c.argument) : "null");
}

TEST_F(NetConfigTest, ExpandNetworkKeyword)
{
    fake::net.DnsServers = {"10.4.0.1", "10.4.0.2"};
    fake::Adapter adapter;
    adapter.DhcpEnabled = 1;
    adapter.Dhcp = {"10.4.1.1"};
    adapter.HaveWins = 0;
    adapter.Gateways = {"10.4.2.1", "10.4.2.2", "10.4.2.3"};
    fake::net.Adapters = {adapter};
    struct Case {
        const wchar_t *text;
        const char *expected;  // "" record untouched
    } cases[] = {
        {L"#DNS", "10.4.0.1"},    {L"#dns1", "10.4.0.1"},   {L"#dns2", "10.4.0.2"},
        {L"#dns3", ""},           {L"#dns0", ""},           {L"#dns10", ""},
        {L"#dns2x", ""},          {L"#dhcp", "10.4.1.1"},   {L"#gw3", "10.4.2.3"},
        {L"#router3", "10.4.2.3"}, {L"#Router", "10.4.2.1"}, {L"#wins", ""},
        {L"#web", ""},            {L"dns", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        SOCKADDR_IN v4;
        SOCKADDR_IN6 v6;
        memset(&v4, 0, sizeof v4);
        memset(&v6, 0xA5, sizeof v6);
        int result = ExpandNetworkKeyword(c.text, &v4, &v6);
        SCOPED_TRACE(Narrow(c.text));
        EXPECT_EQ(result, *c.expected ? 1 : 0);
        if (*c.expected) {
            EXPECT_EQ(v4.sin_family, AF_INET);
            EXPECT_EQ(v4.sin_port, 0);
            EXPECT_EQ(IPv4Text(v4.sin_addr.s_addr), c.expected);
        } else {
            SOCKADDR_IN zero;
            memset(&zero, 0, sizeof zero);
            EXPECT_EQ(memcmp(&v4, &zero, sizeof v4), 0);
        }
        for (size_t i = 0; i < sizeof v6; i++)
            ASSERT_EQ(reinterpret_cast<unsigned char *>(&v6)[i], 0xA5) << "IPv6 record written";
    }
}

TEST_F(NetConfigTest, ExpandNetworkKeywordArguments)
{
    SOCKADDR_IN v4;
    SOCKADDR_IN6 v6;
    memset(&v4, 0, sizeof v4);
    memset(&v6, 0, sizeof v6);
    EXPECT_EQ(ExpandNetworkKeyword(nullptr, &v4, &v6), -1);
    EXPECT_EQ(ExpandNetworkKeyword(L"#dns", nullptr, &v6), -1);
    EXPECT_EQ(ExpandNetworkKeyword(L"#dns", &v4, nullptr), -1);
    EXPECT_EQ(ExpandNetworkKeyword(L"", &v4, &v6), 0);
    EXPECT_EQ(g_sysCallCount[SYS_GetNetworkParams] + g_sysCallCount[SYS_GetAdaptersInfo], 0u)
        << "no lookup without a keyword";
}

TEST_F(NetConfigTest, FormatIPv4InMemoryOrder)
{
    wchar_t text[16];
    EXPECT_EQ(FormatIPv4(0x0101A8C0, text), 0);
    EXPECT_WTEXT(L"192.168.1.1", text);
    EXPECT_EQ(FormatIPv4(0xFFFFFFFF, text), 0);
    EXPECT_WTEXT(L"255.255.255.255", text);
    EXPECT_EQ(FormatIPv4(0, text), 0);
    EXPECT_WTEXT(L"0.0.0.0", text);
    EXPECT_EQ(FormatIPv4(1, nullptr), -1);
}

}  // namespace
