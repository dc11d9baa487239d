// SONARO options: defaults, every accepted form, every error message.
#include "fakeworld.h"
#include "ping/pingoptions.h"
#include "base/identity.h"

namespace {

// Parses a command line as the entry does, without starting a run.
bool Parse(const wchar_t *line, PingOptions *options, int *result)
{
    LoadPingDefaults(options);
    ParseArgs(PARSE_BLANKS | PARSE_SWITCHES, line);
    *result = -99;
    return ApplyPingOptions(options, result);
}

}  // namespace

using PingOptionsTest = FakeWorldTest;

TEST_F(PingOptionsTest, DefaultsComeFromTheSettingsTable)
{
    fake::icmp.DefaultTtl = 64;
    PingOptions o;
    int result;
    ASSERT_TRUE(Parse(L"host", &o, &result));
    EXPECT_EQ(o.Count, 4u);
    EXPECT_EQ(o.Timeout, 3000u);
    EXPECT_EQ(o.PacketSize, 64u);
    EXPECT_EQ(o.SnoozeTime, 1000u);
    EXPECT_EQ(o.ErrorSnooze, 650u);
    EXPECT_EQ(o.Instrument, 115u);
    EXPECT_EQ(o.ErrorDrum, 66u);
    EXPECT_EQ(o.OpErrorDrum, 58u);
    EXPECT_EQ(o.Octave, 5u);
    EXPECT_EQ(o.NoteBase, 60u);
    EXPECT_EQ(o.Ttl, 64);
    EXPECT_EQ(o.Tos, 0);
    EXPECT_EQ(o.Volume, -1);
    EXPECT_EQ(o.PreferredFamily, 0);
    EXPECT_EQ(o.FallbackFamily, 0);
    EXPECT_FALSE(o.DontFragment || o.ResolveNames || o.LineNumbers || o.NoHighlight);
    EXPECT_EQ(o.Hosts.Count, 1);
}

TEST_F(PingOptionsTest, StoredSettingsAndTheSystemTtl)
{
    SetRegistryDword(HKEY_CURRENT_USER, TEST_SETTINGS_KEY, L"Count", 0);
    SetRegistryDword(HKEY_CURRENT_USER, TEST_SETTINGS_KEY, L"ErrorDrum", 34);
    SetRegistryDword(HKEY_CURRENT_USER, TEST_SETTINGS_KEY, L"OpErrorDrum", 35);
    SetRegistryDword(HKEY_CURRENT_USER, TEST_SETTINGS_KEY, L"Octave", 2);
    SetRegistryDword(HKEY_CURRENT_USER, TEST_SETTINGS_KEY, L"ErrorSnooze", 2000);
    PingOptions o;
    LoadPingDefaults(&o);
    EXPECT_EQ(o.Count, 0u);
    EXPECT_EQ(o.ErrorDrum, 0u) << "a stored drum below 35 is no drum";
    EXPECT_EQ(o.OpErrorDrum, 35u);
    EXPECT_EQ(o.NoteBase, 24u);
    EXPECT_EQ(o.ErrorSnooze, 2000u);

    struct { DWORD reported; int expected; } ttls[] = { { 0, 128 }, { 1, 1 }, { 255, 255 },
                                                        { 256, 128 } };
    for (auto &c : ttls) {
        SCOPED_TRACE(TableRow(ttls, c));
        fake::icmp.DefaultTtl = c.reported;
        LoadPingDefaults(&o);
        EXPECT_EQ(o.Ttl, c.expected) << "system default " << c.reported;
    }
}

TEST_F(PingOptionsTest, ValueForms)
{
    const wchar_t *fiveEchoes[] = { L"/N:5", L"/N=5", L"/N5", L"-n 5", L"/N 5", L"/t /n:5",
                                    L"/n:0x5" };
    for (const wchar_t *line : fiveEchoes) {
        PingOptions o;
        int result;
        ASSERT_TRUE(Parse(line, &o, &result)) << Narrow(line);
        EXPECT_EQ(o.Count, 5u) << Narrow(line);
        EXPECT_EQ(o.Hosts.Count, 0) << Narrow(line) << ": the value is no host";
    }

    PingOptions o;
    int result;
    ASSERT_TRUE(Parse(L"/N 5 host", &o, &result));
    EXPECT_EQ(o.Count, 5u);
    EXPECT_EQ(o.Hosts.Count, 1);

    ASSERT_TRUE(Parse(L"/N:5 /T", &o, &result));
    EXPECT_EQ(o.Count, 0u);

    ASSERT_TRUE(Parse(L"/n:5/q/l:0x40 a b", &o, &result));
    EXPECT_EQ(o.Count, 5u);
    EXPECT_TRUE(Silent);
    EXPECT_EQ(o.PacketSize, 64u);
    EXPECT_EQ(o.Hosts.Count, 2);
}

