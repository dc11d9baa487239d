// fakeconsole.cpp - GetStdHandle, CreateFileW of the console, GetConsoleMode, SetConsoleTextAttribute,
// _cputws, _kbhit, _getwch, GetConsoleScreenBufferInfo and
// SetConsoleCtrlHandler of the fake world.
#include "fakeconsole.h"
#include "console/conlist.h"
#include "ping/interrupt.h"

namespace fake {

Console console;
const HANDLE StdOut = reinterpret_cast<HANDLE>(static_cast<intptr_t>(0x5150));
const HANDLE ConsoleOutHandle = reinterpret_cast<HANDLE>(static_cast<intptr_t>(0xC0C0));

const std::wstring PromptInLog = L"[\r   \x2500\x2500 Press a key to continue \x2500\x2500 ]";
const std::wstring BlankOutInLog = L"[\r" + std::wstring(60, L' ') + L"\r]";

void NoteConsole(const std::wstring &entry)
{
    if (!console.Log.empty())
        console.Log += L' ';
    console.Log += entry;
}

void DeliverConsoleEvents(size_t sleeps)
{
    for (auto &event : console.Events) {
        if (event.first != sleeps)
            continue;
        if (event.second == ListBreak)
            ListBreakFlag = 1;
        else
            PingCtrlHandler(event.second);
    }
}

namespace {

HANDLE WINAPI FakeGetStdHandle(DWORD which)
{
    if (which == STD_OUTPUT_HANDLE)
        return StdOut;
    return g_sysDefault.GetStdHandle(which);
}

HANDLE WINAPI FakeCreateFileW(LPCWSTR name, DWORD access, DWORD share,
                              LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                              HANDLE templateFile)
{
    EXPECT_EQ(_wcsicmp(name, L"conout$"), 0) << Narrow(name);
    EXPECT_EQ(access, static_cast<DWORD>(GENERIC_READ | GENERIC_WRITE));
    EXPECT_EQ(share, static_cast<DWORD>(FILE_SHARE_WRITE));
    EXPECT_EQ(security, nullptr);
    EXPECT_EQ(disposition, static_cast<DWORD>(OPEN_EXISTING));
    EXPECT_EQ(flags, 0u);
    EXPECT_EQ(templateFile, nullptr);
    console.Opens++;
    return console.CannotOpen ? INVALID_HANDLE_VALUE : ConsoleOutHandle;
}

BOOL WINAPI FakeGetConsoleMode(HANDLE, LPDWORD mode)
{
    if (!console.StdOutConsole)
        return FALSE;
    *mode = console.Mode;
    return TRUE;
}

BOOL WINAPI FakeSetAttribute(HANDLE handle, WORD attribute)
{
    wchar_t entry[8];
    _snwprintf(entry, 8, L"%c%02X", handle == ConsoleOutHandle ? L'C' : L'A', attribute);
    entry[7] = 0;
    NoteConsole(entry);
    if (handle == ConsoleOutHandle)
        console.Attribute = attribute;
    return TRUE;
}

int __cdecl FakeCputws(const wchar_t *text)
{
    NoteConsole(L"[" + std::wstring(text) + L"]");
    if (++console.Writes == console.BreakAtWrite)
        ListBreakFlag = 1;
    return 0;
}

int __cdecl FakeKbhit(void)
{
    console.Polls++;
    if (console.Polls > console.PollLimit && console.Keys.empty())
        console.Keys.push_back('x');
    if (console.Polls <= console.KeyAfterPolls && console.Polls <= console.PollLimit)
        return 0;
    return console.Keys.empty() ? 0 : 1;
}

wint_t __cdecl FakeGetwch(void)
{
    if (console.Keys.empty())
        return 'x';
    int key = console.Keys.front();
    console.Keys.pop_front();
    return static_cast<wint_t>(key);
}

BOOL WINAPI FakeBufferInfo(HANDLE, PCONSOLE_SCREEN_BUFFER_INFO info)
{
    if (!console.BufferInfoOk)
        return FALSE;
    memset(info, 0, sizeof *info);
    info->dwSize.X = 80;
    info->dwSize.Y = 300;
    info->wAttributes = console.Attribute;
    info->srWindow.Left = 0;
    info->srWindow.Right = 79;
    info->srWindow.Top = 100;
    info->srWindow.Bottom = static_cast<SHORT>(100 + console.WindowRows - 1);
    return TRUE;
}

BOOL WINAPI FakeSetConsoleCtrlHandler(PHANDLER_ROUTINE handler, BOOL add)
{
    console.CtrlHandlerCalls.push_back({ handler, add });
    return console.PingHandlerFails && add && handler == PingCtrlHandler ? FALSE : TRUE;
}

}  // namespace

void InstallConsole(void)
{
    console = Console();
    g_sys.GetStdHandle = FakeGetStdHandle;
    g_sys.CreateFileW = FakeCreateFileW;
    g_sys.GetConsoleMode = FakeGetConsoleMode;
    g_sys.SetConsoleTextAttribute = FakeSetAttribute;
    g_sys._cputws = FakeCputws;
    g_sys._kbhit = FakeKbhit;
    g_sys._getwch = FakeGetwch;
    g_sys.GetConsoleScreenBufferInfo = FakeBufferInfo;
    g_sys.SetConsoleCtrlHandler = FakeSetConsoleCtrlHandler;
}

}  // namespace fake
