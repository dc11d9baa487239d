// hostaddress.h - one socket address of either family, and its text.
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

// Characters of a host name with its terminator, and of an address's text.
#define HOST_NAME_CAPACITY 1025
#define ADDRESS_TEXT_CAPACITY 128

// The platform's text of the address (WSAAddressToStringW) into capacity
// characters: -1 a pointer missing, 1 no family the plugin knows, else
// WSAAddressToStringW's result.
int FormatHostAddress(const HostAddress *address, wchar_t *text, DWORD capacity);

// "%u.%u.%u.%u" from the address bytes in memory order; 0, or -1 without
// a buffer.  The buffer holds at least 16 characters.
int FormatIPv4(DWORD address, wchar_t *buffer);

// True for text that inet_addr reads as an address other than 0 and
// 255.255.255.255.
bool IsDottedIPv4(const wchar_t *text);
