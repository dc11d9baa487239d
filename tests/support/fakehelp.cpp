// fakehelp.cpp - GetModuleFileNameW, GetFileAttributesW, SearchPathW, the
// viewer process and its windows, GetWindowsDirectoryW, GetForegroundWindow
// and MessageBoxW of the fake world.
#include "fakehelp.h"

#include "arch.h"
#include "help/newhelp.h"

#include <commctrl.h>
#include <algorithm>

namespace fake {

Help help;

static bool Contains(const std::vector<std::wstring> &list, const wchar_t *path)
{
    return std::find(list.begin(), list.end(), std::wstring(path)) != list.end();
}

static std::wstring Hex(const void *value)
{
    return PointerTextW(reinterpret_cast<uintptr_t>(value));
}

static std::wstring Num(unsigned long long value)
{
    wchar_t text[32];
    _snwprintf(text, 32, L"%I64u", value);
    text[31] = 0;
    return text;
}

static DWORD WINAPI FakeModuleName(HMODULE, LPWSTR buffer, DWORD size)
{
    std::wstring name = FAKE_MODULE;
    if (size <= name.size())
        return 0;
    wcscpy(buffer, name.c_str());
    return static_cast<DWORD>(name.size());
}

static DWORD WINAPI FakeAttributes(LPCWSTR path)
{
    help.Probed.push_back(path);
    if (Contains(help.Files, path))
        return FILE_ATTRIBUTE_ARCHIVE;
    if (Contains(help.Directories, path))
        return FILE_ATTRIBUTE_DIRECTORY;
    return INVALID_FILE_ATTRIBUTES;
}

static DWORD WINAPI FakeSearchPath(LPCWSTR path, LPCWSTR file, LPCWSTR extension, DWORD size,
                                   LPWSTR buffer, LPWSTR *filePart)
{
    if (path != nullptr || extension != nullptr || filePart != nullptr || wcscmp(file, L"hh.exe") != 0)
        return 0;
    if (!help.ViewerInstalled || size < 32768)
        return 0;
    wcscpy(buffer, FAKE_VIEWER);
    return static_cast<DWORD>(wcslen(FAKE_VIEWER));
}

static BOOL WINAPI FakeCreateProcess(LPCWSTR application, LPWSTR commandLine,
                                     LPSECURITY_ATTRIBUTES processAttributes,
                                     LPSECURITY_ATTRIBUTES threadAttributes, BOOL inherit,
                                     DWORD flags, LPVOID environment, LPCWSTR directory,
                                     LPSTARTUPINFOW startup, LPPROCESS_INFORMATION info)
{
    Launch launch;
    launch.Application = application ? application : L"(null)";
    launch.CommandLine = commandLine ? commandLine : L"(null)";
    launch.InheritHandles = inherit;
    launch.Flags = flags;
    launch.NullAttributes = processAttributes == nullptr && threadAttributes == nullptr &&
                            environment == nullptr && directory == nullptr;
    launch.StartupSize = startup->cb;
    STARTUPINFOW zero;
    memset(&zero, 0, sizeof zero);
    zero.cb = startup->cb;
    launch.StartupZeroed = memcmp(&zero, startup, sizeof zero) == 0;
    size_t n = help.Launches.size() + 1;
    launch.Process = reinterpret_cast<HANDLE>(0x1000 * n + 1);
    launch.Thread = reinterpret_cast<HANDLE>(0x1000 * n + 2);
    help.Events.push_back(L"CreateProcess " + Hex(launch.Process));
    if (help.LaunchFails)
        return FALSE;
    help.Launches.push_back(launch);
    info->hProcess = launch.Process;
    info->hThread = launch.Thread;
    info->dwProcessId = FAKE_VIEWER_PID;
    info->dwThreadId = 0x99;
    return TRUE;
}

static BOOL WINAPI FakeCloseHandle(HANDLE handle)
{
    help.Closed.push_back(handle);
    help.Events.push_back(L"CloseHandle " + Hex(handle));
    return TRUE;
}

static BOOL WINAPI FakeTerminate(HANDLE process, UINT code)
{
    help.Terminated.push_back(process);
    help.Events.push_back(L"Terminate " + Hex(process) + L" " + Num(code));
    return TRUE;
}

static DWORD WINAPI FakeIdle(HANDLE process, DWORD milliseconds)
{
    help.Events.push_back(L"WaitForInputIdle " + Hex(process) + L" " + Num(milliseconds));
    return help.IdleResult;
}

static const Window *FindWindowRecord(HWND window)
{
    for (const Window &w : help.TopWindows)
        if (w.Handle == window)
            return &w;
    for (const Window &w : help.Children)
        if (w.Handle == window)
            return &w;
    return nullptr;
}

static BOOL WINAPI FakeEnumWindows(WNDENUMPROC callback, LPARAM param)
{
    help.Events.push_back(L"EnumWindows");
    for (const Window &w : help.TopWindows)
        if (!callback(w.Handle, param))
            break;
    return TRUE;
}

static BOOL WINAPI FakeEnumChildWindows(HWND parent, WNDENUMPROC callback, LPARAM param)
{
    int pass = ++help.ChildEnumerations;
    if (parent != FAKE_MAIN)
        return TRUE;
    for (const Window &w : help.Children)
        if (pass >= w.FirstPass && !callback(w.Handle, param))
            break;
    return TRUE;
}

static DWORD WINAPI FakeThreadProcessId(HWND window, LPDWORD processId)
{
    const Window *w = FindWindowRecord(window);
    if (processId)
        *processId = w ? w->ProcessId : 0;
    return 0x99;
}

static int WINAPI FakeClassName(HWND window, LPWSTR buffer, int size)
{
    const Window *w = FindWindowRecord(window);
    if (w == nullptr || size < 1024)
        return 0;
    wcscpy(buffer, w->Class.c_str());
    return static_cast<int>(w->Class.size());
}

static int WINAPI FakeControlId(HWND window)
{
    const Window *w = FindWindowRecord(window);
    return w ? w->ControlId : 0;
}

static std::wstring MessageName(UINT message)
{
    switch (message) {
    case TCM_SETCURFOCUS: return L"TCM_SETCURFOCUS";
    case WM_SETTEXT: return L"WM_SETTEXT";
    case WM_LBUTTONDOWN: return L"WM_LBUTTONDOWN";
    case WM_LBUTTONUP: return L"WM_LBUTTONUP";
    default: return Num(message);
    }
}

static BOOL WINAPI FakePost(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    help.Events.push_back(L"Post " + Hex(window) + L" " + MessageName(message) + L" " +
                            Num(wParam) + L" " + Num(static_cast<ULONG_PTR>(lParam)));
    return TRUE;
}

static LRESULT WINAPI FakeSend(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    std::wstring event = L"Send " + Hex(window) + L" " + MessageName(message) + L" " + Num(wParam);
    if (message == WM_SETTEXT)
        event += L" [" + std::wstring(reinterpret_cast<const wchar_t *>(lParam)) + L"]";
    else
        event += L" " + Num(static_cast<ULONG_PTR>(lParam));
    help.Events.push_back(event);
    return 0;
}

void NoteHelpSleep(DWORD ms)
{
    help.Events.push_back(L"Sleep " + Num(ms));
}

static UINT WINAPI WindowsDirectory(LPWSTR buffer, UINT size)
{
    std::wstring dir = FAKE_WINDOWS_DIR;
    if (size <= dir.size())
        return static_cast<UINT>(dir.size() + 1);
    wcscpy(buffer, dir.c_str());
    return static_cast<UINT>(dir.size());
}

static HWND WINAPI FakeForeground(void)
{
    return FAKE_FOREGROUND;
}

static int WINAPI FakeMessageBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type)
{
    help.MessageBoxes++;
    help.MessageOwner = owner;
    help.MessageText = text;
    help.MessageCaption = caption;
    help.MessageType = type;
    return IDOK;
}

