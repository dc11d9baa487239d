// icmpecho.cpp - one ICMP echo over IPv4 or IPv6 through the IP helper.
#include "icmp/icmpecho.h"
#include "sys/syscalls.h"

#include <string.h>

static const FailedStatusInfo FailedStatuses[] = {
    {IP_DEST_NET_UNREACHABLE, L"Destination net unreachable.\r\n", nullptr, true},
    {IP_DEST_HOST_UNREACHABLE, L"Destination host unreachable.\r\n", nullptr, true},
    {IP_DEST_PROT_UNREACHABLE, L"Destination protocol unreachable.\r\n", nullptr, true},
    {IP_DEST_PORT_UNREACHABLE, L"Destination port unreachable.\r\n", nullptr, true},
    {IP_TTL_EXPIRED_TRANSIT, L"TTL expired in transit.\r\n", L"Hop limit exceeded in transit.\r\n",
     false},
};

const FailedStatusInfo *LookupFailedStatus(ULONG status)
{
    for (const FailedStatusInfo &info : FailedStatuses) {
        if (info.Status == status)
            return &info;
    }
    return nullptr;
}

DWORD DefaultTtl(void)
{
    MIB_IPSTATS stats;
    memset(&stats, 0, sizeof stats);
    if (SYS(GetIpStatistics)(&stats) == NO_ERROR && stats.dwDefaultTTL >= ECHO_TTL_MIN &&
        stats.dwDefaultTTL <= ECHO_TTL_MAX)
        return stats.dwDefaultTTL;
    return ECHO_TTL_FALLBACK;
}

HANDLE OpenEchoHandle(int family)
{
    return family == AF_INET6 ? SYS(Icmp6CreateFile)() : SYS(IcmpCreateFile)();
}

DWORD EchoReplySize(int family, DWORD size)
{
    return size + static_cast<DWORD>(family == AF_INET6 ? ICMP6_REPLY_EXTRA : ICMP_REPLY_EXTRA);
}

// Every echo carries fresh random data, so a stale or foreign reply shows.
static void FillRandomData(unsigned char *data, DWORD size)
{
    for (DWORD i = 0; i < size; i++) {
        unsigned int value = 0;
        SYS(rand_s)(&value);
        data[i] = static_cast<unsigned char>(value & 0xFF);
    }
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

static void ReadReply4(const unsigned char *reply, EchoResult *result)
{
    ICMP_ECHO_REPLY echo;
    memcpy(&echo, reply, sizeof echo);
    result->Status = echo.Status;
    result->RoundTripTime = echo.RoundTripTime;
    result->Ttl = echo.Options.Ttl;
    result->DataSize = echo.DataSize;
    result->From.V4.sin_family = AF_INET;
    result->From.V4.sin_addr.s_addr = echo.Address;
}

static void ReadReply6(const unsigned char *reply, DWORD size, EchoResult *result)
{
    ICMPV6_ECHO_REPLY echo;
    memcpy(&echo, reply, sizeof echo);
    result->Status = echo.Status;
    result->RoundTripTime = echo.RoundTripTime;
    result->DataSize = size;
    result->From.V6.sin6_family = AF_INET6;
    memcpy(&result->From.V6.sin6_addr, echo.Address.sin6_addr, sizeof result->From.V6.sin6_addr);
    result->From.V6.sin6_scope_id = echo.Address.sin6_scope_id;
}

// The data of an IPv4 reply are where its record points; an IPv6 reply
// carries them right after its record.
static const unsigned char *EchoedData(int family, const unsigned char *reply)
{
    if (family == AF_INET6)
        return reply + ICMP6_REPLY_DATA_OFFSET;
    ICMP_ECHO_REPLY echo;
    memcpy(&echo, reply, sizeof echo);
    return static_cast<const unsigned char *>(echo.Data);
}

static DWORD CallHelper(const HostAddress *destination, HANDLE handle, unsigned char *request,
                        DWORD size, IP_OPTION_INFORMATION *options, unsigned char *reply,
                        DWORD replySize, DWORD timeout)
{
    if (destination->Generic.sa_family == AF_INET)
        return SYS(IcmpSendEcho)(handle, destination->V4.sin_addr.s_addr, request,
                                 static_cast<WORD>(size), options, reply, replySize, timeout);
    SOCKADDR_IN6 source;
    memset(&source, 0, sizeof source);
    source.sin6_family = AF_INET6;
    SOCKADDR_IN6 target;
    memcpy(&target, &destination->V6, sizeof target);
    return SYS(Icmp6SendEcho2)(handle, nullptr, nullptr, nullptr, &source, &target, request,
                               static_cast<WORD>(size), options, reply, replySize, timeout);
}

int SendIcmpEcho(const HostAddress *destination, HANDLE handle, unsigned char *request,
                 DWORD size, IP_OPTION_INFORMATION *options, unsigned char *reply,
                 DWORD replySize, DWORD timeout, EchoResult *result)
{
    memset(result, 0, sizeof *result);
    int family = destination->Generic.sa_family;
    if (family != AF_INET && family != AF_INET6)
        return -1;
    FillRandomData(request, size);
    memset(reply, 0, replySize);
    DWORD replies =
        CallHelper(destination, handle, request, size, options, reply, replySize, timeout);
    result->LastError = SYS(GetLastError)();
    if (replies == 0)
        return 0;

    result->Replied = true;
    if (family == AF_INET)
        ReadReply4(reply, result);
    else
        ReadReply6(reply, size, result);
    result->DataMatch = result->Status == IP_SUCCESS &&
                        EchoedDataMatch(EchoedData(family, reply), request, size, reply,
                                        replySize);
    return 0;
}
