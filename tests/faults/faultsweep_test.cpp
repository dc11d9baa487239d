// The fault sweep: each scenario is played once against the fake world to
// count its system calls, then once more for every call that can fail, with
// that one call failing, and once for every such call with it and every
// later call failing.  After each run: no crash, a documented result, every
// block, registry key, address list, ICMP handle, Winsock start and console
// handle given back, an end within a bounded number of calls, nothing on
// standard error but the plugin's documented messages, and the registry as
// it was but for the values the scenario may write.
#include "fakeworld.h"
#include "sysfaults.h"
#include "frame/plugin.h"
#include "base/plugin.h"
#include "ping/interrupt.h"
#include "ping/pingoptions.h"
#include "resolve/netentries.h"
#include "help/helpcommand.h"
#include "console/conlist.h"
#include "help/newhelp.h"

#include <algorithm>
#include <map>
#include <stdio.h>
#include <string.h>
#include <string>
#include <vector>
#include <wctype.h>

extern "C" int WINAPI sonaromacro(wchar_t *arguments);
extern "C" int WINAPI f_sonaromacro(wchar_t *buffer);

namespace {

// --- accounting: wrappers around the scenario's world -----------------------

SysTable inner;   // the entries the wrappers pass on to
long liveBlocks;  // malloc/calloc results not yet freed
long openKeys;    // registry keys opened or created and not yet closed
long liveLists;   // GetAddrInfoW lists not yet freed
long winsockUp;   // WSAStartup successes not yet cleaned up
long liveRecords; // DnsQuery_W record lists not yet freed
long pingHandler; // console control handlers registered and not yet removed
long listHandler;

void *__cdecl CountMalloc(size_t size)
{
    void *block = inner.malloc(size);
    if (block != nullptr)
        liveBlocks++;
    return block;
}

void *__cdecl CountCalloc(size_t count, size_t size)
{
    void *block = inner.calloc(count, size);
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

// Wraps the world now in the table; the wrappers call what they replace.
void InstallAccounting(void)
{
    liveBlocks = openKeys = liveLists = winsockUp = liveRecords = pingHandler = listHandler = 0;
    inner = g_sys;
    g_sys.malloc = CountMalloc;
    g_sys.calloc = CountCalloc;
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
}

// --- the sweep's hook ---------------------------------------------------------

struct Sweep {
    unsigned long FailAt;     // 0: fail nothing
    bool FailOn;              // every call from FailAt on fails, not just that one
    unsigned long Limit;      // more calls than this: the run does not end
    std::vector<SysId> Ids;   // the calls of the run, recorded when FailAt is 0
    int Armed = -1;           // the entry failing right now
    SysTable *ArmedIn = nullptr;  // the table it fails in
    SysTable Saved;           // what that entry was
    bool Fired = false;       // call FailAt came and failed
    bool Overrun = false;
    bool StdHandleFailed = false;  // a message may have lost its prefix, or its text
};
Sweep sweep;
const char *currentScenario = "";

// An entry the accounting wraps fails beneath its wrapper, so that the
// wrapper sees the failure; any other fails in the table itself.
SysTable *FailTarget(int id)
{
    SysTable probe = g_sys;
    SysCopyEntry(&probe, inner, id);
    return memcmp(&probe, &g_sys, sizeof probe) != 0 ? &inner : &g_sys;
}

void Disarm(void)
{
    if (sweep.Armed < 0)
        return;
    SysCopyEntry(sweep.ArmedIn, sweep.Saved, sweep.Armed);
    sweep.Armed = -1;
}

void Arm(SysId id)
{
    SysTable *target = FailTarget(id);
    SysCopyEntry(&sweep.Saved, *target, id);
    SysCopyEntry(target, SysFailingTable(), id);
    sweep.Armed = id;
    sweep.ArmedIn = target;
}

// A run far beyond its bound is stuck: nothing later can be trusted.
[[noreturn]] void GiveUp(void)
{
    fprintf(stderr, "fault sweep: %s, call %lu failing: no end after %lu calls\n",
            currentScenario, sweep.FailAt, g_sysCallTotal);
    fflush(stderr);
    ExitProcess(3);
}

void SweepHook(SysId id, unsigned long sequence)
{
    Disarm();
    if (sweep.FailAt == 0) {
        sweep.Ids.push_back(id);
        return;
    }
    if (sequence > sweep.Limit) {
        // Asks a run that waits in a loop to stop, as Control-C would.
        sweep.Overrun = true;
        InterruptFlags = INTERRUPT_CTRL_C;
        ListBreakFlag = 1;
        if (sequence > 4 * sweep.Limit)
            GiveUp();
        return;
    }
    bool fails = sweep.FailOn ? sequence >= sweep.FailAt : sequence == sweep.FailAt;
    if (!fails || !SysFaultOf(id).CanFail)
        return;
    Arm(id);
    if (id == SYS_GetStdHandle)
        sweep.StdHandleFailed = true;
    if (sequence == sweep.FailAt)
        sweep.Fired = true;
}

LONG WINAPI ReportCrash(EXCEPTION_POINTERS *exception)
{
    fprintf(stderr, "fault sweep: %s, call %lu%s failing: exception 0x%08lX at call %lu\n",
            currentScenario, sweep.FailAt, sweep.FailOn ? " on" : "",
            static_cast<unsigned long>(exception->ExceptionRecord->ExceptionCode),
            g_sysCallTotal);
    fflush(stderr);
    return EXCEPTION_EXECUTE_HANDLER;
}

// --- scenarios ----------------------------------------------------------------

struct Scenario {
    const char *Name;
    void (*SetUp)(void);     // the fake world, on a clean table
    int (*Play)(void);
    bool (*ResultOk)(int);
    void (*TearDown)(void);
    bool Icmp;               // the fake ICMP helper counts handles
    // Registry entries ("HKCU\key\value") the run may write or delete: those
    // beginning with this text, and the keys that hold them.  Null: none.
    const wchar_t *MayWrite = nullptr;
};

void ClearSettings(void)
{
    DeleteRegistryTree(HKEY_CURRENT_USER, TEST_SETTINGS_KEY);
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, TEST_SETTINGS_KEY);
}

int SinkCputws(const wchar_t *)
{
    return 0;
}

// The network world: one DNS server at loopback, the scripted ICMP helper,
// the numeric resolver, the run's clock and MIDI device.
void NetWorld(void)
{
    ClearSettings();
    InstallFakeNet();
    g_fakeDnsServers = {"127.0.0.1"};
    fakeping::Install();
    g_sys._cputws = SinkCputws;
}

void NetWorldEnd(void)
{
    fakeping::Uninstall();
    InterruptFlags = 0;
    ListBreakFlag = 0;
    ClearSettings();
}

void PlainWorld(void)
{
    ClearSettings();
    g_sys._cputws = SinkCputws;
}

void PlainWorldEnd(void)
{
    ListBreakFlag = 0;
    ClearSettings();
}

// Load and unload: NoMidi set, a console handle of its own, no waits.
HANDLE const FakeConsole = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0x5150));
long consoleOpen;

