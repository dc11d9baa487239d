// syscalls.h - the one table through which the plugin calls the operating system.
//
// Every Windows or runtime function that a test may need to fake or make fail
// is called as SYS(Name)(...).  The table starts out pointing at the real
// functions; tests replace entries by name or by id and restore them after.
// Each call through SYS() is counted per entry and in one running sequence, so
// a test can count the calls a scenario makes and fail the n-th one.
#pragma once

#include "sys/winhdr.h"

// X(Name): Name is a function declared by the Windows or runtime headers; its
// table entry has exactly the function's own type.
#define SONARO_SYSCALLS(X)                                                    \
    /* registry */                                                            \
    X(RegOpenKeyExW) X(RegCreateKeyExW) X(RegQueryValueExW)                   \
    X(RegSetValueExW) X(RegDeleteValueW) X(RegDeleteKeyW) X(RegEnumValueW)    \
    X(RegQueryInfoKeyW) X(RegCloseKey)                                        \
    /* environment, process, modules, files */                                \
    X(GetEnvironmentVariableW) X(GetCurrentProcessId) X(GetVersionExW)        \
    X(GetModuleFileNameW) X(GetFileAttributesW) X(SearchPathW)                \
    X(GetWindowsDirectoryW) X(CreateFileW) X(CloseHandle) X(GetLastError)     \
    X(CreateProcessW) X(TerminateProcess) X(WaitForInputIdle)                 \
    X(GetModuleHandleW) X(GetProcAddress)                                     \
    /* clock, timer resolution and waitable timers */                         \
    X(GetTickCount) X(Sleep) X(QueryPerformanceCounter)                       \
    X(QueryPerformanceFrequency) X(timeBeginPeriod) X(timeEndPeriod)          \
    X(CreateWaitableTimerExW) X(SetWaitableTimer) X(WaitForSingleObject)      \
    /* console */                                                             \
    X(GetStdHandle) X(GetConsoleMode) X(GetConsoleScreenBufferInfo)          \
    X(SetConsoleTextAttribute) X(SetConsoleCtrlHandler)                       \
    X(_cputws) X(_kbhit) X(_getwch)                                           \
    /* memory and randomness */                                               \
    X(malloc) X(free) X(rand_s)                                               \
    /* Windows Sockets, resolver, DNS */                                      \
    X(WSAStartup) X(WSACleanup) X(GetAddrInfoW) X(FreeAddrInfoW)              \
    X(GetNameInfoW) X(WSAAddressToStringW) X(inet_addr)                       \
    X(DnsQuery_W) X(DnsFree)                                                  \
    /* IP helper */                                                           \
    X(IcmpCreateFile) X(Icmp6CreateFile) X(IcmpSendEcho) X(Icmp6SendEcho2)    \
    X(IcmpCloseHandle) X(GetIpErrorString) X(GetIpStatistics)                 \
    X(GetNetworkParams) X(GetAdaptersInfo)                                    \
    /* MIDI, mixer, COM */                                                    \
    X(midiOutOpen) X(midiOutShortMsg) X(midiOutClose) X(midiOutGetID)         \
    X(mixerOpen) X(mixerClose) X(mixerGetDevCapsW) X(mixerGetLineInfoW)       \
    X(mixerGetLineControlsW) X(mixerSetControlDetails)                        \
    X(waveOutOpen) X(waveOutClose)                                            \
    X(CoInitializeEx) X(CoUninitialize) X(CoCreateInstance)                   \
    /* windows of the help viewer */                                          \
    X(EnumWindows) X(EnumChildWindows) X(GetWindowThreadProcessId)            \
    X(GetClassNameW) X(GetDlgCtrlID) X(PostMessageW) X(SendMessageW)          \
    X(GetForegroundWindow) X(MessageBoxW)

enum SysId {
#define SONARO_SYS_ID(name) SYS_##name,
    SONARO_SYSCALLS(SONARO_SYS_ID)
#undef SONARO_SYS_ID
    SYS_COUNT
};

struct SysTable {
#define SONARO_SYS_FIELD(name) decltype(&::name) name;
    SONARO_SYSCALLS(SONARO_SYS_FIELD)
#undef SONARO_SYS_FIELD
};

// The entries in force, and the real functions they start out as.
extern SysTable g_sys;
extern const SysTable g_sysDefault;

// Calls made through each entry, and through all entries together.
extern unsigned long g_sysCallCount[SYS_COUNT];
extern unsigned long g_sysCallTotal;

// Called (when set) before every call through the table, with the entry's id
// and the running sequence number (1 for the first call after a reset).
typedef void (*SysCallHook)(SysId id, unsigned long sequence);
extern SysCallHook g_sysCallHook;

static inline void SysNoteCall(SysId id)
{
    g_sysCallCount[id]++;
    g_sysCallTotal++;
    if (g_sysCallHook)
        g_sysCallHook(id, g_sysCallTotal);
}

#define SYS(name) (SysNoteCall(SYS_##name), g_sys.name)

// Name of an entry ("RegOpenKeyExW"), or null for an id out of range.
const char *SysName(int id);
// Id of the entry with this name, or -1.
int SysFind(const char *name);
// Replaces one entry by name (fn null: back to the real function).
// 0 on success, 1 when no entry has that name.
int SysOverride(const char *name, void *fn);
// Puts every entry back to the real function and clears hook and counters.
void SysRestoreAll(void);
void SysResetCounts(void);
