// fakeicmp.cpp - the fake ICMP helper: IcmpCreateFile, Icmp6CreateFile,
// IcmpSendEcho, Icmp6SendEcho2, IcmpCloseHandle, GetLastError,
// GetIpErrorString, GetIpStatistics, rand_s for the request data, and the
// look at ntdll for Wine.
#include "fakeicmp.h"
#include "fakeclock.h"
#include "ping/sendecho.h"

#include <string.h>

namespace fake {

Icmp icmp;

static Echo Reply(DWORD returned, DWORD error, ULONG status, ULONG roundTripTime, UCHAR ttl,
                  bool corrupt)
{
    Echo echo;
    echo.Returned = returned;
    echo.Error = error;
    echo.Status = status;
    echo.RoundTrip = roundTripTime;
    echo.Ttl = ttl;
    echo.Corrupt = corrupt;
    return echo;
}

Echo Good(ULONG roundTripTime, UCHAR ttl) { return Reply(1, 0, IP_SUCCESS, roundTripTime, ttl, false); }
Echo Lost(DWORD error) { return Reply(0, error, 0, 0, 0, false); }
Echo WithStatus(ULONG status, ULONG roundTripTime) { return Reply(1, 0, status, roundTripTime, 64, false); }
Echo Corrupted(ULONG roundTripTime) { return Reply(1, 0, IP_SUCCESS, roundTripTime, 128, true); }

template <typename T, typename F>
static std::vector<T> EachCall(F field)
{
    std::vector<T> values;
    for (const EchoCall &call : icmp.Calls)
        values.push_back(field(call));
    return values;
}

std::vector<DWORD> SentSizes()
{
    return EachCall<DWORD>([](const EchoCall &c) { return static_cast<DWORD>(c.Request.size()); });
}

std::vector<IP_OPTION_INFORMATION> SentOptions()
{
    return EachCall<IP_OPTION_INFORMATION>([](const EchoCall &c) { return c.Options; });
}

std::vector<DWORD> SentTimeouts()
{
    return EachCall<DWORD>([](const EchoCall &c) { return c.Timeout; });
}

std::vector<std::wstring> SentTo()
{
    return EachCall<std::wstring>([](const EchoCall &c) { return c.To; });
}

DWORD RequiredReplySize(bool v6, DWORD size)
{
    DWORD record = static_cast<DWORD>(v6 ? sizeof(ICMPV6_ECHO_REPLY) : sizeof(ICMP_ECHO_REPLY));
    return record + size + 8 + static_cast<DWORD>(sizeof(IO_STATUS_BLOCK));
}

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

// Why Windows turns a call down before sending, or 0.  IcmpSendEcho names
// a buffer smaller than its reply record an invalid parameter.
DWORD Refusal(bool v6, DWORD size, DWORD replySize, DWORD timeout)
{
    if (!v6 && replySize < sizeof(ICMP_ECHO_REPLY))
        return ERROR_INVALID_PARAMETER;
    if (replySize < RequiredReplySize(v6, size))
        return IP_BUF_TOO_SMALL;
    if (timeout == 0)
        return ERROR_INVALID_PARAMETER;
    return 0;
}

// The next reply of the script, as the wait lets it through: one that comes
// after the wait times out, having taken the whole wait.
Echo NextReply(DWORD timeout)
{
    icmp.EchoStarts.push_back(clock.Now);
    Echo echo = icmp.Next < icmp.Script.size() ? icmp.Script[icmp.Next] : icmp.After;
    icmp.Next++;
    DWORD wait = timeout > icmp.MinWaitMs ? timeout : icmp.MinWaitMs;
    if (echo.Returned != 0 && echo.RoundTrip > wait)
        echo = Lost(IP_REQ_TIMED_OUT);
    DWORD took = icmp.EchoMs;
    if (echo.Returned == 0 && echo.Error == IP_REQ_TIMED_OUT && took < wait)
        took = wait;
    clock.Now += took * 1000ull;
    return echo;
}

// A call turned down: recorded, answered at once, the script untouched.
DWORD Refuse(DWORD error)
{
    icmp.Calls.back().Refused = true;
    icmp.EchoStarts.push_back(clock.Now);
    icmp.LastError = error;
    return 0;
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
    call.Refused = false;
    return call;
}

HANDLE WINAPI FakeIcmpCreateFile(void)
{
    icmp.Opened4++;
    return icmp.Fail4 ? INVALID_HANDLE_VALUE : icmp.Handle4;
}

HANDLE WINAPI FakeIcmp6CreateFile(void)
{
    icmp.Opened6++;
    return icmp.Fail6 ? INVALID_HANDLE_VALUE : icmp.Handle6;
}

BOOL WINAPI FakeIcmpCloseHandle(HANDLE handle)
{
    EXPECT_TRUE(handle == icmp.Handle4 || handle == icmp.Handle6);
    icmp.Closed++;
    return TRUE;
}

DWORD WINAPI FakeIcmpSendEcho(HANDLE handle, IPAddr destination, LPVOID data, WORD size,
                              PIP_OPTION_INFORMATION options, LPVOID reply, DWORD replySize,
                              DWORD timeout)
{
    EXPECT_EQ(handle, icmp.Handle4);
    const unsigned char *a = reinterpret_cast<const unsigned char *>(&destination);
    std::string to = std::to_string(a[0]) + "." + std::to_string(a[1]) + "." +
                     std::to_string(a[2]) + "." + std::to_string(a[3]);
    icmp.Calls.push_back(Record(false, to, handle, data, size, options, replySize, timeout));
    icmp.Calls.back().To = WideOf(to);
    if (DWORD error = Refusal(false, size, replySize, timeout))
        return Refuse(error);
    Echo echo = NextReply(timeout);
    icmp.LastError = echo.Error;
    if (echo.Returned == 0)
        return 0;
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
    if (echo.DataElsewhere) {
        static unsigned char elsewhere[64];
        record.Data = elsewhere;
        memcpy(reply, &record, sizeof record);
    }
    return echo.Returned;
}

DWORD WINAPI FakeIcmp6SendEcho2(HANDLE handle, HANDLE event, FARPROC routine, PVOID context,
                                struct sockaddr_in6 *source, struct sockaddr_in6 *destination,
                                LPVOID data, WORD size, PIP_OPTION_INFORMATION options,
                                LPVOID reply, DWORD replySize, DWORD timeout)
{
    EXPECT_EQ(handle, icmp.Handle6);
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
    icmp.Calls.push_back(call);
    if (DWORD error = Refusal(true, size, replySize, timeout))
        return Refuse(error);
    Echo echo = NextReply(timeout);
    icmp.LastError = echo.Error;
    if (echo.Returned == 0)
        return 0;
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

DWORD WINAPI FakeGetLastError(void)
{
    return icmp.LastError;
}

HMODULE const FakeNtdll = reinterpret_cast<HMODULE>(static_cast<INT_PTR>(0x7700));

HMODULE WINAPI FakeGetModuleHandleW(LPCWSTR name)
{
    if (icmp.NoNtdll || name == nullptr || _wcsicmp(name, L"ntdll.dll") != 0)
        return nullptr;
    return FakeNtdll;
}

INT_PTR WINAPI FakeWineGetVersion(void)
{
    return 0;
}

FARPROC WINAPI FakeGetProcAddress(HMODULE module, LPCSTR name)
{
    EXPECT_EQ(module, FakeNtdll);
    if (icmp.Wine && strcmp(name, "wine_get_version") == 0)
        return FakeWineGetVersion;
    return nullptr;
}

// The size offered counts characters without the terminator; a text that
// does not fit fails, leaving what fitted (the caller must not show it).
DWORD WINAPI FakeGetIpErrorString(IP_STATUS code, PWSTR buffer, PDWORD size)
{
    if (icmp.Wine)
        ADD_FAILURE() << "GetIpErrorString called under Wine, where it ends the process";
    for (const auto &entry : icmp.ErrorTexts) {
        if (entry.first != code)
            continue;
        const std::wstring &text = entry.second;
        size_t fits = text.size() < *size ? text.size() : *size;
        wmemcpy(buffer, text.c_str(), fits);
        buffer[fits] = 0;
        return fits < text.size() ? ERROR_INSUFFICIENT_BUFFER : NO_ERROR;
    }
    return ERROR_NOT_FOUND;
}

// The request data need not be unpredictable here, only quick to make.
errno_t __cdecl FakeRandom(unsigned int *value)
{
    static unsigned int state = 2463534242u;
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    *value = state;
    return 0;
}

ULONG WINAPI FakeGetIpStatistics(PMIB_IPSTATS stats)
{
    EXPECT_EQ(stats->dwDefaultTTL, 0u) << "the record is zeroed first";
    if (icmp.StatisticsFail)
        return ERROR_NOT_SUPPORTED;
    stats->dwDefaultTTL = icmp.DefaultTtl;
    return NO_ERROR;
}

}  // namespace

void InstallIcmp(void)
{
    icmp = Icmp();
    icmp.Handle4 = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0x4404));
    icmp.Handle6 = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0x6606));
    icmp.ErrorTexts = { {IP_REQ_TIMED_OUT, L"Request timed out.\r\n"} };
    g_sys.IcmpCreateFile = FakeIcmpCreateFile;
    g_sys.Icmp6CreateFile = FakeIcmp6CreateFile;
    g_sys.IcmpSendEcho = FakeIcmpSendEcho;
    g_sys.Icmp6SendEcho2 = FakeIcmp6SendEcho2;
    g_sys.IcmpCloseHandle = FakeIcmpCloseHandle;
    g_sys.GetLastError = FakeGetLastError;
    g_sys.GetModuleHandleW = FakeGetModuleHandleW;
    g_sys.GetProcAddress = FakeGetProcAddress;
    g_sys.GetIpErrorString = FakeGetIpErrorString;
    g_sys.GetIpStatistics = FakeGetIpStatistics;
    g_sys.rand_s = FakeRandom;
    // Each test looks at the system afresh.
    IpErrorTextState = 0;
}

}  // namespace fake
