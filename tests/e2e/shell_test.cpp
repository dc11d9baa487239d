// shell_test.cpp - hostshell.exe's own contract, driven through the fake
// plugin: order of lines, dispatch, built-ins, results and exit status,
// arguments, and loading failures.
#include "fakeshell.h"
#include "midilog.h"
#include "testsupport.h"

TEST(Shell, RunsCommandLinesThenTheScriptBetweenLoadAndUnload)
{
    TempScript script(L"order.btm", "echo three\r\nfakeecho four\r\n\r\n  FAKEECHO   five  \n");
    ShellResult r = RunFake(
        {L"-c", L"echo one", script.Path(), L"-c", L"fakeecho two"});
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_BYTES(FAKE_INIT "one\r\n[two]\r\nthree\r\n[four]\r\n[five  ]\r\n" FAKE_SHUTDOWN, r.out);
    EXPECT_BYTES("", r.err);
}

TEST(Shell, CommandsGetTheRestOfTheLineAfterLeadingBlanks)
{
    ShellResult r = RunFake(Lines({L"fakeecho", L"fakeecho a", L"\t FakeEcho \t a  \"b\"  /c \t",
                                   L"echo", L"ECHO  x  y ", L"   ", L""}));
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_BYTES(FAKE_INIT "[]\r\n[a]\r\n[a  \"b\"  /c \t]\r\n\r\nx  y \r\n" FAKE_SHUTDOWN, r.out);
    EXPECT_BYTES("", r.err);
}

