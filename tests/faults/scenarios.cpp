// The fault sweep's scenarios: each a fake world, an entry played in it, the
// results the entry documents, and the registry entries it may write.
#include "sweep.h"

#include "fakeworld.h"
#include "frame/entries.h"
#include "base/pluginstate.h"
#include "sys/syscalls.h"
#include "ping/interrupt.h"
#include "ping/pingoptions.h"
#include "resolve/netentries.h"
#include "help/helpcommand.h"
#include "console/conlist.h"
#include "help/newhelp.h"

#include <string.h>
#include <string>

extern "C" int WINAPI sonaromacro(wchar_t *arguments);
extern "C" int WINAPI f_sonaromacro(wchar_t *buffer);

namespace faultsweep {

namespace {

void ClearSettings(void)
{
    DeleteRegistryTree(HKEY_CURRENT_USER, TEST_SETTINGS_KEY);
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, TEST_SETTINGS_KEY);
}

// The network world: one DNS server at loopback, the scripted ICMP helper,
// the numeric resolver, the run's clock and MIDI device.
void NetWorld(void)
{
    ClearSettings();
    fake::InstallMidi();
    fake::net.DnsServers = {"127.0.0.1"};
}

void NetWorldEnd(void)
{
    fake::RestoreMidiOut();
    InterruptFlags = 0;
    ListBreakFlag = 0;
    ClearSettings();
}

void PlainWorldEnd(void)
{
    ListBreakFlag = 0;
    ClearSettings();
}

// Load and unload: NoMidi set, the fake console's handle, the fake clock.
void LoadWorld(void)
{
    ClearSettings();
    fake::midi.NoMidi = L"1";
}

void LoadWorldEnd(void)
{
    MidiOut = nullptr;
    ConsoleOut = nullptr;
    ClearSettings();
}

// Load and unload with the fake world's MIDI device.
#define SHARED_MIDI_KEY L"Software\\OrvelPlugins\\Shared MIDI"

void MidiLoadWorld(void)
{
    ClearSettings();
    DeleteRegistryTree(HKEY_CURRENT_USER, SHARED_MIDI_KEY);
}

void MidiLoadWorldEnd(void)
{
    LoadWorldEnd();
    DeleteRegistryTree(HKEY_CURRENT_USER, SHARED_MIDI_KEY);
}

// Another plugin of the family holds the device: loading takes its handle
// from the record, unloading gives the share back and leaves the rest.
void SecondHolderWorld(void)
{
    MidiLoadWorld();
    wchar_t record[64];
    wsprintfW(record, SHARED_MIDI_KEY L"\\%04X", static_cast<unsigned>(fake::midi.ProcessId));
    SetRegistryDword(HKEY_CURRENT_USER, record, L"Handle", 0x6160);
    SetRegistryDword(HKEY_CURRENT_USER, record, L"RefCount", 1);
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
    ViewerProcess = nullptr;
    fake::help.Files = {FAKE_BESIDE_DLL};
    fake::AddViewerWindows();
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
    fake::console.StdOutConsole = true;
    savedConsoleOut = ConsoleOut;
    ConsoleOut = fake::ConsoleOutHandle;
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
    ClearSettings();
    for (int i = 1; i <= 30; i++)
        SetRegistryString(HKEY_CURRENT_USER, TEST_SETTINGS_KEY,
                          (L"Host-" + std::to_wstring(i)).c_str(), L"10.0.0." + std::to_wstring(i));
    fake::console.Keys = {L' ', L' ', L' '};
    savedConsoleOut = ConsoleOut;
    ConsoleOut = fake::ConsoleOutHandle;
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
    fake::console.StdOutConsole = true;
    fake::console.Events = {{30, CTRL_C_EVENT}};
}

void ListBreakWorld(void)
{
    NetWorld();
    fake::console.Events = {{30, fake::ListBreak}};
}

// The resolver's world: names with and without canonical names, an IPv4-only
// name that DNS holds AAAA records for, the configured servers, the
// scripted ICMP helper.
void NameWorld(void)
{
    ClearSettings();
    fake::TypicalNetwork();
    fake::net.Numeric = false;
}

int PlaySonaro(void) { return CallEntry(sonaro, L"/n:2 /z:250 127.0.0.1"); }
int PlayPingTime(void) { return CallEntry(f_pingtime, L"127.0.0.1"); }
int PlayLookupHost(void) { return CallEntry(f_lookuphost, L"127.0.0.1"); }
int PlayPingDns(void) { return CallEntry(f_pingdns, L"0"); }
int PlayMacro(void) { return CallEntry(sonaromacro, L"#1=10.0.0.1 /L"); }
int PlayHelpVersion(void) { return CallEntry(sonarohelp, L"/V"); }
int PlaySonaroNamed(void) { return CallEntry(sonaro, L"/n:1 /a 127.0.0.1"); }
int PlaySonaroUntilStopped(void) { return CallEntry(sonaro, L"/t /z:250 127.0.0.1"); }
int PlaySonaroConsole(void) { return CallEntry(sonaro, L"/n:2 127.0.0.1"); }
int PlaySonaroV6(void) { return CallEntry(sonaro, L"/n:2 /6 ::1"); }
int PlaySonaroMacro(void) { return CallEntry(sonaro, L"/n:1 #1"); }
int PlayPingTimeV6(void) { return CallEntry(f_pingtime, L"::1,1,32,64,1"); }
int PlayLookupCanonical(void) { return CallEntry(f_lookuphost, L"138,dual"); }
int PlayLookupAaaa(void) { return CallEntry(f_lookuphost, L"6,v4only"); }
int PlayPingTimeName(void) { return CallEntry(f_pingtime, L"dual,1,32,64,1"); }
int PlayPingRouter(void) { return CallEntry(f_pingrouter, L""); }
int PlayPingWins(void) { return CallEntry(f_pingwins, L"2"); }
int PlayPingDhcp(void) { return CallEntry(f_pingdhcp, L"0"); }
int PlayMacroPaged(void) { return CallEntry(sonaromacro, L"/L /P"); }
int PlayMacroFunction(void) { return CallEntry(f_sonaromacro, L"1"); }

// Open the viewer at a page, then quit it.
int PlayHelpViewer(void)
{
    int opened = CallEntry(sonarohelp, L"ports");
    int quit = CallEntry(sonarohelp, L"/q");
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

const Scenario ScenarioTable[] = {
    {"sonaro /n:2 /z:250 127.0.0.1", NetWorld, PlaySonaro, SonaroResult, NetWorldEnd, true},
    {"@PINGTIME[127.0.0.1]", NetWorld, PlayPingTime, FunctionResult, NetWorldEnd, true},
    {"@LOOKUPHOST[127.0.0.1]", NetWorld, PlayLookupHost, FunctionResult, NetWorldEnd, false},
    {"@PINGDNS[0]", NetWorld, PlayPingDns, FunctionResult, NetWorldEnd, false},
    {"sonaromacro #1=10.0.0.1 /L", ClearSettings, PlayMacro, MacroResult, PlainWorldEnd, false,
     MACRO_1},
    // A failed read of the environment's NoMidi sends the plugin to the device.
    {"load and unload, NoMidi", LoadWorld, PlayLoad, ZeroOrOne, LoadWorldEnd, false,
     SHARED_MIDI_RECORDS},
    {"sonarohelp /V", ClearSettings, PlayHelpVersion, ZeroOrOne, PlainWorldEnd, false},
    {"sonaro /n:1 /a 127.0.0.1", NetWorld, PlaySonaroNamed, SonaroResult, NetWorldEnd, true},
    {"sonaro /n:2 /6 ::1", NetWorld, PlaySonaroV6, SonaroResult, NetWorldEnd, true},
    {"sonaro /n:1 #1", MacroNetWorld, PlaySonaroMacro, SonaroResult, NetWorldEnd, true},
    {"@PINGTIME[::1,1,32,64,1]", NetWorld, PlayPingTimeV6, FunctionResult, NetWorldEnd, true},
    {"@SONAROMACRO[1]", MacroNetWorld, PlayMacroFunction, FunctionResult, NetWorldEnd, false},
    {"load and unload with MIDI", MidiLoadWorld, PlayLoad, ZeroOrOne, MidiLoadWorldEnd, false,
     SHARED_MIDI_RECORDS},
    {"load and unload, a second holder of the MIDI record", SecondHolderWorld, PlayLoad,
     ZeroOrOne, MidiLoadWorldEnd, false, SHARED_MIDI_RECORDS},
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

}  // namespace

const std::span<const Scenario> Scenarios(ScenarioTable);

}  // namespace faultsweep
