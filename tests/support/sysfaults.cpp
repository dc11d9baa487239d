// sysfaults.cpp - the failure of every system-call entry and the stubs that
// return it.
#include "sysfaults.h"
#include "fakeicmp.h"

#include <string.h>
#include <type_traits>

namespace {

struct FaultRow {
    SysId Id;
    INT_PTR Value;
    DWORD Error;
};

#define FAIL_WITH(value, error) static_cast<INT_PTR>(value), static_cast<DWORD>(error)
// INVALID_HANDLE_VALUE is written -1: the table holds numbers.
const FaultRow FaultRows[] = {
    {SYS_RegOpenKeyExW, FAIL_WITH(ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED)},
    {SYS_RegCreateKeyExW, FAIL_WITH(ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED)},
    {SYS_RegQueryValueExW, FAIL_WITH(ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED)},
    {SYS_RegSetValueExW, FAIL_WITH(ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED)},
    {SYS_RegDeleteValueW, FAIL_WITH(ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED)},
    {SYS_RegDeleteKeyW, FAIL_WITH(ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED)},
    {SYS_RegEnumValueW, FAIL_WITH(ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED)},
    {SYS_RegQueryInfoKeyW, FAIL_WITH(ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED)},
    {SYS_GetEnvironmentVariableW, FAIL_WITH(0, ERROR_ENVVAR_NOT_FOUND)},
    {SYS_GetVersionExW, FAIL_WITH(FALSE, ERROR_INVALID_PARAMETER)},
    {SYS_GetModuleFileNameW, FAIL_WITH(0, ERROR_ACCESS_DENIED)},
    {SYS_GetFileAttributesW, FAIL_WITH(INVALID_FILE_ATTRIBUTES, ERROR_FILE_NOT_FOUND)},
    {SYS_SearchPathW, FAIL_WITH(0, ERROR_FILE_NOT_FOUND)},
    {SYS_GetWindowsDirectoryW, FAIL_WITH(0, ERROR_ACCESS_DENIED)},
    {SYS_CreateFileW, FAIL_WITH(-1, ERROR_ACCESS_DENIED)},
    {SYS_CreateProcessW, FAIL_WITH(FALSE, ERROR_FILE_NOT_FOUND)},
    {SYS_TerminateProcess, FAIL_WITH(FALSE, ERROR_ACCESS_DENIED)},
    {SYS_WaitForInputIdle, FAIL_WITH(WAIT_FAILED, ERROR_INVALID_HANDLE)},
    {SYS_GetModuleHandleW, FAIL_WITH(0, ERROR_MOD_NOT_FOUND)},
    {SYS_GetProcAddress, FAIL_WITH(0, ERROR_PROC_NOT_FOUND)},
    {SYS_QueryPerformanceCounter, FAIL_WITH(FALSE, ERROR_INVALID_PARAMETER)},
    {SYS_QueryPerformanceFrequency, FAIL_WITH(FALSE, ERROR_INVALID_PARAMETER)},
    {SYS_timeBeginPeriod, FAIL_WITH(TIMERR_NOCANDO, 0)},
    // Windows before 10 1803 refuses the high-resolution flag so.
    {SYS_CreateWaitableTimerExW, FAIL_WITH(0, ERROR_INVALID_PARAMETER)},
    {SYS_SetWaitableTimer, FAIL_WITH(FALSE, ERROR_INVALID_PARAMETER)},
    {SYS_WaitForSingleObject, FAIL_WITH(WAIT_FAILED, ERROR_INVALID_HANDLE)},
    {SYS_GetStdHandle, FAIL_WITH(-1, ERROR_INVALID_HANDLE)},
    {SYS_GetConsoleMode, FAIL_WITH(FALSE, ERROR_INVALID_HANDLE)},
    {SYS_GetConsoleScreenBufferInfo, FAIL_WITH(FALSE, ERROR_INVALID_HANDLE)},
    {SYS_SetConsoleTextAttribute, FAIL_WITH(FALSE, ERROR_INVALID_HANDLE)},
    {SYS_SetConsoleCtrlHandler, FAIL_WITH(FALSE, ERROR_NOT_ENOUGH_MEMORY)},
    {SYS__cputws, FAIL_WITH(-1, ERROR_INVALID_HANDLE)},
    {SYS_malloc, FAIL_WITH(0, ERROR_NOT_ENOUGH_MEMORY)},
    {SYS_rand_s, FAIL_WITH(EINVAL, ERROR_INVALID_PARAMETER)},
    {SYS_WSAStartup, FAIL_WITH(WSASYSNOTREADY, WSASYSNOTREADY)},
    {SYS_GetAddrInfoW, FAIL_WITH(WSANO_RECOVERY, WSANO_RECOVERY)},
    {SYS_GetNameInfoW, FAIL_WITH(WSANO_RECOVERY, WSANO_RECOVERY)},
    {SYS_WSAAddressToStringW, FAIL_WITH(SOCKET_ERROR, WSAEFAULT)},
    {SYS_inet_addr, FAIL_WITH(INADDR_NONE, WSAEINVAL)},
    {SYS_DnsQuery_W, FAIL_WITH(DNS_ERROR_RCODE_SERVER_FAILURE, DNS_ERROR_RCODE_SERVER_FAILURE)},
    {SYS_IcmpCreateFile, FAIL_WITH(-1, ERROR_NOT_ENOUGH_MEMORY)},
    {SYS_Icmp6CreateFile, FAIL_WITH(-1, ERROR_NOT_ENOUGH_MEMORY)},
    {SYS_IcmpSendEcho, FAIL_WITH(0, IP_GENERAL_FAILURE)},
    {SYS_Icmp6SendEcho2, FAIL_WITH(0, IP_GENERAL_FAILURE)},
    {SYS_GetIpErrorString, FAIL_WITH(ERROR_INVALID_PARAMETER, ERROR_INVALID_PARAMETER)},
    {SYS_GetIpStatistics, FAIL_WITH(ERROR_NOT_SUPPORTED, ERROR_NOT_SUPPORTED)},
    {SYS_GetNetworkParams, FAIL_WITH(ERROR_NOT_SUPPORTED, ERROR_NOT_SUPPORTED)},
    {SYS_GetAdaptersInfo, FAIL_WITH(ERROR_NOT_SUPPORTED, ERROR_NOT_SUPPORTED)},
    {SYS_midiOutOpen, FAIL_WITH(MMSYSERR_ERROR, 0)},
    {SYS_midiOutShortMsg, FAIL_WITH(MMSYSERR_ERROR, 0)},
    {SYS_midiOutGetID, FAIL_WITH(MMSYSERR_INVALHANDLE, 0)},
    {SYS_mixerOpen, FAIL_WITH(MMSYSERR_ERROR, 0)},
    {SYS_mixerGetDevCapsW, FAIL_WITH(MMSYSERR_ERROR, 0)},
    {SYS_mixerGetLineInfoW, FAIL_WITH(MMSYSERR_ERROR, 0)},
    {SYS_mixerGetLineControlsW, FAIL_WITH(MMSYSERR_ERROR, 0)},
    {SYS_mixerSetControlDetails, FAIL_WITH(MMSYSERR_ERROR, 0)},
    {SYS_waveOutOpen, FAIL_WITH(MMSYSERR_ERROR, 0)},
    {SYS_CoInitializeEx, FAIL_WITH(E_OUTOFMEMORY, 0)},
    {SYS_CoCreateInstance, FAIL_WITH(E_FAIL, 0)},
    {SYS_EnumWindows, FAIL_WITH(FALSE, ERROR_ACCESS_DENIED)},
    {SYS_EnumChildWindows, FAIL_WITH(FALSE, ERROR_ACCESS_DENIED)},
    {SYS_GetWindowThreadProcessId, FAIL_WITH(0, ERROR_INVALID_WINDOW_HANDLE)},
    {SYS_GetClassNameW, FAIL_WITH(0, ERROR_INVALID_WINDOW_HANDLE)},
    {SYS_GetDlgCtrlID, FAIL_WITH(0, ERROR_INVALID_WINDOW_HANDLE)},
    {SYS_PostMessageW, FAIL_WITH(FALSE, ERROR_INVALID_WINDOW_HANDLE)},
    {SYS_GetForegroundWindow, FAIL_WITH(0, 0)},
    {SYS_MessageBoxW, FAIL_WITH(0, ERROR_NOT_ENOUGH_MEMORY)},
};
#undef FAIL_WITH

const SysFault NoFault = {false, 0, 0};

template <typename R>
R FailResult(int id)
{
    const SysFault &fault = SysFaultOf(id);
    SetLastError(fault.Error);
    // The fake ICMP helper's GetLastError answers from here.
    fake::icmp.LastError = fault.Error;
    if constexpr (std::is_void_v<R>)
        return;
    else if constexpr (std::is_pointer_v<R> && std::is_function_v<std::remove_pointer_t<R>>)
        return nullptr;
    else if constexpr (std::is_pointer_v<R>)
        return reinterpret_cast<R>(fault.Value);
    else
        return static_cast<R>(fault.Value);
}

template <int Id, typename R, typename... A>
struct WinStub {
    static R WINAPI Call(A...) { return FailResult<R>(Id); }
};

template <int Id, typename R, typename... A>
auto StubFor(R(WINAPI *)(A...))
{
    return &WinStub<Id, R, A...>::Call;
}

#ifndef _WIN64
// On x86 the runtime's functions are cdecl; on x64 there is one convention.
template <int Id, typename R, typename... A>
struct CStub {
    static R __cdecl Call(A...) { return FailResult<R>(Id); }
};

template <int Id, typename R, typename... A>
auto StubFor(R(__cdecl *)(A...))
{
    return &CStub<Id, R, A...>::Call;
}
#endif

// A failed CoCreateInstance sets the interface pointer to null.
HRESULT WINAPI FailCoCreateInstance(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID *object)
{
    if (object != nullptr)
        *object = nullptr;
    return FailResult<HRESULT>(SYS_CoCreateInstance);
}

SysTable MakeFailingTable(void)
{
    SysTable table = {
#define SONARO_SYS_FAIL(name) StubFor<SYS_##name>(g_sysDefault.name),
        SONARO_SYSCALLS(SONARO_SYS_FAIL)
#undef SONARO_SYS_FAIL
    };
    table.CoCreateInstance = FailCoCreateInstance;
    return table;
}

}  // namespace

const SysFault &SysFaultOf(int id)
{
    static SysFault faults[SYS_COUNT];
    static bool filled;
    if (!filled) {
        for (const FaultRow &row : FaultRows)
            faults[row.Id] = {true, row.Value, row.Error};
        filled = true;
    }
    if (id < 0 || id >= SYS_COUNT)
        return NoFault;
    return faults[id];
}

const SysTable &SysFailingTable(void)
{
    static const SysTable table = MakeFailingTable();
    return table;
}

void SysCopyEntry(SysTable *to, const SysTable &from, int id)
{
    if (id < 0 || id >= SYS_COUNT)
        return;
    size_t offset = static_cast<size_t>(id) * sizeof(void *);
    memcpy(reinterpret_cast<char *>(to) + offset, reinterpret_cast<const char *>(&from) + offset,
           sizeof(void *));
}
