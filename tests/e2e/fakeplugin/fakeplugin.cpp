// fakeplugin.cpp - a small plugin for testing hostshell.exe itself: every
// entry shows what the shell handed it, so dispatch, expansion, results and
// the load/unload order can be checked byte for byte.
//
// Environment: FAKEPLUGIN_IMPLEMENTS replaces the implements list (to name an
// entry that is not exported); FAKEPLUGIN_INITFAIL makes InitializePlugin
// fail.
#include "base/hostapi.h"

#include <mmsystem.h>

#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#define FAKE_EXPORT extern "C" __declspec(dllexport)

namespace {

struct Description {
    const wchar_t *name, *author, *email, *webPage, *description, *implements;
    int major, minor, build;
    HMODULE hostModule;               // written by the host after GetPluginInfo
    const wchar_t *hostModuleName;
};

Description Info;
HMODULE ModuleGiven;  // what the host passed to GetPluginInfo
volatile LONG BreakSeen;
wchar_t ImplementsOverride[1024];

const wchar_t DefaultImplements[] =
    L"fakeecho,fakeresult,fakeexpand,fakewait,fakeinfo,fakecrash,fakecdecl,fakemidi,@fakefunc,"
    L"@fakelong,"
    L"@fakecrash,_fakevar,_batch";

HANDLE StdErr()
{
    return GetStdHandle(STD_ERROR_HANDLE);
}

}  // namespace

// Built once more as FakePluginOld.dll with FAKE_OLD_INFO: GetPluginInfo
// then declared without its parameter, so in a 32-bit process it leaves the
// host's argument on the stack.
#ifdef FAKE_OLD_INFO
FAKE_EXPORT Description *WINAPI GetPluginInfo(void)
{
    ModuleGiven = nullptr;
#else
FAKE_EXPORT Description *WINAPI GetPluginInfo(HMODULE module)
{
    ModuleGiven = module;
#endif
    Info.name = L"Fake";
    Info.author = Info.email = Info.webPage = L"-";
    Info.description = L"Shows what the host hands it.";
    Info.implements = DefaultImplements;
    DWORD n = GetEnvironmentVariableW(L"FAKEPLUGIN_IMPLEMENTS", ImplementsOverride, 1024);
    if (n > 0 && n < 1024)
        Info.implements = ImplementsOverride;
    Info.major = 9;
    Info.minor = 8;
    Info.build = 7;
    return &Info;
}

FAKE_EXPORT int WINAPI InitializePlugin(void)
{
    wchar_t fail[8];
    if (GetEnvironmentVariableW(L"FAKEPLUGIN_INITFAIL", fail, 8) > 0) {
        Qprintf(StdErr(), L"fake: init failed\r\n");
        return 1;
    }
    Printf(L"init\r\n");
    return 0;
}

FAKE_EXPORT int WINAPI ShutdownPlugin(BOOL endProcess)
{
    Printf(L"shutdown %d\r\n", endProcess);
    return 0;
}

// A text with no line end at its close, a "%" and a lone line feed: the
// shell must write it exactly.
FAKE_EXPORT int WINAPI Usage(const wchar_t *name, wchar_t *buffer)
{
    if (_wcsicmp(name, L"fakeecho") != 0)
        return 0;
    wcscpy(buffer, L"FAKEECHO text 100%s\n\tmore\r\nlast");
    return 1;
}

FAKE_EXPORT int WINAPI Help(const wchar_t *name)
{
    Printf(L"help <%s>\r\n", name);
    return _wcsicmp(name, L"fakeecho") == 0 ? 7 : 0;
}

// The argument line exactly as received.
FAKE_EXPORT int WINAPI fakeecho(wchar_t *arguments)
{
    Printf(L"[%s]\r\n", arguments);
    return 0;
}

// What the host handed GetPluginInfo and wrote into the record afterwards.
FAKE_EXPORT int WINAPI fakeinfo(wchar_t *)
{
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&Info), &self);
    Printf(L"given %s, host module %s, name %s\r\n", ModuleGiven == self ? L"self" : L"other",
           Info.hostModule == self ? L"self" : L"other",
           Info.hostModuleName ? Info.hostModuleName : L"(none)");
    return 0;
}

// Raises an access violation: the host traps it and takes 2.
FAKE_EXPORT int WINAPI fakecrash(wchar_t *arguments)
{
    Printf(L"crashing\r\n");
    *reinterpret_cast<volatile int *>(static_cast<INT_PTR>(_wtoi(arguments))) = 1;
    return 0;
}

FAKE_EXPORT int WINAPI f_fakecrash(wchar_t *buffer)
{
    *reinterpret_cast<volatile int *>(static_cast<INT_PTR>(_wtoi(buffer))) = 1;
    return 0;
}

// A command declared with the wrong calling convention: in a 32-bit process
// it leaves its argument on the stack.
FAKE_EXPORT int __cdecl fakecdecl(wchar_t *)
{
    Printf(L"cdecl\r\n");
    return 0;
}

// Returns the number it is given.
FAKE_EXPORT int WINAPI fakeresult(wchar_t *arguments)
{
    return _wtoi(arguments);
}