TEST(Shell, ExitStatus)
{
    struct Case {
        std::initializer_list<const wchar_t *> lines;
        DWORD status;
        const char *out;
        const char *err;
    } cases[] = {
        {{}, 0, "", ""},
        {{L"echo x"}, 0, "x\r\n", ""},
        {{L"fakeresult 5"}, 5, "", ""},
        {{L"fakeresult 5", L"echo built-ins keep it"}, 5, "built-ins keep it\r\n", ""},
        {{L"fakeresult 5", L"fakeresult 0"}, 0, "", ""},
        {{L"fakeresult -3"}, static_cast<DWORD>(-3), "", ""},
        {{L"nosuch a b"}, 2, "", "Unknown command: nosuch\r\n"},
        {{L"nosuch", L"fakeresult 0"}, 0, "", "Unknown command: nosuch\r\n"},
        {{L"fakeresult 4", L"exit"}, 4, "", ""},
        {{L"exit 3", L"fakeecho not run"}, 3, "", ""},
        {{L"fakeresult 4", L"exit 0"}, 0, "", ""},
        {{L"exit -1"}, 0xFFFFFFFFu, "", ""},
        {{L"EXIT 7 "}, 7, "", ""},
        {{L"exit seven", L"echo on"}, 2, "on\r\n", "Bad exit status: seven\r\n"},
        {{L"fakeecho %@fakefunc[fail]", L"echo next"}, 1, "next\r\n",
         "fake: function failed\r\n"},
        {{L"fakeresult 9", L"echo %@fakefunc[fail]"}, 1, "", "fake: function failed\r\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        std::vector<std::wstring> args = Lines(c.lines);
        ShellResult r = RunFake(args);
        std::string what;
        for (const wchar_t *line : c.lines)
            what += Utf8(line) + " | ";
        EXPECT_EQ(r.exitCode, c.status) << what;
        EXPECT_BYTES(std::string(FAKE_INIT) + c.out + FAKE_SHUTDOWN, r.out) << what;
        EXPECT_BYTES(c.err, r.err) << what;
    }
}

TEST(Shell, ExitInACommandLineSkipsTheScript)
{
    TempScript script(L"skipped.btm", "echo script\r\n");
    ShellResult r = RunFake({L"-c", L"exit 6", script.Path()});
    EXPECT_EQ(r.exitCode, 6u);
    EXPECT_BYTES(FAKE_INIT FAKE_SHUTDOWN, r.out);
}

TEST(Shell, ExitInAScriptEndsIt)
{
    TempScript script(L"exits.btm", "fakeresult 3\r\nexit\r\necho not reached\r\n");
    ShellResult r = RunFake({script.Path()});
    EXPECT_EQ(r.exitCode, 3u);
    EXPECT_BYTES(FAKE_INIT FAKE_SHUTDOWN, r.out);
}

TEST(Shell, SetChangesTheEnvironment)
{
    ShellResult r = RunFake(Lines({L"set FAKE_SET=one two", L"echo [%fake_set]", L"set FAKE_SET=",
                                   L"echo [%FAKE_SET]", L"set nothing", L"set =x"}));
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_BYTES(FAKE_INIT "[one two]\r\n[]\r\n" FAKE_SHUTDOWN, r.out);
    EXPECT_BYTES("Syntax: set NAME=VALUE\r\nSyntax: set NAME=VALUE\r\n", r.err);
}

TEST(Shell, UsageWritesTheBufferUnchanged)
{
    ShellResult r = RunFake(Lines({L"usage FakeEcho", L"usage nosuch", L"usage"}));
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_BYTES(FAKE_INIT "FAKEECHO text 100%s\n\tmore\r\nlast" FAKE_SHUTDOWN, r.out);
    EXPECT_BYTES("", r.err);
}

TEST(Shell, HelpPrintsTheResult)
{
    ShellResult r = RunFake(Lines({L"help fakeecho", L"HELP @fakefunc "}));
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_BYTES(FAKE_INIT "help <fakeecho>\r\n7\r\nhelp <@fakefunc>\r\n0\r\n" FAKE_SHUTDOWN,
                 r.out);
}

TEST(Shell, UnloadShutsThePluginDownOnce)
{
    ShellResult r = RunFake(
        Lines({L"echo before", L"unload", L"echo after [%_fakevar] %@fakefunc[x]", L"fakeecho x",
               L"unload"}));
    EXPECT_EQ(r.exitCode, 2u);
    EXPECT_BYTES(FAKE_INIT "before\r\n" FAKE_UNLOAD "after [] %@fakefunc[x]\r\n", r.out);
    EXPECT_BYTES("Unknown command: fakeecho\r\n", r.err);
}

// "load" adds a plugin that lines then go to; "unload N" shuts plugin N
// down, and lines go to the last loaded one still running.
TEST(Shell, LoadAndUnloadASecondPlugin)
{
    TempScript copy(L"FakeCopy.dll", ReadFileBytes(FakePluginPath()));
    std::wstring load = L"load " + copy.Path();
    ShellResult r = RunFake(Lines({load.c_str(), L"fakeinfo", L"unload 2",
                                   L"fakeinfo", L"unload 1", L"fakeinfo", L"unload 3", L"load"}));
    EXPECT_EQ(r.exitCode, 2u);
    EXPECT_BYTES(FAKE_INIT FAKE_INIT "given self, host module self, name FakeCopy.dll\r\n" FAKE_UNLOAD
                 "given self, host module self, name FakePlugin.dll\r\n" FAKE_UNLOAD,
                 r.out);
    EXPECT_BYTES("Unknown command: fakeinfo\r\nNo plugin 3.\r\nSyntax: load PATH\r\n", r.err);
}

// With --midi-log the plugin finds one MIDI output device: opens of device 0
// and of the mapper get handles of their own (within 32 bits, for the
// shared record), other devices and closed or unknown handles are refused
// as Windows refuses them, and the log shows what was played on it.
TEST(Shell, TheRecordingDeviceAnswersAsADevice)
{
    RecordedRun run = RunRecorded({L"--plugin", FakePluginPath(), L"-c", L"fakemidi"});
    EXPECT_EQ(run.shell.exitCode, 0u);
    EXPECT_BYTES(FAKE_INIT "devices 1\r\ncaps 0 [hostshell recorder] device 1 2\r\nopen 0 0\r\n"
                           "open mapper 0\r\nopen 1 2 null\r\nhandles two, 32 bits\r\nfirst 0\r\n"
                           "second 0\r\nunknown 5\r\nreset 0\r\nclose 0\r\nclosed 5 5\r\n"
                           "second 0 close 0\r\n" FAKE_SHUTDOWN,
                 run.shell.out);
    EXPECT_BYTES("", run.shell.err);
    EXPECT_EQ("open 1 device 0\nopen 2 device mapper\n95 3C 60\nC5 0A\nreset 1\nclose 1\nD5 40\n"
              "close 2\n",
              Texts(run.log));
}

TEST(Shell, PipeAndTransientFlags)
{
    struct {
        std::vector<std::wstring> flags;
        const char *values;  // _transient then _pipe
    } cases[] = {
        {{}, "00"},
        {{L"--pipe"}, "01"},
        {{L"--transient"}, "10"},
        {{L"--pipe", L"--transient"}, "11"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        std::vector<std::wstring> args = c.flags;
        for (const wchar_t *line : {L"fakeexpand %%[_transient]%%[_pipe]", L"echo %_transient%_pipe"}) {
            args.push_back(L"-c");
            args.push_back(line);
        }
        ShellResult r = RunFake(args);
        // The plugin's ExpandVariables and the shell's own lines agree.
        EXPECT_BYTES(std::string(FAKE_INIT "0 2 inside [") + c.values + "]\r\n" + c.values +
                         "\r\n" FAKE_SHUTDOWN,
                     r.out);
    }
}

TEST(Shell, NonAsciiTextComesOutAsUtf8)
{
    TempScript script(L"utf8.btm", "echo gr\xC3\xBC\xC3\x9F \xE2\x82\xAC\r\n");
    ShellResult r = RunFake({L"-c", L"fakeecho \x00e9\x4e2d", script.Path()});
    EXPECT_BYTES(FAKE_INIT "[\xC3\xA9\xE4\xB8\xAD]\r\ngr\xC3\xBC\xC3\x9F \xE2\x82\xAC\r\n" FAKE_SHUTDOWN,
                 r.out);
}

TEST(Shell, Utf16ScriptWithByteOrderMark)
{
    std::wstring text = L"echo \x00e9t\x00e9\r\nfakeresult 4\r\n";
    std::string bytes = "\xFF\xFE";
    bytes.append(reinterpret_cast<const char *>(text.data()), text.size() * sizeof(wchar_t));
    TempScript script(L"utf16.btm", bytes);
    ShellResult r = RunFake({script.Path()});
    EXPECT_EQ(r.exitCode, 4u);
    EXPECT_BYTES(FAKE_INIT "\xC3\xA9t\xC3\xA9\r\n" FAKE_SHUTDOWN, r.out);
}

TEST(Shell, BadArgumentsShowTheUsageLine)
{
    const char *usage =
        "Usage: hostshell [--plugin PATH] [--pipe] [--transient] [--midi FILE] [--midi-log FILE] "
        "[-c LINE]... [SCRIPT]\r\n";
    std::vector<std::vector<std::wstring>> bad = {
        {L"--bogus"}, {L"-c"}, {L"--plugin"}, {L"one.btm", L"two.btm"}, {L"-x"},
        {L"--midi"}, {L"--midi-log", L""},
    };
    for (const auto &args : bad) {
        SCOPED_TRACE(TableRow(bad, args));
        ShellResult r = RunShell(args);
        EXPECT_EQ(r.exitCode, 2u) << Utf8(args[0]);
        EXPECT_BYTES("", r.out) << Utf8(args[0]);
        EXPECT_BYTES(usage, r.err) << Utf8(args[0]);
    }
    ShellResult help = RunShell({L"--help"});
    EXPECT_EQ(help.exitCode, 0u);
    EXPECT_BYTES(usage, help.out);
}

TEST(Shell, AMissingScriptIsReportedBeforeLoading)
{
    ShellResult r = RunFake({BinDirectory() + L"no such script.btm"});
    EXPECT_EQ(r.exitCode, 2u);
    EXPECT_BYTES("", r.out);
    EXPECT_EQ(r.err.rfind("Unable to read script ", 0), 0u) << r.err;
}

TEST(Shell, APluginThatCannotBeLoaded)
{
    ShellResult r = RunShell({L"--plugin", BinDirectory() + L"NoSuchPlugin.dll", L"-c", L"echo x"});
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_BYTES("", r.out);
    EXPECT_EQ(r.err.rfind("Unable to load plugin ", 0), 0u) << r.err;
}

TEST(Shell, EveryNameOfTheImplementsListNeedsItsExport)
{
    ShellResult r = RunFake({L"-c", L"echo x"},
                            {{L"FAKEPLUGIN_IMPLEMENTS", L"fakeecho,nosuchcmd,@nosuchfn,_nosuchvar,@fakefunc"}});
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_BYTES("", r.out);
    EXPECT_BYTES("Missing plugin export: nosuchcmd\r\nMissing plugin export: f_nosuchfn\r\n"
                 "Missing plugin export: _nosuchvar\r\n",
                 r.err);
}

TEST(Shell, AFailedInitializationEndsTheShell)
{
    ShellResult r = RunFake({L"-c", L"echo x"}, {{L"FAKEPLUGIN_INITFAIL", L"1"}});
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_BYTES("", r.out);
    EXPECT_BYTES("fake: init failed\r\n", r.err);
}

// The shell calls GetPluginInfo with the plugin's module handle and then
// writes its own two fields of the record; ShutdownPlugin hears 1 at the end.
TEST(Shell, CallsTheEntriesAsTheCommandProcessorDoes)
{
    ShellResult r = RunFake(Lines({L"fakeinfo"}));
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_BYTES(FAKE_INIT "given self, host module self, name FakePlugin.dll\r\n" FAKE_SHUTDOWN,
                 r.out);
    EXPECT_BYTES("", r.err);
}

// The code this system raises for the fake plugin's write to `address`, as
// faultcode.exe reports it: an access violation where the fault says it was
// a page fault; some emulators of 32-bit machines cannot say.
static std::string FaultCode(const wchar_t *address)
{
    ShellResult probe = RunShellAt(BinDirectory() + L"faultcode.exe", {address});
    EXPECT_EQ(probe.exitCode, 0u) << "faultcode.exe " << Utf8(address);
    return probe.out;
}

// An exception inside an entry is trapped: a line on standard error naming
// the entry and the code the system raised, result 2, and the shell goes on.
TEST(Shell, AnExceptionInAnEntryIsTrapped)
{
    struct {
        const wchar_t *line;
        const wchar_t *address;
        const char *out;
        const char *entry;
    } cases[] = {
        {L"fakecrash 0", L"0", "crashing\r\n", "fakecrash"},
        {L"echo [%@fakecrash[8]]", L"8", "", "f_fakecrash"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(Utf8(c.line));
        std::string code = FaultCode(c.address);
        ASSERT_EQ(code.size(), 10u) << ShowBytes(code);
        ShellResult r = RunFake(Lines({c.line, L"fakeecho still here"}));
        EXPECT_EQ(r.exitCode, 0u);
        EXPECT_BYTES(std::string(FAKE_INIT) + c.out + "[still here]\r\n" FAKE_SHUTDOWN, r.out);
        EXPECT_BYTES("exception " + code + " in " + c.entry + "\r\n", r.err);
        // The result of the trapped line itself.
        r = RunFake(Lines({c.line}));
        EXPECT_EQ(r.exitCode, c.out[0] ? 2u : 1u);
    }
}

// In a 32-bit process every call is checked for the stack pointer: an entry
// that leaves the host's argument on the stack is reported.
TEST(Shell, AnUnbalancedStackIsReported)
{
#ifdef _WIN64
    GTEST_SKIP() << "64-bit calls have one convention: the caller owns the stack";
#else
    ShellResult r = RunFake(Lines({L"fakecdecl", L"fakeecho after"}));
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_BYTES(FAKE_INIT "cdecl\r\n[after]\r\n" FAKE_SHUTDOWN, r.out);
    EXPECT_BYTES("stack imbalance after fakecdecl: 4 bytes\r\n", r.err);

    r = RunShell({L"--plugin", BinDirectory() + L"FakePluginOld.dll", L"-c", L"echo x"});
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_BYTES("", r.out);
    EXPECT_BYTES("stack imbalance after GetPluginInfo: 4 bytes\r\n", r.err);
#endif
}
