// SONAROMACRO where the end-to-end tests cannot reach: failed allocations,
// Control-C in the middle of a listing, and that every path frees its lists.
#include "fakeworld.h"
#include "macros/macrocommand.h"
#include "macros/macrolist.h"
#include "console/conlist.h"

#include <string.h>
#include <string>

namespace {

void BreakOnEnumeration(SysId id, unsigned long)
{
    if (id == SYS_RegEnumValueW)
        ListBreakFlag = 1;
}

class MacroCommandTest : public FakeWorldTest {
protected:
    static int Run(const wchar_t *arguments)
    {
        std::wstring text(arguments);
        return sonaromacro(text.data());
    }
    static void Macro(const wchar_t *valueName, const wchar_t *text)
    {
        SetRegistryString(HKEY_CURRENT_USER, TEST_SETTINGS_KEY, valueName, text);
    }
};

}  // namespace

TEST_F(MacroCommandTest, FailedAllocationsStopCleanly)
{
    // Three macros in the key: the sort table is three entries long.
    const size_t table = 3 * sizeof(MacroListEntry);
    struct Case {
        const char *what;
        const wchar_t *arguments;
        int failAt;
        size_t failSize;
        int result;
        const wchar_t *out;
        const wchar_t *err;
    } cases[] = {
        {"first match entry", L"/D #1 #W*", 1, 0, 2, L"",
         L"Sonaro plugin: Error allocating match entry\r\n"},
        {"second match entry", L"/D #1 #W*", 2, 0, 2, L"",
         L"Sonaro plugin: Error allocating match entry\r\n"},
        {"sort table, all", L"/D", 0, table, 0, L"",
         L"Sonaro plugin: Error allocating sort buffer for macros.\r\n"},
        {"sort table, matching", L"/D #1 #2", 0, table, 0, L"",
         L"Sonaro plugin: Error allocating sort buffer for macros.\r\n"},
        {"error after match entries", L"/D #1 #W* /X", 0, 0, 1, L"",
         L"Sonaro plugin: Unknown option: \"/X\"\r\n"},
        {"nothing fails", L"/D #1 #2", 0, 0, 0,
         L"#1 = one\r\n#2 = two\r\n\r\n   2 matching macros defined.\r\n", L""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Macro(L"Host-1", L"one");
        Macro(L"Host-2", L"two");
        Macro(L"Host-WEB", L"web");
        ClearCaptured();
        fake::heap.Mallocs = 0;
        fake::heap.FailMallocAt = c.failAt;
        fake::heap.FailSize = c.failSize;
        long live = fake::LiveBlocks();

        EXPECT_EQ(Run(c.arguments), c.result);
        EXPECT_WTEXT(c.out, CapturedOut());
        EXPECT_WTEXT(c.err, CapturedErr());
        EXPECT_EQ(fake::LiveBlocks(), live);
        EXPECT_FALSE(ListHandlerRegistered);
    }
}

TEST_F(MacroCommandTest, ControlCDuringTheListingReturnsThree)
{
    Macro(L"Host-1", L"one");
    Macro(L"Host-2", L"two");
    g_sysCallHook = BreakOnEnumeration;
    long live = fake::LiveBlocks();

    EXPECT_EQ(Run(L"/D"), 3);
    // The first line's number is out before its value meets the flag; no
    // further line and no summary follow.
    EXPECT_WTEXT(L"#1 ", CapturedOut());
    EXPECT_EQ(Narrow(fake::console.Log), Narrow(L"C0E [\r ^C \n] C07"));
    EXPECT_WTEXT(L"", CapturedErr());
    EXPECT_EQ(fake::LiveBlocks(), live);
    EXPECT_FALSE(ListHandlerRegistered);
    EXPECT_EQ(ListBreakFlag, 0);
    EXPECT_EQ(g_sysCallCount[SYS_RegCloseKey], g_sysCallCount[SYS_RegOpenKeyExW]);
}

TEST_F(MacroCommandTest, MissingArgumentText)
{
    EXPECT_EQ(sonaromacro(nullptr), -1);
    EXPECT_WTEXT(L"", CapturedOut());
    EXPECT_WTEXT(L"", CapturedErr());
    EXPECT_EQ(g_sysCallTotal, 0u);
}
