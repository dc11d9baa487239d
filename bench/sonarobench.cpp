// sonarobench.cpp - SONARO's pacing as timed inside and as heard, its cost per echo and the
// processor time per beat, @PINGTIME against a bare echo (and where its time goes), and the
// plugin's load time.
//
//   sonarobench.exe RESULTS-FILE [ECHOES]
//
// The plugin's code is linked in, so the run can be watched through the
// system-call table: every echo and every sleep is timed where it happens,
// nothing is faked.  The load time is taken from the real DLL beside the
// program.  Results are "name value" lines; the plugin's own output goes to
// standard output.
#include "sys/syscalls.h"
#include "sys/icmplayout.h"
#include "ping/pingoptions.h"
#include "resolve/netentries.h"
#include "base/pluginstate.h"

#include <algorithm>
#include <stdio.h>
#include <string>
#include <vector>

namespace {

double Frequency()
{
    static LARGE_INTEGER frequency;
    if (frequency.QuadPart == 0)
        QueryPerformanceFrequency(&frequency);
    return static_cast<double>(frequency.QuadPart);
}

double NowMs()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / Frequency();
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// ---- one SONARO run, watched --------------------------------------------

// The note-ons are what a user hears: the run gets a MIDI handle of its own
// (nothing reaches a device) and every message is stamped as it is sent.
HMIDIOUT const BenchMidi = reinterpret_cast<HMIDIOUT>(static_cast<INT_PTR>(0x4D49));

struct EchoTimes {
    double start, end;
    unsigned rtt;        // the round-trip time the reply reports
    double firstMidi;    // the note's first message (its note-off)
    double noteOn;       // 0: no note
    double waitStart;    // the first Sleep after it begins (0: none)
    double waitEnd;      // the last one ends
};
std::vector<EchoTimes> echoes;
double allNotesOff;

// Every system call of the run, stamped as it starts: what the report line
// is made of.
struct RunStamp {
    int id;
    double at;
};
std::vector<RunStamp> runStamps;

void StampRunCall(SysId id, unsigned long)
{
    runStamps.push_back({ id, NowMs() });
}

DWORD WINAPI WatchedEcho(HANDLE handle, IPAddr to, LPVOID data, WORD size,
                         PIP_OPTION_INFORMATION options, LPVOID reply, DWORD replySize,
                         DWORD timeout)
{
    EchoTimes times = { NowMs(), 0, 0, 0, 0, 0, 0 };
    DWORD result = g_sysDefault.IcmpSendEcho(handle, to, data, size, options, reply, replySize,
                                             timeout);
    times.end = NowMs();
    if (result != 0) {
        ICMP_ECHO_REPLY record;
        memcpy(&record, reply, sizeof record);
        times.rtt = record.RoundTripTime;
    }
    echoes.push_back(times);
    return result;
}

// A step of the wait: the first after an echo begins its wait, the last
// ends it.
void NoteWaitStep(double start)
{
    if (echoes.empty())
        return;
    if (echoes.back().waitStart == 0)
        echoes.back().waitStart = start;
    echoes.back().waitEnd = NowMs();
}

void WINAPI WatchedSleep(DWORD ms)
{
    double start = NowMs();
    g_sysDefault.Sleep(ms);
    NoteWaitStep(start);
}

// The waits on the run's timer, where the table has them.
DWORD WINAPI WatchedWait(HANDLE handle, DWORD ms)
{
    double start = NowMs();
    DWORD result = WaitForSingleObject(handle, ms);
    NoteWaitStep(start);
    return result;
}

MMRESULT WINAPI StampedMidi(HMIDIOUT, DWORD message)
{
    double now = NowMs();
    if ((message & 0xFF) == 0xB5)
        allNotesOff = now;
    else if (!echoes.empty() && echoes.back().firstMidi == 0)
        echoes.back().firstMidi = now;
    if ((message & 0xF0) == 0x90 && !echoes.empty())
        echoes.back().noteOn = now;
    return MMSYSERR_NOERROR;
}

// NoMidi (set for the load figures) must not silence the watched run.
DWORD WINAPI WithoutNoMidi(LPCWSTR name, LPWSTR buffer, DWORD size)
{
    if (_wcsicmp(name, L"NoMidi") == 0)
        return 0;
    return g_sysDefault.GetEnvironmentVariableW(name, buffer, size);
}

// The nearest-rank percentile.
double Percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    size_t rank = static_cast<size_t>(p / 100.0 * static_cast<double>(values.size()) + 0.999999);
    return values[std::min(values.size(), std::max<size_t>(rank, 1)) - 1];
}

