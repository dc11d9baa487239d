// PingOnce: both echo paths with a faked ICMP helper, and real echoes to loopback.
#include "fakeworld.h"
#include "resolve/pingonce.h"
#include "base/hostaddress.h"

#include <io.h>
#include <stdio.h>
#include <string.h>

namespace {

class PingOnceTest : public FakeWorldTest {
protected:
    void SetUp() override
    {
        FakeWorldTest::SetUp();
        fake::net.Numeric = false;  // only the hosts listed resolve
        fake::icmp.After = fake::Echo();  // 3 ms replies
        fake::net.Hosts = {
            {L"v4host", AF_INET, "10.8.0.1", L""},
            {L"v6host", AF_INET6, "fd00::81", L""},
            {L"dual", AF_INET, "10.8.0.2", L""},
            {L"dual", AF_INET6, "fd00::82", L""},
        };
    }
    void TearDown() override
    {
        EXPECT_EQ(fake::LiveBlocks(), 0) << "buffers freed";
        FakeWorldTest::TearDown();
    }
};

// Every reply status on both paths: only 11002 to 11005 are "unreachable".
TEST_F(PingOnceTest, ReplyStatuses)
{
    struct Case {
        DWORD returned;
        ULONG status;
        const char *from;  // "" the destination itself
        int expected;
    } cases[] = {
        {1, IP_SUCCESS, "", 3},
        {0, IP_SUCCESS, "", -1},  // nothing came back
        {1, IP_DEST_NET_UNREACHABLE, "", -2},
        {1, IP_DEST_HOST_UNREACHABLE, "", -2},
        {1, IP_DEST_PROT_UNREACHABLE, "", -2},
        {1, IP_DEST_PORT_UNREACHABLE, "", -2},
        {1, IP_BUF_TOO_SMALL, "", -1},
        {1, IP_NO_RESOURCES, "", -1},
        {1, IP_REQ_TIMED_OUT, "", -1},
        {1, IP_TTL_EXPIRED_TRANSIT, "", -1},
        {1, IP_BAD_DESTINATION, "", -1},
        {1, IP_GENERAL_FAILURE, "", -1},
        {1, IP_DEST_HOST_UNREACHABLE, "other", -2},  // a router reports
        {1, IP_SUCCESS, "other", -1},                // reply from someone else
    };
    for (bool v6 : {false, true}) {
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(v6 ? "IPv6 " : "IPv4 ") + std::to_string(c.status) + " " +
                         c.from);
            fake::icmp.After = fake::Echo();
            fake::icmp.After.Returned = c.returned;
            fake::icmp.After.Status = c.status;
            if (*c.from)
                fake::icmp.After.From = v6 ? "fd00::99" : "10.9.9.9";
            fake::icmp.Calls.clear();
            int closes = fake::icmp.Closed;
            EXPECT_EQ(PingOnce(v6 ? L"v6host" : L"v4host", 32, 5000, 64, 0), c.expected);
            ASSERT_EQ(fake::icmp.Calls.size(), 1u);
            EXPECT_EQ(fake::icmp.Calls[0].V6, v6);
            EXPECT_EQ(fake::icmp.Calls[0].Destination, v6 ? "fd00::81" : "10.8.0.1");
            EXPECT_EQ(fake::icmp.Closed, closes + 1);
        }
    }
}

TEST_F(PingOnceTest, RequestShapeOnBothPaths)
{
    EXPECT_EQ(PingOnce(L"v4host", 100, 2000, 0, 0), 3);
    EXPECT_EQ(PingOnce(L"v6host", 100, 2000, 17, 0), 3);
    ASSERT_EQ(fake::icmp.Calls.size(), 2u);
    for (const fake::EchoCall &call : fake::icmp.Calls) {
        EXPECT_EQ(call.Request.size(), 100u);
        EXPECT_EQ(call.Timeout, 2000u);
        EXPECT_EQ(call.Options.Tos, 0);
        EXPECT_EQ(call.Options.Flags, 0);
        EXPECT_EQ(call.Options.OptionsSize, 0);
        EXPECT_EQ(call.Options.OptionsData, nullptr);
    }
    EXPECT_EQ(fake::icmp.Calls[0].Options.Ttl, 128) << "TTL 0 stands for 128";
    EXPECT_EQ(fake::icmp.Calls[1].Options.Ttl, 17);
    EXPECT_EQ(fake::icmp.Calls[0].ReplySize, 100 + ICMP_REPLY_EXTRA);
    EXPECT_EQ(fake::icmp.Calls[1].ReplySize, 100 + ICMP6_REPLY_EXTRA);
    EXPECT_FALSE(fake::icmp.Calls[1].HadEvent);
    const SOCKADDR_IN6 &source = fake::icmp.Calls[1].Source;
    EXPECT_EQ(source.sin6_family, AF_INET6);
    EXPECT_EQ(AddressText(reinterpret_cast<const SOCKADDR *>(&source)), "::");
    EXPECT_EQ(source.sin6_port, 0);
    EXPECT_EQ(source.sin6_flowinfo, 0u);
    EXPECT_EQ(source.sin6_scope_id, 0u);
    EXPECT_EQ(g_sysCallCount[SYS_rand_s], 200u) << "one random value per byte";
}

