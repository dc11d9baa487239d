// netconfig.cpp - configured DNS, DHCP, WINS servers and gateways; network keywords.
#include "netinfo/netconfig.h"
#include "sys/syscalls.h"

#include <string.h>

const wchar_t *const NetworkKeywords[NETWORK_KEYWORD_COUNT] = {
    L"#router", L"#gw", L"#dns", L"#dhcp", L"#wins",
};

// One pass over the candidate addresses: counts the usable ones and keeps
// the one at the wanted index.  The walk always runs to the end, so the
// count and the numbering agree.
struct AddressWalk {
    DWORD Wanted;
    DWORD Count;
    DWORD Found;
};

static void VisitAddress(AddressWalk *walk, const IP_ADDR_STRING *entry)
{
    // The text is a fixed 16-byte field; never trust it to be terminated.
    char text[sizeof entry->IpAddress.String + 1];
    memcpy(text, entry->IpAddress.String, sizeof entry->IpAddress.String);
    text[sizeof text - 1] = 0;
    if (text[0] == 0)
        return;
    unsigned long address = SYS(inet_addr)(text);
    if (address == 0 || address == INADDR_NONE)
        return;
    walk->Count++;
    if (walk->Count == walk->Wanted)
        walk->Found = address;
}

static DWORD WalkResult(const AddressWalk *walk)
{
    return walk->Wanted == 0 ? walk->Count : walk->Found;
}

typedef DWORD (*ConfigQuery)(void *buffer, ULONG *size);

static DWORD QueryNetworkParams(void *buffer, ULONG *size)
{
    return SYS(GetNetworkParams)(static_cast<FIXED_INFO *>(buffer), size);
}

static DWORD QueryAdaptersInfo(void *buffer, ULONG *size)
{
    return SYS(GetAdaptersInfo)(static_cast<IP_ADAPTER_INFO *>(buffer), size);
}

// Size first, then the data into a buffer of exactly that size.  Null when
// nothing could be read; the caller frees the buffer.
static void *ReadConfiguration(ConfigQuery query)
{
    ULONG size = 0;
    query(nullptr, &size);
    if (size == 0)
        return nullptr;
    void *buffer = SYS(malloc)(size);
    if (buffer == nullptr)
        return nullptr;
    if (query(buffer, &size) != NO_ERROR) {
        SYS(free)(buffer);
        return nullptr;
    }
    return buffer;
}

DWORD LookupDnsServer(DWORD index)
{
    AddressWalk walk = {index, 0, 0};
    FIXED_INFO *info = static_cast<FIXED_INFO *>(ReadConfiguration(QueryNetworkParams));
    if (info == nullptr)
        return 0;
    for (const IP_ADDR_STRING *entry = &info->DnsServerList; entry; entry = entry->Next)
        VisitAddress(&walk, entry);
    SYS(free)(info);
    return WalkResult(&walk);
}

// The adapter lookups differ only in which server fields of an adapter count.
typedef void (*AdapterVisitor)(AddressWalk *walk, const IP_ADAPTER_INFO *adapter);

static DWORD WalkAdapters(DWORD index, AdapterVisitor visit)
{
    AddressWalk walk = {index, 0, 0};
    IP_ADAPTER_INFO *list = static_cast<IP_ADAPTER_INFO *>(ReadConfiguration(QueryAdaptersInfo));
    if (list == nullptr)
        return 0;
    for (const IP_ADAPTER_INFO *adapter = list; adapter; adapter = adapter->Next)
        visit(&walk, adapter);
    SYS(free)(list);
    return WalkResult(&walk);
}

static void VisitDhcp(AddressWalk *walk, const IP_ADAPTER_INFO *adapter)
{
    if (adapter->DhcpEnabled)
        VisitAddress(walk, &adapter->DhcpServer);
}

static void VisitWins(AddressWalk *walk, const IP_ADAPTER_INFO *adapter)
{
    if (!adapter->HaveWins)
        return;
    VisitAddress(walk, &adapter->PrimaryWinsServer);
    VisitAddress(walk, &adapter->SecondaryWinsServer);
}

static void VisitGateways(AddressWalk *walk, const IP_ADAPTER_INFO *adapter)
{
    for (const IP_ADDR_STRING *entry = &adapter->GatewayList; entry; entry = entry->Next)
        VisitAddress(walk, entry);
}

DWORD LookupDhcpServer(DWORD index)
{
    return WalkAdapters(index, VisitDhcp);
}

DWORD LookupWinsServer(DWORD index)
{
    return WalkAdapters(index, VisitWins);
}

DWORD LookupGateway(DWORD index)
{
    return WalkAdapters(index, VisitGateways);
}

int MatchKeyword(const wchar_t *keyword, const wchar_t *argument)
{
    if (keyword == nullptr || argument == nullptr || keyword[0] == 0 || argument[0] == 0)
        return 0;
    if (_wcsicmp(argument, keyword) == 0)
        return 1;
    size_t length = wcslen(keyword);
    if (_wcsnicmp(argument, keyword, length) != 0)
        return 0;
    wchar_t digit = argument[length];
    if (digit >= L'1' && digit <= L'9' && argument[length + 1] == 0)
        return digit - L'0';
    return 0;
}

typedef DWORD (*ServerLookup)(DWORD index);

// Lookups of the keywords, in the order of NetworkKeywords.
static const ServerLookup KeywordLookups[NETWORK_KEYWORD_COUNT] = {
    LookupGateway, LookupGateway, LookupDnsServer, LookupDhcpServer, LookupWinsServer,
};

int ExpandNetworkKeyword(const wchar_t *hostText, SOCKADDR_IN *ipv4Candidate,
                         const SOCKADDR_IN6 *ipv6Candidate)
{
    if (hostText == nullptr || ipv4Candidate == nullptr || ipv6Candidate == nullptr)
        return -1;
    if (hostText[0] == 0)
        return 0;
    for (int i = 0; i < NETWORK_KEYWORD_COUNT; i++) {
        int index = MatchKeyword(NetworkKeywords[i], hostText);
        if (index == 0)
            continue;
        DWORD address = KeywordLookups[i](static_cast<DWORD>(index));
        if (address != 0) {
            ipv4Candidate->sin_family = AF_INET;
            ipv4Candidate->sin_port = 0;
            ipv4Candidate->sin_addr.s_addr = address;
        }
        break;
    }
    return ipv4Candidate->sin_family == AF_INET ? 1 : 0;
}
