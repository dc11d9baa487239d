// ResolveHost against a faked resolver and DNS client.
#include "fakeworld.h"
#include "resolve/resolve.h"

#include <string.h>

namespace {

const HKEY User = HKEY_CURRENT_USER;

class ResolveHostTest : public FakeWorldTest {
protected:
    void SetUp() override
    {
        FakeWorldTest::SetUp();
        fake::net.Numeric = false;  // only the hosts listed resolve
        fake::net.Hosts = {
            {L"v4only", AF_INET, "10.1.1.1", L""},
            {L"v6only", AF_INET6, "fd00::6", L""},
            {L"both", AF_INET, "10.2.2.2", L"both.canon.test"},
            {L"both", AF_INET6, "fd00::2", L"both6.canon.test"},
        };
    }
    void TearDown() override
    {
        EXPECT_EQ(fake::net.AddrInfoLive, 0) << "every resolver list is freed";
        EXPECT_EQ(fake::net.DnsBadFreeType, 0);
        FakeWorldTest::TearDown();
    }

    // Resolves and gives the address as text ("" for family 0).
    std::string Resolve(const wchar_t *text, int preferred, int second, int *result,
                        wchar_t *canonical = nullptr, int *macro = nullptr)
    {
        memset(&address_, 0, sizeof address_);
        *result = ResolveHost(text, &address_, static_cast<unsigned char>(preferred),
                              static_cast<unsigned char>(second), canonical,
                              canonical != nullptr ? 1025 : 0, macro);
        if (address_.Generic.sa_family == 0)
            return "";
        return AddressText(&address_.Generic);
    }

    bool TailIsZero(size_t from) const
    {
        for (size_t i = from; i < sizeof address_; i++)
            if (address_.Bytes[i] != 0)
                return false;
        return true;
    }

