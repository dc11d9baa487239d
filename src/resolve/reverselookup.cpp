// reverselookup.cpp - the name of an address, and the test for a dotted IPv4 address.
#include "resolve/resolve.h"
#include "sys/syscalls.h"

#include <string.h>

int ReverseLookup(const HostAddress *address, wchar_t *name, DWORD capacity)
{
    if (address == nullptr || name == nullptr || capacity == 0)
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
    wcsncpy(name, found, capacity - 1);
    name[capacity - 1] = 0;
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
