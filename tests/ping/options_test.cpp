// SONARO options: defaults, settings, every accepted form, every error message.
#include "fakeworld.h"
#include "ping/pingoptions.h"
#include "ping/pingusage.h"

#include <string>

namespace {

// Parses a command line as the entry does, without starting a run.
bool Parse(const std::wstring &line, PingOptions *options, int *result)
{
    LoadPingDefaults(options);
    Silent = false;
    ParseArgs(PARSE_BLANKS | PARSE_SWITCHES, line.c_str());
    *result = -99;
    return ApplyPingOptions(options, result);
}

using Field = DWORD (*)(const PingOptions &);
#define FIELD(name) [](const PingOptions &o) { return static_cast<DWORD>(o.name); }
// The octave, and the note base that goes with it.
DWORD Octave(const PingOptions &o) { return o.NoteBase == o.Octave * 12 ? o.Octave : 0xBAD; }

// What each valued option and setting does, written out apart from the
// table: the numbers the option takes (0 too where zeroToo) and its message
// for one out of range (the number follows); the setting with the lowest
// number it takes; the field's default (the system's TTL in the fake world).
const struct Valued {
    const wchar_t *letter;
    DWORD low, high;
    bool zeroToo;
    const wchar_t *message;
    const wchar_t *setting;
    DWORD settingLow, fallback;
    Field field;
} Fields[] = {
    {L"N", 0, 0xFFFFFFFF, false, nullptr, L"Count", 0, 4, FIELD(Count)},
    {L"W", 1, 60000, false, L"Timeout must be 1 to 60000: ", L"Timeout", 0, 3000, FIELD(Timeout)},
    {L"L", 12, 65520, false, L"Packet size must be 12 to 65520: ", L"PacketSize", 12, 64, FIELD(PacketSize)},
    {L"Z", 250, 10000, false, L"SnoozeTime must be 250 to 10000: ", L"SnoozeTime", 250, 1000, FIELD(SnoozeTime)},
    {L"", 250, 10000, false, nullptr, L"ErrorSnooze", 250, 650, FIELD(ErrorSnooze)},
    {L"G", 1, 128, false, L"Instrument must be 1 to 128: ", L"Instrument", 1, 115, FIELD(Instrument)},
    {L"E", 35, 81, true, L"ErrorDrum must be 0 or 35 to 81: ", L"ErrorDrum", 0, 66, FIELD(ErrorDrum)},
    {L"X", 35, 81, true, L"OpErrorDrum must be 0 or 35 to 81: ", L"OpErrorDrum", 0, 58, FIELD(OpErrorDrum)},
    {L"O", 0, 9, false, L"Octave must be 0 to 9: ", L"Octave", 0, 5, Octave},
    {L"I", 1, 255, false, L"TTL must be 1 to 255: ", nullptr, 0, 128, FIELD(Ttl)},
    {L"V", 0, 255, false, L"TOS must be 0 to 255: ", nullptr, 0, 0, FIELD(Tos)},
    {L"Y", 0, 100, false, L"Sound volume must be 0 to 100: ", nullptr, 0, 0xFFFFFFFF, FIELD(Volume)},
};

// What each switch turns on (off by default).
const struct Switch {
    const wchar_t *letter;
    bool (*on)(const PingOptions &);
} Switches[] = {
    {L"4", [](const PingOptions &o) { return o.PreferredFamily == 2; }},
    {L"6", [](const PingOptions &o) { return o.PreferredFamily == 23; }},
    {L"A", [](const PingOptions &o) { return o.ResolveNames; }},
    {L"C", [](const PingOptions &o) { return o.LineNumbers; }},
    {L"D", [](const PingOptions &o) { return o.NoHighlight; }},
    {L"F", [](const PingOptions &o) { return o.DontFragment; }},
    {L"Q", [](const PingOptions &) { return Silent; }},
    {L"T", [](const PingOptions &o) { return o.Count == 0; }},
};

// An option error: its exact message, result 1, nothing opened or sent.
void ExpectOptionError(const std::wstring &line, const std::wstring &message)
{
    SCOPED_TRACE(Narrow(line));
    ClearCaptured();
    SysResetCounts();
    EXPECT_EQ(CallEntry(sonaro, line.c_str()), 1);
    EXPECT_WTEXT(L"Sonaro plugin: " + message, CapturedErr());
    EXPECT_WTEXT(L"", CapturedOut());
    EXPECT_EQ(g_sysCallCount[SYS_IcmpCreateFile] + g_sysCallCount[SYS_Icmp6CreateFile], 0u);
    EXPECT_TRUE(fake::SentSizes().empty());
}

}  // namespace

using PingOptionsTest = FakeWorldTest;

