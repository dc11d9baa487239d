// fakeicmp.cpp - the fake ICMP helper: IcmpCreateFile, Icmp6CreateFile,
// IcmpSendEcho, Icmp6SendEcho2 and IcmpCloseHandle.
#include "fakeicmp.h"

#include <string.h>

FakeIcmp g_icmp;

namespace {

std::string AsciiOf(const wchar_t *text)
{
    std::string out;
    for (; *text != 0; text++)
        out += static_cast<char>(*text);
    return out;
}

std::wstring WideOf(const std::string &text)
{
    return std::wstring(text.begin(), text.end());
}

FakeEcho NextReply(void)
{
    if (g_icmp.OnSend)
        g_icmp.OnSend();
    if (g_icmp.Next < g_icmp.Script.size())
        return g_icmp.Script[g_icmp.Next++];
    g_icmp.Next++;
    return g_icmp.After;
}

EchoCall Record(bool v6, const std::string &destination, HANDLE handle, LPVOID data, WORD size,
                PIP_OPTION_INFORMATION options, DWORD replySize, DWORD timeout)
{
    EchoCall call;
    memset(&call.Options, 0, sizeof call.Options);
    memset(&call.Source, 0, sizeof call.Source);
    call.V6 = v6;
    call.Destination = destination;
    call.Handle = handle;
    const unsigned char *bytes = static_cast<const unsigned char *>(data);
    call.Request.assign(bytes, bytes + size);
    // The record may sit unaligned behind the request data.
    if (options != nullptr)
        memcpy(&call.Options, options, sizeof call.Options);
    call.ReplySize = replySize;
    call.Timeout = timeout;
    call.HadEvent = false;
    return call;
}

HANDLE WINAPI FakeIcmpCreateFile(void)
{
    g_icmp.Opened4++;
    return g_icmp.Fail4 ? INVALID_HANDLE_VALUE : g_icmp.Handle4;
}

HANDLE WINAPI FakeIcmp6CreateFile(void)
{
    g_icmp.Opened6++;
    return g_icmp.Fail6 ? INVALID_HANDLE_VALUE : g_icmp.Handle6;
}

BOOL WINAPI FakeIcmpCloseHandle(HANDLE handle)
{
    EXPECT_TRUE(handle == g_icmp.Handle4 || handle == g_icmp.Handle6);
    g_icmp.Closed++;
    return TRUE;
}

DWORD WINAPI FakeIcmpSendEcho(HANDLE handle, IPAddr destination, LPVOID data, WORD size,
                              PIP_OPTION_INFORMATION options, LPVOID reply, DWORD replySize,
                              DWORD timeout)
{
    EXPECT_EQ(handle, g_icmp.Handle4);
    const unsigned char *a = reinterpret_cast<const unsigned char *>(&destination);
    std::string to = std::to_string(a[0]) + "." + std::to_string(a[1]) + "." +
                     std::to_string(a[2]) + "." + std::to_string(a[3]);
    g_icmp.Calls.push_back(Record(false, to, handle, data, size, options, replySize, timeout));
    g_icmp.Calls.back().To = WideOf(to);
    FakeEcho echo = NextReply();
    g_icmp.LastError = echo.Error;
    if (echo.Returned == 0)
        return 0;
    EXPECT_GE(replySize, size + sizeof(ICMP_ECHO_REPLY) + 8);
    ICMP_ECHO_REPLY record;
    memset(&record, 0, sizeof record);
    record.Address = destination;
    if (!echo.From.empty()) {
        IN_ADDR from;
        EXPECT_EQ(InetPtonW(AF_INET, WideOf(echo.From).c_str(), &from), 1) << echo.From;
        record.Address = from.s_addr;
    }
    record.Status = echo.Status;
    record.RoundTripTime = echo.RoundTrip;
    record.DataSize = echo.ShortData ? static_cast<USHORT>(size / 2) : size;
    unsigned char *echoed = static_cast<unsigned char *>(reply) + sizeof record;
    record.Data = echoed;
    record.Options.Ttl = echo.Ttl;
    memcpy(reply, &record, sizeof record);
    memcpy(echoed, data, record.DataSize);
    if (echo.Corrupt && size > 0)
        echoed[size - 1] ^= 0x5A;
    return echo.Returned;
}

DWORD WINAPI FakeIcmp6SendEcho2(HANDLE handle, HANDLE event, FARPROC routine, PVOID context,
                                struct sockaddr_in6 *source, struct sockaddr_in6 *destination,
                                LPVOID data, WORD size, PIP_OPTION_INFORMATION options,
                                LPVOID reply, DWORD replySize, DWORD timeout)
{
    EXPECT_EQ(handle, g_icmp.Handle6);
    EXPECT_EQ(event, nullptr);
    EXPECT_EQ(routine, nullptr);
    EXPECT_EQ(context, nullptr);
    EXPECT_EQ(source->sin6_family, AF_INET6);
    static const unsigned char unspecified[16] = {};
    EXPECT_EQ(memcmp(&source->sin6_addr, unspecified, 16), 0);
    wchar_t to[128] = {};
    DWORD length = 128;
    g_sysDefault.WSAAddressToStringW(reinterpret_cast<SOCKADDR *>(destination),
                                     sizeof(SOCKADDR_IN6), nullptr, to, &length);
    wchar_t address[128] = {};
    InetNtopW(AF_INET6, &destination->sin6_addr, address, 128);
    EchoCall call = Record(true, AsciiOf(address), handle, data, size, options, replySize, timeout);
    call.To = to;
    call.HadEvent = event != nullptr;
    call.Source = *source;
    g_icmp.Calls.push_back(call);
    FakeEcho echo = NextReply();
    g_icmp.LastError = echo.Error;
    if (echo.Returned == 0)
        return 0;
    EXPECT_GE(replySize, size + ICMP6_REPLY_DATA_OFFSET + 8);
    ICMPV6_ECHO_REPLY record;
    memset(&record, 0, sizeof record);
    memcpy(record.Address.sin6_addr, &destination->sin6_addr, 16);
    record.Address.sin6_scope_id = destination->sin6_scope_id;
    if (!echo.From.empty()) {
        IN6_ADDR from;
        EXPECT_EQ(InetPtonW(AF_INET6, WideOf(echo.From).c_str(), &from), 1) << echo.From;
        memcpy(record.Address.sin6_addr, &from, 16);
    }
    record.Status = echo.Status;
    record.RoundTripTime = echo.RoundTrip;
    memcpy(reply, &record, sizeof record);
    unsigned char *echoed = static_cast<unsigned char *>(reply) + ICMP6_REPLY_DATA_OFFSET;
    memcpy(echoed, data, size);
    if (echo.Corrupt && size > 0)
        echoed[0] ^= 0xA5;
    return echo.Returned;
}

}  // namespace

void InstallFakeIcmp(void)
{
    g_icmp = FakeIcmp();
    g_icmp.Handle4 = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0x4404));
    g_icmp.Handle6 = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0x6606));
    g_sys.IcmpCreateFile = FakeIcmpCreateFile;
    g_sys.Icmp6CreateFile = FakeIcmp6CreateFile;
    g_sys.IcmpSendEcho = FakeIcmpSendEcho;
    g_sys.Icmp6SendEcho2 = FakeIcmp6SendEcho2;
    g_sys.IcmpCloseHandle = FakeIcmpCloseHandle;
}
