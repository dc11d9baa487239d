// The ICMP helper's rules as Windows keeps them: the reply buffers of both
// families on this build's architecture, the time-outs it refuses or
// stretches, and its error texts, through single echoes and whole runs.
#include "fakeworld.h"
#include "ping/echorun.h"
#include "ping/sendecho.h"
#include "icmp/icmpecho.h"

#include <vector>

namespace {

const DWORD Size = 32;

HostAddress Destination(bool v6)
{
    HostAddress address = {};
    if (v6) {
        address.V6.sin6_family = AF_INET6;
        address.V6.sin6_addr.s6_addr[15] = 1;
    } else {
        address.V4.sin_family = AF_INET;
        address.V4.sin_addr.s_addr = inet_addr("127.0.0.1");
    }
    return address;
}

// One echo of Size bytes with a reply buffer of replySize bytes.
EchoResult EchoWith(bool v6, DWORD replySize, DWORD timeout = 1000)
{
    HostAddress to = Destination(v6);
    std::vector<unsigned char> request(Size + ICMP_OPTION_RECORD_SIZE);
    std::vector<unsigned char> reply(replySize);
    EchoResult result;
    SendIcmpEcho(&to, OpenEchoHandle(v6 ? AF_INET6 : AF_INET), request.data(), Size,
                 reinterpret_cast<IP_OPTION_INFORMATION *>(request.data() + Size), reply.data(),
                 replySize, timeout, &result);
    return result;
}

}  // namespace

using IcmpRulesTest = FakeWorldTest;

// Windows wants room for the reply record, the data, an ICMP error message
// and the I/O status block: the record and the block are 32-bit in a 32-bit
// process, also under WoW64.  Our buffers have that room; a byte less is
// refused before anything is sent.
TEST_F(IcmpRulesTest, ReplyBufferAtItsSizeAndOneByteBelow)
{
    struct {
        bool v6;
        DWORD required;  // for Size bytes of data
        DWORD ours;
    } cases[] = {
#ifdef _WIN64
        { false, Size + 40 + 8 + 16, Size + 64 },
        { true, Size + 36 + 8 + 16, Size + 60 },
#else
        { false, Size + 28 + 8 + 8, Size + 44 },
        { true, Size + 36 + 8 + 8, Size + 60 },
#endif
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.v6 ? "IPv6" : "IPv4");
        EXPECT_EQ(fake::RequiredReplySize(c.v6, Size), c.required);
        EXPECT_EQ(EchoReplySize(c.v6 ? AF_INET6 : AF_INET, Size), c.ours);
        fake::icmp.After = fake::Good(7);
        for (DWORD replySize : { c.ours, c.required }) {
            EchoResult result = EchoWith(c.v6, replySize);
            EXPECT_TRUE(result.Replied) << replySize;
            EXPECT_TRUE(result.DataMatch) << replySize;
            EXPECT_EQ(result.RoundTripTime, 7u);
        }
        EchoResult small = EchoWith(c.v6, c.required - 1);
        EXPECT_FALSE(small.Replied);
        EXPECT_EQ(small.LastError, static_cast<DWORD>(IP_BUF_TOO_SMALL));
        EXPECT_TRUE(fake::icmp.Calls.back().Refused);
    }
    // IPv4 calls a buffer short of even the record an invalid parameter.
    EchoResult tiny = EchoWith(false, sizeof(ICMP_ECHO_REPLY) - 1);
    EXPECT_EQ(tiny.LastError, static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(fake::icmp.Next, 4u) << "refused calls take no reply of the script";
}

// A time-out of 0 is refused at once; a short one waits 50 ms all the same,
// and a reply within those counts even when it came after the time-out.
TEST_F(IcmpRulesTest, TimeOutsAsWindowsWaitsThem)
{
    struct {
        DWORD timeout;
        ULONG arrives;  // ms after the request
        bool replied;
        DWORD error;
        DWORD tookMs;
    } cases[] = {
        { 0, 0, false, ERROR_INVALID_PARAMETER, 0 },
        { 1, 30, true, 0, 0 },
        { 1, 50, true, 0, 0 },
        { 1, 51, false, IP_REQ_TIMED_OUT, 50 },
        { 70, 80, false, IP_REQ_TIMED_OUT, 70 },
        { 3000, 80, true, 0, 0 },
    };
    for (bool v6 : { false, true }) {
        for (const auto &c : cases) {
            SCOPED_TRACE(std::string(v6 ? "IPv6 " : "IPv4 ") + TableRow(cases, c));
            fake::icmp.Script = { fake::Good(c.arrives) };
            fake::icmp.Next = 0;
            ULONGLONG before = fake::clock.Now;
            EchoResult result = EchoWith(v6, EchoReplySize(v6 ? AF_INET6 : AF_INET, Size),
                                         c.timeout);
            EXPECT_EQ(result.Replied, c.replied);
            EXPECT_EQ(result.LastError, c.error);
            EXPECT_EQ(result.RoundTripTime, c.replied ? c.arrives : 0u);
            EXPECT_EQ(fake::clock.Now - before, c.tookMs * 1000ull);
        }
    }
}

