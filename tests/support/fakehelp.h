// fakehelp.h - the help viewer of the fake world: the module name, files,
// the viewer process and its windows, the message box.
#pragma once

#include "testsupport.h"

#include <string>
#include <vector>

// Paths as the plugin sees them after expansion and true-name resolution.
#define FAKE_MODULE L"C:\\plug\\" PLUGIN_DLL_NAME_W
#define FAKE_BESIDE_DLL L"C:\\plug\\Sonaro.chm"
#define FAKE_DLL_HELP L"C:\\plug\\Help\\Sonaro.chm"
#define FAKE_VIEWER L"C:\\windows\\hh.exe"
#define FAKE_WINDOWS_DIR L"D:\\Win"
#define FAKE_FOREGROUND reinterpret_cast<HWND>(0x777)

namespace fake {

struct Window {
    HWND Handle;
    DWORD ProcessId;
    std::wstring Class;
    int ControlId;
    int FirstPass;    // child windows: visible from this enumeration on (0 = always)
};

struct Launch {
    std::wstring Application;
    std::wstring CommandLine;
    BOOL InheritHandles;
    DWORD Flags;
    bool NullAttributes;     // no security attributes, environment or directory
    DWORD StartupSize;
    bool StartupZeroed;      // everything but the size field is zero
    HANDLE Process;
    HANDLE Thread;
};

struct Help {
    std::vector<std::wstring> Files;          // existing regular files
    std::vector<std::wstring> Directories;    // existing directories
    std::vector<std::wstring> Probed;         // GetFileAttributesW, in order
    bool ViewerInstalled = true;
    bool LaunchFails = false;
    std::vector<Launch> Launches;
    DWORD IdleResult = 0;                     // WaitForInputIdle
    std::vector<Window> TopWindows;
    std::vector<Window> Children;         // of the main window
    int ChildEnumerations = 0;
    std::vector<std::wstring> Events;         // viewer calls and sleeps, in order
    std::vector<HANDLE> Terminated;
    std::vector<HANDLE> Closed;
    int MessageBoxes = 0;
    HWND MessageOwner = nullptr;
    std::wstring MessageText;
    std::wstring MessageCaption;
    UINT MessageType = 0xFFFFFFFF;
};

extern Help help;

// Resets help and installs it.
void InstallHelp(void);
// Notes a sleep in the viewer's event log.
void NoteHelpSleep(DWORD ms);

// A viewer process 0x4242 with its main window, tab control and (unless
// told otherwise) the search controls.
#define FAKE_VIEWER_PID 0x4242
#define FAKE_MAIN reinterpret_cast<HWND>(0x100)
#define FAKE_TAB reinterpret_cast<HWND>(0x110)
#define FAKE_COMBO reinterpret_cast<HWND>(0x120)
#define FAKE_BUTTON reinterpret_cast<HWND>(0x130)
void AddViewerWindows(bool withTab = true, int comboPass = 0, int buttonPass = 0);

}  // namespace fake

// The command line the plugin gives hh.exe for a file and page.
std::wstring ViewerCommandLine(const std::wstring &file, const std::wstring &topic);

// What the host makes of a path text: expansion and true name.
std::wstring HostResolve(const std::wstring &text);