TEST_F(PingOptionsTest, EveryOptionSetsItsField)
{
    PingOptions o;
    int result;
    ASSERT_TRUE(Parse(L"/a /c /d /f /e:0 /g:128 /i:1 /l:65520 /o:9 /v:255 /w:60000 "
                      L"-x:40 /y:0 /z:10000",
                      &o, &result));
    EXPECT_TRUE(o.ResolveNames);
    EXPECT_TRUE(o.LineNumbers);
    EXPECT_TRUE(o.NoHighlight);
    EXPECT_TRUE(o.DontFragment);
    EXPECT_EQ(o.ErrorDrum, 0u);
    EXPECT_EQ(o.Instrument, 128u);
    EXPECT_EQ(o.Ttl, 1);
    EXPECT_EQ(o.PacketSize, 65520u);
    EXPECT_EQ(o.Octave, 9u);
    EXPECT_EQ(o.NoteBase, 108u);
    EXPECT_EQ(o.Tos, 255);
    EXPECT_EQ(o.Timeout, 60000u);
    EXPECT_EQ(o.OpErrorDrum, 40u);
    EXPECT_EQ(o.Volume, 0);
    EXPECT_EQ(o.SnoozeTime, 10000u);
    EXPECT_EQ(o.Hosts.Count, 0);

    ASSERT_TRUE(Parse(L"/E:35 /X:81 /G:1 /O:0 /Z:250 /W:1 /Y:100", &o, &result));
    EXPECT_EQ(o.ErrorDrum, 35u);
    EXPECT_EQ(o.OpErrorDrum, 81u);
    EXPECT_EQ(o.Instrument, 1u);
    EXPECT_EQ(o.NoteBase, 0u);
    EXPECT_EQ(o.SnoozeTime, 250u);
    EXPECT_EQ(o.Timeout, 1u);
    EXPECT_EQ(o.Volume, 100);
}

TEST_F(PingOptionsTest, AddressFamilies)
{
    struct { const wchar_t *line; int preferred, fallback; } cases[] = {
        { L"h", 0, 0 },       { L"/4 h", 2, 0 },    { L"/6 h", 23, 0 },  { L"/4 /4 h", 2, 0 },
        { L"/4 /6 h", 2, 23 }, { L"/6 /4 h", 23, 2 }, { L"-6 -6 h", 23, 0 },
    };
    for (auto &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        PingOptions o;
        int result;
        ASSERT_TRUE(Parse(c.line, &o, &result));
        EXPECT_EQ(o.PreferredFamily, c.preferred) << Narrow(c.line);
        EXPECT_EQ(o.FallbackFamily, c.fallback) << Narrow(c.line);
    }
}

TEST_F(PingOptionsTest, MatchOptionRules)
{
    EXPECT_TRUE(MatchOption(L"/q", L"Q", false));
    EXPECT_TRUE(MatchOption(L"-Q", L"/Q", false));
    EXPECT_FALSE(MatchOption(L"/Qx", L"Q", false));
    EXPECT_TRUE(MatchOption(L"/Nx", L"N", true));
    EXPECT_FALSE(MatchOption(L"Q", L"Q", false));
    EXPECT_FALSE(MatchOption(nullptr, L"Q", false));
    EXPECT_FALSE(MatchOption(L"/Q", nullptr, true));
}

