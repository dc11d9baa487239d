// entries.cpp - the description record, load, unload and usage entries.
#include "frame/entries.h"
#include "base/pluginstate.h"
#include "base/errorreport.h"
#include "sys/syscalls.h"
#include "base/hostapi.h"
#include "base/sharedmidi.h"
#include "console/conlist.h"
#include "help/newhelp.h"
#include "help/helpusage.h"
#include "macros/macrousage.h"
#include "ping/pingusage.h"

#include <string.h>

static PluginInfoRecord PluginInfo;
static WSADATA WinsockData;

#ifndef _WIN64
static_assert(offsetof(PluginInfoRecord, Name) == 0, "record layout");
static_assert(offsetof(PluginInfoRecord, Author) == 4, "record layout");
static_assert(offsetof(PluginInfoRecord, Email) == 8, "record layout");
static_assert(offsetof(PluginInfoRecord, WebPage) == 12, "record layout");
static_assert(offsetof(PluginInfoRecord, Description) == 16, "record layout");
static_assert(offsetof(PluginInfoRecord, Implements) == 20, "record layout");
static_assert(offsetof(PluginInfoRecord, Major) == 24, "record layout");
static_assert(offsetof(PluginInfoRecord, Minor) == 28, "record layout");
static_assert(offsetof(PluginInfoRecord, Build) == 32, "record layout");
static_assert(offsetof(PluginInfoRecord, HostModule) == 36, "room for the host's fields");
static_assert(offsetof(PluginInfoRecord, HostModuleName) == 40, "room for the host's fields");
static_assert(sizeof(PluginInfoRecord) == 44, "record layout");
#else
static_assert(offsetof(PluginInfoRecord, Build) == 56, "record layout");
static_assert(offsetof(PluginInfoRecord, HostModule) == 64, "room for the host's fields");
static_assert(offsetof(PluginInfoRecord, HostModuleName) == 72, "room for the host's fields");
static_assert(sizeof(PluginInfoRecord) == 80, "record layout");
#endif

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        PluginModule = instance;
    return TRUE;
}

SONARO_EXPORT PluginInfoRecord *WINAPI GetPluginInfo(HMODULE)
{
    PluginInfo.Name = SONARO_NAME;
    PluginInfo.Author = L"The Sonaro developers";
    PluginInfo.Email = L"sonaro@users.noreply.invalid";
    PluginInfo.WebPage = L"https://sonaro.invalid/";
    PluginInfo.Description = L"Adds an audible ping command to TCC.";
    PluginInfo.Implements = SONARO_IMPLEMENTS;
    PluginInfo.Major = SONARO_VERSION_MAJOR;
    PluginInfo.Minor = SONARO_VERSION_MINOR;
    PluginInfo.Build = SONARO_VERSION_BUILD;
    return &PluginInfo;
}

static HANDLE OpenConsoleOut(void)
{
    return SYS(CreateFileW)(L"conout$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
}

SONARO_EXPORT int WINAPI InitializePlugin(void)
{
    memset(&WinsockData, 0, sizeof WinsockData);
    if (SYS(WSAStartup)(MAKEWORD(1, 1), &WinsockData) != 0) {
        ReportError(L"Unable to initialize WinSock API!\r\n");
        return 1;
    }

    if (MidiDisabled()) {
        MidiOut = nullptr;
    } else {
        MidiOut = OpenSharedMidi();
        if (MidiOut == nullptr) {
            ReportError(L"Unable to open MIDI handle!\r\n");
            SYS(WSACleanup)();
            return 1;
        }
    }

    memset(&OsVersion, 0, sizeof OsVersion);
    OsVersion.dwOSVersionInfoSize = sizeof OsVersion;
    SYS(GetVersionExW)(&OsVersion);

    // The host expands each of the three to "0" when it does not apply; any
    // other text (a pipe, a transient shell, NOLOADMSG set) silences the line.
    wchar_t quiet[1024];
    memset(quiet, 0, sizeof quiet);
    wcsncpy(quiet, L"%[_transient]%[_pipe]%[noloadmsg]", 1023);
    ExpandVariables(quiet, 1);
    if (wcscmp(quiet, L"00") == 0)
        Printf(L"%s v%d.%d.%d loaded.\r\n", SONARO_NAME, SONARO_VERSION_MAJOR,
               SONARO_VERSION_MINOR, SONARO_VERSION_BUILD);

    ConsoleOut = OpenConsoleOut();
    if (ConsoleOut == INVALID_HANDLE_VALUE) {
        SYS(Sleep)(50);
        ConsoleOut = OpenConsoleOut();
        if (ConsoleOut == INVALID_HANDLE_VALUE)
            ConsoleOut = nullptr;
    }
    return 0;
}

SONARO_EXPORT int WINAPI ShutdownPlugin(BOOL)
{
    SYS(WSACleanup)();
    if (MidiOut != nullptr)
        ReleaseSharedMidi();
    CloseHelpViewer();
    RemoveListCtrlHandler();
    if (ConsoleOut != nullptr) {
        SYS(CloseHandle)(ConsoleOut);
        ConsoleOut = nullptr;
    }
    return 0;
}

SONARO_EXPORT int WINAPI Usage(const wchar_t *name, wchar_t *buffer)
{
    if (name == nullptr || buffer == nullptr)
        return 0;
    const wchar_t *text = nullptr;
    if (_wcsicmp(name, L"sonaro") == 0)
        text = SonaroUsageText;
    else if (_wcsicmp(name, L"sonarohelp") == 0)
        text = SonaroHelpUsageText;
    else if (_wcsicmp(name, L"sonaromacro") == 0)
        text = SonaroMacroUsageText;
    else
        return 0;

    // Drop the one-line description and the line feeds after it.
    const wchar_t *rest = wcschr(text, L'\n');
    while (*rest == L'\n')
        rest++;
    wcsncpy(buffer, rest, 1023);
    buffer[1023] = 0;
    return 1;
}
