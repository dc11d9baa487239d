// pingonce.cpp - one silent ICMP echo over IPv4 or IPv6, reported only by its outcome.
#include "resolve/pingonce.h"
#include "resolve/resolve.h"
#include "sys/icmplayout.h"
#include "sys/syscalls.h"

#include <stdio.h>
#include <string.h>

#define ADDRESS_TEXT 128
#define TIMEOUT_MIN 1000u
#define TIMEOUT_MAX 60000000u
#define TTL_DEFAULT 128u

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

int FormatIPv6(const SOCKADDR_IN6 *address, wchar_t *text)
{
    if (address == nullptr || text == nullptr)
        return -1;
    if (address->sin6_family != AF_INET6)
        return 1;
    DWORD capacity = ADDRESS_TEXT;
    return SYS(WSAAddressToStringW)(
        reinterpret_cast<SOCKADDR *>(const_cast<SOCKADDR_IN6 *>(address)), sizeof(SOCKADDR_IN6),
        nullptr, text, &capacity);
}

// The address line of flag 128 goes to the C library's standard output and
// is flushed at once, so that it precedes whatever the host prints later.
static void ShowAddress(const HostAddress *address)
{
    if (address->Generic.sa_family == AF_INET) {
        const unsigned char *b = reinterpret_cast<const unsigned char *>(&address->V4.sin_addr);
        printf("   * IPv4 address:  %u.%u.%u.%u\n", b[0], b[1], b[2], b[3]);
    } else {
        wchar_t text[ADDRESS_TEXT];
        char narrow[ADDRESS_TEXT];
        text[0] = 0;
        if (FormatIPv6(&address->V6, text) != 0)
            text[0] = 0;
        text[ADDRESS_TEXT - 1] = 0;
        // The platform writes addresses in ASCII.
        size_t i = 0;
        for (; text[i] != 0 && i < ADDRESS_TEXT - 1; i++)
            narrow[i] = text[i] < 0x80 ? static_cast<char>(text[i]) : '?';
        narrow[i] = 0;
        printf("   * IPv6 address:  %s\n", narrow);
    }
    fflush(stdout);
}

static bool IsUnreachable(ULONG status)
{
    return status == IP_DEST_NET_UNREACHABLE || status == IP_DEST_HOST_UNREACHABLE ||
           status == IP_DEST_PROT_UNREACHABLE || status == IP_DEST_PORT_UNREACHABLE;
}

static int FailedReply(ULONG status)
{
    return IsUnreachable(status) ? PING_UNREACHABLE : PING_NO_REPLY;
}

