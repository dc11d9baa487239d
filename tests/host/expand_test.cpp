// expand_test.cpp - the stand-in host's variable expansion: ExpandVariables
// as the plugin calls it (1024-character limit) and HostExpandLine as the
// shell does (no limit).
#include "fakeworld.h"
#include "base/errorreport.h"

#include <string.h>

// Entries of a "plugin" that is this program itself.
extern "C" __declspec(dllexport) int WINAPI f_hosttest(wchar_t *buffer)
{
    if (wcscmp(buffer, L"fail") == 0)
        return -1;
    wchar_t copy[8192];
    wcsncpy(copy, buffer, 8191);
    copy[8191] = 0;
    _snwprintf(buffer, 8191, L"(%s)", copy);
    buffer[8191] = 0;
    return 0;
}

extern "C" __declspec(dllexport) int WINAPI f_hostlong(wchar_t *buffer)
{
    int count = _wtoi(buffer);
    for (int i = 0; i < count && i < 8191; i++)
        buffer[i] = L'y';
    buffer[count < 8191 ? count : 8191] = 0;
    return 0;
}

extern "C" __declspec(dllexport) int WINAPI _hostvar(wchar_t *buffer)
{
    wcscpy(buffer, L"var");
    return 0;
}

// Loses to the host's own _batch.
extern "C" __declspec(dllexport) int WINAPI _batch(wchar_t *buffer)
{
    wcscpy(buffer, L"plugin");
    return 0;
}

namespace {

class HostExpand : public FakeWorldTest {
protected:
    void SetUp() override
    {
        FakeWorldTest::SetUp();
        HostSetPlugin(GetModuleHandleW(nullptr), L"hostcmd,@hosttest,@hostlong,_hostvar,@missing");
    }

    // ExpandVariables on `text` in a buffer of 8192 characters.
    static std::wstring Expand(const std::wstring &text, int *result = nullptr)
    {
        static wchar_t buffer[8192];
        wcsncpy(buffer, text.c_str(), 8191);
        buffer[8191] = 0;
        int r = ExpandVariables(buffer, 1);
        if (result)
            *result = r;
        return buffer;
    }
};

struct ExpandCase {
    const wchar_t *input;
    const wchar_t *expected;
};

const ExpandCase ExpandCases[] = {
    {L"plain text", L"plain text"},
    {L"100%%", L"100%"},
    {L"%%_batch", L"%_batch"},
    {L"a%%%_batch", L"a%0"},
    {L"%_batch", L"0"},
    {L"%_BATCH", L"0"},
    {L"<%[_batch]>", L"<0>"},
    {L"%[_transient]%[_pipe]%[hosttest_undefined]", L"00"},
    {L"%hosttest_env", L"EnvValue"},
    {L"%[HOSTTEST_ENV]x", L"EnvValuex"},
    {L"%HOSTTEST_ENV.", L"EnvValue."},
    {L"%hosttest_pct", L"%_batch"},
    {L"%_hostvar", L"var"},
    {L"%[_HOSTVAR]!", L"var!"},
    {L"%@hosttest[a b]", L"(a b)"},
    {L"%@HostTest[a]", L"(a)"},
    {L"%@hosttest[]", L"()"},
    {L"%@hosttest[%_batch]", L"(0)"},
    {L"%@hosttest[%@hosttest[x]]", L"((x))"},
    {L"%@hosttest[a[b]c]d", L"(a[b]c)d"},
    {L"%@hosttest[%%]", L"(%)"},
    {L"%@hosttest[abc", L"%@hosttest[abc"},
    {L"%@nosuch[x]", L"%@nosuch[x]"},
    {L"%@missing[x]", L"%@missing[x]"},
    {L"%@hostcmd[x]", L"%@hostcmd[x]"},
    {L"%@path[C:\\dir\\sub\\file.txt]", L"C:\\dir\\sub\\"},
    {L"%@PATH[C:\\file.txt]", L"C:\\"},
    {L"%@path[C:file]", L"C:"},
    {L"[%@path[file.txt]]", L"[]"},
    {L"%@path[%hosttest_dir]x.chm", L"D:\\help\\x.chm"},
    {L"%", L"%"},
    {L"50% off", L"50% off"},
    {L"%-1", L"%-1"},
    {L"%[", L"%["},
    {L"%[]", L"%[]"},
    {L"%[a b]", L"%[a b]"},
    {L"%[abc", L"%[abc"},
    {L"%@", L"%@"},
    {L"%@x", L"%@x"},
    {L"[%hosttest_undefined]", L"[]"},
    {L"%1%2", L""},
};

}  // namespace

TEST_F(HostExpand, Cases)
{
    ScopedEnv env(L"HOSTTEST_ENV", L"EnvValue");
    ScopedEnv pct(L"HOSTTEST_PCT", L"%_batch");
    ScopedEnv dir(L"HOSTTEST_DIR", L"D:\\help\\file.dll");
    ScopedEnv undefined(L"HOSTTEST_UNDEFINED", nullptr);
    for (const ExpandCase &c : ExpandCases) {
        SCOPED_TRACE(TableRow(ExpandCases, c));
        int result = -99;
        std::wstring actual = Expand(c.input, &result);
        EXPECT_EQ(result, 0) << "input \"" << Escaped(c.input) << "\"";
        EXPECT_EQ(Escaped(actual), Escaped(c.expected)) << "input \"" << Escaped(c.input) << "\"";
    }
}