TEST_F(PingOptionsTest, DefaultsAndTheSystemTtl)
{
    PingOptions o;
    int result;
    ASSERT_TRUE(Parse(L"host", &o, &result));
    for (const Valued &v : Fields)
        EXPECT_EQ(v.field(o), v.fallback) << Narrow(v.setting ? v.setting : v.letter);
    for (const Switch &s : Switches)
        EXPECT_FALSE(s.on(o)) << Narrow(s.letter);
    EXPECT_EQ(o.FallbackFamily, 0);
    EXPECT_EQ(o.Hosts.Count, 1);
    EXPECT_WTEXT(L"host", HostText(&o.Hosts, 0));

    // The system's default TTL when it is 1 to 255, else 128.
    for (DWORD reported : {0u, 1u, 255u, 256u}) {
        fake::icmp.DefaultTtl = reported;
        LoadPingDefaults(&o);
        EXPECT_EQ(o.Ttl, reported == 0 || reported == 256 ? 128u : reported) << reported;
    }
}

// Each setting at its bounds and beyond them (where the default applies); a
// stored drum below the percussion keys is no drum.
TEST_F(PingOptionsTest, StoredSettings)
{
    for (const Valued &v : Fields) {
        struct { DWORD stored, expected; bool applies; } cases[] = {
            {v.settingLow, v.settingLow, true}, {v.high, v.high, true},
            {v.settingLow - 1, v.fallback, v.settingLow > 0}, {v.high + 1, v.fallback, v.high < 0xFFFFFFFF},
            {34, 0, v.zeroToo}};
        for (auto &c : cases) {
            if (v.setting == nullptr || !c.applies)
                continue;
            SetRegistryDword(HKEY_CURRENT_USER, TEST_SETTINGS_KEY, v.setting, c.stored);
            PingOptions o;
            LoadPingDefaults(&o);
            EXPECT_EQ(v.field(o), c.expected) << Narrow(v.setting) << " " << c.stored;
            DeleteRegistryValue(HKEY_CURRENT_USER, TEST_SETTINGS_KEY, v.setting);
        }
    }
}

// Each valued option: missing, at its bounds, 0, and one beyond each bound.
TEST_F(PingOptionsTest, ValuedOptionsAtAndBeyondTheirBounds)
{
    for (const Valued &v : Fields) {
        if (v.letter[0] == 0)
            continue;
        std::wstring letter = v.letter, lower(1, static_cast<wchar_t>(towlower(v.letter[0])));
        ExpectOptionError(L"/" + letter, L"Missing value for /" + letter + L"\r\n");
        std::wstring good[] = {L"/" + letter + L":" + std::to_wstring(v.low),
                               L"-" + lower + L"=" + std::to_wstring(v.high), L"/" + lower + L"0"};
        DWORD values[] = {v.low, v.high, 0};
        for (int i = 0; i < (v.zeroToo || v.low == 0 ? 3 : 2); i++) {
            PingOptions o;
            int result;
            EXPECT_TRUE(Parse(good[i] + L" h", &o, &result)) << Narrow(good[i]);
            EXPECT_EQ(v.field(o), values[i]) << Narrow(good[i]);
        }
        if (v.low > (v.zeroToo ? 1u : 0u))
            ExpectOptionError(L"/" + letter + L":" + std::to_wstring(v.low - 1) + L" h",
                              v.message + std::to_wstring(v.low - 1) + L"\r\n");
        if (v.high < 0xFFFFFFFF)
            ExpectOptionError(L"h /" + letter + L":" + std::to_wstring(v.high + 1),
                              v.message + std::to_wstring(v.high + 1) + L"\r\n");
    }
}

// Each switch with either mark and in either case; /4 and /6 together.
TEST_F(PingOptionsTest, Switches)
{
    for (const Switch &s : Switches) {
        std::wstring lower(1, static_cast<wchar_t>(towlower(s.letter[0])));
        for (const std::wstring &line : {L"/" + std::wstring(s.letter) + L" h", L"h -" + lower}) {
            PingOptions o;
            int result;
            EXPECT_TRUE(Parse(line, &o, &result) && s.on(o) && o.Hosts.Count == 1) << Narrow(line);
        }
    }
    struct { const wchar_t *line; int preferred, fallback; } families[] = {
        { L"h", 0, 0 }, { L"/4 /4 h", 2, 0 }, { L"/4 /6 h", 2, 23 }, { L"/6 /4 h", 23, 2 }, { L"-6 -6 h", 23, 0 },
    };
    for (auto &c : families) {
        PingOptions o;
        int result;
        ASSERT_TRUE(Parse(c.line, &o, &result));
        EXPECT_EQ(o.PreferredFamily, c.preferred) << Narrow(c.line);
        EXPECT_EQ(o.FallbackFamily, c.fallback) << Narrow(c.line);
    }
}

