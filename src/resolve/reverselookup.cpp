// reverselookup.cpp - the name of an address.
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
