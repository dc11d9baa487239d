// plugin.h - plugin-wide state, the description record and the error prefix.
#pragma once

#include "sys/syscalls.h"

// Exported entries: plain C names, standard calling convention.  The x86
// link strips the "@n" decoration (see CMakeLists.txt).
#define SONARO_EXPORT extern "C" __declspec(dllexport)

#define SONARO_NAME L"Sonaro"
#define SONARO_VERSION_MAJOR 1
#define SONARO_VERSION_MINOR 0
#define SONARO_VERSION_BUILD 3
#define SONARO_VERSION_REVISION 1
#ifdef _WIN64
#define SONARO_ARCH_TAG L"x64"
#else
#define SONARO_ARCH_TAG L"x86"
#endif

// The record GetPluginInfo hands to the host.  In a 32-bit process the nine
// fields the plugin fills lie at offsets 0 to 32.
struct PluginInfoRecord {
    const wchar_t *Name;
    const wchar_t *Author;
    const wchar_t *Email;
    const wchar_t *WebPage;
    const wchar_t *Description;
    const wchar_t *Implements;
    int Major;
    int Minor;
    int Build;
    // Written by the host after GetPluginInfo returned: its module handle
    // for the plugin and a pointer to the module's name.  Never set here.
    HMODULE HostModule;
    const wchar_t *HostModuleName;
};

#define SONARO_IMPLEMENTS                                                     \
    L"sonaro,sonarohelp,sonaromacro,@sonaromacro,@lookuphost,@pingdhcp,"      \
    L"@pingdns,@pingrouter,@pingtime,@pingwins,_pingavg,_pingmax,_pingmin,"   \
    L"_pingslost,_pingsrcvd"

extern HMODULE PluginModule;
extern HMIDIOUT MidiOut;
extern OSVERSIONINFOW OsVersion;
extern HANDLE ConsoleOut;

// Writes "Sonaro plugin: " (and inside a batch file its name and line) to
// standard error; every error message follows it.  Returns 0.
int ErrorPrefix(void);

// The standard-error handle every error message is written to.
HANDLE StdErr(void);

// Usage texts, exactly as the commands print them for "/?".
extern const wchar_t SonaroUsageText[];
extern const wchar_t SonaroMacroUsageText[];
extern const wchar_t SonaroHelpUsageText[];
// "\r\n\t\t\t\t%s  %u.%u.%u.%u (%s)\r\n" with the name, version and platform.
int PrintVersionLine(void);

// The host passes the plugin's module handle (not used: DllMain stored it).
SONARO_EXPORT PluginInfoRecord *WINAPI GetPluginInfo(HMODULE module);
SONARO_EXPORT int WINAPI InitializePlugin(void);
// endProcess: 1 when the host process is ending, 0 when only the plugin is
// unloaded; the clean-up is the same.
SONARO_EXPORT int WINAPI ShutdownPlugin(BOOL endProcess);
SONARO_EXPORT int WINAPI Usage(const wchar_t *name, wchar_t *buffer);
