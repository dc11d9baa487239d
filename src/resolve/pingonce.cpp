// pingonce.cpp - one silent ICMP echo over IPv4 or IPv6, reported only by its outcome.
#include "resolve/pingonce.h"
#include "resolve/resolve.h"
#include "icmp/icmpecho.h"
#include "sys/syscalls.h"

#include <stdio.h>
#include <string.h>

#define TIMEOUT_MIN 1000u
#define TIMEOUT_MAX 60000000u

// Everything one echo owns; released by ReleaseEcho whatever happened.
struct Echo {
    unsigned char *Request;
    DWORD Size;
    unsigned char *Reply;
    DWORD ReplySize;
    HANDLE Icmp;
    IP_OPTION_INFORMATION Options;
    DWORD Flags;
};

// The address line of flag 128 goes to the C library's standard output and
// is flushed at once, so that it precedes whatever the host prints later.
static void ShowAddress(const HostAddress *address)
{
    bool ipv4 = address->Generic.sa_family == AF_INET;
    wchar_t text[ADDRESS_TEXT_CAPACITY];
    char narrow[ADDRESS_TEXT_CAPACITY];
    text[0] = 0;
    if (ipv4)
        FormatIPv4(address->V4.sin_addr.s_addr, text);
    else if (FormatHostAddress(address, text, ADDRESS_TEXT_CAPACITY) != 0)
        text[0] = 0;
    text[ADDRESS_TEXT_CAPACITY - 1] = 0;
    // The platform writes addresses in ASCII.
    size_t i = 0;
    for (; text[i] != 0 && i < ADDRESS_TEXT_CAPACITY - 1; i++)
        narrow[i] = text[i] < 0x80 ? static_cast<char>(text[i]) : '?';
    narrow[i] = 0;
    printf("   * IPv%c address:  %s\n", ipv4 ? '4' : '6', narrow);
    fflush(stdout);
}

static bool ValidHandle(HANDLE handle)
{
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

static bool SameAddress(const HostAddress *a, const HostAddress *b)
{
    if (a->Generic.sa_family == AF_INET)
        return a->V4.sin_addr.s_addr == b->V4.sin_addr.s_addr;
    return memcmp(&a->V6.sin6_addr, &b->V6.sin6_addr, sizeof a->V6.sin6_addr) == 0;
}

// The outcome of a reply: a failed status first, then a reply from another
// address, then (flag 2) data that differ or came back short.
static int ReplyOutcome(const Echo *echo, const HostAddress *destination,
                        const EchoResult *result)
{
    if (result->Status != IP_SUCCESS) {
        const FailedStatusInfo *info = LookupFailedStatus(result->Status);
        return info != nullptr && info->Unreachable ? PING_UNREACHABLE : PING_NO_REPLY;
    }
    if (!SameAddress(&result->From, destination))
        return PING_NO_REPLY;
    if ((echo->Flags & PING_FLAG_CHECK_DATA) &&
        (!result->DataMatch || result->DataSize < echo->Size))
        return PING_DATA_MISMATCH;
    return static_cast<int>(result->RoundTripTime);
}

static int SendOnce(Echo *echo, const HostAddress *destination, DWORD timeout)
{
    int family = destination->Generic.sa_family;
    echo->Request = static_cast<unsigned char *>(SYS(malloc)(echo->Size ? echo->Size : 1));
    if (echo->Request == nullptr)
        return PING_NO_RESOURCES;
    echo->ReplySize = EchoReplySize(family, echo->Size);
    echo->Reply = static_cast<unsigned char *>(SYS(malloc)(echo->ReplySize));
    if (echo->Reply == nullptr)
        return PING_NO_RESOURCES;
    echo->Icmp = OpenEchoHandle(family);
    if (!ValidHandle(echo->Icmp))
        return PING_NO_RESOURCES;

    EchoResult result;
    SendIcmpEcho(destination, echo->Icmp, echo->Request, echo->Size, &echo->Options,
                 echo->Reply, echo->ReplySize, timeout, &result);
    if (!result.Replied)
        return PING_NO_REPLY;
    return ReplyOutcome(echo, destination, &result);
}

static void ReleaseEcho(Echo *echo)
{
    if (ValidHandle(echo->Icmp))
        SYS(IcmpCloseHandle)(echo->Icmp);
    if (echo->Request != nullptr)
        SYS(free)(echo->Request);
    if (echo->Reply != nullptr)
        SYS(free)(echo->Reply);
}

int PingOnce(const wchar_t *hostText, DWORD packetSize, DWORD timeoutMs, DWORD ttl,
             DWORD flags)
{
    if (hostText == nullptr || hostText[0] == 0)
        return PING_NO_ADDRESS;

    HostAddress address;
    memset(&address, 0, sizeof address);
    bool ipv6First = (flags & PING_FLAG_IPV6_FIRST) != 0;
    if (ResolveHost(hostText, &address, ipv6First ? AF_INET6 : AF_INET,
                    ipv6First ? AF_INET : AF_INET6, nullptr, 0, nullptr) != 0)
        return PING_NO_ADDRESS;
    int family = address.Generic.sa_family;
    if (family != AF_INET && family != AF_INET6)
        return PING_NO_ADDRESS;
    if (flags & PING_FLAG_SHOW_ADDRESS)
        ShowAddress(&address);

    if (timeoutMs < TIMEOUT_MIN)
        timeoutMs = TIMEOUT_MIN;
    if (timeoutMs > TIMEOUT_MAX)
        timeoutMs = TIMEOUT_MAX;
    if (ttl == 0)
        ttl = ECHO_TTL_FALLBACK;
    if (ttl > ECHO_TTL_MAX)
        ttl = ECHO_TTL_MAX;
    // The request size travels in 16 bits.
    if (packetSize > 0xFFFF)
        packetSize = 0xFFFF;

    Echo echo;
    memset(&echo, 0, sizeof echo);
    echo.Size = packetSize;
    echo.Flags = flags & 0xFF;
    echo.Options.Ttl = static_cast<UCHAR>(ttl);
    int outcome = SendOnce(&echo, &address, timeoutMs);
    ReleaseEcho(&echo);
    return outcome;
}