void PrintSpread(FILE *results, const char *key, const std::vector<double> &values)
{
    fprintf(results, "%s_median_ms %.2f\n", key, Median(values));
    fprintf(results, "%s_p90_ms %.2f\n", key, Percentile(values, 90));
    fprintf(results, "%s_max_ms %.2f\n", key,
            values.empty() ? 0.0 : *std::max_element(values.begin(), values.end()));
    fprintf(results, "%s_min_ms %.2f\n", key,
            values.empty() ? 0.0 : *std::min_element(values.begin(), values.end()));
}

// Between each echo's return and its note's first message: the calls made,
// and the time up to the next call (or the note) put down to each, summed
// over the run by call and divided by the echoes.
void ReportSteps(FILE *results)
{
    double spent[SYS_COUNT] = {};
    unsigned calls[SYS_COUNT] = {};
    unsigned notes = 0;
    for (const EchoTimes &e : echoes) {
        if (e.firstMidi == 0)
            continue;
        notes++;
        for (size_t k = 0; k < runStamps.size(); k++) {
            const RunStamp &s = runStamps[k];
            if (s.at < e.end || s.at >= e.firstMidi)
                continue;
            double next = k + 1 < runStamps.size() ? std::min(runStamps[k + 1].at, e.firstMidi)
                                                    : e.firstMidi;
            spent[s.id] += next - s.at;
            calls[s.id]++;
        }
    }
    for (int id = 0; id < SYS_COUNT && notes != 0; id++)
        if (calls[id] != 0)
            fprintf(results, "report_step_%s %.1f calls, %.4f ms\n", SysName(id),
                    static_cast<double>(calls[id]) / notes, spent[id] / notes);
}