DWORD WINAPI NoMidiSet(LPCWSTR name, LPWSTR buffer, DWORD size)
{
    if (_wcsicmp(name, L"NoMidi") != 0)
        return 0;
    if (size < 2)
        return 2;
    lstrcpynW(buffer, L"1", static_cast<int>(size));
    return 1;
}

HANDLE WINAPI OpenFakeConsole(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE)
{
    consoleOpen++;
    return FakeConsole;
}

BOOL WINAPI CloseFakeConsole(HANDLE handle)
{
    if (handle == FakeConsole) {
        consoleOpen--;
        return TRUE;
    }
    return g_sysDefault.CloseHandle(handle);
}

void WINAPI NoWait(DWORD)
{
}

void LoadWorld(void)
{
    ClearSettings();
    consoleOpen = 0;
    g_sys.GetEnvironmentVariableW = NoMidiSet;
    g_sys.CreateFileW = OpenFakeConsole;
    g_sys.CloseHandle = CloseFakeConsole;
    g_sys.Sleep = NoWait;
}

void LoadWorldEnd(void)
{
    MidiOut = nullptr;
    ConsoleOut = nullptr;
    ClearSettings();
}

// Load and unload with a MIDI device of the fake world's own.
HMIDIOUT const FakeMidi = reinterpret_cast<HMIDIOUT>(static_cast<INT_PTR>(0x3230));
long midiOpen;
#define SHARED_MIDI_KEY L"Software\\OrvelPlugins\\Shared MIDI"

