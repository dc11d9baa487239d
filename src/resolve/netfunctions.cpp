// netfunctions.cpp - @PINGDNS, @PINGDHCP, @PINGROUTER, @PINGWINS: configured servers or their number.
#include "netinfo/netconfig.h"
#include "base/hostaddress.h"
#include "resolve/netentries.h"
#include "args/parseargs.h"
#include "base/hostapi.h"
#include "base/identity.h"
#include "base/hostbuffer.h"
#include "base/errorreport.h"

typedef DWORD (*ServerLookup)(DWORD index);

// "[index]": index 0 gives the count, 1 and up an address (empty if none).
static int ServerFunction(wchar_t *buffer, ServerLookup lookup)
{
    if (buffer == nullptr)
        return -1;
    CutToHostBuffer(buffer);
    DWORD index = 1;
    ParseArgs(PARSE_COMMAS | PARSE_UPPER, buffer);
    if (ArgTable.Count > 0 && ArgTable.Argument[0] != nullptr && ArgTable.Length[0] > 0) {
        if (ParseNumber(ArgTable.Argument[0], nullptr, &index) != 0) {
            ReportError(L"Bad index value: \"%s\"\r\n", ArgTable.Argument[0]);
            return -1;
        }
    }
    DWORD result = lookup(index);
    if (index == 0)
        wsprintfW(buffer, L"%u", result);
    else if (result == 0)
        buffer[0] = 0;
    else
        FormatIPv4(result, buffer);
    return 0;
}

SONARO_EXPORT int WINAPI f_pingdns(wchar_t *buffer)
{
    return ServerFunction(buffer, LookupDnsServer);
}

SONARO_EXPORT int WINAPI f_pingdhcp(wchar_t *buffer)
{
    return ServerFunction(buffer, LookupDhcpServer);
}

SONARO_EXPORT int WINAPI f_pingrouter(wchar_t *buffer)
{
    return ServerFunction(buffer, LookupGateway);
}

SONARO_EXPORT int WINAPI f_pingwins(wchar_t *buffer)
{
    return ServerFunction(buffer, LookupWinsServer);
}