void BenchRun(FILE *results, unsigned count)
{
    const DWORD wait = 250;
    g_sys.IcmpSendEcho = WatchedEcho;
    g_sys.Sleep = WatchedSleep;
    SysOverride("WaitForSingleObject", reinterpret_cast<void *>(WatchedWait));
    g_sys.midiOutShortMsg = StampedMidi;
    g_sys.GetEnvironmentVariableW = WithoutNoMidi;
    HMIDIOUT savedMidi = MidiOut;
    MidiOut = BenchMidi;
    wchar_t line[128];
    wsprintfW(line, L"/n:%u /z:%u 127.0.0.1", count, static_cast<unsigned>(wait));
    runStamps.reserve(100000);
    double start = NowMs();
    g_sysCallHook = StampRunCall;
    int result = sonaro(line);
    g_sysCallHook = nullptr;
    double end = NowMs();
    SysRestoreAll();
    MidiOut = savedMidi;

    // A beat as timed inside: from one echo's start to the next, against the
    // echo's own time plus the wait.  As heard: from one note-on to the next,
    // against the wait plus the round-trip time the later echo reports.
    std::vector<double> beatErrors, heardErrors, overheads, noteLags, reportTimes;
    double echoTime = 0;
    for (size_t i = 0; i < echoes.size(); i++) {
        const EchoTimes &e = echoes[i];
        echoTime += e.end - e.start;
        double next = i + 1 < echoes.size() ? echoes[i + 1].start : allNotesOff;
        if (i + 1 < echoes.size()) {
            beatErrors.push_back((next - e.start) - ((e.end - e.start) + wait));
            const EchoTimes &later = echoes[i + 1];
            if (e.noteOn != 0 && later.noteOn != 0)
                heardErrors.push_back((later.noteOn - e.noteOn) - (wait + later.rtt));
            // The wait, from its first sleep to its last, yields included.
            double waited = e.waitStart == 0 ? 0.0 : e.waitEnd - e.waitStart;
            overheads.push_back(next - e.end - waited);
        }
        if (e.noteOn != 0) {
            noteLags.push_back(e.noteOn - e.end);
            reportTimes.push_back(e.firstMidi - e.end);
        }
    }
    // The whole run: the first echo to the end of the closing pause, whose
    // top-up makes the last wait 1750 ms.
    double ideal = echoTime + wait * (echoes.empty() ? 0.0 : echoes.size() - 1.0) + 1750;
    double wall = echoes.empty() || allNotesOff == 0 ? 0.0 : allNotesOff - echoes.front().start;
    fprintf(results, "run_result %d\n", result);
    fprintf(results, "run_echoes %u\n", static_cast<unsigned>(echoes.size()));
    fprintf(results, "run_wall_ms %.1f\n", wall);
    fprintf(results, "run_ideal_ms %.1f\n", ideal);
    // Before the first echo: options, resolution, handles, header.
    fprintf(results, "run_setup_ms %.1f\n", echoes.empty() ? 0.0 : echoes.front().start - start);
    fprintf(results, "run_after_notes_off_ms %.2f\n", allNotesOff == 0 ? 0.0 : end - allNotesOff);
    fprintf(results, "echo_median_ms %.3f\n",
            echoes.empty() ? 0.0 : echoTime / static_cast<double>(echoes.size()));
    PrintSpread(results, "beat_error", beatErrors);
    PrintSpread(results, "heard_beat_error", heardErrors);
    fprintf(results, "heard_early_notes %u\n",
            static_cast<unsigned>(std::count_if(heardErrors.begin(), heardErrors.end(),
                                                [](double e) { return e < -1.0; })));
    // From the echo call's return: the report line (up to the note's first
    // message), and the note-on.
    fprintf(results, "report_median_ms %.4f\n", Median(reportTimes));
    fprintf(results, "note_lag_median_ms %.4f\n", Median(noteLags));
    fprintf(results, "note_lag_max_ms %.4f\n",
            noteLags.empty() ? 0.0 : *std::max_element(noteLags.begin(), noteLags.end()));
    ReportSteps(results);
    fprintf(results, "overhead_median_ms %.4f\n", Median(overheads));
    fprintf(results, "overhead_max_ms %.4f\n",
            overheads.empty() ? 0.0 : *std::max_element(overheads.begin(), overheads.end()));
}

// ---- processor time per beat ---------------------------------------------

// A run of its own for the processor time a beat takes: the process's time
// (GetProcessTimes, which Wine counts in 10 ms steps, hence the longer run)
// and, exact, the time the run's thread is awake: outside its sleeps, its
// waits and its echo calls, yields counted as awake.
double blockedMs;
unsigned yields;

void WINAPI CountedSleep(DWORD ms)
{
    if (ms == 0) {
        yields++;
        g_sysDefault.Sleep(0);
        return;
    }
    double start = NowMs();
    g_sysDefault.Sleep(ms);
    blockedMs += NowMs() - start;
}

DWORD WINAPI CountedWait(HANDLE handle, DWORD ms)
{
    double start = NowMs();
    DWORD result = WaitForSingleObject(handle, ms);
    blockedMs += NowMs() - start;
    return result;
}

DWORD WINAPI CountedEcho(HANDLE handle, IPAddr to, LPVOID data, WORD size,
                         PIP_OPTION_INFORMATION options, LPVOID reply, DWORD replySize,
                         DWORD timeout)
{
    double start = NowMs();
    DWORD result = g_sysDefault.IcmpSendEcho(handle, to, data, size, options, reply, replySize,
                                             timeout);
    blockedMs += NowMs() - start;
    return result;
}