TEST_F(PingOnceTest, TimeoutClamped)
{
    PingOnce(L"v4host", 12, 5, 1, 0);
    PingOnce(L"v4host", 12, 70000000, 1, 0);
    ASSERT_EQ(fake::icmp.Calls.size(), 2u);
    EXPECT_EQ(fake::icmp.Calls[0].Timeout, 1000u);
    EXPECT_EQ(fake::icmp.Calls[1].Timeout, 60000000u);
}

TEST_F(PingOnceTest, FamilyOrderFromFlag1)
{
    struct Case {
        const wchar_t *host;
        DWORD flags;
        const char *destination;
    } cases[] = {
        {L"dual", 0, "10.8.0.2"},
        {L"dual", 1, "fd00::82"},
        {L"v4host", 1, "10.8.0.1"},
        {L"v6host", 0, "fd00::81"},
        {L"dual", 0x101, "fd00::82"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        fake::icmp.Calls.clear();
        EXPECT_EQ(PingOnce(c.host, 12, 1000, 1, c.flags), 3);
        ASSERT_EQ(fake::icmp.Calls.size(), 1u);
        EXPECT_EQ(fake::icmp.Calls[0].Destination, c.destination) << Narrow(c.host) << c.flags;
    }
}

TEST_F(PingOnceTest, DataCheckOnlyWithFlag2)
{
    struct Case {
        bool corrupt, shortData;
        DWORD flags;
        int expected;
    } cases[] = {
        {false, false, 2, 3}, {true, false, 2, -10}, {true, false, 0, 3},
        {true, false, 0xFD, 3},  // every low bit but 2
    };
    for (bool v6 : {false, true}) {
        SCOPED_TRACE(::testing::Message() << v6);
        for (const Case &c : cases) {
            SCOPED_TRACE(TableRow(cases, c));
            fake::icmp.After = fake::Echo();
            fake::icmp.After.Corrupt = c.corrupt;
            EXPECT_EQ(PingOnce(v6 ? L"v6host" : L"v4host", 64, 1000, 64, c.flags), c.expected)
                << (v6 ? "IPv6" : "IPv4") << " corrupt " << c.corrupt << " flags " << c.flags;
        }
    }
    // An IPv4 reply that carries fewer bytes than were sent differs too.
    fake::icmp.After = fake::Echo();
    fake::icmp.After.ShortData = true;
    EXPECT_EQ(PingOnce(L"v4host", 64, 1000, 64, 2), -10);
    EXPECT_EQ(PingOnce(L"v4host", 64, 1000, 64, 0), 3);
}

TEST_F(PingOnceTest, NoAddress)
{
    EXPECT_EQ(PingOnce(nullptr, 64, 1000, 64, 0), -3);
    EXPECT_EQ(PingOnce(L"", 64, 1000, 64, 0), -3);
    EXPECT_EQ(PingOnce(L"nowhere", 64, 1000, 64, 0), -3);
    EXPECT_EQ(PingOnce(L"nowhere", 64, 1000, 64, 1), -3);
    EXPECT_TRUE(fake::icmp.Calls.empty());
    EXPECT_EQ(g_sysCallCount[SYS_malloc], 0u);
    EXPECT_EQ(g_sysCallCount[SYS_IcmpCreateFile] + g_sysCallCount[SYS_Icmp6CreateFile], 0u);
}

// Fails the n-th allocation of one echo.
TEST_F(PingOnceTest, ResourceFailuresGiveMinus4)
{
    for (bool v6 : {false, true}) {
        SCOPED_TRACE(::testing::Message() << v6);
        const wchar_t *host = v6 ? L"v6host" : L"v4host";
        for (int n = 1; n <= 2; n++) {
            SysResetCounts();
            fake::heap.FailMallocAt = n;
            fake::heap.Mallocs = 0;
            int closes = fake::icmp.Closed;
            EXPECT_EQ(PingOnce(host, 64, 1000, 64, 0), -4) << "allocation " << n;
            EXPECT_EQ(g_sysCallCount[SYS_free], static_cast<unsigned long>(n - 1))
                << "what was allocated is freed";
            EXPECT_EQ(fake::icmp.Closed, closes) << "no handle was opened";
        }
        fake::heap.FailMallocAt = 0;
        HANDLE good4 = fake::icmp.Handle4, good6 = fake::icmp.Handle6;
        for (HANDLE bad : {static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE}) {
            SCOPED_TRACE(::testing::Message() << bad);
            SysResetCounts();
            fake::icmp.Handle4 = fake::icmp.Handle6 = bad;
            int closes = fake::icmp.Closed;
            EXPECT_EQ(PingOnce(host, 64, 1000, 64, 0), -4);
            EXPECT_EQ(fake::icmp.Closed, closes) << "an invalid handle is not closed";
            EXPECT_EQ(g_sysCallCount[SYS_free], 2u);
            EXPECT_EQ(g_sysCallCount[v6 ? SYS_Icmp6CreateFile : SYS_IcmpCreateFile], 1u);
        }
        fake::icmp.Handle4 = good4;
        fake::icmp.Handle6 = good6;
    }
    EXPECT_TRUE(fake::icmp.Calls.empty());
}

TEST_F(PingOnceTest, TwoCallsSendDifferentData)
{
    EXPECT_EQ(PingOnce(L"v4host", 64, 1000, 64, 2), 3);
    EXPECT_EQ(PingOnce(L"v4host", 64, 1000, 64, 2), 3);
    ASSERT_EQ(fake::icmp.Calls.size(), 2u);
    EXPECT_NE(fake::icmp.Calls[0].Request, fake::icmp.Calls[1].Request);
    // Within one request the bytes are not all alike either.
    const std::vector<unsigned char> &data = fake::icmp.Calls[0].Request;
    bool varied = false;
    for (unsigned char b : data)
        varied = varied || b != data[0];
    EXPECT_TRUE(varied);
}

// Runs PingOnce with the C library's standard output sent to a file and
// gives what was written there.
std::string StandardOutputOf(const wchar_t *host, DWORD flags, int *outcome)
{
    fflush(stdout);
    char path[MAX_PATH];
    snprintf(path, sizeof path, "pingonce-stdout-%lu.txt", GetCurrentProcessId());
    int saved = _dup(1);
    FILE *file = fopen(path, "w+b");
    _dup2(_fileno(file), 1);
    *outcome = PingOnce(host, 12, 1000, 64, flags);
    fflush(stdout);
    _dup2(saved, 1);
    _close(saved);
    std::string text;
    fseek(file, 0, SEEK_SET);
    char chunk[256];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, file)) > 0)
        text.append(chunk, n);
    fclose(file);
    remove(path);
    return text;
}