    HostAddress address_;
};

TEST_F(ResolveHostTest, ArgumentChecks)
{
    HostAddress address;
    memset(&address, 0, sizeof address);
    int macro = 5;
    EXPECT_EQ(ResolveHost(nullptr, &address, 2, 23, nullptr, 0, &macro), -1);
    EXPECT_EQ(ResolveHost(L"v4only", nullptr, 2, 23, nullptr, 0, &macro), -1);
    EXPECT_EQ(ResolveHost(L"v4only", &address, 0, 23, nullptr, 0, &macro), -2);
    EXPECT_EQ(ResolveHost(L"v4only", &address, 6, 2, nullptr, 0, &macro), -2);
    EXPECT_EQ(macro, 5) << "the macro flag is set only after the argument checks";
    EXPECT_EQ(g_sysCallCount[SYS_GetAddrInfoW], 0u) << "nothing is looked up";
    EXPECT_EQ(address.Generic.sa_family, 0);
}

// Every family pair against hosts with one or both address families.
TEST_F(ResolveHostTest, FamilyChoice)
{
    struct Case {
        const wchar_t *host;
        int preferred, second;
        const char *expected;  // "" result 2
    } cases[] = {
        {L"v4only", 2, 23, "10.1.1.1"}, {L"v4only", 2, 0, "10.1.1.1"},
        {L"v4only", 23, 0, ""},         {L"v4only", 23, 2, "10.1.1.1"},
        {L"v4only", 2, 2, "10.1.1.1"},  {L"v4only", 23, 23, ""},
        {L"v4only", 23, 7, ""},         {L"v6only", 2, 23, "fd00::6"},
        {L"v6only", 2, 0, ""},          {L"v6only", 23, 0, "fd00::6"},
        {L"v6only", 23, 2, "fd00::6"},  {L"v6only", 2, 2, ""},
        {L"v6only", 2, 9, ""},          {L"both", 2, 23, "10.2.2.2"},
        {L"both", 2, 0, "10.2.2.2"},    {L"both", 23, 0, "fd00::2"},
        {L"both", 23, 2, "fd00::2"},    {L"nowhere", 2, 23, ""},
        {L"nowhere", 23, 2, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        int result = 99;
        int macro = 7;
        std::string got = Resolve(c.host, c.preferred, c.second, &result, nullptr, &macro);
        SCOPED_TRACE(Narrow(c.host) + " (" + std::to_string(c.preferred) + "," +
                     std::to_string(c.second) + ")");
        EXPECT_EQ(got, c.expected);
        EXPECT_EQ(result, *c.expected ? 0 : 2);
        EXPECT_EQ(macro, 0);
        EXPECT_TRUE(TailIsZero(got.empty() ? 0 : got.find(':') != std::string::npos ? 28 : 16))
            << "nothing written beyond the socket address";
    }
}

TEST_F(ResolveHostTest, BothLookupsRunWhateverTheFamilies)
{
    int result;
    Resolve(L"v4only", 2, 0, &result);
    ASSERT_EQ(fake::net.AddrInfoCalls.size(), 2u);
    EXPECT_EQ(fake::net.AddrInfoCalls[0].Family, AF_INET);
    EXPECT_EQ(fake::net.AddrInfoCalls[1].Family, AF_INET6);
    ASSERT_EQ(fake::net.DnsCalls.size(), 1u) << "no IPv6 from the resolver: DNS is asked";
    EXPECT_EQ(fake::net.DnsCalls[0].Name, L"v4only");
    EXPECT_EQ(fake::net.DnsCalls[0].Type, DNS_TYPE_AAAA);
    EXPECT_EQ(fake::net.DnsCalls[0].Options, static_cast<DWORD>(DNS_QUERY_STANDARD));

    fake::net.DnsCalls.clear();
    Resolve(L"v6only", 2, 23, &result);
    EXPECT_TRUE(fake::net.DnsCalls.empty()) << "the resolver gave IPv6: no DNS query";
}

TEST_F(ResolveHostTest, AaaaFallbackSkipsZeroRecords)
{
    fake::net.Records = {
        {DNS_TYPE_A, "10.9.9.9"},
        {DNS_TYPE_AAAA, "::"},
        {DNS_TYPE_AAAA, "fd00::a"},
        {DNS_TYPE_AAAA, "fd00::b"},
    };
    int result;
    EXPECT_EQ(Resolve(L"v4only", 23, 0, &result), "fd00::a");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(address_.V6.sin6_port, 0);
    EXPECT_EQ(address_.V6.sin6_flowinfo, 0u);
    EXPECT_EQ(address_.V6.sin6_scope_id, 0u);
    EXPECT_EQ(fake::net.DnsFrees, 1);

    // The resolver's own IPv6 answer is copied whole, flow information too.
    EXPECT_EQ(Resolve(L"both", 23, 0, &result), "fd00::2");
    EXPECT_EQ(address_.V6.sin6_flowinfo, 0x11u);

    // Preferring IPv4 still returns the IPv4 address.
    EXPECT_EQ(Resolve(L"v4only", 2, 23, &result), "10.1.1.1");
}

TEST_F(ResolveHostTest, AaaaFallbackWithoutUsableRecords)
{
    struct Case {
        std::vector<fake::Record> records;
        DNS_STATUS status;
        int frees;
    } cases[] = {
        {{{DNS_TYPE_AAAA, "::"}, {DNS_TYPE_A, "10.9.9.9"}}, 0, 1},
        {{}, 0, 0},
        {{{DNS_TYPE_AAAA, "fd00::a"}}, DNS_ERROR_RCODE_NAME_ERROR, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        fake::net.Records = c.records;
        fake::net.DnsStatus = c.status;
        fake::net.DnsFrees = 0;
        int result;
        EXPECT_EQ(Resolve(L"v4only", 23, 0, &result), "");
        EXPECT_EQ(result, 2);
        EXPECT_EQ(fake::net.DnsFrees, c.frees);
    }
}

// DNS is asked only about text that can be a host name.  Every query is
// answered here, so a text that was asked about gets the AAAA address and
// one that was not keeps what the system resolver gave.
TEST_F(ResolveHostTest, AaaaQueryOnlyForTextThatCanBeAName)
{
    fake::net.Hosts.push_back({L"10.7.7.7", AF_INET, "10.7.7.7", L""});
    fake::net.Hosts.push_back({L"127.0.0.1", AF_INET, "127.0.0.1", L""});
    fake::net.Records = {{DNS_TYPE_AAAA, "fd00::dd"}};
    struct Case {
        const wchar_t *text;
        bool asked;
    } cases[] = {
        // Names, also with '_', '-', an internationalised one, and texts
        // the resolver may read as an address but DNS may still know.
        {L"v4only", true},
        {L"nowhere", true},
        {L"host-1.example", true},
        {L"_srv.under_score.test", true},
        {L"xn--bcher-kva.example", true},
        {L"b\u00FCcher.example", true},
        {L"\u4F8B\u3048.\u30C6\u30B9\u30C8", true},
        {L"4", true},
        {L"127.1", true},
        {L"10.7.7.7.", true},
        {L"256.1.1.1", true},
        {L"1.2.3.4.5", true},
        {L"0010.7.7.7", true},
        // Literal addresses.
        {L"10.7.7.7", false},
        {L"127.0.0.1", false},
        {L"0.0.0.0", false},
        {L"255.255.255.255", false},
        {L"::1", false},
        {L"fd00::9", false},
        {L"fe80::1%3", false},
        {L"::ffff:10.7.7.7", false},
        {L"[fd00::9]", false},
        // Keywords and macros left unexpanded, and other characters.
        {L"#router", false},
        {L"#dns2", false},
        {L"#7", false},
        {L"#web", false},
        {L"two words", false},
        {L" v4only", false},
        {L"v4only ", false},
        {L"tab\there", false},
        {L"a*b", false},
        {L"what?", false},
        {L"host/path", false},
        {L"back\\slash", false},
        {L"semi;colon", false},
        {L"comma,host", false},
        {L"%name%", false},
        {L"@host", false},
        {L"", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(Narrow(c.text));
        fake::net.DnsCalls.clear();
        int result;
        std::string got = Resolve(c.text, 23, 0, &result);
        if (c.asked) {
            ASSERT_EQ(fake::net.DnsCalls.size(), 1u);
            EXPECT_EQ(fake::net.DnsCalls[0].Name, c.text);
            EXPECT_EQ(fake::net.DnsCalls[0].Type, DNS_TYPE_AAAA);
            EXPECT_EQ(got, "fd00::dd");
        } else {
            EXPECT_TRUE(fake::net.DnsCalls.empty());
            EXPECT_EQ(got, "");
            EXPECT_EQ(result, 2);
        }
    }

    // A literal address still resolves as before, for IPv4 and for IPv6.
    int result;
    EXPECT_EQ(Resolve(L"10.7.7.7", 2, 23, &result), "10.7.7.7");
    EXPECT_EQ(result, 0);
    fake::net.Hosts.push_back({L"fd00::9", AF_INET6, "fd00::9", L""});
    fake::net.DnsCalls.clear();
    EXPECT_EQ(Resolve(L"fd00::9", 23, 2, &result), "fd00::9");
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(fake::net.DnsCalls.empty());
}

// The text DNS would see is the expansion of a macro: a macro holding an
// address asks nothing, one holding a name asks about that name.
TEST_F(ResolveHostTest, AaaaQueryFollowsTheMacroExpansion)
{
    fake::net.Hosts.push_back({L"10.7.7.7", AF_INET, "10.7.7.7", L""});
    SetRegistryString(User, TEST_SETTINGS_KEY, L"Host-ADDR", L"10.7.7.7");
    SetRegistryString(User, TEST_SETTINGS_KEY, L"Host-NAME", L"v4only");
    int result;
    int macro = 0;
    EXPECT_EQ(Resolve(L"#addr", 2, 23, &result, nullptr, &macro), "10.7.7.7");
    EXPECT_EQ(macro, 1);
    EXPECT_TRUE(fake::net.DnsCalls.empty());

    EXPECT_EQ(Resolve(L"#name", 2, 23, &result, nullptr, &macro), "10.1.1.1");
    EXPECT_EQ(macro, 1);
    ASSERT_EQ(fake::net.DnsCalls.size(), 1u);
    EXPECT_EQ(fake::net.DnsCalls[0].Name, L"v4only");
}

TEST_F(ResolveHostTest, CanonicalNameRequestedUntilFound)
{
    wchar_t canonical[1025];
    wcscpy(canonical, L"untouched");
    int result;
    EXPECT_EQ(Resolve(L"both", 23, 0, &result, canonical), "fd00::2");
    EXPECT_WTEXT(L"both.canon.test", canonical) << "from the IPv4 lookup, which came first";
    ASSERT_EQ(fake::net.AddrInfoCalls.size(), 2u);
    EXPECT_EQ(fake::net.AddrInfoCalls[0].Flags, AI_CANONNAME);
    EXPECT_EQ(fake::net.AddrInfoCalls[1].Flags, 0) << "already found: not asked again";

    fake::net.AddrInfoCalls.clear();
    fake::net.Hosts.push_back({L"six", AF_INET6, "fd00::7", L"six.canon.test"});
    wcscpy(canonical, L"untouched");
    EXPECT_EQ(Resolve(L"six", 2, 23, &result, canonical), "fd00::7");
    EXPECT_WTEXT(L"six.canon.test", canonical);
    ASSERT_EQ(fake::net.AddrInfoCalls.size(), 2u);
    EXPECT_EQ(fake::net.AddrInfoCalls[1].Flags, AI_CANONNAME);

    // Not asked for: no flag, nothing written; a failure writes nothing.
    fake::net.AddrInfoCalls.clear();
    Resolve(L"both", 2, 23, &result);
    EXPECT_EQ(fake::net.AddrInfoCalls[0].Flags, 0);
    EXPECT_EQ(fake::net.AddrInfoCalls[1].Flags, 0);
    wcscpy(canonical, L"untouched");
    EXPECT_EQ(Resolve(L"both", 23, 23, &result, canonical), "fd00::2");
    EXPECT_EQ(Resolve(L"v4only", 23, 0, &result, canonical), "");
    EXPECT_EQ(result, 2);
    EXPECT_WTEXT(L"both.canon.test", canonical);
}

TEST_F(ResolveHostTest, WalkTakesFirstFittingEntryAndFirstName)
{
    fake::net.Hosts = {
        {L"odd", AF_INET6, "fd00::1", L"", true},  // other family
        {L"odd", AF_INET, "10.0.0.8", L"first.canon", false, 8},  // short address
        {L"odd", AF_INET, "10.0.0.9", L"", false, 0, true},  // no address
        {L"odd", AF_INET, "10.3.3.3", L"second.canon"},
        {L"odd", AF_INET, "10.4.4.4", L""},
    };
    wchar_t canonical[1025] = L"";
    int result;
    EXPECT_EQ(Resolve(L"odd", 2, 0, &result, canonical), "10.3.3.3");
    EXPECT_WTEXT(L"first.canon", canonical);
}

TEST_F(ResolveHostTest, LongCanonicalNameIsBounded)
{
    std::wstring longName(3000, L'n');
    fake::net.Hosts = {{L"long", AF_INET, "10.5.5.5", longName}};
    wchar_t canonical[1025 + 8];
    wmemset(canonical, L'#', 1025 + 8);
    int result;
    EXPECT_EQ(Resolve(L"long", 2, 23, &result, canonical), "10.5.5.5");
    EXPECT_EQ(wcslen(canonical), 1024u);
    for (int i = 1025; i < 1025 + 8; i++)
        EXPECT_EQ(canonical[i], L'#') << "written past 1025 characters at " << i;
}

TEST_F(ResolveHostTest, NetworkKeywordGivesIPv4WithoutLookup)
{
    fake::Adapter adapter;
    adapter.Gateways = {"10.0.0.1", "10.0.0.2"};
    fake::net.Adapters = {adapter};
    int result;
    int macro = 9;
    EXPECT_EQ(Resolve(L"#router", 2, 23, &result, nullptr, &macro), "10.0.0.1");
    EXPECT_EQ(macro, 0);
    ASSERT_EQ(fake::net.AddrInfoCalls.size(), 1u) << "only the IPv6 lookup runs";
    EXPECT_EQ(fake::net.AddrInfoCalls[0].Family, AF_INET6);
    EXPECT_EQ(fake::net.AddrInfoCalls[0].Name, L"#router");
    EXPECT_TRUE(fake::net.DnsCalls.empty()) << "\"#router\" is no name to ask DNS about";

    EXPECT_EQ(Resolve(L"#GW2", 2, 23, &result), "10.0.0.2");
    EXPECT_EQ(Resolve(L"#router", 23, 0, &result), "");
    EXPECT_EQ(result, 2);
}

TEST_F(ResolveHostTest, UnknownKeywordIsNoMacro)
{
    SetRegistryString(User, TEST_SETTINGS_KEY, L"Host-ROUTER", L"v4only");
    int result;
    int macro = 9;
    EXPECT_EQ(Resolve(L"#router", 2, 23, &result, nullptr, &macro), "");
    EXPECT_EQ(result, 2);
    EXPECT_EQ(macro, 0);
    ASSERT_EQ(fake::net.AddrInfoCalls.size(), 2u);
    EXPECT_EQ(fake::net.AddrInfoCalls[0].Name, L"#router");
    EXPECT_TRUE(fake::net.DnsCalls.empty());
}

TEST_F(ResolveHostTest, MacroReplacesTheTextOnce)
{
    SetRegistryString(User, TEST_SETTINGS_KEY, L"Host-7", L"v4only");
    SetRegistryString(User, TEST_SETTINGS_KEY, L"Host-8", L"#7");
    SetRegistryString(User, TEST_SETTINGS_KEY, L"Host-WEB", L"v6only");
    struct Case {
        const wchar_t *text;
        const char *expected;
        const wchar_t *looked;  // the text the resolver and DNS saw
        int macro;
        size_t dnsCalls;        // no IPv6 from the resolver, and a name
    } cases[] = {
        {L"#7", "10.1.1.1", L"v4only", 1, 1},
        {L"#007", "10.1.1.1", L"v4only", 1, 1},
        {L"#0x7", "10.1.1.1", L"v4only", 1, 1},
        {L"#web", "fd00::6", L"v6only", 1, 0},
        {L"#8", "", L"#7", 1, 0},  // expanded, then not expanded again
        {L"#9", "", L"#9", 0, 0},
        {L"v4only", "10.1.1.1", L"v4only", 0, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(Narrow(c.text));
        fake::net.AddrInfoCalls.clear();
        fake::net.DnsCalls.clear();
        int result;
        int macro = -5;
        EXPECT_EQ(Resolve(c.text, 2, 23, &result, nullptr, &macro), c.expected);
        EXPECT_EQ(macro, c.macro);
        ASSERT_EQ(fake::net.AddrInfoCalls.size(), 2u);
        EXPECT_EQ(fake::net.AddrInfoCalls[0].Name, c.looked);
        EXPECT_EQ(fake::net.AddrInfoCalls[1].Name, c.looked);
        EXPECT_EQ(fake::net.DnsCalls.size(), c.dnsCalls);
        for (const fake::DnsCall &call : fake::net.DnsCalls)
            EXPECT_EQ(call.Name, c.looked);
    }
}

}  // namespace
