// fakeping.h - the fake world as SONARO runs see it: the ICMP helper,
// resolver, clock, console and MIDI device.
#pragma once

#include "testsupport.h"
#include "fakeicmp.h"

#include <string>
#include <vector>

namespace fakeping {

// Scripted echoes (g_icmp.Script of the fake ICMP helper): a good reply, no
// reply with the error, a failed status, data that differ.
using Echo = FakeEcho;
Echo Good(ULONG roundTripTime, UCHAR ttl = 128);
Echo Lost(DWORD error);
Echo WithStatus(ULONG status, ULONG roundTripTime = 0);
Echo Corrupted(ULONG roundTripTime);

// The echo requests as sent, from the helper's record.
std::vector<DWORD> SentSizes();
std::vector<IP_OPTION_INFORMATION> SentOptions();
std::vector<DWORD> SentTimeouts();
std::vector<std::wstring> SentTo();

// What the run saw and did.
struct World {
    // One clock, in microseconds, behind the tick count (its milliseconds,
    // low 32 bits) and the performance counter (CounterFrequency counts a
    // second).  A Sleep advances it by the time asked plus SleepLateUs, a
    // Sleep(0) by YieldUs; every echo call and every MIDI message by the
    // times below (0 unless a test sets them).
    ULONGLONG Clock;
    LONGLONG CounterFrequency;
    int SleepLateUs;     // negative: sleeps end early
    DWORD YieldUs;
    std::vector<DWORD> Sleeps;
    DWORD EchoMs;
    DWORD MidiMs;
    std::vector<ULONGLONG> EchoStarts;   // the clock as each echo call began
    // Timer resolution: timeBeginPeriod(1) is refused when RefuseFineTimer;
    // the periods granted and not yet ended, every call of either kind,
    // and the sleeps (Sleep(0) aside) taken while no period was in force.
    bool RefuseFineTimer;
    int FinePeriods;
    int PeriodBegins;
    int PeriodEnds;
    size_t CoarseSleeps;
    // Console events: the sleep (1-based) after which each arrives, and the
    // event, or ListBreak for the list-output handler's flag.
    std::vector<std::pair<size_t, DWORD>> Events;
    // The n-th malloc of the run returns null (0: none fails).
    int FailMallocAt;
    int Mallocs;
    // Console.
    bool StdOutConsole;
    std::vector<std::pair<PHANDLER_ROUTINE, BOOL>> CtrlHandlerCalls;
    // Registering the run's own handler fails (the call is still recorded).
    bool PingHandlerFails;
    // MIDI messages sent.
    std::vector<DWORD> Midi;
    // Default TTL reported by the system (0: the call fails).
    DWORD DefaultTtl;
    // Reverse lookup answer (empty: none found).
    std::wstring ReverseName;
    // The system: Wine (ntdll exports wine_get_version), or ntdll not found.
    bool Wine;
    bool NoNtdll;
};
extern World world;
const DWORD ListBreak = 0x100;

// Installs every fake into the system-call table and resets the world.
// MidiOut is set to a fake handle (null with midi false).
void Install(bool midi = true);
// Puts MidiOut back.
void Uninstall();

// The clock in whole milliseconds, as the tick count shows it.
DWORD NowMs();
// The performance counter's reading now.
LONGLONG Counter();

// Readable MIDI messages for comparisons.
std::string MidiText(const std::vector<DWORD> &messages);

}  // namespace fakeping

// A run with the scripted world; settings keys cleared.
class PingRunTest : public SysTest {
protected:
    void SetUp() override;
    void TearDown() override;
};