// Hands its argument to ExpandVariables in a buffer of 1024 characters
// followed by guard characters, and shows result, length and whether the
// host stayed inside the 1024.
FAKE_EXPORT int WINAPI fakeexpand(wchar_t *arguments)
{
    static wchar_t buffer[1024 + 64];
    for (size_t i = 0; i < sizeof buffer / sizeof buffer[0]; i++)
        buffer[i] = 0xFFFF;
    wcsncpy(buffer, arguments, 1023);
    buffer[1023] = 0;
    int result = ExpandVariables(buffer, 1);
    bool inside = true;
    for (size_t i = 1024; i < sizeof buffer / sizeof buffer[0]; i++)
        inside = inside && buffer[i] == 0xFFFF;
    size_t length = wcsnlen(buffer, 1024);
    Printf(L"%d %u %s [%s]\r\n", result, static_cast<unsigned>(length),
           inside ? L"inside" : L"OVERRUN", length < 1024 ? buffer : L"(unterminated)");
    return result;
}

static BOOL WINAPI FakeBreakHandler(DWORD type)
{
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT)
        return FALSE;
    InterlockedExchange(&BreakSeen, 1);
    return TRUE;
}

// "fakewait MS [handler]": says "waiting", then waits MS milliseconds.  With
// "handler" its own console control handler ends the wait early (result 3).
FAKE_EXPORT int WINAPI fakewait(wchar_t *arguments)
{
    int ms = _wtoi(arguments);
    bool handler = wcsstr(arguments, L"handler") != nullptr;
    InterlockedExchange(&BreakSeen, 0);
    if (handler)
        SetConsoleCtrlHandler(FakeBreakHandler, TRUE);
    Printf(L"waiting\r\n");
    for (int waited = 0; waited < ms && BreakSeen == 0; waited += 20)
        Sleep(20);
    if (handler)
        SetConsoleCtrlHandler(FakeBreakHandler, FALSE);
    Printf(BreakSeen ? L"interrupted\r\n" : L"waited\r\n");
    return BreakSeen ? 3 : 0;
}

// The MIDI output calls a plugin may make, and what each gave; run under the
// shell's recording device (--midi-log).
FAKE_EXPORT int WINAPI fakemidi(wchar_t *)
{
    Printf(L"devices %u\r\n", midiOutGetNumDevs());
    MIDIOUTCAPSW caps;
    memset(&caps, 0, sizeof caps);
    MMRESULT result = midiOutGetDevCapsW(0, &caps, sizeof caps);
    Printf(L"caps %u [%s] device 1 %u\r\n", result, caps.szPname,
           midiOutGetDevCapsW(1, &caps, sizeof caps));
    HMIDIOUT first = nullptr, second = nullptr, third = nullptr;
    Printf(L"open 0 %u\r\n", midiOutOpen(&first, 0, 0, 0, CALLBACK_NULL));
    Printf(L"open mapper %u\r\n", midiOutOpen(&second, MIDI_MAPPER, 0, 0, CALLBACK_NULL));
    result = midiOutOpen(&third, 1, 0, 0, CALLBACK_NULL);
    Printf(L"open 1 %u %s\r\n", result, third ? L"handle" : L"null");
    UINT_PTR a = reinterpret_cast<UINT_PTR>(first), b = reinterpret_cast<UINT_PTR>(second);
    Printf(L"handles %s, %s\r\n", a && b && a != b ? L"two" : L"not two",
           a <= 0xFFFFFFFFu && b <= 0xFFFFFFFFu ? L"32 bits" : L"wider");
    Printf(L"first %u\r\n", midiOutShortMsg(first, 0x603C95));
    Printf(L"second %u\r\n", midiOutShortMsg(second, 0x0AC5));
    Printf(L"unknown %u\r\n", midiOutShortMsg(reinterpret_cast<HMIDIOUT>(0x1234), 0x7BB5));
    Printf(L"reset %u\r\n", midiOutReset(first));
    Printf(L"close %u\r\n", midiOutClose(first));
    Printf(L"closed %u %u\r\n", midiOutShortMsg(first, 0x3C85), midiOutClose(first));
    result = midiOutShortMsg(second, 0x40D5);
    Printf(L"second %u close %u\r\n", result, midiOutClose(second));
    return 0;
}

// "<ARGS>"; "fail" writes a message and fails.
FAKE_EXPORT int WINAPI f_fakefunc(wchar_t *buffer)
{
    if (wcscmp(buffer, L"fail") == 0) {
        Qprintf(StdErr(), L"fake: function failed\r\n");
        return -1;
    }
    wchar_t copy[8192];
    wcsncpy(copy, buffer, 8191);
    copy[8191] = 0;
    _snwprintf(buffer, 8191, L"<%s>", copy);
    buffer[8191] = 0;
    return 0;
}

// As many "x" as its argument asks (the buffer holds 8192 characters).
FAKE_EXPORT int WINAPI f_fakelong(wchar_t *buffer)
{
    int count = _wtoi(buffer);
    if (count < 0 || count > 8191)
        count = 8191;
    for (int i = 0; i < count; i++)
        buffer[i] = L'x';
    buffer[count] = 0;
    return 0;
}

FAKE_EXPORT int WINAPI _fakevar(wchar_t *buffer)
{
    wcscpy(buffer, L"plugin-value");
    return 0;
}

// Shadowed by the host's own _batch: the host looks at its variables first.
FAKE_EXPORT int WINAPI _batch(wchar_t *buffer)
{
    wcscpy(buffer, L"plugin-batch");
    return 0;
}