MMRESULT WINAPI SilentMidi(HMIDIOUT, DWORD)
{
    return MMSYSERR_NOERROR;
}

// What a system without the high-resolution timer answers (Windows before
// 10 1803).
HANDLE WINAPI RefusedTimer(LPSECURITY_ATTRIBUTES, LPCWSTR, DWORD, DWORD)
{
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
}

double ProcessMs()
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
        return 0;
    ULARGE_INTEGER k, u;
    k.LowPart = kernel.dwLowDateTime;
    k.HighPart = kernel.dwHighDateTime;
    u.LowPart = user.dwLowDateTime;
    u.HighPart = user.dwHighDateTime;
    return static_cast<double>(k.QuadPart + u.QuadPart) / 10000.0;
}

// One run of count echoes; key names the figures.  False when the table
// has no entry to refuse the timer with.
bool BenchCpu(FILE *results, const char *key, unsigned count, bool refuseTimer)
{
    g_sys.Sleep = CountedSleep;
    g_sys.IcmpSendEcho = CountedEcho;
    g_sys.midiOutShortMsg = SilentMidi;
    g_sys.GetEnvironmentVariableW = WithoutNoMidi;
    SysOverride("WaitForSingleObject", reinterpret_cast<void *>(CountedWait));
    if (refuseTimer &&
        SysOverride("CreateWaitableTimerExW", reinterpret_cast<void *>(RefusedTimer)) != 0) {
        SysRestoreAll();
        return false;
    }
    HMIDIOUT savedMidi = MidiOut;
    MidiOut = BenchMidi;
    wchar_t line[128];
    wsprintfW(line, L"/n:%u /z:250 127.0.0.1", count);
    blockedMs = 0;
    yields = 0;
    double cpu = ProcessMs();
    double start = NowMs();
    sonaro(line);
    double wall = NowMs() - start;
    cpu = ProcessMs() - cpu;
    SysRestoreAll();
    MidiOut = savedMidi;
    fprintf(results, "%s_beats %u\n", key, count);
    fprintf(results, "%s_cpu_per_beat_ms %.3f\n", key, cpu / count);
    fprintf(results, "%s_awake_per_beat_ms %.3f\n", key, (wall - blockedMs) / count);
    fprintf(results, "%s_yields_per_beat %.1f\n", key, static_cast<double>(yields) / count);
    return true;
}

// What filling a 64-byte request with fresh rand_s values costs, one value
// per byte as every echo does.
void BenchRandomFill(FILE *results)
{
    std::vector<double> times;
    unsigned char data[64];
    for (int round = 0; round < 200; round++) {
        double start = NowMs();
        for (unsigned char &byte : data) {
            unsigned int value = 0;
            rand_s(&value);
            byte = static_cast<unsigned char>(value);
        }
        times.push_back(NowMs() - start);
    }
    fprintf(results, "random_fill_median_ms %.4f\n", Median(times));
}

// ---- @PINGTIME against a bare echo of the same size ----------------------

// Where @PINGTIME's time goes: every call through the system-call table is
// stamped as it starts, and the time up to the next stamp (or the end) is
// put down to that call, the plugin's code after it included.
enum CallGroup { GROUP_RESOLVE, GROUP_TTL, GROUP_HANDLE, GROUP_ECHO, GROUP_OTHER, GROUP_COUNT };
const char *const GroupKeys[GROUP_COUNT] = { "resolve", "default_ttl", "icmp_handle", "echo",
                                             "other" };

CallGroup GroupOf(int id)
{
    switch (id) {
    case SYS_GetAddrInfoW: case SYS_FreeAddrInfoW: case SYS_DnsQuery_W: case SYS_DnsFree:
    case SYS_GetNetworkParams: case SYS_GetAdaptersInfo: case SYS_RegOpenKeyExW:
    case SYS_RegQueryValueExW: case SYS_RegCloseKey:
        return GROUP_RESOLVE;
    case SYS_GetIpStatistics:
        return GROUP_TTL;
    case SYS_IcmpCreateFile: case SYS_Icmp6CreateFile: case SYS_IcmpCloseHandle:
        return GROUP_HANDLE;
    case SYS_IcmpSendEcho: case SYS_Icmp6SendEcho2:
        return GROUP_ECHO;
    default:
        return GROUP_OTHER;
    }
}