TEST_F(HostExpand, HostVariablesFollowTheShellState)
{
    HostSetBatch(L"C:\\scripts\\100% sure.btm", 12);
    HostSetFlags(1, 0);
    EXPECT_WTEXT(L"1|C:\\scripts\\100% sure.btm|12|10",
                 Expand(L"%_batch|%_batchname|%_batchline|%[_transient]%[_pipe]"));
    HostSetFlags(0, 1);
    HostSetCmdspec(L"E:\\shell\\tcc.exe");
    EXPECT_WTEXT(L"01|E:\\shell\\tcc.exe|E:\\shell\\",
                 Expand(L"%[_transient]%[_pipe]|%_cmdspec|%@path[%_cmdspec]"));
    HostReset();
    EXPECT_WTEXT(L"0||0|00", Expand(L"%_batch|%_batchname|%_batchline|%_transient%_pipe"));
}

TEST_F(HostExpand, CmdspecDefaultsToTheProgram)
{
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    ASSERT_GT(n, 0u);
    EXPECT_WTEXT(path, Expand(L"%_cmdspec"));
}

TEST_F(HostExpand, HostVariablesComeBeforeThePluginsAndThePluginsBeforeTheEnvironment)
{
    HostSetPlugin(GetModuleHandleW(nullptr), L"_hostvar,_batch");
    ScopedEnv shadowed(L"_HOSTVAR", L"environment");
    ScopedEnv batch(L"_batch", L"environment");
    EXPECT_WTEXT(L"var 0", Expand(L"%_hostvar %_batch"));
    HostSetPlugin(nullptr, nullptr);
    EXPECT_WTEXT(L"environment", Expand(L"%_hostvar"));
}

TEST_F(HostExpand, AFailedFunctionLeavesTheBufferAlone)
{
    int result = 0;
    EXPECT_WTEXT(L"x %@hosttest[fail] y", Expand(L"x %@hosttest[fail] y", &result));
    EXPECT_EQ(result, 1);
    // Inside another function's arguments as well.
    EXPECT_WTEXT(L"%@hosttest[%@hosttest[fail]]", Expand(L"%@hosttest[%@hosttest[fail]]", &result));
    EXPECT_EQ(result, 1);
}

TEST_F(HostExpand, NeverWritesMoreThan1024Characters)
{
    std::wstring long2000(2000, L'v');
    ScopedEnv env(L"HOSTTEST_LONG", long2000.c_str());
    struct {
        const wchar_t *input;
        size_t expectedLength;
    } cases[] = {
        {L"%hosttest_long", 1023},
        {L"%@hostlong[1022]", 1022},
        {L"%@hostlong[1023]", 1023},
        {L"%@hostlong[1024]", 1023},
        {L"ab%@hostlong[1022]cd", 1023},
        {L"%@hostlong[5000]%hosttest_long", 1023},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        wchar_t buffer[1024 + 32];
        for (wchar_t &w : buffer)
            w = 0xFFFF;
        wcscpy(buffer, c.input);
        EXPECT_EQ(ExpandVariables(buffer, 1), 0) << Narrow(c.input);
        EXPECT_EQ(wcsnlen(buffer, 1024), c.expectedLength) << Narrow(c.input);
        for (size_t i = 1024; i < sizeof buffer / sizeof buffer[0]; i++)
            EXPECT_EQ(buffer[i], 0xFFFF) << Narrow(c.input) << " wrote at " << i;
    }
}

TEST_F(HostExpand, ALongPlainTextIsCutTo1023)
{
    std::wstring text(3000, L'p');
    std::wstring expanded = Expand(text);
    EXPECT_EQ(expanded, std::wstring(1023, L'p'));
}

TEST_F(HostExpand, NullBuffer)
{
    EXPECT_EQ(ExpandVariables(nullptr, 1), 1);
}

TEST_F(HostExpand, ShellLinesHaveNoLimit)
{
    std::wstring value(30000, L'e');
    ScopedEnv env(L"HOSTTEST_LONG", value.c_str());
    std::wstring line = L"echo " + std::wstring(40000, L'a') + L" %hosttest_long %@hostlong[8191]%%";
    wchar_t *expanded = nullptr;
    ASSERT_EQ(HostExpandLine(line.c_str(), &expanded), 0);
    ASSERT_NE(expanded, nullptr);
    std::wstring expected = L"echo " + std::wstring(40000, L'a') + L" " + value + L" " +
                            std::wstring(8191, L'y') + L"%";
    EXPECT_EQ(expected.size(), wcslen(expanded));
    EXPECT_TRUE(expected == expanded);
    HostFreeText(expanded);
}

TEST_F(HostExpand, AShellLineWithAFailedFunctionIsAbandoned)
{
    wchar_t *expanded = reinterpret_cast<wchar_t *>(1);
    EXPECT_EQ(HostExpandLine(L"echo %@hosttest[ok] %@hosttest[fail]", &expanded), 1);
    EXPECT_EQ(expanded, nullptr);
    EXPECT_EQ(HostExpandLine(nullptr, &expanded), -1);
    EXPECT_EQ(HostExpandLine(L"x", nullptr), -1);
}

// The plugin's error prefix reads the batch state through the host.
TEST_F(HostExpand, ErrorPrefixInsideAndOutsideABatchFile)
{
    ErrorPrefix();
    EXPECT_WTEXT(L"Sonaro plugin: ", CapturedErr());
    ClearCaptured();
    HostSetBatch(L"C:\\work\\100%_batch%%.btm", 3);
    ErrorPrefix();
    EXPECT_WTEXT(L"Sonaro plugin: C:\\work\\100%_batch%%.btm [3]  ", CapturedErr());
    EXPECT_WTEXT(L"", CapturedOut());
}