// Such time-outs in whole runs: lines, tallies, sounds and the result
// follow what came back, and a refused echo is a failure, never a reply.
TEST_F(IcmpRulesTest, RunsWithShortOrRefusedTimeOuts)
{
    const std::wstring header = L"\r\nPinging 127.0.0.1 with 64 bytes of data:\r\n\r\n";
    const std::wstring lost = L"\r\nPing statistics for 127.0.0.1:\r\n    Packets: Sent = 1, "
                              L"Received = 0, Lost = 1 (100% loss)\r\n";
    const char *const drum = "0072C5 004289 604299 007BB5 007BB9";
    struct {
        DWORD setting;  // the Timeout setting, or MAXDWORD for none
        const wchar_t *line;
        ULONG arrives;  // ms after the request
        std::wstring out;
        int result;
        const char *midi;
    } cases[] = {
        { 0, L"/n:1 127.0.0.1", 0, header + L"Failed: Error code = 87\r\n" + lost, 1, drum },
        { MAXDWORD, L"/n:1 /w:1 127.0.0.1", 30,
          header + L"Reply from 127.0.0.1: bytes=64 time=30ms TTL=128\r\n"
                   L"\r\nPing statistics for 127.0.0.1:\r\n    Packets: Sent = 1, "
                   L"Received = 1, Lost = 0 (0% loss)\r\nApproximate round trip times in "
                   L"milliseconds:\r\n    Minimum = 30ms, Maximum = 30ms, Average = 30ms\r\n",
          0, "0072C5 004085 604095 007BB5 007BB9" },
        { MAXDWORD, L"/n:1 /w:1 127.0.0.1", 80, header + L"Request timed out.\r\n" + lost, 1,
          drum },
        { 20, L"/n:1 127.0.0.1", 80, header + L"Request timed out.\r\n" + lost, 1, drum },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        InstallFakeWorld();
        if (c.setting != MAXDWORD)
            SetRegistryDword(HKEY_CURRENT_USER, TEST_SETTINGS_KEY, L"Timeout", c.setting);
        fake::icmp.Script = { fake::Good(c.arrives) };
        ClearCaptured();
        EXPECT_EQ(CallEntry(sonaro, c.line), c.result);
        EXPECT_WTEXT(c.out, CapturedOut());
        EXPECT_WTEXT(L"", CapturedErr());
        EXPECT_EQ(fake::MidiText(fake::midi.Messages), c.midi);
    }
}

// GetIpErrorString counts its size in characters without the terminator;
// a text it cannot fit is not shown, and a line end of its own is not
// doubled: the line appears once, with one line end.
TEST_F(IcmpRulesTest, ErrorTextsFitAndEndOnce)
{
    const std::wstring longest(1023, L'x');
    struct {
        std::wstring text;
        std::wstring line;
    } cases[] = {
        { L"Request timed out.\r\n", L"Request timed out.\r\n" },
        { L"Request timed out.", L"Request timed out.\r\n" },
        { L"Request timed out.\n", L"Request timed out.\r\n" },
        { longest, longest + L"\r\n" },
        { longest + L"y", L"Failed: Error code = 11010\r\n" },
        { L"\r\n", L"Failed: Error code = 11010\r\n" },
    };
    HostAddress to = Destination(false);
    std::vector<unsigned char> request(Size + ICMP_OPTION_RECORD_SIZE);
    std::vector<unsigned char> reply(EchoReplySize(AF_INET, Size));
    for (const auto &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        fake::icmp.ErrorTexts = { {IP_REQ_TIMED_OUT, c.text} };
        fake::icmp.Script = { fake::Lost(IP_REQ_TIMED_OUT) };
        fake::icmp.Next = 0;
        ClearCaptured();
        EXPECT_EQ(SendEcho(&to, OpenEchoHandle(AF_INET), request.data(), Size, reply.data(),
                           static_cast<DWORD>(reply.size()), 1000, nullptr),
                  ECHO_FAILED);
        EXPECT_WTEXT(c.line, CapturedOut());
    }
}
