// sendecho.cpp - one ICMP echo over IPv4 or IPv6 and its report line.
#include "ping/echorun.h"
#include "sys/icmplayout.h"
#include "frame/hostapi.h"
#include "console/conlist.h"

#include <limits.h>
#include <string.h>

// Every echo carries fresh random data, so a stale or foreign reply shows.
static void FillRandomData(unsigned char *data, DWORD size)
{
    for (DWORD i = 0; i < size; i++) {
        unsigned int value = 0;
        SYS(rand_s)(&value);
        data[i] = static_cast<unsigned char>(value & 0xFF);
    }
}

int IpErrorTextState;

// Wine's ntdll exports wine_get_version; Windows' does not.  Under Wine the
// error text is left empty rather than calling a stub that aborts.
static bool IpErrorTextUsable(void)
{
    if (IpErrorTextState == 0) {
        HMODULE ntdll = SYS(GetModuleHandleW)(L"ntdll.dll");
        bool wine = ntdll != nullptr && SYS(GetProcAddress)(ntdll, "wine_get_version") != nullptr;
        IpErrorTextState = wine ? 2 : 1;
    }
    return IpErrorTextState == 1;
}

// An echo without a reply: the system's text for the error, or its number.
static int ReportNoReply(DWORD error)
{
    PingStats.Lost++;
    wchar_t text[1024];
    memset(text, 0, sizeof text);
    DWORD size = 1023;  // characters, not counting the terminator
    if (IpErrorTextUsable())
        SYS(GetIpErrorString)(error, text, &size);
    text[1023] = 0;
    if (text[0] != 0)
        Printf(L"%s\r\n", text);
    else
        Printf(L"Failed: Error code = %u\r\n", static_cast<unsigned>(error));
    return ECHO_FAILED;
}

// A reply whose status is not success: its line and result.
static int ReportFailedStatus(ULONG status, bool ipv6)
{
    switch (status) {
    case IP_DEST_NET_UNREACHABLE:
        QPuts(L"Destination net unreachable.\r\n");
        break;
    case IP_DEST_HOST_UNREACHABLE:
        QPuts(L"Destination host unreachable.\r\n");
        break;
    case IP_DEST_PROT_UNREACHABLE:
        QPuts(L"Destination protocol unreachable.\r\n");
        break;
    case IP_DEST_PORT_UNREACHABLE:
        QPuts(L"Destination port unreachable.\r\n");
        break;
    case IP_TTL_EXPIRED_TRANSIT:
        QPuts(ipv6 ? L"Hop limit exceeded in transit.\r\n" : L"TTL expired in transit.\r\n");
        break;
    default:
        Printf(L"Status = %u\r\n", static_cast<unsigned>(status));
        return ECHO_FAILED;
    }
    return -static_cast<int>(status);
}

static int RoundTripResult(ULONG roundTripTime)
{
    return roundTripTime > static_cast<ULONG>(INT_MAX) ? INT_MAX
                                                        : static_cast<int>(roundTripTime);
}

// True when the echoed data lie inside the reply buffer and equal the request.
static bool EchoedDataMatch(const unsigned char *data, const unsigned char *request,
                            DWORD size, const unsigned char *reply, DWORD replySize)
{
    if (data == nullptr || data < reply || size > replySize ||
        static_cast<size_t>(data - reply) > replySize - size)
        return false;
    return memcmp(data, request, size) == 0;
}

// The tick count when the echo call returned, for the pacing wait that
// follows: reporting and sounding the echo already count towards it.
static void NoteDone(DWORD *doneTick)
{
    if (doneTick != nullptr)
        *doneTick = SYS(GetTickCount)();
}

int SendEcho4(unsigned char *request, DWORD packetSize, HANDLE handle, IPAddr destination,
              unsigned char *reply, DWORD replySize, DWORD timeout, DWORD *doneTick)
{
    FillRandomData(request, packetSize);
    memset(reply, 0, replySize);
    DWORD replies = SYS(IcmpSendEcho)(handle, destination, request,
                                      static_cast<WORD>(packetSize),
                                      reinterpret_cast<PIP_OPTION_INFORMATION>(request + packetSize),
                                      reply, replySize, timeout);
    DWORD error = SYS(GetLastError)();
    NoteDone(doneTick);
    TakeListBreak();
    if (replies == 0)
        return ReportNoReply(error);

    ICMP_ECHO_REPLY echo;
    memcpy(&echo, reply, sizeof echo);
    PingStats.Received++;

    const unsigned char *from = reinterpret_cast<const unsigned char *>(&echo.Address);
    wchar_t fromText[32];
    wsprintfW(fromText, L"%u.%u.%u.%u", from[0], from[1], from[2], from[3]);
    MarkedPrintf(L"Reply from \x12%s\x11: ", fromText);

    int result;
    if (echo.Status == IP_SUCCESS) {
        Printf(L"bytes=%u ", static_cast<unsigned>(echo.DataSize));
        if (echo.RoundTripTime != 0)
            Printf(L"time=%ums TTL=%u\r\n", static_cast<unsigned>(echo.RoundTripTime),
                   static_cast<unsigned>(echo.Options.Ttl));
        else
            Printf(L"time<1ms TTL=%u\r\n", static_cast<unsigned>(echo.Options.Ttl));
        result = RoundTripResult(echo.RoundTripTime);
        if (!EchoedDataMatch(static_cast<const unsigned char *>(echo.Data), request, packetSize,
                             reply, replySize)) {
            QPuts(L"    Data mismatch!\r\n");
            result = ECHO_DATA_MISMATCH;
        }
    } else {
        result = ReportFailedStatus(echo.Status, false);
    }
    TallyRoundTrip(echo.RoundTripTime);
    return result;
}

