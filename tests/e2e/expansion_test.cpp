// expansion_test.cpp - how hostshell.exe expands its lines and what the
// plugin's ExpandVariables sees: variables, functions, %%, failures, batch
// variables in scripts, long lines.
#include "fakeshell.h"
#include "testsupport.h"

TEST(Expansion, Lines)
{
    std::string bin = Utf8(BinDirectory());
    struct {
        const wchar_t *line;
        std::string out;
    } cases[] = {
        {L"echo 100%%", "100%"},
        {L"echo %%_batch %%%%", "%_batch %%"},
        {L"echo a%_batch;b", "a0;b"},
        {L"echo %[_batch]x %[_batchname]|%[_batchline]", "0x |0"},
        {L"echo %_cmdspec", bin + "hostshell.exe"},
        {L"echo %@path[%_cmdspec]", bin},
        {L"echo %@path[C:\\dir\\sub\\file.txt]", "C:\\dir\\sub\\"},
        {L"echo [%@PATH[file.txt]]", "[]"},
        {L"echo %fake_env %[FAKE_ENV]! %Fake_Env", "Env Value Env Value! Env Value"},
        {L"echo [%fake_undefined_variable]", "[]"},
        {L"echo %fake_pct", "%_batch%%"},
        {L"echo %_fakevar %[_FAKEVAR]", "plugin-value plugin-value"},
        {L"echo %_batch", "0"},
        {L"echo %@fakefunc[a b]", "<a b>"},
        {L"echo %@FAKEFUNC[]", "<>"},
        {L"echo %@fakefunc[%@fakefunc[x]%_batch]", "<<x>0>"},
        {L"echo %@fakefunc[a[b]c]d", "<a[b]c>d"},
        {L"echo %@fakefunc[abc", "%@fakefunc[abc"},
        {L"echo %@nosuch[x]", "%@nosuch[x]"},
        {L"echo %@fakeecho[x]", "%@fakeecho[x]"},
        {L"echo 50% off %", "50% off %"},
        {L"echo %-1 %[a b] %[x %@", "%-1 %[a b] %[x %@"},
        {L"echo %@fakelong[3]%@fakelong[2]", "xxxxx"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        ShellResult r = RunFake({L"-c", c.line},
                                {{L"FAKE_ENV", L"Env Value"},
                                 {L"FAKE_PCT", L"%_batch%%"},
                                 {L"_fakevar", L"environment"},
                                 {L"FAKE_UNDEFINED_VARIABLE", std::nullopt}});
        EXPECT_EQ(r.exitCode, 0u) << Utf8(c.line);
        EXPECT_BYTES(FAKE_INIT + c.out + "\r\n" FAKE_SHUTDOWN, r.out) << Utf8(c.line);
        EXPECT_BYTES("", r.err) << Utf8(c.line);
    }
}

TEST(Expansion, AFailedFunctionAbandonsItsLineOnly)
{
    ShellResult r = RunFake(Lines({L"fakeecho %@fakefunc[x] %@fakefunc[%@fakefunc[fail]]",
                                   L"fakeecho after"}));
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_BYTES(FAKE_INIT "[after]\r\n" FAKE_SHUTDOWN, r.out);
    EXPECT_BYTES("fake: function failed\r\n", r.err);
}

TEST(Expansion, BatchVariablesInsideAScript)
{
    TempScript script(L"batch vars.btm",
                      "echo %_batch %_batchline\r\n"
                      "\r\n"
                      "echo %_batchline [%_batchname]\n"
                      "fakeexpand %%_batch %%_batchname [%%_batchline]  ");
    std::string name = Utf8(script.Path());
    ShellResult r = RunFake({L"-c", L"echo %_batch %_batchline", script.Path()});
    EXPECT_EQ(r.exitCode, 0u);
    // The plugin's view: lengths count UTF-16 characters.
    std::wstring expanded = L"1 " + script.Path() + L" [4]  ";
    EXPECT_BYTES(FAKE_INIT "0 0\r\n1 1\r\n3 [" + name + "]\r\n0 " +
                     std::to_string(expanded.size()) + " inside [" + Utf8(expanded) +
                     "]\r\n" FAKE_SHUTDOWN,
                 r.out);
}

TEST(Expansion, AScriptNameWithPercentSignsIsNotExpandedAgain)
{
    TempScript script(L"100%_batch%% sure.btm", "echo %_batchname\r\nfakeexpand %%_batchname\r\n");
    std::string name = Utf8(script.Path());
    ShellResult r = RunFake({script.Path()});
    EXPECT_BYTES(FAKE_INIT + name + "\r\n0 " + std::to_string(script.Path().size()) + " inside [" + name +
                     "]\r\n" FAKE_SHUTDOWN,
                 r.out);
}

TEST(Expansion, ThePluginsExpandVariablesStopsAt1024)
{
    struct {
        const wchar_t *line;
        const char *prefix;  // result and length
        size_t xs;
    } cases[] = {
        {L"fakeexpand %%@fakelong[1022]", "0 1022", 1022},
        {L"fakeexpand %%@fakelong[1023]", "0 1023", 1023},
        {L"fakeexpand %%@fakelong[1024]", "0 1023", 1023},
        {L"fakeexpand %%@fakelong[8000]", "0 1023", 1023},
        {L"fakeexpand %%@fakelong[600]%%@fakelong[600]", "0 1023", 1023},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        ShellResult r = RunFake({L"-c", c.line});
        EXPECT_EQ(r.exitCode, 0u) << Utf8(c.line);
        EXPECT_BYTES(std::string(FAKE_INIT) + c.prefix + " inside [" + std::string(c.xs, 'x') +
                         "]\r\n" FAKE_SHUTDOWN,
                     r.out)
            << Utf8(c.line);
    }
}

TEST(Expansion, ThePluginsExpandVariablesReportsAFailedFunction)
{
    ShellResult r = RunFake({L"-c", L"fakeexpand a %%@fakefunc[fail] b"});
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_BYTES(FAKE_INIT "1 20 inside [a %@fakefunc[fail] b]\r\n" FAKE_SHUTDOWN, r.out);
    EXPECT_BYTES("fake: function failed\r\n", r.err);
}

TEST(Expansion, LongScriptLines)
{
    std::string a(40000, 'a');
    std::string b(32767, 'b');
    TempScript script(L"long.btm", "echo " + a + "\r\nfakeecho " + b + "%%\r\n" +
                                       "echo %@fakelong[8191]%@fakelong[8191]%@fakelong[8191]"
                                       "%@fakelong[8191]%@fakelong[8191]\r\n");
    ShellResult r = RunFake({script.Path()});
    EXPECT_EQ(r.exitCode, 0u);
    std::string expected = FAKE_INIT + a + "\r\n[" + b + "%]\r\n" + std::string(5 * 8191, 'x') +
                           "\r\n" FAKE_SHUTDOWN;
    EXPECT_EQ(expected.size(), r.out.size());
    EXPECT_TRUE(expected == r.out) << "output differs from the long lines";
    EXPECT_BYTES("", r.err);
}