struct Stamp {
    int id;
    double at;
};
std::vector<Stamp> stamps;

void StampCall(SysId id, unsigned long)
{
    stamps.push_back({ id, NowMs() });
}

void BenchPingTimeParts(FILE *results, unsigned rounds)
{
    std::vector<double> parts[GROUP_COUNT];
    std::vector<double> lead;
    SysResetCounts();
    for (unsigned i = 0; i < rounds; i++) {
        wchar_t buffer[8192] = L"127.0.0.1";
        double sum[GROUP_COUNT] = {};
        stamps.clear();
        double start = NowMs();
        g_sysCallHook = StampCall;
        f_pingtime(buffer);
        g_sysCallHook = nullptr;
        double end = NowMs();
        for (size_t k = 0; k < stamps.size(); k++) {
            double next = k + 1 < stamps.size() ? stamps[k + 1].at : end;
            sum[GroupOf(stamps[k].id)] += next - stamps[k].at;
        }
        for (int g = 0; g < GROUP_COUNT; g++)
            parts[g].push_back(sum[g]);
        lead.push_back(stamps.empty() ? end - start : stamps[0].at - start);
    }
    for (int g = 0; g < GROUP_COUNT; g++)
        fprintf(results, "pingtime_%s_median_ms %.3f\n", GroupKeys[g], Median(parts[g]));
    fprintf(results, "pingtime_lookups_per_call %.1f\n",
            static_cast<double>(g_sysCallCount[SYS_GetAddrInfoW]) / rounds);
    fprintf(results, "pingtime_dns_queries_per_call %.1f\n",
            static_cast<double>(g_sysCallCount[SYS_DnsQuery_W]) / rounds);
    SysResetCounts();
}

void BenchPingTime(FILE *results, unsigned rounds)
{
    HANDLE handle = IcmpCreateFile();
    if (handle == INVALID_HANDLE_VALUE) {
        fprintf(results, "pingtime_error no_icmp_handle\n");
        return;
    }
    const DWORD size = 64;  // @PINGTIME's default
    std::vector<unsigned char> request(size, 0x5A);
    std::vector<unsigned char> reply(size + ICMP_REPLY_EXTRA);
    IPAddr loopback = inet_addr("127.0.0.1");
    std::vector<double> functionWall, bareWall;
    double functionRtt = 0, bareRtt = 0;
    unsigned functionCount = 0, bareCount = 0;
    for (unsigned i = 0; i < rounds; i++) {
        wchar_t buffer[8192] = L"127.0.0.1";
        double start = NowMs();
        f_pingtime(buffer);
        functionWall.push_back(NowMs() - start);
        int rtt = _wtoi(buffer);
        if (rtt >= 0) {
            functionRtt += rtt;
            functionCount++;
        }

        start = NowMs();
        DWORD replies = IcmpSendEcho(handle, loopback, request.data(), size, nullptr,
                                     reply.data(), static_cast<DWORD>(reply.size()), 60000);
        bareWall.push_back(NowMs() - start);
        if (replies != 0) {
            ICMP_ECHO_REPLY record;
            memcpy(&record, reply.data(), sizeof record);
            bareRtt += record.RoundTripTime;
            bareCount++;
        }
    }
    IcmpCloseHandle(handle);
    double functionMean = functionCount ? functionRtt / functionCount : 0;
    double bareMean = bareCount ? bareRtt / bareCount : 0;
    fprintf(results, "pingtime_rounds %u\n", rounds);
    fprintf(results, "pingtime_rtt_mean_ms %.3f\n", functionMean);
    fprintf(results, "bare_rtt_mean_ms %.3f\n", bareMean);
    // Times are reported in whole milliseconds: below one, a ratio says
    // nothing, and the difference of the means is what there is to see.
    if (bareMean >= 1 && functionMean >= 1)
        fprintf(results, "rtt_ratio %.2f\n", functionMean / bareMean);
    else
        fprintf(results, "rtt_ratio -\n");
    fprintf(results, "rtt_difference_ms %.3f\n", functionMean - bareMean);
    fprintf(results, "pingtime_wall_median_ms %.3f\n", Median(functionWall));
    fprintf(results, "bare_wall_median_ms %.3f\n", Median(bareWall));
    fprintf(results, "wall_ratio %.2f\n", Median(functionWall) / std::max(Median(bareWall), 1e-6));
}