void InstallHelp(void)
{
    help = Help();
    // The viewer's handles are fakes: never hand them to the real system.
    ViewerProcess = nullptr;
    g_sys.GetModuleFileNameW = FakeModuleName;
    g_sys.GetFileAttributesW = FakeAttributes;
    g_sys.SearchPathW = FakeSearchPath;
    g_sys.CreateProcessW = FakeCreateProcess;
    g_sys.CloseHandle = FakeCloseHandle;
    g_sys.TerminateProcess = FakeTerminate;
    g_sys.WaitForInputIdle = FakeIdle;
    g_sys.EnumWindows = FakeEnumWindows;
    g_sys.EnumChildWindows = FakeEnumChildWindows;
    g_sys.GetWindowThreadProcessId = FakeThreadProcessId;
    g_sys.GetClassNameW = FakeClassName;
    g_sys.GetDlgCtrlID = FakeControlId;
    g_sys.PostMessageW = FakePost;
    g_sys.SendMessageW = FakeSend;
    g_sys.GetWindowsDirectoryW = WindowsDirectory;
    g_sys.GetForegroundWindow = FakeForeground;
    g_sys.MessageBoxW = FakeMessageBox;
}

void AddViewerWindows(bool withTab, int comboPass, int buttonPass)
{
    help.TopWindows.push_back({FAKE_MAIN, FAKE_VIEWER_PID, L"HH Parent", 0, 0});
    help.Children.push_back({reinterpret_cast<HWND>(0x101), FAKE_VIEWER_PID, L"HH Child", 0, 0});
    if (withTab)
        help.Children.push_back({FAKE_TAB, FAKE_VIEWER_PID, L"SysTabControl32", 0, 0});
    if (comboPass >= 0)
        help.Children.push_back({FAKE_COMBO, FAKE_VIEWER_PID, L"ComboBox", 1001, comboPass});
    if (buttonPass >= 0)
        help.Children.push_back({FAKE_BUTTON, FAKE_VIEWER_PID, L"Button", 1006, buttonPass});
}

}  // namespace fake

std::wstring ViewerCommandLine(const std::wstring &file, const std::wstring &topic)
{
    return L"\"" FAKE_VIEWER L"\" \"" + file + L"::/" + topic + L".html\"";
}

std::wstring HostResolve(const std::wstring &text)
{
    std::vector<wchar_t> buffer(32768, 0);
    wcsncpy(buffer.data(), text.c_str(), buffer.size() - 1);
    ExpandVariables(buffer.data(), 1);
    std::vector<wchar_t> trueName(32768, 0);
    QueryTrueName(buffer.data(), trueName.data());
    return trueName.data();
}