static bool ValidHandle(HANDLE handle)
{
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

// Each byte from its own rand_s value, so two echoes never carry the same data.
static bool PrepareRequest(Echo *echo)
{
    echo->Request = static_cast<unsigned char *>(SYS(malloc)(echo->Size ? echo->Size : 1));
    if (echo->Request == nullptr)
        return false;
    for (DWORD i = 0; i < echo->Size; i++) {
        unsigned int value = 0;
        SYS(rand_s)(&value);
        echo->Request[i] = static_cast<unsigned char>(value);
    }
    return true;
}

static bool SameData(const Echo *echo, const unsigned char *data)
{
    return memcmp(data, echo->Request, echo->Size) == 0;
}

// The IPv4 reply points at its data; only data wholly inside our reply
// buffer and as long as the request can be compared.
static bool ReplyDataMatches(const Echo *echo, const ICMP_ECHO_REPLY *reply)
{
    const unsigned char *data = static_cast<const unsigned char *>(reply->Data);
    const unsigned char *end = echo->Reply + echo->ReplySize;
    if (data == nullptr || reply->DataSize < echo->Size || data < echo->Reply ||
        data > end || static_cast<size_t>(end - data) < echo->Size)
        return false;
    return SameData(echo, data);
}

static int EchoIPv4(Echo *echo, const SOCKADDR_IN *destination, DWORD timeout)
{
    echo->ReplySize = echo->Size + ICMP_REPLY_EXTRA;
    echo->Reply = static_cast<unsigned char *>(SYS(malloc)(echo->ReplySize));
    if (echo->Reply == nullptr)
        return PING_NO_RESOURCES;
    memset(echo->Reply, 0, echo->ReplySize);
    echo->Icmp = SYS(IcmpCreateFile)();
    if (!ValidHandle(echo->Icmp))
        return PING_NO_RESOURCES;

    IPAddr target = destination->sin_addr.s_addr;
    if (SYS(IcmpSendEcho)(echo->Icmp, target, echo->Request, static_cast<WORD>(echo->Size),
                          &echo->Options, echo->Reply, echo->ReplySize, timeout) == 0)
        return PING_NO_REPLY;
    const ICMP_ECHO_REPLY *reply = reinterpret_cast<const ICMP_ECHO_REPLY *>(echo->Reply);
    if (reply->Status != IP_SUCCESS || reply->Address != target)
        return FailedReply(reply->Status);
    if ((echo->Flags & PING_FLAG_CHECK_DATA) && !ReplyDataMatches(echo, reply))
        return PING_DATA_MISMATCH;
    return static_cast<int>(reply->RoundTripTime);
}

static int EchoIPv6(Echo *echo, const SOCKADDR_IN6 *destination, DWORD timeout)
{
    echo->ReplySize = echo->Size + ICMP6_REPLY_EXTRA;
    echo->Reply = static_cast<unsigned char *>(SYS(malloc)(echo->ReplySize));
    if (echo->Reply == nullptr)
        return PING_NO_RESOURCES;
    memset(echo->Reply, 0, 4);
    SOCKADDR_IN6 source;
    memset(&source, 0, sizeof source);
    source.sin6_family = AF_INET6;
    echo->Icmp = SYS(Icmp6CreateFile)();
    if (!ValidHandle(echo->Icmp))
        return PING_NO_RESOURCES;

    SOCKADDR_IN6 target = *destination;
    if (SYS(Icmp6SendEcho2)(echo->Icmp, nullptr, nullptr, nullptr, &source, &target,
                            echo->Request, static_cast<WORD>(echo->Size), &echo->Options,
                            echo->Reply, echo->ReplySize, timeout) == 0)
        return PING_NO_REPLY;
    const ICMPV6_ECHO_REPLY *reply = reinterpret_cast<const ICMPV6_ECHO_REPLY *>(echo->Reply);
    if (reply->Status != IP_SUCCESS)
        return FailedReply(reply->Status);
    if (memcmp(reply->Address.sin6_addr, &destination->sin6_addr, 16) != 0)
        return PING_NO_REPLY;
    if ((echo->Flags & PING_FLAG_CHECK_DATA) &&
        !SameData(echo, echo->Reply + ICMP6_REPLY_DATA_OFFSET))
        return PING_DATA_MISMATCH;
    return static_cast<int>(reply->RoundTripTime);
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
                    ipv6First ? AF_INET : AF_INET6, nullptr, nullptr) != 0)
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
        ttl = TTL_DEFAULT;
    if (ttl > 255)
        ttl = 255;
    // The request size travels in 16 bits.
    if (packetSize > 0xFFFF)
        packetSize = 0xFFFF;

    Echo echo;
    memset(&echo, 0, sizeof echo);
    echo.Size = packetSize;
    echo.Flags = flags & 0xFF;
    echo.Options.Ttl = static_cast<UCHAR>(ttl);
    if (!PrepareRequest(&echo))
        return PING_NO_RESOURCES;

    int outcome = family == AF_INET ? EchoIPv4(&echo, &address.V4, timeoutMs)
                                    : EchoIPv6(&echo, &address.V6, timeoutMs);
    ReleaseEcho(&echo);
    return outcome;
}
