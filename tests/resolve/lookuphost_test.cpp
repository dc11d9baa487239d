// @LOOKUPHOST: selector rules, families, canonical names and the missing-host message.
#include "fakeworld.h"
#include "resolve/netentries.h"

namespace {

class LookupHostTest : public FakeWorldTest {
protected:
    void SetUp() override
    {
        FakeWorldTest::SetUp();
        fake::net.Hosts = {
            {L"localhost", AF_INET, "127.0.0.1", L"localhost.canon"},
            {L"localhost", AF_INET6, "::1", L"localhost.canon"},
            {L"v4only", AF_INET, "10.1.1.1", L"v4.canon"},
            {L"v6only", AF_INET6, "fd00::6", L"v6.canon"},
            {L"nocanon", AF_INET, "10.3.3.3", L""},
            {L"4", AF_INET, "10.4.0.4", L""},
            {L"10.1.1.1", AF_INET, "10.1.1.1", L""},
        };
    }
};

TEST_F(LookupHostTest, SelectorsAndHosts)
{
    struct Case {
        const wchar_t *argument;
        const wchar_t *expected;
        const wchar_t *looked;  // host text the resolver saw first
        int family;             // and the family of that first lookup
    } cases[] = {
        {L"localhost", L"127.0.0.1", L"localhost", AF_INET},
        {L"  localhost", L"127.0.0.1", L"localhost", AF_INET},
        {L"6,localhost", L"::1", L"localhost", AF_INET},
        {L"6; \tlocalhost", L"::1", L"localhost", AF_INET},
        {L"0x6,localhost", L"::1", L"localhost", AF_INET},
        {L"4,v6only", L"", L"v6only", AF_INET},
        {L"6,v4only", L"", L"v4only", AF_INET},
        {L"10,v4only", L"10.1.1.1", L"v4only", AF_INET},
        {L"10,localhost", L"::1", L"localhost", AF_INET},
        {L"0,v6only", L"fd00::6", L"v6only", AF_INET},
        {L"138,localhost", L"localhost.canon", L"localhost", AF_INET},
        {L"128,v6only", L"v6.canon", L"v6only", AF_INET},
        {L"128,nocanon", L"", L"nocanon", AF_INET},
        {L"128,nowhere", L"", L"nowhere", AF_INET},
        {L"132,v6only", L"", L"v6only", AF_INET},
        {L"134,v6only", L"v6.canon", L"v6only", AF_INET},
        {L"0x104,v4only", L"10.1.1.1", L"v4only", AF_INET},  // bits above 7 ignored
        {L"4", L"10.4.0.4", L"4", AF_INET},
        {L"10.1.1.1", L"10.1.1.1", L"10.1.1.1", AF_INET},
        {L"6 ,localhost", L"", L"6 ,localhost", AF_INET},
        {L"4,localhost  ", L"", L"localhost  ", AF_INET},
        {L"4294967296,localhost", L"", L"4294967296,localhost", AF_INET},
        {L"0x,localhost", L"", L"0x,localhost", AF_INET},
        {L"nowhere", L"", L"nowhere", AF_INET},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(Narrow(c.argument));
        fake::net.AddrInfoCalls.clear();
        std::wstring result;
        EXPECT_EQ(CallEntry(f_lookuphost, c.argument, &result), 0);
        EXPECT_WTEXT(c.expected, result);
        ASSERT_FALSE(fake::net.AddrInfoCalls.empty());
        EXPECT_EQ(Narrow(fake::net.AddrInfoCalls[0].Name), Narrow(c.looked));
        EXPECT_EQ(fake::net.AddrInfoCalls[0].Family, c.family);
        EXPECT_WTEXT(L"", CapturedErr());
    }
}

TEST_F(LookupHostTest, MissingHostname)
{
    const wchar_t *arguments[] = {L"", L"   ", L"4,", L"4;   ", L"128, \t"};
    for (const wchar_t *argument : arguments) {
        ClearCaptured();
        std::wstring result;
        EXPECT_EQ(CallEntry(f_lookuphost, argument, &result), -1) << Narrow(argument);
        EXPECT_ERROR(L"Missing hostname\r\n");
    }
    EXPECT_EQ(g_sysCallCount[SYS_GetAddrInfoW], 0u);
    EXPECT_EQ(f_lookuphost(nullptr), -1);
}

TEST_F(LookupHostTest, LongHostTextStaysInBuffer)
{
    static wchar_t buffer[8192 + 4];
    wmemset(buffer, L'a', 8191);
    buffer[8191] = 0;
    buffer[8192] = L'#';
    EXPECT_EQ(f_lookuphost(buffer), 0);
    EXPECT_WTEXT(L"", buffer);
    EXPECT_EQ(buffer[8192], L'#');
}

}  // namespace
