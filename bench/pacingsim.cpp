// pacingsim.cpp - the beat of a SONARO run on a simulated Windows clock.
//
//   pacingsim.exe RESULTS-FILE [RUNS] [ECHOES]
//
// No Windows machine is at hand, so the plugin's code is linked in and runs
// against a clock of this program's own, through the system-call table:
// the tick count moves in steps of 15.625 ms, the performance counter runs
// at 10 MHz, and a Sleep ends on the first timer tick at or after the time
// it asks for.  Ticks come every 15.625 ms (Windows' default resolution) or
// every millisecond while a timeBeginPeriod(1) is in force; Sleep(0) only
// yields (1 us).  A high-resolution waitable timer signals on the first
// step of 0.5 ms at or after its due time (Microsoft gives no figure: its
// accuracy "depends on the capability of your hardware").  Every echo takes
// a random 0.2 to 3 ms and reports its whole milliseconds; printing and MIDI
// take no time here.  Each run starts at a random point of the clock.
//
// A beat is the time from one note-on to the next; its ideal is the wait
// (/Z:250) plus the later echo's own time.  Three systems: one with the
// high-resolution timer (Windows 10 1803 on), one without it that grants
// the run's timeBeginPeriod(1), one that has neither.  Results are "name
// value" lines; the plugin's own output goes to standard output.
#include "sys/syscalls.h"
#include "base/pluginstate.h"
#include "ping/pingoptions.h"

#include <algorithm>
#include <stdio.h>
#include <string.h>
#include <vector>

namespace {

typedef long long Ns;
const Ns Ms = 1000000;
const Ns DefaultTick = 15625000;   // 1/64 s
const Ns FineTick = Ms;
const Ns HighResStep = Ms / 2;
const DWORD Wait = 250;

Ns now;                  // the simulated clock
bool grantsHighRes;      // the system has the high-resolution timer
bool grantsFineTimer;    // the system honours timeBeginPeriod(1)
int finePeriods;         // timeBeginPeriod(1) calls granted and not yet ended
int periodCalls[2];      // timeBeginPeriod, timeEndPeriod
int timersOpen;          // timers created and not closed
int timerCreates;        // timers created
Ns timerDue;             // the timer's due time; -1: not set
Ns yieldNs;              // time spent in Sleep(0)
unsigned long long seed = 20261209;

unsigned Random(unsigned range)
{
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<unsigned>((seed >> 33) % range);
}

DWORD WINAPI SimTickCount(void)
{
    return static_cast<DWORD>(now / DefaultTick * DefaultTick / Ms);
}

BOOL WINAPI SimCounter(LARGE_INTEGER *count)
{
    count->QuadPart = now / 100;
    return TRUE;
}

BOOL WINAPI SimFrequency(LARGE_INTEGER *frequency)
{
    frequency->QuadPart = 10000000;
    return TRUE;
}

void WINAPI SimSleep(DWORD ms)
{
    if (ms == 0) {
        now += 1000;
        yieldNs += 1000;
        return;
    }
    Ns tick = finePeriods > 0 ? FineTick : DefaultTick;
    Ns due = now + static_cast<Ns>(ms) * Ms;
    now = (due + tick - 1) / tick * tick;
}

MMRESULT WINAPI SimBeginPeriod(UINT period)
{
    periodCalls[0]++;
    if (!grantsFineTimer || period != 1)
        return TIMERR_NOCANDO;
    finePeriods++;
    return TIMERR_NOERROR;
}

MMRESULT WINAPI SimEndPeriod(UINT period)
{
    periodCalls[1]++;
    if (period != 1 || finePeriods == 0)
        return TIMERR_NOCANDO;
    finePeriods--;
    return TIMERR_NOERROR;
}

HANDLE const SimTimer = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0x71E4));