DWORD WINAPI NoMidiUnset(LPCWSTR, LPWSTR, DWORD)
{
    return 0;
}

MMRESULT WINAPI OpenFakeMidi(LPHMIDIOUT handle, UINT, DWORD_PTR, DWORD_PTR, DWORD)
{
    midiOpen++;
    *handle = FakeMidi;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI CloseFakeMidi(HMIDIOUT handle)
{
    if (handle == FakeMidi)
        midiOpen--;
    return MMSYSERR_NOERROR;
}

void MidiLoadWorld(void)
{
    LoadWorld();
    DeleteRegistryTree(HKEY_CURRENT_USER, SHARED_MIDI_KEY);
    midiOpen = 0;
    g_sys.GetEnvironmentVariableW = NoMidiUnset;
    g_sys.midiOutOpen = OpenFakeMidi;
    g_sys.midiOutClose = CloseFakeMidi;
}

void MidiLoadWorldEnd(void)
{
    LoadWorldEnd();
    DeleteRegistryTree(HKEY_CURRENT_USER, SHARED_MIDI_KEY);
}

// The network world with macro #1 at loopback.
void MacroNetWorld(void)
{
    NetWorld();
    SetRegistryString(HKEY_CURRENT_USER, TEST_SETTINGS_KEY, L"Host-1", L"127.0.0.1");
}

// The help viewer's world: the help file beside the plugin, the viewer's
// windows; no help variables in the environment.
void HelpWorld(void)
{
    ClearSettings();
    SetEnvironmentVariableW(L"SONAROHELP", nullptr);
    SetEnvironmentVariableW(L"PLUGINHELP", nullptr);
    InstallFakes();
    ViewerProcess = nullptr;
    g_fake.Files = {FAKE_BESIDE_DLL};
    AddViewerWindows();
}

void HelpWorldEnd(void)
{
    // The handles are fakes: never hand them to the real system.
    ViewerProcess = nullptr;
    ClearSettings();
}

// A console on standard output, with colours, for the listings.
HANDLE savedConsoleOut;

void ConsoleNetWorld(void)
{
    NetWorld();
    InstallFakeConsole(false);
    fakeping::world.StdOutConsole = true;
    savedConsoleOut = ConsoleOut;
    ConsoleOut = FakeConsoleOut;
    ResetListOutput();
}

void ConsoleNetWorldEnd(void)
{
    ResetListOutput();
    ConsoleOut = savedConsoleOut;
    NetWorldEnd();
}

// Thirty macros in a console of 25 rows, a key at every page prompt.
void ConsoleMacroWorld(void)
{
    PlainWorld();
    for (int i = 1; i <= 30; i++)
        SetRegistryString(HKEY_CURRENT_USER, TEST_SETTINGS_KEY,
                          (L"Host-" + std::to_wstring(i)).c_str(), L"10.0.0." + std::to_wstring(i));
    InstallFakeConsole(true);
    Fake.keys = {L' ', L' ', L' '};
    savedConsoleOut = ConsoleOut;
    ConsoleOut = FakeConsoleOut;
    ResetListOutput();
}

void ConsoleMacroWorldEnd(void)
{
    ResetListOutput();
    ConsoleOut = savedConsoleOut;
    PlainWorldEnd();
}

// A run without a count, stopped by Control-C in its third wait: in a
// console through the run's own handler, elsewhere through the list-output
// handler's flag.
void ControlCWorld(void)
{
    NetWorld();
    fakeping::world.StdOutConsole = true;
    fakeping::world.Events = {{30, CTRL_C_EVENT}};
}

void ListBreakWorld(void)
{
    NetWorld();
    fakeping::world.Events = {{30, fakeping::ListBreak}};
}

// The resolver's world: names with and without canonical names, an IPv4-only
// name that DNS holds AAAA records for, the configured servers, the
// scripted ICMP helper.
void NameWorld(void)
{
    ClearSettings();
    InstallFakeNet();
    g_fakeHosts = {
        {L"dual", AF_INET, "10.8.0.2", L"dual.canon"},
        {L"dual", AF_INET6, "fd00::82", L"dual.canon"},
        {L"v4only", AF_INET, "10.1.1.1", L""},
    };
    g_fakeRecords = {{DNS_TYPE_A, "10.9.9.9"}, {DNS_TYPE_AAAA, "fd00::a"}};
    g_fakeDnsServers = {"10.0.0.1", "10.0.0.2"};
    FakeAdapter a, b;
    a.DhcpEnabled = 1;
    a.Dhcp = {"10.1.0.1"};
    a.HaveWins = 1;
    a.PrimaryWins = "10.2.0.1";
    a.SecondaryWins = "10.2.0.2";
    a.Gateways = {"0.0.0.0"};
    b.Gateways = {"192.168.1.1"};
    g_fakeAdapters = {a, b};
    g_sys._cputws = SinkCputws;
}

int Line(int (WINAPI *entry)(wchar_t *), const wchar_t *text)
{
    static wchar_t buffer[8192];
    lstrcpynW(buffer, text, 8192);
    return entry(buffer);
}

int PlaySonaro(void) { return Line(sonaro, L"/n:2 /z:250 127.0.0.1"); }
int PlayPingTime(void) { return Line(f_pingtime, L"127.0.0.1"); }
int PlayLookupHost(void) { return Line(f_lookuphost, L"127.0.0.1"); }
int PlayPingDns(void) { return Line(f_pingdns, L"0"); }
int PlayMacro(void) { return Line(sonaromacro, L"#1=10.0.0.1 /L"); }
int PlayHelpVersion(void) { return Line(sonarohelp, L"/V"); }
int PlaySonaroNamed(void) { return Line(sonaro, L"/n:1 /a 127.0.0.1"); }
int PlaySonaroUntilStopped(void) { return Line(sonaro, L"/t /z:250 127.0.0.1"); }
int PlaySonaroConsole(void) { return Line(sonaro, L"/n:2 127.0.0.1"); }
int PlaySonaroV6(void) { return Line(sonaro, L"/n:2 /6 ::1"); }
int PlaySonaroMacro(void) { return Line(sonaro, L"/n:1 #1"); }
int PlayPingTimeV6(void) { return Line(f_pingtime, L"::1,1,32,64,1"); }
int PlayLookupCanonical(void) { return Line(f_lookuphost, L"138,dual"); }
int PlayLookupAaaa(void) { return Line(f_lookuphost, L"6,v4only"); }
int PlayPingTimeName(void) { return Line(f_pingtime, L"dual,1,32,64,1"); }
int PlayPingRouter(void) { return Line(f_pingrouter, L""); }
int PlayPingWins(void) { return Line(f_pingwins, L"2"); }
int PlayPingDhcp(void) { return Line(f_pingdhcp, L"0"); }
int PlayMacroPaged(void) { return Line(sonaromacro, L"/L /P"); }
int PlayMacroFunction(void) { return Line(f_sonaromacro, L"1"); }

// Open the viewer at a page, then quit it.
int PlayHelpViewer(void)
{
    int opened = Line(sonarohelp, L"ports");
    int quit = Line(sonarohelp, L"/q");
    return opened != 0 ? opened : quit;
}

int PlayLoad(void)
{
    int loaded = InitializePlugin();
    if (loaded != 0)
        return loaded;
    return ShutdownPlugin(0) == 0 ? 0 : 99;
}

bool SonaroResult(int rc) { return rc == 0 || rc == 1 || rc == 2; }
bool FunctionResult(int rc) { return rc == 0 || rc == -1; }
bool MacroResult(int rc) { return rc == 0 || rc == 1 || rc == 2; }
bool ZeroOrOne(int rc) { return rc == 0 || rc == 1; }

#define MACRO_1 L"HKCU\\Software\\OrvelPlugins\\Sonaro\\Host-1"
#define SHARED_MIDI_RECORDS L"HKCU\\" SHARED_MIDI_KEY

const Scenario Scenarios[] = {
    {"sonaro /n:2 /z:250 127.0.0.1", NetWorld, PlaySonaro, SonaroResult, NetWorldEnd, true},
    {"@PINGTIME[127.0.0.1]", NetWorld, PlayPingTime, FunctionResult, NetWorldEnd, true},
    {"@LOOKUPHOST[127.0.0.1]", NetWorld, PlayLookupHost, FunctionResult, NetWorldEnd, false},
    {"@PINGDNS[0]", NetWorld, PlayPingDns, FunctionResult, NetWorldEnd, false},
    {"sonaromacro #1=10.0.0.1 /L", PlainWorld, PlayMacro, MacroResult, PlainWorldEnd, false,
     MACRO_1},
    // A failed read of the environment's NoMidi sends the plugin to the device.
    {"load and unload, NoMidi", LoadWorld, PlayLoad, ZeroOrOne, LoadWorldEnd, false,
     SHARED_MIDI_RECORDS},
    {"sonarohelp /V", PlainWorld, PlayHelpVersion, ZeroOrOne, PlainWorldEnd, false},
    {"sonaro /n:1 /a 127.0.0.1", NetWorld, PlaySonaroNamed, SonaroResult, NetWorldEnd, true},
    {"sonaro /n:2 /6 ::1", NetWorld, PlaySonaroV6, SonaroResult, NetWorldEnd, true},
    {"sonaro /n:1 #1", MacroNetWorld, PlaySonaroMacro, SonaroResult, NetWorldEnd, true},
    {"@PINGTIME[::1,1,32,64,1]", NetWorld, PlayPingTimeV6, FunctionResult, NetWorldEnd, true},
    {"@SONAROMACRO[1]", MacroNetWorld, PlayMacroFunction, FunctionResult, NetWorldEnd, false},
    {"load and unload with MIDI", MidiLoadWorld, PlayLoad, ZeroOrOne, MidiLoadWorldEnd, false,
     SHARED_MIDI_RECORDS},
    {"sonaro /n:2 127.0.0.1 in a console", ConsoleNetWorld, PlaySonaroConsole, SonaroResult,
     ConsoleNetWorldEnd, true},
    {"sonaromacro /L /P, 30 macros in a console", ConsoleMacroWorld, PlayMacroPaged, MacroResult,
     ConsoleMacroWorldEnd, false},
    {"sonaro /t /z:250 127.0.0.1, Control-C", ControlCWorld, PlaySonaroUntilStopped,
     SonaroResult, NetWorldEnd, true},
    {"sonaro /t /z:250 127.0.0.1, list-output break", ListBreakWorld, PlaySonaroUntilStopped,
     SonaroResult, NetWorldEnd, true},
    {"@LOOKUPHOST[138,dual]", NameWorld, PlayLookupCanonical, FunctionResult, PlainWorldEnd,
     false},
    {"@LOOKUPHOST[6,v4only], AAAA from DNS", NameWorld, PlayLookupAaaa, FunctionResult,
     PlainWorldEnd, false},
    {"@PINGTIME[dual,1,32,64,1]", NameWorld, PlayPingTimeName, FunctionResult, PlainWorldEnd,
     true},
    {"@PINGROUTER[]", NameWorld, PlayPingRouter, FunctionResult, PlainWorldEnd, false},
    {"@PINGWINS[2]", NameWorld, PlayPingWins, FunctionResult, PlainWorldEnd, false},
    {"@PINGDHCP[0]", NameWorld, PlayPingDhcp, FunctionResult, PlainWorldEnd, false},
    {"sonarohelp ports, then /q", HelpWorld, PlayHelpViewer, ZeroOrOne, HelpWorldEnd, false},
};

// --- standard error -----------------------------------------------------------

// Every message the plugin documents for standard error.
const wchar_t *const ErrorMessages[] = {
    L"Unable to initialize WinSock API!\r\n", L"Unable to open MIDI handle!\r\n",
    L"Buffer overflow: b = %d, MAX_ARG_LEN = %d \r\n",
    L"Missing host name.\r\n", L"Can\u2019t find an address for host %s.\r\n",
    L"Error opening IPv4 echo-request handle.\r\n", L"Error allocating IPv4 reply buffer.\r\n",
    L"Error opening IPv6 echo-request handle.\r\n", L"Error allocating IPv6 reply buffer.\r\n",
    L"Error allocating request data buffer.\r\n",
    L"Unknown option: \"%s\"\r\n", L"Bad value: \"%s\"\r\n",
    L"Missing value for /E\r\n", L"Missing value for /G\r\n", L"Missing value for /I\r\n",
    L"Missing value for /L\r\n", L"Missing value for /N\r\n", L"Missing value for /O\r\n",
    L"Missing value for /V\r\n", L"Missing value for /W\r\n", L"Missing value for /X\r\n",
    L"Missing value for /Y\r\n", L"Missing value for /Z\r\n",
    L"ErrorDrum must be 0 or %u to %u: %u\r\n", L"Instrument must be %u to %u: %u\r\n",
    L"TTL must be %u to %u: %u\r\n", L"Packet size must be %u to %u: %u\r\n",
    L"Octave must be 0 to 9: %u\r\n", L"TOS must be 0 to 255: %u\r\n",
    L"Timeout must be %u to %u: %u\r\n", L"OpErrorDrum must be 0 or %u to %u: %u\r\n",
    L"Sound volume must be 0 to 100: %u\r\n", L"SnoozeTime must be %u to %u: %u\r\n",
    L"Missing hostname\r\n", L"Bad index value: \"%s\"\r\n",
    L"Bad timeout: \"%s\"\r\n", L"Bad packetsize: \"%s\"\r\n",
    L"Packetsize must be %u to %u: %u\r\n", L"Bad TTL: \"%s\"\r\n", L"Bad flags: \"%s\"\r\n",
    L"Bad pause time: \"%s\"\r\n", L"Bad pause lines: \"%s\"\r\n",
    L"Pause lines must be 0 - 1000: %u\r\n", L"Syntax error: \"%s\"\r\n",
    L"Missing macro name: \"%s\"\r\n", L"Missing macro name\r\n",
    L"Bad macro number: \"%s\"\r\n", L"Bad macro name: \"#%s\"\r\n",
    L"Hostname too long: \"%s\"\r\n", L"Error allocating match entry\r\n",
    L"Error allocating sort buffer for macros.\r\n",
};

// Outside a batch file the prefix is the plugin's name alone.
const wchar_t ErrorPrefixText[] = L"Sonaro plugin: ";

// The text fits the format: %s stands for any text, %d, %ld and %u for a number.
bool FitsFormat(const wchar_t *format, const wchar_t *text)
{
    while (*format != 0) {
        if (format[0] == L'%' && format[1] == L's') {
            for (;; text++) {
                if (FitsFormat(format + 2, text))
                    return true;
                if (*text == 0)
                    return false;
            }
        }
        if (format[0] == L'%' && wcschr(L"dlu", format[1]) != nullptr) {
            format += format[1] == L'l' ? 3 : 2;
            if (*text == L'-')
                text++;
            if (!iswdigit(*text))
                return false;
            while (iswdigit(*text))
                text++;
            continue;
        }
        if (*format++ != *text++)
            return false;
    }
    return *text == 0;
}

void Add(std::string *problems, const std::string &text)
{
    *problems += (problems->empty() ? "" : "; ") + text;
}

// Each message (up to its CR LF) is the prefix and a documented message.  A
// failed GetStdHandle sends the prefix or the message elsewhere: then either
// may stand alone.
void CheckStandardError(std::string *problems, std::wstring err, bool stdHandleFailed)
{
    const size_t prefixLength = wcslen(ErrorPrefixText);
    if (stdHandleFailed)
        for (size_t at; (at = err.find(ErrorPrefixText)) != std::wstring::npos;)
            err.erase(at, prefixLength);
    for (size_t start = 0; start < err.size();) {
        size_t end = err.find(L"\r\n", start);
        end = end == std::wstring::npos ? err.size() : end + 2;
        std::wstring message = err.substr(start, end - start);
        start = end;
        bool prefixed = message.starts_with(ErrorPrefixText);
        const wchar_t *text = message.c_str() + (prefixed ? prefixLength : 0);
        bool known = std::any_of(std::begin(ErrorMessages), std::end(ErrorMessages),
                                 [&](const wchar_t *format) { return FitsFormat(format, text); });
        if (!known || !(prefixed || stdHandleFailed))
            Add(problems, "standard error: unexpected \"" + Escaped(message) + "\"");
    }
}

// --- the registry -------------------------------------------------------------

// The keys of the plugin's settings, macros and shared MIDI record, in both
// hives: every key as "HIVE\path\" and every value as "HIVE\path\name", with
// its type and data.
using RegistryImage = std::map<std::wstring, std::wstring>;

void ReadRegistryTree(HKEY root, const std::wstring &path, const std::wstring &shown,
                      RegistryImage *image)
{
    HKEY key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    (*image)[shown + L"\\"] = L"key";
    DWORD nameMax = 0, dataMax = 0, subkeyMax = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, &subkeyMax, nullptr, nullptr,
                     &nameMax, &dataMax, nullptr, nullptr);
    std::vector<wchar_t> name(std::max(nameMax, subkeyMax) + 1);
    std::vector<BYTE> data(dataMax + 1);
    for (DWORD i = 0;; i++) {
        DWORD nameLength = static_cast<DWORD>(name.size()), size = dataMax, type = 0;
        if (RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type, data.data(),
                          &size) != ERROR_SUCCESS)
            break;
        std::wstring value = std::to_wstring(type) + L":";
        value.append(data.begin(), data.begin() + size);
        (*image)[shown + L"\\" + (nameLength ? name.data() : L"(default)")] = value;
    }
    std::vector<std::wstring> subkeys;
    for (DWORD i = 0;; i++) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        if (RegEnumKeyExW(key, i, name.data(), &nameLength, nullptr, nullptr, nullptr,
                          nullptr) != ERROR_SUCCESS)
            break;
        subkeys.push_back(name.data());
    }
    RegCloseKey(key);
    for (const std::wstring &subkey : subkeys)
        ReadRegistryTree(root, path + L"\\" + subkey, shown + L"\\" + subkey, image);
}

