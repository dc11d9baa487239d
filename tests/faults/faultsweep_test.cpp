// The fault sweep: each scenario is played once against the fake world to
// count its system calls, then once more for every call that can fail, with
// that one call failing, and once for every such call with it and every
// later call failing.  After each run: no crash, a documented result; every
// block, registry key, address list, DNS record list, Winsock start, console
// handle and control handler, MIDI device, timer resolution request, ICMP
// and viewer handle given back; an end within a bounded number of calls;
// nothing on standard error but the messages the plugin writes for these
// failures; and the registry as it was but for the values the scenario may
// write.
#include "sweep.h"

#include "fakeworld.h"
#include "sysfaults.h"
#include "ping/interrupt.h"
#include "console/conlist.h"

#include <algorithm>
#include <stdio.h>
#include <string.h>
#include <string>
#include <vector>

using namespace faultsweep;

namespace {

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

// --- one run ------------------------------------------------------------------

struct RunResult {
    int Rc;
    unsigned long Calls;
    std::wstring Output;   // standard output and error
    std::string Problems;  // empty: all well
};

// How often the handle was closed.
long ClosedCount(HANDLE handle)
{
    return static_cast<long>(std::count(fake::help.Closed.begin(), fake::help.Closed.end(), handle));
}

// Process and thread handles of the fake viewer that were never closed,
// the viewer still running excepted: the quit closes it.
long ViewerHandlesOpen(void)
{
    long open = 0;
    for (const fake::Launch &launch : fake::help.Launches)
        for (HANDLE handle : {launch.Process, launch.Thread})
            if (ClosedCount(handle) == 0)
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
    // The fake world without a MIDI device; each scenario adds its own part.
    InstallFakeWorld();
    fake::InstallMidi(false);
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
    Note(&result.Problems, "console handles not closed:",
         fake::console.Opens - ClosedCount(fake::ConsoleOutHandle));
    // A share of another holder's device may be closed too, when its record
    // cannot be read: only what the device itself handed out counts.
    Note(&result.Problems, "MIDI devices not closed:",
         fake::midi.Opened - static_cast<long>(std::count(fake::midi.Closed.begin(),
                                                          fake::midi.Closed.end(),
                                                          reinterpret_cast<HMIDIOUT>(
                                                              fake::midi.Handle))));
    // A removal that finds nothing is harmless; a handler left in place is not.
    Note(&result.Problems, "run's control handlers left registered:", std::max(pingHandler, 0L));
    Note(&result.Problems, "list-output control handlers left registered:",
         std::max(listHandler, 0L));
    Note(&result.Problems, "timer resolution requests not ended:", finePeriods);
    Note(&result.Problems, "waitable timers not closed:",
         static_cast<long>(fake::clock.TimersOpen()));
    if (ListBreakMeansInterrupt)
        Note(&result.Problems, "Control-C of list output still means an interrupt:", 1);
    if (ListHandlerRegistered)
        Note(&result.Problems, "list-output handler still marked registered:", 1);
    Note(&result.Problems, "viewer handles not closed:", ViewerHandlesOpen());
    if (scenario.Icmp)
        Note(&result.Problems, "ICMP handles not closed:",
             fake::icmp.Opened4 + fake::icmp.Opened6 - fake::icmp.Closed);
    if (sweep.Overrun)
        Note(&result.Problems, "no end within calls:", static_cast<long>(sweep.Limit));
    if (sweep.FailAt != 0 && !sweep.Fired)
        Note(&result.Problems, "the call to fail never came, calls made:",
             static_cast<long>(result.Calls));

    scenario.TearDown();
    fake::RestoreMidiOut();
    HostCaptureClear();
    HostReset();
    SysRestoreAll();
    return result;
}

// --- the sweep's self-test -----------------------------------------------------

// What the stand-in entry takes, for giving it back after the checks.
struct Leaks {
    void *Block = nullptr;
    HKEY Key = nullptr;
    ADDRINFOW *List = nullptr;
    PDNS_RECORD Records = nullptr;
};
Leaks leaks;

void LeakWorld(void)
{
    DeleteRegistryTree(HKEY_CURRENT_USER, TEST_SETTINGS_KEY);
    fake::TypicalNetwork();
}

// Takes one of everything the sweep counts and gives none of it back, says
// what no entry says, writes a setting and returns what no entry returns.
int PlayLeaks(void)
{
    leaks.Block = SYS(malloc)(16);
    SYS(RegOpenKeyExW)(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, &leaks.Key);
    ADDRINFOW hints = {};
    hints.ai_family = AF_INET;
    SYS(GetAddrInfoW)(L"dual", nullptr, &hints, &leaks.List);
    SYS(DnsQuery_W)(L"dual", DNS_TYPE_A, DNS_QUERY_STANDARD, nullptr, &leaks.Records, nullptr);
    WSADATA data;
    SYS(WSAStartup)(MAKEWORD(1, 1), &data);
    SYS(CreateFileW)(L"conout$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                     OPEN_EXISTING, 0, nullptr);
    HMIDIOUT midi;
    SYS(midiOutOpen)(&midi, 0, 0, 0, CALLBACK_NULL);
    SYS(SetConsoleCtrlHandler)(PingCtrlHandler, TRUE);
    SYS(SetConsoleCtrlHandler)(ListCtrlHandler, TRUE);
    ListHandlerRegistered = true;
    ListBreakMeansInterrupt = true;
    SYS(timeBeginPeriod)(1);
    SYS(IcmpCreateFile)();
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    wchar_t viewer[] = L"hh.exe";
    SYS(CreateProcessW)(nullptr, viewer, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process);
    Qprintf(GetStdHandle(STD_ERROR_HANDLE), L"Sonaro plugin: Leaking.\r\n");
    SetRegistryDword(HKEY_CURRENT_USER, TEST_SETTINGS_KEY, L"Leak", 1);
    return 7;
}

// The fakes go with their world; the real ones are given back here.
void GiveLeaksBack(void)
{
    SYS(free)(leaks.Block);
    SYS(RegCloseKey)(leaks.Key);
    SYS(FreeAddrInfoW)(leaks.List);
    SYS(DnsFree)(leaks.Records, DnsFreeRecordList);
    SYS(WSACleanup)();
    ListHandlerRegistered = false;
    ListBreakMeansInterrupt = false;
    leaks = Leaks();
    DeleteRegistryTree(HKEY_CURRENT_USER, TEST_SETTINGS_KEY);
}

class FaultSweep : public SysTest {};

}  // namespace

// Every leak of the stand-in is reported by name, and so are its message,
// its setting and its result.
TEST_F(FaultSweep, ReportsEveryLeak)
{
    const Scenario leaky = {"leaks", LeakWorld, PlayLeaks, [](int rc) { return rc == 0; },
                            GiveLeaksBack, true};
    sweep = Sweep();
    RunResult run = Play(leaky);
    EXPECT_EQ(run.Problems,
              "result 7 is none the entry documents; "
              "standard error: unexpected \"Sonaro plugin: Leaking.\\r\\n\"; "
              "registry: key HKCU\\Software\\OrvelPlugins\\Sonaro\\ created; "
              "registry: value HKCU\\Software\\OrvelPlugins\\Sonaro\\Leak created; "
              "blocks not freed: 1; registry keys not closed: 1; address lists not freed: 1; "
              "DNS record lists not freed: 1; Winsock starts not cleaned up: 1; "
              "console handles not closed: 1; MIDI devices not closed: 1; "
              "run's control handlers left registered: 1; "
              "list-output control handlers left registered: 1; "
              "timer resolution requests not ended: 1; "
              "Control-C of list output still means an interrupt: 1; "
              "list-output handler still marked registered: 1; viewer handles not closed: 2; "
              "ICMP handles not closed: 1");
}

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
