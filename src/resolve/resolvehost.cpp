// resolvehost.cpp - host text (name, address, keyword, macro) to one socket address.
#include "resolve/resolve.h"
#include "netinfo/netconfig.h"
#include "macros/macrostore.h"
#include "sys/syscalls.h"

#include <string.h>


enum { FAMILY_IPV4 = AF_INET, FAMILY_IPV6 = AF_INET6 };

// What one resolution has found so far.
struct Candidates {
    SOCKADDR_IN V4;
    SOCKADDR_IN6 V6;
    wchar_t Canonical[HOST_NAME_CAPACITY];
};

static void CopyName(wchar_t *target, const wchar_t *source, DWORD capacity)
{
    wcsncpy(target, source, capacity - 1);
    target[capacity - 1] = 0;
}

// One GetAddrInfoW lookup restricted to a family: the first fitting entry
// fills the candidate if it is still empty; the first canonical name is kept
// while none has been found yet.
static void LookupFamily(const wchar_t *text, int family, bool wantCanonical,
                         Candidates *found)
{
    ADDRINFOW hints;
    memset(&hints, 0, sizeof hints);
    hints.ai_family = family;
    if (wantCanonical)
        hints.ai_flags = AI_CANONNAME;

    ADDRINFOW *list = nullptr;
    if (SYS(GetAddrInfoW)(text, nullptr, &hints, &list) != 0)
        return;
    for (ADDRINFOW *entry = list; entry != nullptr; entry = entry->ai_next) {
        if (entry->ai_addr != nullptr && entry->ai_family == family) {
            if (family == FAMILY_IPV4 && entry->ai_addrlen == sizeof(SOCKADDR_IN) &&
                found->V4.sin_family == 0)
                memcpy(&found->V4, entry->ai_addr, sizeof(SOCKADDR_IN));
            else if (family == FAMILY_IPV6 && entry->ai_addrlen == sizeof(SOCKADDR_IN6) &&
                     found->V6.sin6_family == 0)
                memcpy(&found->V6, entry->ai_addr, sizeof(SOCKADDR_IN6));
        }
        if (entry->ai_canonname != nullptr && found->Canonical[0] == 0)
            CopyName(found->Canonical, entry->ai_canonname, HOST_NAME_CAPACITY);
    }
    SYS(FreeAddrInfoW)(list);
}

static bool IsZeroAddress(const IP6_ADDRESS *address)
{
    for (int i = 0; i < 4; i++)
        if (address->IP6Dword[i] != 0)
            return false;
    return true;
}

// The resolver may know only the IPv4 side of a name that DNS holds AAAA
// records for; ask DNS directly then.
static void QueryAaaaRecord(const wchar_t *text, SOCKADDR_IN6 *candidate)
{
    PDNS_RECORD records = nullptr;
    if (SYS(DnsQuery_W)(text, DNS_TYPE_AAAA, DNS_QUERY_STANDARD, nullptr, &records, nullptr) != 0)
        return;
    if (records == nullptr)
        return;
    for (PDNS_RECORD record = records; record != nullptr; record = record->pNext) {
        if (record->wType != DNS_TYPE_AAAA || IsZeroAddress(&record->Data.AAAA.Ip6Address))
            continue;
        memset(candidate, 0, sizeof *candidate);
        candidate->sin6_family = FAMILY_IPV6;
        memcpy(&candidate->sin6_addr, &record->Data.AAAA.Ip6Address, sizeof candidate->sin6_addr);
        break;
    }
    SYS(DnsFree)(records, DnsFreeRecordList);
}

// Copies the candidate of this family, if it was found.  True when copied.
static bool TakeCandidate(unsigned char family, const Candidates *found, HostAddress *address)
{
    if (family == FAMILY_IPV4 && found->V4.sin_family != 0) {
        memcpy(address->Bytes, &found->V4, sizeof found->V4);
        return true;
    }
    if (family == FAMILY_IPV6 && found->V6.sin6_family != 0) {
        memcpy(address->Bytes, &found->V6, sizeof found->V6);
        return true;
    }
    return false;
}

int ResolveHost(const wchar_t *hostText, HostAddress *address,
                unsigned char preferredFamily, unsigned char secondFamily,
                wchar_t *canonicalName, DWORD canonicalCapacity, int *expandedFromMacro)
{
    if (hostText == nullptr || address == nullptr)
        return -1;
    Candidates found;
    wchar_t expansion[HOST_NAME_CAPACITY];
    found.Canonical[0] = 0;
    expansion[0] = 0;
    if (preferredFamily != FAMILY_IPV4 && preferredFamily != FAMILY_IPV6)
        return -2;
    memset(&found.V4, 0, sizeof found.V4);
    memset(&found.V6, 0, sizeof found.V6);

    if (canonicalCapacity == 0)
        canonicalName = nullptr;
    bool wantCanonical = canonicalName != nullptr;
    const wchar_t *text = hostText;
    ExpandNetworkKeyword(text, &found.V4, &found.V6);
    if (found.V4.sin_family == 0) {
        // Single level: the expansion is resolved as it stands.
        if (ExpandHostMacro(text, expansion) == 0)
            text = expansion;
        else
            expansion[0] = 0;
        LookupFamily(text, FAMILY_IPV4, wantCanonical, &found);
    }
    LookupFamily(text, FAMILY_IPV6, wantCanonical && found.Canonical[0] == 0, &found);
    if (found.V6.sin6_family == 0)
        QueryAaaaRecord(text, &found.V6);

    int result = 2;
    if (TakeCandidate(preferredFamily, &found, address) ||
        TakeCandidate(secondFamily, &found, address)) {
        result = 0;
        if (canonicalName != nullptr && found.Canonical[0] != 0)
            CopyName(canonicalName, found.Canonical, canonicalCapacity);
    }
    if (expandedFromMacro != nullptr)
        *expandedFromMacro = expansion[0] != 0 ? 1 : 0;
    return result;
}
