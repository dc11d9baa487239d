// frame_test.cpp - the real Sonaro DLL in hostshell.exe: load message, MIDI
// failure at load, usage texts, error prefix inside and outside a script.
//
// Under Wine there is no MIDI device, so the DLL loads only with MIDI
// switched off (NoMidi).
#include "shellrun.h"
#include "testsupport.h"
#include "help/helpusage.h"
#include "macros/macrousage.h"
#include "ping/pingusage.h"

namespace {

using RealPlugin = ::testing::Test;

}  // namespace

TEST_F(RealPlugin, LoadMessage)
{
    ShellResult r = RunShell({L"-c", L"echo x"}, WithNoMidi());
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_BYTES(SONARO_LOAD_MESSAGE "x\r\n", r.out);
    EXPECT_BYTES("", r.err);
}

TEST_F(RealPlugin, NoLoadMessageInAPipeATransientShellOrWithNoLoadMsg)
{
    struct {
        std::vector<std::wstring> flags;
        EnvList env;
        const char *what;
    } cases[] = {
        {{L"--pipe"}, {}, "--pipe"},
        {{L"--transient"}, {}, "--transient"},
        {{L"--pipe", L"--transient"}, {}, "both"},
        {{}, {{L"NOLOADMSG", L"1"}}, "NOLOADMSG=1"},
        {{}, {{L"noloadmsg", L"0"}}, "noloadmsg=0"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        std::vector<std::wstring> args = c.flags;
        args.insert(args.end(), {L"-c", L"echo x"});
        ShellResult r = RunShell(args, WithNoMidi(c.env));
        EXPECT_EQ(r.exitCode, 0u) << c.what;
        EXPECT_BYTES("x\r\n", r.out) << c.what;
        EXPECT_BYTES("", r.err) << c.what;
    }
}

TEST_F(RealPlugin, WithoutAMidiDeviceLoadingFails)
{
    TempScript script(L"not run.btm", "echo script\r\n");
    ShellResult r = RunShell({L"-c", L"echo x", script.Path()}, {{L"NoMidi", std::nullopt}});
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_BYTES("", r.out);
    // Loading happens before any script line: no batch name in the prefix.
    EXPECT_BYTES("Sonaro plugin: Unable to open MIDI handle!\r\n", r.err);
}

TEST_F(RealPlugin, NoMidiInTheRegistryAlsoLoads)
{
    DeleteRegistryValue(HKEY_CURRENT_USER, TEST_SETTINGS_KEY, L"NoMidi");
    SetRegistryDword(HKEY_CURRENT_USER, TEST_SETTINGS_KEY, L"NoMidi", 1);
    ShellResult r = RunShell({L"-c", L"echo x"});
    DeleteRegistryValue(HKEY_CURRENT_USER, TEST_SETTINGS_KEY, L"NoMidi");
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_BYTES(SONARO_LOAD_MESSAGE "x\r\n", r.out);
    EXPECT_BYTES("", r.err);
}

TEST_F(RealPlugin, UnloadWithoutMidiAndWithoutAConsole)
{
    // RunShell gives the shell no console, so the plugin has no "conout$".
    ShellResult r = RunShell({L"--pipe", L"-c", L"unload", L"-c", L"echo after"}, WithNoMidi());
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_BYTES("after\r\n", r.out);
    EXPECT_BYTES("", r.err);
}

// Usage hands out a command's usage text without its description line.
TEST_F(RealPlugin, UsageTexts)
{
    auto withoutDescription = [](const wchar_t *text) {
        std::wstring usage = text;
        return Utf8(usage.substr(usage.find(L"\n\n") + 2));
    };
    struct {
        const wchar_t *line;
        std::string out;
    } cases[] = {
        {L"usage sonaro", withoutDescription(SonaroUsageText)},
        {L"usage SONAROMACRO", withoutDescription(SonaroMacroUsageText)},
        {L"usage sonarohelp", withoutDescription(SonaroHelpUsageText)},
        {L"usage ping", ""},
        {L"usage @lookuphost", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        ShellResult r = RunShell({L"--pipe", L"-c", c.line}, WithNoMidi());
        EXPECT_EQ(r.exitCode, 0u) << Utf8(c.line);
        EXPECT_BYTES(c.out, r.out) << Utf8(c.line);
        EXPECT_BYTES("", r.err) << Utf8(c.line);
    }
}

TEST_F(RealPlugin, ErrorPrefixOutsideAScript)
{
    ShellResult r = RunShell({L"--pipe", L"-c", L"sonaro /bogus"}, WithNoMidi());
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_BYTES("", r.out);
    EXPECT_BYTES("Sonaro plugin: Unknown option: \"/BOGUS\"\r\n", r.err);
}

TEST_F(RealPlugin, ErrorPrefixInsideAScriptWithPercentInItsName)
{
    TempScript script(L"100% sure %_batch%%.btm", "echo start\r\nsonaro /bogus\r\n");
    ShellResult r = RunShell({L"--pipe", script.Path()}, WithNoMidi());
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_BYTES("start\r\n", r.out);
    EXPECT_BYTES("Sonaro plugin: " + Utf8(script.Path()) + " [2]  Unknown option: \"/BOGUS\"\r\n",
                 r.err);
}

// Every entry of the plugin, called as the command processor calls it: in a
// 32-bit process the shell checks the stack pointer after each call and
// reports any difference, and in both it reports a trapped exception.
TEST_F(RealPlugin, EveryEntryReturnsWithTheStackBalanced)
{
    ShellResult r = RunShell(
        {L"--pipe",
         L"-c", L"usage sonaro", L"-c", L"usage sonarohelp", L"-c", L"usage sonaromacro",
         L"-c", L"help nosuchname", L"-c", L"sonaro /?", L"-c", L"sonarohelp /v",
         L"-c", L"sonaromacro /?", L"-c", L"sonaro /q /n:1 /z:250 127.0.0.1",
         L"-c", L"echo %@sonaromacro[nosuch]|%@lookuphost[4,127.0.0.1]|%@pingdhcp[0]"
                L"|%@pingdns[0]|%@pingrouter[0]|%@pingwins[0]|%@pingtime[127.0.0.1,1]",
         L"-c", L"echo %_pingavg|%_pingmax|%_pingmin|%_pingslost|%_pingsrcvd",
         L"-c", L"sonarohelp /q", L"-c", L"unload"},
        WithNoMidi());
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_BYTES("", r.err);
    // The lines of the functions and variables came back from their entries.
    EXPECT_NE(r.out.find("|127.0.0.1|"), std::string::npos) << ShowBytes(r.out);
    EXPECT_NE(r.out.find("|0|1\r\n"), std::string::npos) << ShowBytes(r.out);
}