RegistryImage ReadRegistry(void)
{
    RegistryImage image;
    ReadRegistryTree(HKEY_CURRENT_USER, L"Software\\OrvelPlugins",
                     L"HKCU\\Software\\OrvelPlugins", &image);
    ReadRegistryTree(HKEY_LOCAL_MACHINE, L"Software\\OrvelPlugins",
                     L"HKLM\\Software\\OrvelPlugins", &image);
    return image;
}

void CheckRegistry(std::string *problems, const RegistryImage &before,
                   const RegistryImage &after, const wchar_t *mayWrite)
{
    std::wstring allowed = mayWrite != nullptr ? mayWrite : L"";
    auto report = [&](const std::wstring &entry, const char *what) {
        bool isKey = entry.ends_with(L'\\');
        if (!allowed.empty() &&
            (entry.starts_with(allowed) || (isKey && allowed.starts_with(entry))))
            return;
        Add(problems, std::string("registry: ") + (isKey ? "key " : "value ") +
                          Narrow(entry) + " " + what);
    };
    for (const auto &[entry, value] : before) {
        auto now = after.find(entry);
        if (now == after.end())
            report(entry, "removed");
        else if (now->second != value)
            report(entry, "changed");
    }
    for (const auto &[entry, value] : after)
        if (!before.contains(entry))
            report(entry, "created");
}

