// frame_test.cpp - the real Sonaro DLL in hostshell.exe: load message, MIDI
// failure at load, usage texts, error prefix inside and outside a script.
//
// Under Wine there is no MIDI device, so the DLL loads only with MIDI
// switched off (NoMidi).
#include "shellrun.h"
#include "testsupport.h"

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

TEST_F(RealPlugin, UsageTexts)
{
    struct {
        const wchar_t *line;
        const char *out;
    } cases[] = {
        {L"usage sonaro",
         "SONARO /4 /6 /A /C /D /F /I:n /L:n /N:n /Q /T /W:n hostname  \r\n\n"
         "\t/4\tuse IPv4\n\t/6\tuse IPv6\n\t/A\tresolve numeric addresses\n"
         "\t/C\tshow line numbers\n\t/D\tdisable highlight\n"
         "\t/F\tset the Don\xE2\x80\x99t Fragment flag\n\t/I:\tspecify Time-To-Live\n"
         "\t/L:\tpacket size, in bytes    (64)\n\t/N:\tnumber of pings to send  (4)\n"
         "\t/Q\tquietly\n\t/T\tcontinue until Control-C hit\n"
         "\t/W:\ttimeout in milliseconds  (3000)\n\n"
         "Options may begin with either a forward slash or a dash.  \n"
         "The hostname must be specified.\n"},
        {L"usage SONAROMACRO",
         "SONAROMACRO /D /L /P #n=value...  \r\n\n"
         "\t/D\tdisable highlight\n\t/L\tlist all defined macros\n\t/P\tpage output\n\n"
         "Use #n=value to create a macro, #n= (with no value) to delete it.  \n"
         "With no arguments, the default is to list all.\n"},
        {L"usage sonarohelp",
         "SONAROHELP /C /F /S /S:text /V topic\r\n\n"
         "\t/C\tselect the Contents tab\n\t/F\tselect the Favorites tab\n"
         "\t/S\tselect the Search tab\n\t/S:\tselect the Search tab and search for text\n"
         "\t/V\tshow detailed plugin version info\n\n"
         "Opens this plugin\xE2\x80\x99s help file to the specified topic.\n"
         "If no topic is given, opens the Overview page by default.  \n"},
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
