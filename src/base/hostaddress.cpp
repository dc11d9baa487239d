// hostaddress.cpp - the text of a socket address, and the test for a dotted IPv4 address.
#include "base/hostaddress.h"
#include "sys/syscalls.h"

#include <string.h>

int FormatHostAddress(const HostAddress *address, wchar_t *text, DWORD capacity)
{
    if (address == nullptr || text == nullptr)
        return -1;
    DWORD length;
    if (address->Generic.sa_family == AF_INET)
        length = sizeof(SOCKADDR_IN);
    else if (address->Generic.sa_family == AF_INET6)
        length = sizeof(SOCKADDR_IN6);
    else
        return 1;
    return SYS(WSAAddressToStringW)(const_cast<SOCKADDR *>(&address->Generic), length, nullptr,
                                    text, &capacity);
}

int FormatIPv4(DWORD address, wchar_t *buffer)
{
    if (buffer == nullptr)
        return -1;
    wsprintfW(buffer, L"%u.%u.%u.%u", address & 0xFF, (address >> 8) & 0xFF,
              (address >> 16) & 0xFF, (address >> 24) & 0xFF);
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