int SendEcho6(const SOCKADDR_IN6 *destination, unsigned char *request, HANDLE handle,
              DWORD packetSize, unsigned char *reply, DWORD replySize, DWORD timeout,
              DWORD *doneTick)
{
    FillRandomData(request, packetSize);
    memset(reply, 0, replySize);
    SOCKADDR_IN6 source;
    memset(&source, 0, sizeof source);
    source.sin6_family = AF_INET6;
    SOCKADDR_IN6 target;
    memcpy(&target, destination, sizeof target);
    DWORD replies = SYS(Icmp6SendEcho2)(handle, nullptr, nullptr, nullptr, &source, &target,
                                        request, static_cast<WORD>(packetSize),
                                        reinterpret_cast<PIP_OPTION_INFORMATION>(request + packetSize),
                                        reply, replySize, timeout);
    DWORD error = SYS(GetLastError)();
    NoteDone(doneTick);
    TakeListBreak();
    if (replies == 0)
        return ReportNoReply(error);

    ICMPV6_ECHO_REPLY echo;
    memcpy(&echo, reply, sizeof echo);
    PingStats.Received++;

    SOCKADDR_IN6 from;
    memset(&from, 0, sizeof from);
    from.sin6_family = AF_INET6;
    memcpy(&from.sin6_addr, echo.Address.sin6_addr, sizeof from.sin6_addr);
    from.sin6_scope_id = echo.Address.sin6_scope_id;
    wchar_t fromText[128];
    memset(fromText, 0, sizeof fromText);
    DWORD length = 128;
    SYS(WSAAddressToStringW)(reinterpret_cast<SOCKADDR *>(&from), sizeof from, nullptr, fromText,
                             &length);
    fromText[127] = 0;
    MarkedPrintf(L"Reply from \x12%s\x11: ", fromText);

    int result;
    if (echo.Status == IP_SUCCESS) {
        if (echo.RoundTripTime != 0)
            Printf(L"time=%ums\r\n", static_cast<unsigned>(echo.RoundTripTime));
        else
            Printf(L"time<1ms\r\n");
        result = RoundTripResult(echo.RoundTripTime);
        if (!EchoedDataMatch(reply + ICMP6_REPLY_DATA_OFFSET, request, packetSize, reply,
                             replySize)) {
            QPuts(L"    Data mismatch!\n");
            result = ECHO_DATA_MISMATCH;
        }
    } else {
        result = ReportFailedStatus(echo.Status, true);
    }
    TallyRoundTrip(echo.RoundTripTime);
    return result;
}

int ReverseLookup(const HostAddress *address, wchar_t *name)
{
    if (address == nullptr || name == nullptr)
        return -1;
    int family = address->Generic.sa_family;
    if (family != AF_INET && family != AF_INET6)
        return 1;
    wchar_t found[1025];
    memset(found, 0, sizeof found);
    // The area holds 128 bytes, so the IPv6 length serves both families.
    if (SYS(GetNameInfoW)(&address->Generic, sizeof(SOCKADDR_IN6), found, 1025, nullptr, 0, 0) !=
            0 ||
        found[0] == 0)
        return 1;
    found[1024] = 0;
    wcsncpy(name, found, 1025);
    return 0;
}

bool IsDottedIPv4(const wchar_t *text)
{
    if (text == nullptr || text[0] == 0)
        return false;
    char narrow[1024];
    memset(narrow, 0, sizeof narrow);
    if (WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, sizeof narrow, nullptr, nullptr) == 0)
        return false;
    narrow[sizeof narrow - 1] = 0;
    unsigned long value = SYS(inet_addr)(narrow);
    return value != 0 && value != INADDR_NONE;
}

BOOL WINAPI PingCtrlHandler(DWORD event)
{
    if (event == CTRL_C_EVENT) {
        InterlockedOr(&InterruptFlags, INTERRUPT_CTRL_C);
        return TRUE;
    }
    if (event == CTRL_BREAK_EVENT) {
        InterlockedOr(&InterruptFlags, INTERRUPT_CTRL_BREAK);
        return TRUE;
    }
    return FALSE;
}
