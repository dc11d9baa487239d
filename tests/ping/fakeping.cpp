// fakeping.cpp - the scripted world behind the SONARO run tests.
#include "fakeping.h"
#include "ping/echorun.h"
#include "frame/plugin.h"
#include "console/conlist.h"

#include <string.h>

namespace fakeping {

World world;
static HMIDIOUT savedMidiOut;
static bool installed;

static HANDLE const FakeIcmp4 = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0x4404));
static HANDLE const FakeIcmp6 = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0x6606));
static HMIDIOUT const FakeMidi = reinterpret_cast<HMIDIOUT>(static_cast<INT_PTR>(0x3210));

Echo Good(ULONG roundTripTime, UCHAR ttl) { return { 1, 0, IP_SUCCESS, roundTripTime, ttl, false }; }
Echo Lost(DWORD error) { return { 0, error, 0, 0, 0, false }; }
Echo WithStatus(ULONG status, ULONG roundTripTime) { return { 1, 0, status, roundTripTime, 64, false }; }
Echo Corrupted(ULONG roundTripTime) { return { 1, 0, IP_SUCCESS, roundTripTime, 128, true }; }

static Echo NextEcho()
{
    if (world.NextEcho < world.Echoes.size())
        return world.Echoes[world.NextEcho++];
    world.NextEcho++;
    return Good(0);
}

static void NoteRequest(LPVOID options, WORD size, DWORD timeout, const std::wstring &to)
{
    world.EchoStarts.push_back(world.Now);
    world.Now += world.EchoMs;
    IP_OPTION_INFORMATION record;
    memcpy(&record, options, sizeof record);
    world.SentOptions.push_back(record);
    world.SentSizes.push_back(size);
    world.SentTimeouts.push_back(timeout);
    world.SentTo.push_back(to);
}

static HANDLE WINAPI FakeIcmpCreateFile(void)
{
    world.Icmp4Opened++;
    return world.Icmp4Fails ? INVALID_HANDLE_VALUE : FakeIcmp4;
}

static HANDLE WINAPI FakeIcmp6CreateFile(void)
{
    world.Icmp6Opened++;
    return world.Icmp6Fails ? INVALID_HANDLE_VALUE : FakeIcmp6;
}

static BOOL WINAPI FakeIcmpCloseHandle(HANDLE)
{
    world.IcmpClosed++;
    return TRUE;
}

static DWORD WINAPI FakeGetLastError(void)
{
    return world.LastError;
}

static DWORD WINAPI FakeIcmpSendEcho(HANDLE handle, IPAddr destination, LPVOID data, WORD size,
                                     PIP_OPTION_INFORMATION options, LPVOID reply,
                                     DWORD replySize, DWORD timeout)
{
    EXPECT_EQ(handle, FakeIcmp4);
    EXPECT_GE(replySize, size + sizeof(ICMP_ECHO_REPLY) + 8);
    const unsigned char *a = reinterpret_cast<const unsigned char *>(&destination);
    wchar_t to[32];
    wsprintfW(to, L"%u.%u.%u.%u", a[0], a[1], a[2], a[3]);
    NoteRequest(options, size, timeout, to);
    Echo echo = NextEcho();
    world.LastError = echo.Error;
    if (echo.Replies == 0)
        return 0;
    ICMP_ECHO_REPLY record;
    memset(&record, 0, sizeof record);
    record.Address = destination;
    record.Status = echo.Status;
    record.RoundTripTime = echo.RoundTripTime;
    record.DataSize = size;
    unsigned char *echoed = static_cast<unsigned char *>(reply) + sizeof record;
    record.Data = echoed;
    record.Options.Ttl = echo.Ttl;
    memcpy(reply, &record, sizeof record);
    memcpy(echoed, data, size);
    if (echo.Corrupt)
        echoed[size - 1] ^= 0x5A;
    return 1;
}

static DWORD WINAPI FakeIcmp6SendEcho2(HANDLE handle, HANDLE event, FARPROC, PVOID,
                                       struct sockaddr_in6 *source,
                                       struct sockaddr_in6 *destination, LPVOID data, WORD size,
                                       PIP_OPTION_INFORMATION options, LPVOID reply,
                                       DWORD replySize, DWORD timeout)
{
    EXPECT_EQ(handle, FakeIcmp6);
    EXPECT_EQ(event, nullptr);
    EXPECT_EQ(source->sin6_family, AF_INET6);
    static const unsigned char unspecified[16] = {};
    EXPECT_EQ(memcmp(&source->sin6_addr, unspecified, 16), 0);
    EXPECT_GE(replySize, size + ICMP6_REPLY_DATA_OFFSET + 8);
    wchar_t to[128] = {};
    DWORD length = 128;
    g_sysDefault.WSAAddressToStringW(reinterpret_cast<SOCKADDR *>(destination),
                                     sizeof(SOCKADDR_IN6), nullptr, to, &length);
    NoteRequest(options, size, timeout, to);
    Echo echo = NextEcho();
    world.LastError = echo.Error;
    if (echo.Replies == 0)
        return 0;
    ICMPV6_ECHO_REPLY record;
    memset(&record, 0, sizeof record);
    memcpy(record.Address.sin6_addr, &destination->sin6_addr, 16);
    record.Address.sin6_scope_id = destination->sin6_scope_id;
    record.Status = echo.Status;
    record.RoundTripTime = echo.RoundTripTime;
    memcpy(reply, &record, sizeof record);
    unsigned char *echoed = static_cast<unsigned char *>(reply) + ICMP6_REPLY_DATA_OFFSET;
    memcpy(echoed, data, size);
    if (echo.Corrupt)
        echoed[0] ^= 0xA5;
    return 1;
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

static DWORD WINAPI FakeGetTickCount(void)
{
    return world.Now;
}

static void WINAPI FakeSleep(DWORD ms)
{
    world.Sleeps.push_back(ms);
    world.Now += ms;
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
    return TRUE;
}

static MMRESULT WINAPI FakeMidiOutShortMsg(HMIDIOUT handle, DWORD message)
{
    EXPECT_EQ(handle, FakeMidi);
    world.Midi.push_back(message);
    world.Now += world.MidiMs;
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
    world.Now = 100000;
    g_sys.IcmpCreateFile = FakeIcmpCreateFile;
    g_sys.Icmp6CreateFile = FakeIcmp6CreateFile;
    g_sys.IcmpCloseHandle = FakeIcmpCloseHandle;
    g_sys.IcmpSendEcho = FakeIcmpSendEcho;
    g_sys.Icmp6SendEcho2 = FakeIcmp6SendEcho2;
    g_sys.GetLastError = FakeGetLastError;
    g_sys.GetIpErrorString = FakeGetIpErrorString;
    g_sys.GetModuleHandleW = FakeGetModuleHandleW;
    g_sys.GetProcAddress = FakeGetProcAddress;
    IpErrorTextState = 0;
    g_sys.GetTickCount = FakeGetTickCount;
    g_sys.Sleep = FakeSleep;
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
