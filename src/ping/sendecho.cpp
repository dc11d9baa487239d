// sendecho.cpp - one echo of a SONARO run: its report line and tallies.
#include "ping/sendecho.h"
#include "ping/interrupt.h"
#include "ping/statistics.h"
#include "icmp/icmpecho.h"
#include "base/hostapi.h"
#include "console/conlist.h"
#include "base/preciseclock.h"

#include <limits.h>
#include <string.h>

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

#define IP_ERROR_TEXT_CAPACITY 1024

// The system's text for an echo error, without the line end a message text
// may carry.  The size handed over counts characters without the
// terminator; the text counts only when the call succeeds.  False when
// there is none.
static bool IpErrorText(DWORD error, wchar_t *text)
{
    memset(text, 0, IP_ERROR_TEXT_CAPACITY * sizeof(wchar_t));
    if (!IpErrorTextUsable())
        return false;
    DWORD size = IP_ERROR_TEXT_CAPACITY - 1;
    if (SYS(GetIpErrorString)(error, text, &size) != NO_ERROR)
        return false;
    text[IP_ERROR_TEXT_CAPACITY - 1] = 0;
    size_t length = wcslen(text);
    while (length > 0 && (text[length - 1] == L'\r' || text[length - 1] == L'\n'))
        text[--length] = 0;
    return length > 0;
}

// An echo without a reply: the system's text for the error, or its number.
static int ReportNoReply(DWORD error)
{
    PingStats.Lost++;
    wchar_t text[IP_ERROR_TEXT_CAPACITY];
    if (IpErrorText(error, text))
        Printf(L"%s\r\n", text);
    else
        Printf(L"Failed: Error code = %u\r\n", static_cast<unsigned>(error));
    return ECHO_FAILED;
}

// A reply whose status is not success: its line and result.
static int ReportFailedStatus(ULONG status, bool ipv6)
{
    const FailedStatusInfo *info = LookupFailedStatus(status);
    if (info == nullptr) {
        Printf(L"Status = %u\r\n", static_cast<unsigned>(status));
        return ECHO_FAILED;
    }
    QPuts(ipv6 && info->Text6 != nullptr ? info->Text6 : info->Text);
    return -static_cast<int>(status);
}

static int RoundTripResult(ULONG roundTripTime)
{
    return roundTripTime > static_cast<ULONG>(INT_MAX) ? INT_MAX
                                                        : static_cast<int>(roundTripTime);
}

// The replying address as the report line shows it: IPv4 as four decimal
// bytes, IPv6 in the platform's text.
static void FormatReplyAddress(const HostAddress *from, wchar_t *text, DWORD capacity)
{
    memset(text, 0, capacity * sizeof(wchar_t));
    if (from->Generic.sa_family == AF_INET)
        FormatIPv4(from->V4.sin_addr.s_addr, text);
    else
        FormatHostAddress(from, text, capacity);
    text[capacity - 1] = 0;
}

int SendEcho(const HostAddress *destination, HANDLE handle, unsigned char *request,
             DWORD packetSize, unsigned char *reply, DWORD replySize, DWORD timeout,
             LONGLONG *doneTime)
{
    EchoResult echo;
    SendIcmpEcho(destination, handle, request, packetSize,
                 reinterpret_cast<IP_OPTION_INFORMATION *>(request + packetSize), reply,
                 replySize, timeout, &echo);
    // The pacing wait that follows counts from here: reporting and sounding
    // the echo already count towards it.
    if (doneTime != nullptr)
        *doneTime = ClockNow();
    TakeListBreak();
    if (!echo.Replied)
        return ReportNoReply(echo.LastError);
    PingStats.Received++;

    bool ipv6 = destination->Generic.sa_family == AF_INET6;
    wchar_t fromText[128];
    FormatReplyAddress(&echo.From, fromText, 128);
    MarkedPrintf(L"Reply from " MARK_HIGHLIGHT L"%s" MARK_NORMAL L": ", fromText);

    int result;
    if (echo.Status == IP_SUCCESS) {
        // One write for the rest of the line: each write is a trip to the
        // console, and the note waits for the line.  The IPv6 helper reports
        // neither the data size nor the TTL.
        unsigned size = static_cast<unsigned>(echo.DataSize);
        unsigned time = static_cast<unsigned>(echo.RoundTripTime);
        unsigned ttl = echo.Ttl;
        if (ipv6 && time != 0)
            Printf(L"time=%ums\r\n", time);
        else if (ipv6)
            Printf(L"time<1ms\r\n");
        else if (time != 0)
            Printf(L"bytes=%u time=%ums TTL=%u\r\n", size, time, ttl);
        else
            Printf(L"bytes=%u time<1ms TTL=%u\r\n", size, ttl);
        result = RoundTripResult(echo.RoundTripTime);
        if (!echo.DataMatch) {
            // The IPv6 line has always ended in a bare line feed.
            QPuts(ipv6 ? L"    Data mismatch!\n" : L"    Data mismatch!\r\n");
            result = ECHO_DATA_MISMATCH;
        }
    } else {
        result = ReportFailedStatus(echo.Status, ipv6);
    }
    TallyRoundTrip(echo.RoundTripTime);
    return result;
}