// --- one run ------------------------------------------------------------------

struct RunResult {
    int Rc;
    unsigned long Calls;
    std::wstring Output;   // standard output and error
    std::string Problems;  // empty: all well
};

// Process and thread handles of the fake viewer that were never closed,
// the viewer still running excepted: the quit closes it.
long ViewerHandlesOpen(void)
{
    long open = 0;
    for (const FakeLaunch &launch : g_fake.Launches)
        for (HANDLE handle : {launch.Process, launch.Thread})
            if (std::find(g_fake.Closed.begin(), g_fake.Closed.end(), handle) ==
                g_fake.Closed.end())
                open++;
    return open;
}

void Note(std::string *problems, const char *what, long count)
{
    if (count == 0)
        return;
    char text[96];
    snprintf(text, sizeof text, "%s%s %ld", problems->empty() ? "" : "; ", what, count);
    *problems += text;
}

RunResult Play(const Scenario &scenario)
{
    SysRestoreAll();
    HostReset();
    HostCaptureClear();
    InterruptFlags = 0;
    ListBreakFlag = 0;
    consoleOpen = midiOpen = 0;
    g_fake = FakeSystem();
    scenario.SetUp();
    RegistryImage registry = ReadRegistry();
    InstallAccounting();
    SysResetCounts();
    g_sysCallHook = SweepHook;

    RunResult result;
    result.Rc = scenario.Play();

    g_sysCallHook = nullptr;
    Disarm();
    result.Calls = g_sysCallTotal;
    result.Output = CapturedOut() + CapturedErr();
    if (!scenario.ResultOk(result.Rc))
        result.Problems = "result " + std::to_string(result.Rc) + " is none the entry documents";
    CheckStandardError(&result.Problems, CapturedErr(), sweep.StdHandleFailed);
    CheckRegistry(&result.Problems, registry, ReadRegistry(), scenario.MayWrite);
    Note(&result.Problems, "blocks not freed:", liveBlocks);
    Note(&result.Problems, "registry keys not closed:", openKeys);
    Note(&result.Problems, "address lists not freed:", liveLists);
    Note(&result.Problems, "DNS record lists not freed:", liveRecords);
    Note(&result.Problems, "Winsock starts not cleaned up:", winsockUp);
    Note(&result.Problems, "console handles not closed:", consoleOpen);
    Note(&result.Problems, "MIDI devices not closed:", midiOpen);
    // A removal that finds nothing is harmless; a handler left in place is not.
    Note(&result.Problems, "run's control handlers left registered:", std::max(pingHandler, 0L));
    Note(&result.Problems, "list-output control handlers left registered:",
         std::max(listHandler, 0L));
    if (ListBreakMeansInterrupt)
        Note(&result.Problems, "Control-C of list output still means an interrupt:", 1);
    if (ListHandlerRegistered)
        Note(&result.Problems, "list-output handler still marked registered:", 1);
    Note(&result.Problems, "viewer handles not closed:", ViewerHandlesOpen());
    if (scenario.Icmp)
        Note(&result.Problems, "ICMP handles not closed:",
             g_icmp.Opened4 + g_icmp.Opened6 - g_icmp.Closed);
    if (sweep.Overrun)
        Note(&result.Problems, "no end within calls:", static_cast<long>(sweep.Limit));
    if (sweep.FailAt != 0 && !sweep.Fired)
        Note(&result.Problems, "the call to fail never came, calls made:",
             static_cast<long>(result.Calls));

    scenario.TearDown();
    HostCaptureClear();
    HostReset();
    SysRestoreAll();
    return result;
}