HANDLE WINAPI SimCreateTimer(LPSECURITY_ATTRIBUTES, LPCWSTR, DWORD flags, DWORD)
{
    // Windows before 10 1803 knows only the manual-reset flag.
    if (!grantsHighRes && (flags & ~1u) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    timersOpen++;
    timerCreates++;
    timerDue = -1;
    return SimTimer;
}

BOOL WINAPI SimSetTimer(HANDLE timer, const LARGE_INTEGER *due, LONG, PTIMERAPCROUTINE, LPVOID,
                        BOOL)
{
    if (timer != SimTimer || due->QuadPart >= 0)
        return FALSE;
    timerDue = now - due->QuadPart * 100;
    return TRUE;
}

DWORD WINAPI SimWait(HANDLE object, DWORD ms)
{
    if (object != SimTimer)
        return WAIT_FAILED;
    if (timerDue < 0) {
        now += static_cast<Ns>(ms) * Ms;
        return WAIT_TIMEOUT;
    }
    Ns signaled = (timerDue + HighResStep - 1) / HighResStep * HighResStep;
    if (signaled > now)
        now = signaled;
    timerDue = -1;
    return WAIT_OBJECT_0;
}

BOOL WINAPI SimCloseHandle(HANDLE handle)
{
    if (handle == SimTimer)
        timersOpen--;
    return TRUE;
}

// The echoes: no network, a time of their own.
HANDLE const SimIcmp = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0x1C3F));

HANDLE WINAPI SimOpen(void)
{
    return SimIcmp;
}

BOOL WINAPI SimClose(HANDLE)
{
    return TRUE;
}

struct Note {
    Ns echoTime;   // the echo before it
    Ns at;         // its note-on
};
std::vector<Note> notes;
Ns echoTime;
Ns allNotesOff;

DWORD WINAPI SimEcho(HANDLE, IPAddr to, LPVOID data, WORD size, PIP_OPTION_INFORMATION,
                     LPVOID reply, DWORD replySize, DWORD)
{
    echoTime = (200 + static_cast<Ns>(Random(2800))) * 1000;
    now += echoTime;
    if (replySize < sizeof(ICMP_ECHO_REPLY) + size)
        return 0;
    ICMP_ECHO_REPLY record;
    memset(&record, 0, sizeof record);
    record.Address = to;
    record.Status = IP_SUCCESS;
    record.RoundTripTime = static_cast<ULONG>(echoTime / Ms);
    record.DataSize = size;
    unsigned char *echoed = static_cast<unsigned char *>(reply) + sizeof record;
    record.Data = echoed;
    record.Options.Ttl = 128;
    memcpy(reply, &record, sizeof record);
    memcpy(echoed, data, size);
    return 1;
}

HMIDIOUT const SimMidi = reinterpret_cast<HMIDIOUT>(static_cast<INT_PTR>(0x4D49));

MMRESULT WINAPI SimMidiMessage(HMIDIOUT, DWORD message)
{
    if ((message & 0xF0) == 0x90)
        notes.push_back({ echoTime, now });
    if ((message & 0xFF) == 0xB5)
        allNotesOff = now;
    return MMSYSERR_NOERROR;
}

DWORD WINAPI WithoutNoMidi(LPCWSTR name, LPWSTR buffer, DWORD size)
{
    if (_wcsicmp(name, L"NoMidi") == 0)
        return 0;
    return g_sysDefault.GetEnvironmentVariableW(name, buffer, size);
}

void Install(void)
{
    SysRestoreAll();
    g_sys.GetTickCount = SimTickCount;
    g_sys.Sleep = SimSleep;
    g_sys.IcmpCreateFile = SimOpen;
    g_sys.Icmp6CreateFile = SimOpen;
    g_sys.IcmpCloseHandle = SimClose;
    g_sys.IcmpSendEcho = SimEcho;
    g_sys.midiOutShortMsg = SimMidiMessage;
    g_sys.GetEnvironmentVariableW = WithoutNoMidi;
    // The precise clock and the timer resolution, where the table has them.
    SysOverride("QueryPerformanceCounter", reinterpret_cast<void *>(SimCounter));
    SysOverride("QueryPerformanceFrequency", reinterpret_cast<void *>(SimFrequency));
    SysOverride("timeBeginPeriod", reinterpret_cast<void *>(SimBeginPeriod));
    SysOverride("timeEndPeriod", reinterpret_cast<void *>(SimEndPeriod));
    SysOverride("CreateWaitableTimerExW", reinterpret_cast<void *>(SimCreateTimer));
    SysOverride("SetWaitableTimer", reinterpret_cast<void *>(SimSetTimer));
    SysOverride("WaitForSingleObject", reinterpret_cast<void *>(SimWait));
    g_sys.CloseHandle = SimCloseHandle;
    MidiOut = SimMidi;
}

double Percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    size_t rank = static_cast<size_t>(p / 100.0 * static_cast<double>(values.size()) + 0.999999);
    return values[std::min(values.size(), std::max<size_t>(rank, 1)) - 1];
}

void Simulate(FILE *results, const char *name, bool highRes, bool fine, unsigned runs,
              unsigned echoes)
{
    grantsHighRes = highRes;
    grantsFineTimer = fine;
    periodCalls[0] = periodCalls[1] = 0;
    timerCreates = 0;
    yieldNs = 0;
    std::vector<double> errors, closing;
    int leftOver = 0, timersLeft = 0;
    for (unsigned run = 0; run < runs; run++) {
        Install();
        finePeriods = 0;
        timersOpen = 0;
        notes.clear();
        allNotesOff = 0;
        now = 1000 * Ms + static_cast<Ns>(Random(1000000)) * 1000;
        wchar_t line[64];
        wsprintfW(line, L"/n:%u /z:%u 127.0.0.1", echoes, static_cast<unsigned>(Wait));
        sonaro(line);
        SysRestoreAll();
        leftOver += finePeriods;
        timersLeft += timersOpen;
        for (size_t i = 1; i < notes.size(); i++) {
            Ns beat = notes[i].at - notes[i - 1].at;
            Ns ideal = static_cast<Ns>(Wait) * Ms + notes[i].echoTime;
            errors.push_back(static_cast<double>(beat - ideal) / Ms);
        }
        // The last note rings 1750 ms in all: its wait, then the top-up.
        if (!notes.empty() && allNotesOff != 0)
            closing.push_back(static_cast<double>(allNotesOff - notes.back().at - 1750 * Ms) / Ms);
    }
    fprintf(results, "sim_%s_beats %u\n", name, static_cast<unsigned>(errors.size()));
    fprintf(results, "sim_%s_beat_error_median_ms %.2f\n", name, Percentile(errors, 50));
    fprintf(results, "sim_%s_beat_error_p90_ms %.2f\n", name, Percentile(errors, 90));
    fprintf(results, "sim_%s_beat_error_max_ms %.2f\n", name, Percentile(errors, 100));
    fprintf(results, "sim_%s_beat_error_min_ms %.2f\n", name,
            errors.empty() ? 0.0 : *std::min_element(errors.begin(), errors.end()));
    fprintf(results, "sim_%s_closing_error_median_ms %.2f\n", name, Percentile(closing, 50));
    fprintf(results, "sim_%s_closing_error_max_ms %.2f\n", name, Percentile(closing, 100));
    fprintf(results, "sim_%s_closing_error_min_ms %.2f\n", name,
            closing.empty() ? 0.0 : *std::min_element(closing.begin(), closing.end()));
    fprintf(results, "sim_%s_period_begins %d\n", name, periodCalls[0]);
    fprintf(results, "sim_%s_period_ends %d\n", name, periodCalls[1]);
    fprintf(results, "sim_%s_periods_left %d\n", name, leftOver);
    fprintf(results, "sim_%s_timers_created %d\n", name, timerCreates);
    fprintf(results, "sim_%s_timers_left %d\n", name, timersLeft);
    // The time spent yielding, per echo and its wait.
    fprintf(results, "sim_%s_yield_ms_per_beat %.3f\n", name,
            static_cast<double>(yieldNs) / Ms / (static_cast<double>(runs) * echoes));
}

}  // namespace

int wmain(int argc, wchar_t **argv)
{
    if (argc < 2) {
        fwprintf(stderr, L"usage: pacingsim RESULTS-FILE [RUNS] [ECHOES]\n");
        return 2;
    }
    FILE *results = _wfopen(argv[1], L"w");
    if (results == nullptr)
        return 2;
    unsigned runs = argc > 2 ? static_cast<unsigned>(_wtoi(argv[2])) : 20;
    unsigned echoes = argc > 3 ? static_cast<unsigned>(_wtoi(argv[3])) : 20;

    WSADATA data;
    WSAStartup(MAKEWORD(1, 1), &data);
    OsVersion.dwOSVersionInfoSize = sizeof OsVersion;
    GetVersionExW(&OsVersion);
    Simulate(results, "highres", true, true, runs, echoes);
    Simulate(results, "fine", false, true, runs, echoes);
    Simulate(results, "default", false, false, runs, echoes);
    fclose(results);
    WSACleanup();
    return 0;
}
