// resolve.h - turning host text into a socket address.
#pragma once

#include "sys/winhdr.h"

// A zeroed 128-byte area holding a SOCKADDR_IN (family 2) or SOCKADDR_IN6
// (family 23); family 0 means no address.
union HostAddress {
    unsigned char Bytes[128];
    SOCKADDR Generic;
    SOCKADDR_IN V4;
    SOCKADDR_IN6 V6;
};
static_assert(sizeof(HostAddress) == 128, "HostAddress is 128 bytes");

int ResolveHost(const wchar_t *hostText, HostAddress *address,
                unsigned char preferredFamily, unsigned char secondFamily,
                wchar_t *canonicalName, int *expandedFromMacro);
int FormatHostAddress(const HostAddress *address, wchar_t *text);

// 0 with the host name in name (1025 characters); 1 when none was found or
// the family is unknown; -1 for a null argument.
int ReverseLookup(const HostAddress *address, wchar_t *name);
// True for text that inet_addr reads as an address other than 0 and
// 255.255.255.255.
bool IsDottedIPv4(const wchar_t *text);