// The forms of a value, a value from the next argument, later options winning.
TEST_F(PingOptionsTest, ValueForms)
{
    struct { const wchar_t *line; DWORD count, packetSize; int hosts; } cases[] = {
        {L"/N:5", 5, 64, 0}, {L"/N=5", 5, 64, 0}, {L"/N5", 5, 64, 0}, {L"-n 5", 5, 64, 0},
        {L"/N 5", 5, 64, 0}, {L"/t /n:5", 5, 64, 0}, {L"/n:0x5", 5, 64, 0},
        {L"/N 5 host", 5, 64, 1}, {L"/N:5 /T", 0, 64, 0}, {L"/n:5/q/l:0x41 a b", 5, 65, 2},
    };
    for (auto &c : cases) {
        PingOptions o;
        int result;
        ASSERT_TRUE(Parse(c.line, &o, &result)) << Narrow(c.line);
        EXPECT_EQ(o.Count, c.count) << Narrow(c.line);
        EXPECT_EQ(o.PacketSize, c.packetSize) << Narrow(c.line);
        EXPECT_EQ(o.Hosts.Count, c.hosts) << Narrow(c.line);
    }
    EXPECT_TRUE(Silent) << "the /q run together with /n:5";
}

// The hosts are the options' own: a later ParseArgs leaves them alone, and
// the list holds as many and as long hosts as the argument table.
TEST_F(PingOptionsTest, HostsAreCopiedOutOfTheArgumentTable)
{
    PingOptions o;
    int result;
    ASSERT_TRUE(Parse(L"one /n 2 two", &o, &result));
    ParseArgs(PARSE_BLANKS, L"three four five");
    ASSERT_EQ(o.Hosts.Count, 2);
    EXPECT_WTEXT(L"one", HostText(&o.Hosts, 0));
    EXPECT_WTEXT(L"two", HostText(&o.Hosts, 1));

    std::wstring many;
    for (int i = 0; i < MAX_ARGS; i++)
        many += L"h ";
    struct { std::wstring line; int count; } full[] = {{many, MAX_ARGS}, {std::wstring(MAX_ARG_LEN - 1, L'x'), 1}};
    for (auto &f : full) {
        ASSERT_TRUE(Parse(f.line, &o, &result));
        ASSERT_EQ(ArgTable.Count, f.count);
        ASSERT_EQ(o.Hosts.Count, f.count);
        EXPECT_WTEXT(ArgTable.Argument[f.count - 1], HostText(&o.Hosts, f.count - 1));
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

// The errors besides those of each option's value: where a value is
// missing, bad values, unknown options, and the first error winning.
TEST_F(PingOptionsTest, OptionErrors)
{
    struct { const wchar_t *line; const wchar_t *message; } cases[] = {
        { L"/N: host", L"Missing value for /N\r\n" },
        { L"host /n", L"Missing value for /N\r\n" },
        { L"/O=", L"Missing value for /O\r\n" },
        { L"/Nx", L"Bad value: \"/NX\"\r\n" },
        { L"/n host.example", L"Bad value: \"HOST.EXAMPLE\"\r\n" },
        { L"/n:-1", L"Bad value: \"/N:-1\"\r\n" },
        { L"/n:4294967296", L"Bad value: \"/N:4294967296\"\r\n" },
        { L"/l:12ms", L"Bad value: \"/L:12MS\"\r\n" },
        { L"/E:1", L"ErrorDrum must be 0 or 35 to 81: 1\r\n" },
        { L"/Foo", L"Unknown option: \"/FOO\"\r\n" },
        { L"-q1 host", L"Unknown option: \"-Q1\"\r\n" },
        { L"host /", L"Unknown option: \"/\"\r\n" },
        { L"/bad /?", L"Unknown option: \"/BAD\"\r\n" },
        { L"/L:11 /G:0", L"Packet size must be 12 to 65520: 11\r\n" },
    };
    for (auto &c : cases)
        ExpectOptionError(c.line, c.message);
}

TEST_F(PingOptionsTest, UsageAndVersion)
{
    EXPECT_EQ(CallEntry(sonaro, L"host /N:2 /?"), 0);
    EXPECT_WTEXT(SonaroUsageText, CapturedOut());
    EXPECT_WTEXT(L"", CapturedErr());
    EXPECT_TRUE(fake::SentSizes().empty());

    ClearCaptured();
    EXPECT_EQ(CallEntry(sonaro, L"-?? /Bogus"), 0);
    EXPECT_WTEXT(std::wstring(SonaroUsageText) + L"\r\n\t\t\t\tSonaro  " SONARO_FULL_VERSION_TEXT " (" ARCH_W L")\r\n",
                 CapturedOut());

    EXPECT_EQ(sonaro(nullptr), -1);
}