class FaultSweep : public SysTest {};

}  // namespace

TEST_F(FaultSweep, EveryCallThatCanFailFails)
{
    SetUnhandledExceptionFilter(ReportCrash);
    int scenarios = 0;
    unsigned long single = 0, onward = 0;
    for (const Scenario &scenario : Scenarios) {
        currentScenario = scenario.Name;
        sweep = Sweep();
        RunResult clean = Play(scenario);
        ASSERT_TRUE(clean.Problems.empty()) << scenario.Name << ", nothing failing: "
                                            << clean.Problems;
        ASSERT_TRUE(scenario.ResultOk(clean.Rc)) << scenario.Name << ", nothing failing: result "
                                                 << clean.Rc;
        std::vector<SysId> ids = sweep.Ids;
        ASSERT_EQ(ids.size(), clean.Calls) << scenario.Name;
        scenarios++;
        unsigned long before = single;
        for (int pass = 0; pass < 2; pass++) {
            for (unsigned long k = 1; k <= ids.size(); k++) {
                SysId id = ids[k - 1];
                if (!SysFaultOf(id).CanFail)
                    continue;
                sweep = Sweep();
                sweep.FailAt = k;
                sweep.FailOn = pass == 1;
                sweep.Limit = 10 * ids.size();
                RunResult run = Play(scenario);
                (pass == 0 ? single : onward)++;
                // Nothing of the failure lingers: the next clean run is the first one.
                sweep = Sweep();
                RunResult replay = Play(scenario);
                if (replay.Rc != clean.Rc || sweep.Ids != ids || replay.Output != clean.Output)
                    run.Problems += (run.Problems.empty() ? "" : "; ") +
                                    std::string("the next clean run differs from the first");
                EXPECT_TRUE(run.Problems.empty())
                    << scenario.Name << ": call " << k << " (" << SysName(id) << ") failing"
                    << (pass == 1 ? " and every call after it" : "") << ": " << run.Problems;
            }
        }
        printf("%s: %lu calls, %lu of them can fail\n", scenario.Name, clean.Calls,
               single - before);
    }
    printf("fault sweep: %d scenarios, %lu runs with one call failing, %lu with every call "
           "failing from one on\n",
           scenarios, single, onward);
}
