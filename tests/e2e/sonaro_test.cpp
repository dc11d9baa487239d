// SONARO end to end: hostshell.exe with the real DLL and real ICMP to 127.0.0.1.
#include "shellrun.h"
#include "testsupport.h"
#include "ping/pingusage.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

namespace {

// Quiet loading, no MIDI device.
EnvList Quiet()
{
    return WithNoMidi({ { L"NOLOADMSG", L"1" } });
}

ShellResult Shell(std::vector<std::wstring> lines)
{
    std::vector<std::wstring> args;
    for (const std::wstring &line : lines) {
        args.push_back(L"-c");
        args.push_back(line);
    }
    ShellResult r = RunShell(args, Quiet());
    EXPECT_TRUE(r.started);
    EXPECT_FALSE(r.timedOut);
    return r;
}

// Round-trip times and the reply TTL vary from run to run.
std::string Normalised(const std::string &text)
{
    std::string out = std::regex_replace(text, std::regex("time[=<][0-9]+ms"), "time=Tms");
    out = std::regex_replace(out, std::regex("TTL=[0-9]+"), "TTL=N");
    out = std::regex_replace(out, std::regex("(Minimum|Maximum|Average) = [0-9]+ms"), "$1 = Tms");
    return out;
}

const char LoopbackReply[] = "Reply from 127.0.0.1: bytes=64 time=Tms TTL=N\r\n";

std::string LoopbackStats(unsigned sent)
{
    char text[512];
    snprintf(text, sizeof text,
             "\r\nPing statistics for 127.0.0.1:\r\n"
             "    Packets: Sent = %u, Received = %u, Lost = 0 (0%% loss)\r\n"
             "Approximate round trip times in milliseconds:\r\n"
             "    Minimum = Tms, Maximum = Tms, Average = Tms\r\n",
             sent, sent);
    return text;
}

const char LoopbackHeader[] = "\r\nPinging 127.0.0.1 with 64 bytes of data:\r\n\r\n";

const std::string UsageText = Utf8(SonaroUsageText);

// DefaultHostname under the current user; null removes it.
void SetDefaultHostname(const wchar_t *name)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\OrvelPlugins\\Sonaro", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    if (name == nullptr)
        RegDeleteValueW(key, L"DefaultHostname");
    else
        RegSetValueExW(key, L"DefaultHostname", 0, REG_SZ, reinterpret_cast<const BYTE *>(name),
                       static_cast<DWORD>((wcslen(name) + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

}  // namespace

TEST(SonaroEndToEnd, ThreeEchoesToLoopbackAndTheVariables)
{
    ShellResult r = Shell({ L"sonaro /n:3 /z:250 127.0.0.1",
                            L"echo [%_pingsrcvd] [%_pingslost] [%_pingavg] [%_pingmin] [%_pingmax]" });
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_BYTES("", r.err);
    size_t echoLine = r.out.rfind("\r\n[");
    ASSERT_NE(echoLine, std::string::npos) << ShowBytes(r.out);
    std::string run = r.out.substr(0, echoLine + 2);
    EXPECT_BYTES(std::string(LoopbackHeader) + LoopbackReply + LoopbackReply + LoopbackReply +
                     LoopbackStats(3),
                 Normalised(run));

    // The variables hold the figures of the block.
    unsigned min = 0, max = 0, average = 0;
    size_t at = run.find("Minimum = ");
    ASSERT_NE(at, std::string::npos);
    ASSERT_EQ(sscanf(run.c_str() + at, "Minimum = %ums, Maximum = %ums, Average = %ums", &min,
                     &max, &average),
              3);
    char expected[128];
    snprintf(expected, sizeof expected, "[3] [0] [%u] [%u] [%u]\r\n", average, min, max);
    EXPECT_BYTES(expected, r.out.substr(echoLine + 2));
}

TEST(SonaroEndToEnd, VariablesBeforeAnyRun)
{
    ShellResult r = Shell({ L"echo %_pingavg %_pingmax %_pingmin %_pingslost %_pingsrcvd" });
    EXPECT_BYTES("00 00 00 0 0\r\n", r.out);
}

TEST(SonaroEndToEnd, NameHeaderAndLineNumbers)
{
    ShellResult r = Shell({ L"sonaro /n:1 /z:250 localhost" });
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_BYTES(std::string("\r\nPinging localhost [127.0.0.1] with 64 bytes of data:\r\n\r\n") +
                     LoopbackReply + LoopbackStats(1),
                 Normalised(r.out));

    r = Shell({ L"sonaro /c /n:2 /z:250 /l:32 127.0.0.1" });
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_BYTES("\r\nPinging 127.0.0.1 with 32 bytes of data:\r\n\r\n"
                 "    1:  Reply from 127.0.0.1: bytes=32 time=Tms TTL=N\r\n"
                 "    2:  Reply from 127.0.0.1: bytes=32 time=Tms TTL=N\r\n" +
                     LoopbackStats(2),
                 Normalised(r.out));
}

TEST(SonaroEndToEnd, UsageAndVersion)
{
    ShellResult r = Shell({ L"sonaro /?" });
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_BYTES(UsageText, r.out);
    EXPECT_BYTES("", r.err);

    r = Shell({ L"sonaro 127.0.0.1 -??" });
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_BYTES(UsageText + "\r\n\t\t\t\tSonaro  " SONARO_FULL_VERSION_TEXT " (" ARCH ")\r\n", r.out);
}

TEST(SonaroEndToEnd, OptionErrorsEndTheCommandBeforeAnyEcho)
{
    struct { const wchar_t *line; const char *message; } cases[] = {
        { L"sonaro /n 127.0.0.1", "Bad value: \"127.0.0.1\"\r\n" },
        { L"sonaro 127.0.0.1 /n", "Missing value for /N\r\n" },
        { L"sonaro /w: 127.0.0.1", "Missing value for /W\r\n" },
        { L"sonaro /nx 127.0.0.1", "Bad value: \"/NX\"\r\n" },
        { L"sonaro /e:34 127.0.0.1", "ErrorDrum must be 0 or 35 to 81: 34\r\n" },
        { L"sonaro /g:129 127.0.0.1", "Instrument must be 1 to 128: 129\r\n" },
        { L"sonaro /i:0 127.0.0.1", "TTL must be 1 to 255: 0\r\n" },
        { L"sonaro /l:11 127.0.0.1", "Packet size must be 12 to 65520: 11\r\n" },
        { L"sonaro /o:10 127.0.0.1", "Octave must be 0 to 9: 10\r\n" },
        { L"sonaro /v:256 127.0.0.1", "TOS must be 0 to 255: 256\r\n" },
        { L"sonaro /w:0 127.0.0.1", "Timeout must be 1 to 60000: 0\r\n" },
        { L"sonaro /x:82 127.0.0.1", "OpErrorDrum must be 0 or 35 to 81: 82\r\n" },
        { L"sonaro /y:101 127.0.0.1", "Sound volume must be 0 to 100: 101\r\n" },
        { L"sonaro /z:249 127.0.0.1", "SnoozeTime must be 250 to 10000: 249\r\n" },
        { L"sonaro 127.0.0.1 /foo /?", "Unknown option: \"/FOO\"\r\n" },
    };
    for (auto &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        ShellResult r = Shell({ c.line });
        EXPECT_EQ(r.exitCode, 1u) << Utf8(c.line);
        EXPECT_BYTES(std::string("Sonaro plugin: ") + c.message, r.err);
        EXPECT_BYTES("", r.out);
    }
}

TEST(SonaroEndToEnd, HostWithoutAddressMakesTheResultTwo)
{
    ShellResult r = Shell({ L"sonaro /n:2 /z:250 nohost.invalid 127.0.0.1" });
    EXPECT_EQ(r.exitCode, 2u);
    EXPECT_BYTES(Utf8(L"Sonaro plugin: Can\x2019t find an address for host nohost.invalid.\r\n"),
                 r.err);
    EXPECT_BYTES(std::string(LoopbackHeader) + LoopbackReply + LoopbackReply + LoopbackStats(2),
                 Normalised(r.out));
}

// Wine has no IPv6 echo handle: /6 alone is a set-up failure, while a run
// with both families goes on with IPv4 and finds no address for ::1.
TEST(SonaroEndToEnd, IPv6WithoutItsEchoHandle)
{
    ShellResult r = Shell({ L"sonaro /6 ::1" });
    EXPECT_EQ(r.exitCode, 2u);
    EXPECT_BYTES("Sonaro plugin: Error opening IPv6 echo-request handle.\r\n", r.err);
    EXPECT_BYTES("", r.out);

    r = Shell({ L"sonaro /n:1 /z:250 ::1 127.0.0.1" });
    EXPECT_EQ(r.exitCode, 2u);
    EXPECT_BYTES(Utf8(L"Sonaro plugin: Can\x2019t find an address for host ::1.\r\n"), r.err);
    EXPECT_BYTES(std::string(LoopbackHeader) + LoopbackReply + LoopbackStats(1),
                 Normalised(r.out));
}

TEST(SonaroEndToEnd, DefaultHostname)
{
    SetDefaultHostname(nullptr);
    ShellResult r = Shell({ L"sonaro /n:1" });
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_BYTES("Sonaro plugin: Missing host name.\r\n", r.err);

    SetDefaultHostname(L"127.0.0.1");
    r = Shell({ L"sonaro /n:2 /z:250" });
    SetDefaultHostname(nullptr);
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_BYTES("", r.err);
    EXPECT_BYTES(std::string(LoopbackHeader) + LoopbackReply + LoopbackReply + LoopbackStats(2),
                 Normalised(r.out));
}

// A command line longer than the argument store: the host hands it whole.
// SONARO and SONAROMACRO report the overflow and go on without arguments;
// SONAROHELP reads its tokens itself and keeps 8191 characters of one.
TEST(SonaroEndToEnd, LinesLongerThanTheArgumentStore)
{
    const std::wstring letters(8300, L'a');
    const std::string overflow = "Sonaro plugin: Buffer overflow: b = 8191, MAX_ARG_LEN = 8192 \r\n";
    struct {
        std::wstring line;
        DWORD status;
        std::string out, err;
    } cases[] = {
        { L"sonaro " + letters, 1, "", overflow + "Sonaro plugin: Missing host name.\r\n" },
        { L"sonaromacro " + letters, 0, "No macros defined.\r\n", overflow },
        { L"sonarohelp /" + letters, 1, "",
          "Sonaro plugin: Unknown option: \"/" + std::string(8190, 'A') + "\"\r\n" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        ShellResult r = Shell({ c.line });
        EXPECT_EQ(r.exitCode, c.status);
        EXPECT_BYTES(c.out, r.out);
        EXPECT_BYTES(c.err, r.err);
    }
}
