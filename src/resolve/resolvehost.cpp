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

// Four decimal numbers of 1 to 3 digits, each at most 255, between dots:
// the system resolver reads it as an address and never asks DNS.
static bool IsDottedQuad(const wchar_t *text)
{
    for (int part = 0; part < 4; part++) {
        if (part > 0 && *text++ != L'.')
            return false;
        unsigned value = 0;
        int digits = 0;
        while (*text >= L'0' && *text <= L'9' && digits < 4) {
            value = value * 10 + static_cast<unsigned>(*text++ - L'0');
            digits++;
        }
        if (digits == 0 || digits > 3 || value > 255)
            return false;
    }
    return *text == 0;
}

// Whether DNS could hold a record for the text.  Host names are made of
// letters, digits, '-', '.' and '_' (and any non-ASCII character, as an
// internationalised name may be); anything else, such as the '#' of a
// keyword or macro that was not expanded, the ':' of an IPv6 address or a
// blank, is no name.  A literal IPv4 address is none either.
static bool CouldBeDnsName(const wchar_t *text)
{
    if (text[0] == 0 || IsDottedQuad(text))
        return false;
    for (const wchar_t *c = text; *c != 0; c++) {
        bool fits = (*c >= L'a' && *c <= L'z') || (*c >= L'A' && *c <= L'Z') ||
                    (*c >= L'0' && *c <= L'9') || *c == L'-' || *c == L'.' || *c == L'_' ||
                    *c >= 0x80;
        if (!fits)
            return false;
    }
    return true;
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
    // No query for text that cannot be a name: it would only go out to the
    // name servers and come back empty.
    if (found.V6.sin6_family == 0 && CouldBeDnsName(text))
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
