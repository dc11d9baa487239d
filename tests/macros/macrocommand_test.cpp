// SONAROMACRO where the end-to-end tests cannot reach: failed allocations,
// Control-C in the middle of a listing, and that every path frees its lists.
#include "testsupport.h"
#include "macros/macrolist.h"
#include "console/conlist.h"

#include <string.h>
#include <string>

extern "C" int WINAPI sonaromacro(wchar_t *arguments);

namespace {

int mallocCalls;
int failMallocAt;   // fail this call (1-based); 0 = none
size_t failSize;    // fail every request of this size; 0 = none
int liveBlocks;
std::wstring consoleText;

void *CountingMalloc(size_t size)
{
    mallocCalls++;
    if (mallocCalls == failMallocAt || (failSize != 0 && size == failSize))
        return nullptr;
    void *block = g_sysDefault.malloc(size);
    if (block != nullptr)
        liveBlocks++;
    return block;
}

void CountingFree(void *block)
{
    if (block != nullptr)
        liveBlocks--;
    g_sysDefault.free(block);
}

int RecordCputws(const wchar_t *text)
{
    consoleText += text;
    return 0;
}

void BreakOnEnumeration(SysId id, unsigned long)
{
    if (id == SYS_RegEnumValueW)
        ListBreakFlag = 1;
}

class MacroCommandTest : public SysTest {
protected:
    void SetUp() override
    {
        SysTest::SetUp();
        DeleteRegistryTree(HKEY_CURRENT_USER, TEST_SETTINGS_KEY);
        mallocCalls = failMallocAt = liveBlocks = 0;
        failSize = 0;
        consoleText.clear();
        g_sys.malloc = CountingMalloc;
        g_sys.free = CountingFree;
        g_sys._cputws = RecordCputws;
    }
    void TearDown() override
    {
        DeleteRegistryTree(HKEY_CURRENT_USER, TEST_SETTINGS_KEY);
        SysTest::TearDown();
    }
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
        mallocCalls = liveBlocks = 0;
        failMallocAt = c.failAt;
        failSize = c.failSize;

        EXPECT_EQ(Run(c.arguments), c.result);
        EXPECT_WTEXT(c.out, CapturedOut());
        EXPECT_WTEXT(c.err, CapturedErr());
        EXPECT_EQ(liveBlocks, 0);
        EXPECT_FALSE(ListHandlerRegistered);
    }
}

TEST_F(MacroCommandTest, ControlCDuringTheListingReturnsThree)
{
    Macro(L"Host-1", L"one");
    Macro(L"Host-2", L"two");
    g_sysCallHook = BreakOnEnumeration;

    EXPECT_EQ(Run(L"/D"), 3);
    // The first line's number is out before its value meets the flag; no
    // further line and no summary follow.
    EXPECT_WTEXT(L"#1 ", CapturedOut());
    EXPECT_WTEXT(L"\r ^C \n", consoleText);
    EXPECT_WTEXT(L"", CapturedErr());
    EXPECT_EQ(liveBlocks, 0);
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
