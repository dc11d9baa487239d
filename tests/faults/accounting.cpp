// The fault sweep's accounting: wrappers around the scenario's world that
// count what a run takes and gives back.
#include "sweep.h"

#include "fakeworld.h"
#include "console/conlist.h"
#include "ping/interrupt.h"

namespace faultsweep {

SysTable inner;   // the entries the wrappers pass on to
long liveBlocks;  // malloc results not yet freed
long openKeys;    // registry keys opened or created and not yet closed
long liveLists;   // GetAddrInfoW lists not yet freed
long winsockUp;   // WSAStartup successes not yet cleaned up
long liveRecords; // DnsQuery_W record lists not yet freed
long pingHandler; // console control handlers registered and not yet removed
long listHandler;
long finePeriods; // timeBeginPeriod requests granted and not yet ended

namespace {

void *__cdecl CountMalloc(size_t size)
{
    void *block = inner.malloc(size);
    if (block != nullptr)
        liveBlocks++;
    return block;
}

void __cdecl CountFree(void *block)
{
    if (block != nullptr)
        liveBlocks--;
    inner.free(block);
}

LSTATUS WINAPI CountRegOpenKeyExW(HKEY root, LPCWSTR name, DWORD options, REGSAM access,
                                  PHKEY key)
{
    LSTATUS status = inner.RegOpenKeyExW(root, name, options, access, key);
    if (status == ERROR_SUCCESS)
        openKeys++;
    return status;
}

LSTATUS WINAPI CountRegCreateKeyExW(HKEY root, LPCWSTR name, DWORD reserved, LPWSTR keyClass,
                                    DWORD options, REGSAM access,
                                    const LPSECURITY_ATTRIBUTES security, PHKEY key,
                                    LPDWORD disposition)
{
    LSTATUS status = inner.RegCreateKeyExW(root, name, reserved, keyClass, options, access,
                                           security, key, disposition);
    if (status == ERROR_SUCCESS)
        openKeys++;
    return status;
}

LSTATUS WINAPI CountRegCloseKey(HKEY key)
{
    LSTATUS status = inner.RegCloseKey(key);
    if (status == ERROR_SUCCESS)
        openKeys--;
    return status;
}

INT WSAAPI CountGetAddrInfoW(PCWSTR node, PCWSTR service, const ADDRINFOW *hints,
                             PADDRINFOW *result)
{
    INT status = inner.GetAddrInfoW(node, service, hints, result);
    if (status == 0)
        liveLists++;
    return status;
}

VOID WSAAPI CountFreeAddrInfoW(PADDRINFOW list)
{
    if (list != nullptr)
        liveLists--;
    inner.FreeAddrInfoW(list);
}

int WSAAPI CountWSAStartup(WORD version, LPWSADATA data)
{
    int status = inner.WSAStartup(version, data);
    if (status == 0)
        winsockUp++;
    return status;
}

int WSAAPI CountWSACleanup(void)
{
    winsockUp--;
    return inner.WSACleanup();
}

DNS_STATUS WINAPI CountDnsQuery_W(PCWSTR name, WORD type, DWORD options, PIP4_ARRAY extra,
                                  PDNS_RECORD *records, PVOID *reserved)
{
    DNS_STATUS status = inner.DnsQuery_W(name, type, options, extra, records, reserved);
    if (status == 0 && records != nullptr && *records != nullptr)
        liveRecords++;
    return status;
}

VOID WINAPI CountDnsFree(PVOID data, DNS_FREE_TYPE type)
{
    if (data != nullptr)
        liveRecords--;
    inner.DnsFree(data, type);
}

BOOL WINAPI CountSetConsoleCtrlHandler(PHANDLER_ROUTINE handler, BOOL add)
{
    BOOL done = inner.SetConsoleCtrlHandler(handler, add);
    long *count = handler == PingCtrlHandler ? &pingHandler
                  : handler == ListCtrlHandler ? &listHandler
                                               : nullptr;
    // A removal the system refuses is no fault of the caller's: it asked.
    if (count != nullptr && (done || !add))
        *count += add ? 1 : -1;
    return done;
}

MMRESULT WINAPI CountTimeBeginPeriod(UINT period)
{
    MMRESULT result = inner.timeBeginPeriod(period);
    if (result == TIMERR_NOERROR)
        finePeriods++;
    return result;
}

MMRESULT WINAPI CountTimeEndPeriod(UINT period)
{
    MMRESULT result = inner.timeEndPeriod(period);
    if (result == TIMERR_NOERROR)
        finePeriods--;
    return result;
}

}  // namespace

// Wraps the world now in the table; the wrappers call what they replace.
void InstallAccounting(void)
{
    liveBlocks = openKeys = liveLists = winsockUp = liveRecords = pingHandler = listHandler = 0;
    finePeriods = 0;
    inner = g_sys;
    g_sys.malloc = CountMalloc;
    g_sys.free = CountFree;
    g_sys.RegOpenKeyExW = CountRegOpenKeyExW;
    g_sys.RegCreateKeyExW = CountRegCreateKeyExW;
    g_sys.RegCloseKey = CountRegCloseKey;
    g_sys.GetAddrInfoW = CountGetAddrInfoW;
    g_sys.FreeAddrInfoW = CountFreeAddrInfoW;
    g_sys.WSAStartup = CountWSAStartup;
    g_sys.WSACleanup = CountWSACleanup;
    g_sys.SetConsoleCtrlHandler = CountSetConsoleCtrlHandler;
    g_sys.DnsQuery_W = CountDnsQuery_W;
    g_sys.DnsFree = CountDnsFree;
    g_sys.timeBeginPeriod = CountTimeBeginPeriod;
    g_sys.timeEndPeriod = CountTimeEndPeriod;
}

}  // namespace faultsweep
