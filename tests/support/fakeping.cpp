// fakeping.cpp - the scripted world behind the SONARO run tests.
#include "fakeping.h"
#include "ping/echorun.h"
#include "ping/sendecho.h"
#include "ping/interrupt.h"
#include "base/pluginstate.h"
#include "sys/syscalls.h"
#include "console/conlist.h"

#include <string.h>

namespace fakeping {

World world;
static HMIDIOUT savedMidiOut;
static bool installed;

static HMIDIOUT const FakeMidi = reinterpret_cast<HMIDIOUT>(static_cast<INT_PTR>(0x3210));

static Echo Reply(DWORD returned, DWORD error, ULONG status, ULONG roundTripTime, UCHAR ttl,
                  bool corrupt)
{
    Echo echo;
    echo.Returned = returned;
    echo.Error = error;
    echo.Status = status;
    echo.RoundTrip = roundTripTime;
    echo.Ttl = ttl;
    echo.Corrupt = corrupt;
    return echo;
}

Echo Good(ULONG roundTripTime, UCHAR ttl) { return Reply(1, 0, IP_SUCCESS, roundTripTime, ttl, false); }
Echo Lost(DWORD error) { return Reply(0, error, 0, 0, 0, false); }
Echo WithStatus(ULONG status, ULONG roundTripTime) { return Reply(1, 0, status, roundTripTime, 64, false); }
Echo Corrupted(ULONG roundTripTime) { return Reply(1, 0, IP_SUCCESS, roundTripTime, 128, true); }

std::vector<DWORD> SentSizes()
{
    std::vector<DWORD> sizes;
    for (const EchoCall &call : g_icmp.Calls)
        sizes.push_back(static_cast<DWORD>(call.Request.size()));
    return sizes;
}

std::vector<IP_OPTION_INFORMATION> SentOptions()
{
    std::vector<IP_OPTION_INFORMATION> options;
    for (const EchoCall &call : g_icmp.Calls)
        options.push_back(call.Options);
    return options;
}

std::vector<DWORD> SentTimeouts()
{
    std::vector<DWORD> timeouts;
    for (const EchoCall &call : g_icmp.Calls)
        timeouts.push_back(call.Timeout);
    return timeouts;
}

std::vector<std::wstring> SentTo()
{
    std::vector<std::wstring> to;
    for (const EchoCall &call : g_icmp.Calls)
        to.push_back(call.To);
    return to;
}

static DWORD WINAPI FakeGetLastError(void)
{
    return g_icmp.LastError;
}

static HMODULE const FakeNtdll = reinterpret_cast<HMODULE>(static_cast<INT_PTR>(0x7700));

static HMODULE WINAPI FakeGetModuleHandleW(LPCWSTR name)
{
    if (world.NoNtdll || name == nullptr || _wcsicmp(name, L"ntdll.dll") != 0)
        return nullptr;
    return FakeNtdll;
}

static INT_PTR WINAPI FakeWineGetVersion(void)
{
    return 0;
}

static FARPROC WINAPI FakeGetProcAddress(HMODULE module, LPCSTR name)
{
    EXPECT_EQ(module, FakeNtdll);
    if (world.Wine && strcmp(name, "wine_get_version") == 0)
        return FakeWineGetVersion;
    return nullptr;
}

// Each echo call takes the world's echo time.
static void EchoStarts(void)
{
    world.EchoStarts.push_back(world.Clock);
    world.Clock += world.EchoMs * 1000ull;
}

static DWORD WINAPI FakeGetIpErrorString(IP_STATUS code, PWSTR buffer, PDWORD size)
{
    if (world.Wine)
        ADD_FAILURE() << "GetIpErrorString called under Wine, where it ends the process";
    if (code != IP_REQ_TIMED_OUT)
        return ERROR_NOT_FOUND;
    EXPECT_GE(*size, 19u);
    wcscpy(buffer, L"Request timed out.");
    return NO_ERROR;
}

DWORD NowMs()
{
    return static_cast<DWORD>(world.Clock / 1000);
}

LONGLONG Counter()
{
    // Split so that a clock of days at any frequency stays in range.
    ULONGLONG seconds = world.Clock / 1000000, micros = world.Clock % 1000000;
    return static_cast<LONGLONG>(seconds) * world.CounterFrequency +
           static_cast<LONGLONG>(micros) * world.CounterFrequency / 1000000;
}

static DWORD WINAPI FakeGetTickCount(void)
{
    return NowMs();
}

static BOOL WINAPI FakeQueryPerformanceCounter(LARGE_INTEGER *count)
{
    count->QuadPart = Counter();
    return TRUE;
}

static BOOL WINAPI FakeQueryPerformanceFrequency(LARGE_INTEGER *frequency)
{
    frequency->QuadPart = world.CounterFrequency;
    return TRUE;
}

static MMRESULT WINAPI FakeTimeBeginPeriod(UINT period)
{
    world.PeriodBegins++;
    EXPECT_EQ(period, 1u);
    if (world.RefuseFineTimer)
        return TIMERR_NOCANDO;
    world.FinePeriods++;
    return TIMERR_NOERROR;
}

static MMRESULT WINAPI FakeTimeEndPeriod(UINT period)
{
    world.PeriodEnds++;
    EXPECT_EQ(period, 1u);
    if (world.FinePeriods == 0) {
        ADD_FAILURE() << "timeEndPeriod without a granted timeBeginPeriod";
        return TIMERR_NOCANDO;
    }
    world.FinePeriods--;
    return TIMERR_NOERROR;
}

static void WINAPI FakeSleep(DWORD ms)
{
    world.Sleeps.push_back(ms);
    if (ms == 0) {
        world.Clock += world.YieldUs;
    } else {
        world.Clock += static_cast<ULONGLONG>(static_cast<LONGLONG>(ms) * 1000 + world.SleepLateUs);
        if (world.FinePeriods == 0)
            world.CoarseSleeps++;
    }
    for (auto &event : world.Events) {
        if (event.first != world.Sleeps.size())
            continue;
        if (event.second == ListBreak)
            ListBreakFlag = 1;
        else
            PingCtrlHandler(event.second);
    }
}

static void *__cdecl FakeMalloc(size_t size)
{
    world.Mallocs++;
    if (world.FailMallocAt != 0 && world.Mallocs == world.FailMallocAt)
        return nullptr;
    return g_sysDefault.malloc(size);
}

static BOOL WINAPI FakeGetConsoleMode(HANDLE, LPDWORD mode)
{
    if (!world.StdOutConsole)
        return FALSE;
    *mode = ENABLE_PROCESSED_OUTPUT | ENABLE_WRAP_AT_EOL_OUTPUT;
    return TRUE;
}

static BOOL WINAPI FakeSetConsoleCtrlHandler(PHANDLER_ROUTINE handler, BOOL add)
{
    world.CtrlHandlerCalls.push_back({ handler, add });
    return world.PingHandlerFails && add && handler == PingCtrlHandler ? FALSE : TRUE;
}

static MMRESULT WINAPI FakeMidiOutShortMsg(HMIDIOUT handle, DWORD message)
{
    EXPECT_EQ(handle, FakeMidi);
    world.Midi.push_back(message);
    world.Clock += world.MidiMs * 1000ull;
    return MMSYSERR_NOERROR;
}

static ULONG WINAPI FakeGetIpStatistics(PMIB_IPSTATS stats)
{
    if (world.DefaultTtl == 0)
        return ERROR_NOT_SUPPORTED;
    stats->dwDefaultTTL = world.DefaultTtl;
    return NO_ERROR;
}

// Numeric addresses and localhost resolve for real; any other name is
// unknown, so no test asks a name server.
static INT WSAAPI FakeGetAddrInfoW(PCWSTR node, PCWSTR service, const ADDRINFOW *hints,
                                  PADDRINFOW *result)
{
    if (node != nullptr && _wcsicmp(node, L"localhost") == 0)
        return g_sysDefault.GetAddrInfoW(node, service, hints, result);
    ADDRINFOW numeric;
    memset(&numeric, 0, sizeof numeric);
    if (hints != nullptr)
        numeric = *hints;
    numeric.ai_flags |= AI_NUMERICHOST;
    return g_sysDefault.GetAddrInfoW(node, service, &numeric, result);
}

static DNS_STATUS WINAPI FakeDnsQuery(PCWSTR, WORD, DWORD, PIP4_ARRAY, PDNS_RECORD *records,
                                      PVOID *)
{
    *records = nullptr;
    return DNS_ERROR_RCODE_NAME_ERROR;
}

static INT WSAAPI FakeGetNameInfoW(const SOCKADDR *, socklen_t length, PWCHAR node,
                                   DWORD nodeSize, PWCHAR, DWORD, INT flags)
{
    EXPECT_EQ(length, 28);
    EXPECT_EQ(flags, 0);
    if (world.ReverseName.empty())
        return WSAHOST_NOT_FOUND;
    lstrcpynW(node, world.ReverseName.c_str(), static_cast<int>(nodeSize));
    return 0;
}

// NoMidi stays unset whatever the environment of the test program holds.
static DWORD WINAPI FakeGetEnvironmentVariableW(LPCWSTR name, LPWSTR buffer, DWORD size)
{
    if (_wcsicmp(name, L"NoMidi") == 0)
        return 0;
    return g_sysDefault.GetEnvironmentVariableW(name, buffer, size);
}

void Install(bool midi)
{
    world = World();
    world.DefaultTtl = 128;
    world.Clock = 100000000;
    world.CounterFrequency = 10000000;
    world.YieldUs = 50;
    InstallFakeIcmp();
    g_icmp.After = Good(0);
    g_icmp.OnSend = EchoStarts;
    // Each test looks at the system afresh.
    IpErrorTextState = 0;
    g_sys.GetModuleHandleW = FakeGetModuleHandleW;
    g_sys.GetProcAddress = FakeGetProcAddress;
    g_sys.GetLastError = FakeGetLastError;
    g_sys.GetIpErrorString = FakeGetIpErrorString;
    g_sys.GetTickCount = FakeGetTickCount;
    g_sys.Sleep = FakeSleep;
    g_sys.QueryPerformanceCounter = FakeQueryPerformanceCounter;
    g_sys.QueryPerformanceFrequency = FakeQueryPerformanceFrequency;
    g_sys.timeBeginPeriod = FakeTimeBeginPeriod;
    g_sys.timeEndPeriod = FakeTimeEndPeriod;
    g_sys.malloc = FakeMalloc;
    g_sys.GetConsoleMode = FakeGetConsoleMode;
    g_sys.SetConsoleCtrlHandler = FakeSetConsoleCtrlHandler;
    g_sys.midiOutShortMsg = FakeMidiOutShortMsg;
    g_sys.GetIpStatistics = FakeGetIpStatistics;
    g_sys.GetAddrInfoW = FakeGetAddrInfoW;
    g_sys.DnsQuery_W = FakeDnsQuery;
    g_sys.GetNameInfoW = FakeGetNameInfoW;
    g_sys.GetEnvironmentVariableW = FakeGetEnvironmentVariableW;
    if (!installed)
        savedMidiOut = MidiOut;
    installed = true;
    MidiOut = midi ? FakeMidi : nullptr;
}

void Uninstall()
{
    MidiOut = savedMidiOut;
    installed = false;
}

std::string MidiText(const std::vector<DWORD> &messages)
{
    std::string text;
    char one[16];
    for (DWORD message : messages) {
        snprintf(one, sizeof one, "%s%06lX", text.empty() ? "" : " ",
                 static_cast<unsigned long>(message));
        text += one;
    }
    return text;
}

}  // namespace fakeping

void PingRunTest::SetUp()
{
    SysTest::SetUp();
    DeleteRegistryTree(HKEY_CURRENT_USER, TEST_SETTINGS_KEY);
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, TEST_SETTINGS_KEY);
    fakeping::Install();
}

void PingRunTest::TearDown()
{
    fakeping::Uninstall();
    DeleteRegistryTree(HKEY_CURRENT_USER, TEST_SETTINGS_KEY);
    SysTest::TearDown();
}