TEST_F(PingOnceTest, Flag128PrintsTheAddress)
{
    int outcome;
    EXPECT_EQ(StandardOutputOf(L"v4host", 128, &outcome), "   * IPv4 address:  10.8.0.1\n");
    EXPECT_EQ(outcome, 3);
    EXPECT_EQ(StandardOutputOf(L"dual", 129, &outcome), "   * IPv6 address:  fd00::82\n");
    EXPECT_EQ(outcome, 3);
    EXPECT_EQ(StandardOutputOf(L"dual", 1, &outcome), "");
    EXPECT_EQ(StandardOutputOf(L"nowhere", 128, &outcome), "") << "nothing without an address";
    EXPECT_EQ(outcome, -3);
}

TEST_F(PingOnceTest, FormatHostAddressOfAnIPv6Address)
{
    HostAddress address;
    wchar_t text[128];
    memset(&address, 0, sizeof address);
    EXPECT_EQ(FormatHostAddress(nullptr, text, 128), -1);
    EXPECT_EQ(FormatHostAddress(&address, nullptr, 128), -1);
    wcscpy(text, L"untouched");
    address.Generic.sa_family = AF_UNSPEC;
    EXPECT_EQ(FormatHostAddress(&address, text, 128), 1);
    EXPECT_WTEXT(L"untouched", text);
    address.V6.sin6_family = AF_INET6;
    address.V6.sin6_addr.s6_addr[0] = 0xfd;
    address.V6.sin6_addr.s6_addr[15] = 0x81;
    EXPECT_EQ(FormatHostAddress(&address, text, 128), 0);
    EXPECT_WTEXT(L"fd00::81", text);
}

// Real echoes to loopback with the real ICMP helper.  The fake resolver
// answers "127.0.0.1" as IPv4 only, so that no DNS query leaves the machine.
class LoopbackPingTest : public FakeWorldTest {
protected:
    void SetUp() override
    {
        FakeWorldTest::SetUp();
        UseReal({SYS_IcmpCreateFile, SYS_Icmp6CreateFile, SYS_IcmpSendEcho, SYS_Icmp6SendEcho2,
                 SYS_IcmpCloseHandle, SYS_GetLastError});
    }
};

TEST_F(LoopbackPingTest, EchoWithDataCheck)
{
    int outcome = PingOnce(L"127.0.0.1", 64, 5000, 64, 2);
    EXPECT_GE(outcome, 0);
    EXPECT_LT(outcome, 1000);
}

TEST_F(LoopbackPingTest, LargeEcho)
{
    int outcome = PingOnce(L"127.0.0.1", 65500, 5000, 64, 2);
    EXPECT_GE(outcome, 0);
    EXPECT_LT(outcome, 1000);
}

}  // namespace
