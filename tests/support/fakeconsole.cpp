// fakeconsole.cpp - the faked console entries behind ConsoleTest.
#include "fakeconsole.h"
#include "base/pluginstate.h"
#include "sys/syscalls.h"

FakeConsoleState Fake;
const HANDLE FakeStdOut = reinterpret_cast<HANDLE>(static_cast<intptr_t>(0x5150));
const HANDLE FakeConsoleOut = reinterpret_cast<HANDLE>(static_cast<intptr_t>(0xC0C0));

const std::wstring PromptInLog = L"[\r   \x2500\x2500 Press a key to continue \x2500\x2500 ]";
const std::wstring BlankOutInLog = L"[\r" + std::wstring(60, L' ') + L"\r]";

void NoteFake(const std::wstring &entry)
{
    if (!Fake.log.empty())
        Fake.log += L' ';
    Fake.log += entry;
}

static HANDLE WINAPI FakeGetStdHandle(DWORD which)
{
    if (which == STD_OUTPUT_HANDLE)
        return FakeStdOut;
    return g_sysDefault.GetStdHandle(which);
}

static BOOL WINAPI FakeSetAttribute(HANDLE handle, WORD attribute)
{
    wchar_t entry[8];
    _snwprintf(entry, 8, L"%c%02X", handle == FakeConsoleOut ? L'C' : L'A', attribute);
    entry[7] = 0;
    NoteFake(entry);
    if (handle == FakeConsoleOut)
        Fake.attribute = attribute;
    return TRUE;
}

static int __cdecl FakeCputws(const wchar_t *text)
{
    NoteFake(L"[" + std::wstring(text) + L"]");
    return 0;
}

static int __cdecl FakeKbhit(void)
{
    Fake.polls++;
    if (Fake.polls > Fake.pollLimit && Fake.keys.empty())
        Fake.keys.push_back('x');
    if (Fake.polls <= Fake.keyAfterPolls && Fake.polls <= Fake.pollLimit)
        return 0;
    return Fake.keys.empty() ? 0 : 1;
}

static wint_t __cdecl FakeGetwch(void)
{
    if (Fake.keys.empty())
        return 'x';
    int key = Fake.keys.front();
    Fake.keys.pop_front();
    return static_cast<wint_t>(key);
}

static DWORD WINAPI FakeTick(void)
{
    return Fake.tick;
}

static void WINAPI FakeSleep(DWORD ms)
{
    Fake.sleeps++;
    Fake.tick += Fake.sleepStep;
    if (Fake.realSleep)
        g_sysDefault.Sleep(ms);
}

static BOOL WINAPI FakeBufferInfo(HANDLE, PCONSOLE_SCREEN_BUFFER_INFO info)
{
    if (!Fake.bufferInfoOk)
        return FALSE;
    memset(info, 0, sizeof *info);
    info->dwSize.X = 80;
    info->dwSize.Y = 300;
    info->wAttributes = Fake.attribute;
    info->srWindow.Left = 0;
    info->srWindow.Right = 79;
    info->srWindow.Top = 100;
    info->srWindow.Bottom = static_cast<SHORT>(100 + Fake.windowRows - 1);
    return TRUE;
}

static BOOL WINAPI FakeCtrlHandler(PHANDLER_ROUTINE, BOOL)
{
    return TRUE;
}

void InstallFakeConsole(bool clock)
{
    Fake = FakeConsoleState();
    g_sys.GetStdHandle = FakeGetStdHandle;
    g_sys.SetConsoleTextAttribute = FakeSetAttribute;
    g_sys._cputws = FakeCputws;
    g_sys._kbhit = FakeKbhit;
    g_sys._getwch = FakeGetwch;
    if (clock) {
        g_sys.GetTickCount = FakeTick;
        g_sys.Sleep = FakeSleep;
    }
    g_sys.GetConsoleScreenBufferInfo = FakeBufferInfo;
    g_sys.SetConsoleCtrlHandler = FakeCtrlHandler;
}

void ConsoleTest::SetUp()
{
    SysTest::SetUp();
    InstallFakeConsole(true);
    savedConsoleOut_ = ConsoleOut;
    ConsoleOut = FakeConsoleOut;
    ResetListOutput();
    ListHandlerRegistered = false;
}

void ConsoleTest::TearDown()
{
    ResetListOutput();
    ListHandlerRegistered = false;
    ConsoleOut = savedConsoleOut_;
    SysTest::TearDown();
}

void ConsoleTest::SetSlots(unsigned char normal, unsigned char highlight,
                           unsigned char normalInverse, unsigned char highlightInverse,
                           unsigned char alternate, unsigned char alternateInverse)
{
    const unsigned char slots[6] = { normal, highlight, normalInverse, highlightInverse,
                                     alternate, alternateInverse };
    memcpy(ColourSlots, slots, sizeof slots);
}