// ---- loading the real DLL ------------------------------------------------

void BenchLoad(FILE *results, unsigned rounds)
{
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dll(path, n);
#ifdef _WIN64
    dll = dll.substr(0, dll.find_last_of(L"\\/") + 1) + L"Sonaro-x64.dll";
#else
    dll = dll.substr(0, dll.find_last_of(L"\\/") + 1) + L"Sonaro-x86.dll";
#endif
    std::vector<double> times;
    for (unsigned i = 0; i < rounds; i++) {
        double start = NowMs();
        HMODULE module = LoadLibraryW(dll.c_str());
        if (module == nullptr) {
            fprintf(results, "load_error %lu\n", GetLastError());
            return;
        }
        auto info = reinterpret_cast<void *(WINAPI *)(HMODULE)>(
            reinterpret_cast<void *>(GetProcAddress(module, "GetPluginInfo")));
        auto initialize = reinterpret_cast<int(WINAPI *)(void)>(
            reinterpret_cast<void *>(GetProcAddress(module, "InitializePlugin")));
        auto shutdown = reinterpret_cast<int(WINAPI *)(int)>(
            reinterpret_cast<void *>(GetProcAddress(module, "ShutdownPlugin")));
        int status = -1;
        if (info != nullptr && initialize != nullptr) {
            info(module);
            status = initialize();
        }
        times.push_back(NowMs() - start);
        if (status == 0 && shutdown != nullptr)
            shutdown(0);
        FreeLibrary(module);
        if (status != 0) {
            fprintf(results, "load_error initialize_%d\n", status);
            return;
        }
    }
    fprintf(results, "load_first_ms %.2f\n", times.front());
    fprintf(results, "load_median_ms %.2f\n", Median(times));
}

}  // namespace

int wmain(int argc, wchar_t **argv)
{
    if (argc < 2) {
        fwprintf(stderr, L"usage: sonarobench RESULTS-FILE [ECHOES]\n");
        return 2;
    }
    FILE *results = _wfopen(argv[1], L"w");
    if (results == nullptr)
        return 2;
    unsigned count = argc > 2 ? static_cast<unsigned>(_wtoi(argv[2])) : 20;

    // The plugin as the host would have it: sockets started, no MIDI device.
    WSADATA data;
    WSAStartup(MAKEWORD(1, 1), &data);
    OsVersion.dwOSVersionInfoSize = sizeof OsVersion;
    GetVersionExW(&OsVersion);

    BenchLoad(results, 10);
    // The first GetIpStatistics of a process is slow under Wine (its network
    // statistics service starts); a host session pays it once, at its first
    // SONARO or @PINGTIME.  Taken apart here so the run shows the steady state.
    MIB_IPSTATS stats;
    memset(&stats, 0, sizeof stats);
    double first = NowMs();
    GetIpStatistics(&stats);
    fprintf(results, "first_ip_statistics_ms %.2f\n", NowMs() - first);
    BenchRun(results, count);
    BenchCpu(results, "cpu", 40, false);
    BenchCpu(results, "cpu_refused", 40, true);
    BenchRandomFill(results);
    BenchPingTime(results, 50);
    BenchPingTimeParts(results, 50);
    fclose(results);
    WSACleanup();
    return 0;
}