// Every option error: its exact message, result 1, nothing opened or sent.
TEST_F(PingOptionsTest, OptionErrors)
{
    struct { const wchar_t *line; const wchar_t *message; } cases[] = {
        { L"/N", L"Missing value for /N\r\n" },
        { L"/N: host", L"Missing value for /N\r\n" },
        { L"host /n", L"Missing value for /N\r\n" },
        { L"/E", L"Missing value for /E\r\n" },
        { L"/G", L"Missing value for /G\r\n" },
        { L"/I", L"Missing value for /I\r\n" },
        { L"/L", L"Missing value for /L\r\n" },
        { L"/O=", L"Missing value for /O\r\n" },
        { L"/V", L"Missing value for /V\r\n" },
        { L"/W", L"Missing value for /W\r\n" },
        { L"/X", L"Missing value for /X\r\n" },
        { L"/Y", L"Missing value for /Y\r\n" },
        { L"/Z", L"Missing value for /Z\r\n" },
        { L"/Nx", L"Bad value: \"/NX\"\r\n" },
        { L"/n host.example", L"Bad value: \"HOST.EXAMPLE\"\r\n" },
        { L"/n:-1", L"Bad value: \"/N:-1\"\r\n" },
        { L"/n:4294967296", L"Bad value: \"/N:4294967296\"\r\n" },
        { L"/l:12ms", L"Bad value: \"/L:12MS\"\r\n" },
        { L"/E:34", L"ErrorDrum must be 0 or 35 to 81: 34\r\n" },
        { L"/E:82", L"ErrorDrum must be 0 or 35 to 81: 82\r\n" },
        { L"/G:0", L"Instrument must be 1 to 128: 0\r\n" },
        { L"/G:129", L"Instrument must be 1 to 128: 129\r\n" },
        { L"/I:0", L"TTL must be 1 to 255: 0\r\n" },
        { L"/I:256", L"TTL must be 1 to 255: 256\r\n" },
        { L"/L:11", L"Packet size must be 12 to 65520: 11\r\n" },
        { L"/L:65521", L"Packet size must be 12 to 65520: 65521\r\n" },
        { L"/O:10", L"Octave must be 0 to 9: 10\r\n" },
        { L"/V:256", L"TOS must be 0 to 255: 256\r\n" },
        { L"/W:0", L"Timeout must be 1 to 60000: 0\r\n" },
        { L"/W:60001", L"Timeout must be 1 to 60000: 60001\r\n" },
        { L"/X:1", L"OpErrorDrum must be 0 or 35 to 81: 1\r\n" },
        { L"/Y:101", L"Sound volume must be 0 to 100: 101\r\n" },
        { L"/Z:249", L"SnoozeTime must be 250 to 10000: 249\r\n" },
        { L"/Z:10001", L"SnoozeTime must be 250 to 10000: 10001\r\n" },
        { L"/Foo", L"Unknown option: \"/FOO\"\r\n" },
        { L"-q1 host", L"Unknown option: \"-Q1\"\r\n" },
        { L"host /", L"Unknown option: \"/\"\r\n" },
        { L"/bad /?", L"Unknown option: \"/BAD\"\r\n" },
        { L"/L:11 /G:0", L"Packet size must be 12 to 65520: 11\r\n" },
    };
    for (auto &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        ClearCaptured();
        SysResetCounts();
        EXPECT_EQ(CallEntry(sonaro, c.line), 1) << Narrow(c.line);
        EXPECT_WTEXT(std::wstring(L"Sonaro plugin: ") + c.message, CapturedErr());
        EXPECT_WTEXT(L"", CapturedOut());
        EXPECT_EQ(g_sysCallCount[SYS_IcmpCreateFile] + g_sysCallCount[SYS_Icmp6CreateFile], 0u);
        EXPECT_TRUE(fake::SentSizes().empty());
    }
}

static const wchar_t UsageText[] =
    L"Audibly ping a network host.\n\nSONARO /4 /6 /A /C /D /F /I:n /L:n /N:n /Q /T /W:n "
    L"hostname  \r\n\n\t/4\tuse IPv4\n\t/6\tuse IPv6\n\t/A\tresolve numeric addresses\n\t/C\t"
    L"show line numbers\n\t/D\tdisable highlight\n\t/F\tset the Don\x2019t Fragment flag\n\t/I:"
    L"\tspecify Time-To-Live\n\t/L:\tpacket size, in bytes    (64)\n\t/N:\tnumber of pings to "
    L"send  (4)\n\t/Q\tquietly\n\t/T\tcontinue until Control-C hit\n\t/W:\ttimeout in "
    L"milliseconds  (3000)\n\nOptions may begin with either a forward slash or a dash.  \nThe "
    L"hostname must be specified.\n";

TEST_F(PingOptionsTest, UsageAndVersion)
{
    EXPECT_EQ(CallEntry(sonaro, L"host /N:2 /?"), 0);
    EXPECT_WTEXT(UsageText, CapturedOut());
    EXPECT_WTEXT(L"", CapturedErr());
    EXPECT_TRUE(fake::SentSizes().empty());

    ClearCaptured();
    EXPECT_EQ(CallEntry(sonaro, L"-?? /Bogus"), 0);
    EXPECT_WTEXT(std::wstring(UsageText) + L"\r\n\t\t\t\tSonaro  " SONARO_FULL_VERSION_TEXT " (" ARCH_W L")\r\n",
                 CapturedOut());

    EXPECT_EQ(sonaro(nullptr), -1);
}
