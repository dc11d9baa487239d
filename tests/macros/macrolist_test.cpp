// The listing against the real registry of the Wine prefix: order beyond
// ASCII, values that do not fit, and the ways the registry can fail.
#include "fakeworld.h"
#include "macros/macrolist.h"
#include "console/conlist.h"

#include <string.h>
#include <string>

namespace {

class MacroListTest : public FakeWorldTest {
protected:
    void SetUp() override
    {
        FakeWorldTest::SetUp();
        memset(ColourSlots, 0, sizeof ColourSlots);
        PageLength = LinesLeft = 0;
        PauseTime = 0;
    }
    static void Macro(const wchar_t *valueName, const std::wstring &text)
    {
        SetRegistryString(HKEY_CURRENT_USER, TEST_SETTINGS_KEY, valueName, text);
    }
};

MacroListEntry Entry(DWORD number, const wchar_t *name)
{
    MacroListEntry entry;
    memset(&entry, 0, sizeof entry);
    entry.Number = number;
    wcsncpy(entry.Name, name, MACRO_NAME_MAX);
    return entry;
}

int Sign(int n)
{
    return n < 0 ? -1 : n > 0 ? 1 : 0;
}

}  // namespace

TEST(MacroSortOrder, CodeUnitsCompareAsUnsignedNumbers)
{
    struct Case {
        DWORD numberA;
        const wchar_t *nameA;
        DWORD numberB;
        const wchar_t *nameB;
        int expected;
    } cases[] = {
        {4000000000u, L"", 0, L"A", -1},      // every numbered macro before every name
        {2, L"", 10, L"", -1},                 // numbers by value, not by text
        {0, L"A9", 0, L"AZ", -1},              // digits before capitals
        {0, L"AZ", 0, L"A_", -1},              // capitals before "_"
        {0, L"A_", 0, L"Aa", -1},              // "_" before small letters
        {0, L"Z", 0, L"\x00C9T", -1},          // Latin-1 after ASCII
        {0, L"\x00C9T", 0, L"\x03A9X", -1},    // Greek after Latin-1
        {0, L"\x03A9X", 0, L"\xFF21" L"B", -1}, // full-width forms last
        {0, L"\xFF21", 0, L"\xFF21" L"A", -1}, // a prefix before its extensions
        {7, L"WEB", 3, L"WEB", 1},             // equal names by number
        {3, L"WEB", 3, L"WEB", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        MacroListEntry a = Entry(c.numberA, c.nameA), b = Entry(c.numberB, c.nameB);
        EXPECT_EQ(Sign(CompareMacroEntries(&a, &b)), c.expected)
            << c.numberA << " \"" << Escaped(c.nameA) << "\" vs " << c.numberB << " \""
            << Escaped(c.nameB) << "\"";
        EXPECT_EQ(Sign(CompareMacroEntries(&b, &a)), -c.expected);
    }
}

TEST_F(MacroListTest, ListsInCodeUnitOrderBeyondAscii)
{
    Macro(L"Host-\xFF21" L"B", L"fullwidth");
    Macro(L"Host-\x03A9X", L"omega");
    Macro(L"Host-\x00C9T", L"e-acute");
    Macro(L"Host-A_", L"underscore");
    Macro(L"Host-Z", L"zed");
    Macro(L"Host-AZ", L"az");
    Macro(L"Host-A9", L"a9");
    Macro(L"Host-10", L"ten");
    Macro(L"Host-2", L"two");

    EXPECT_EQ(ListMacros(nullptr), 9);
    EXPECT_WTEXT(L"#2  = two\r\n"
                 L"#10 = ten\r\n"
                 L"#A9 = a9\r\n"
                 L"#AZ = az\r\n"
                 L"#A_ = underscore\r\n"
                 L"#Z  = zed\r\n"
                 L"#\x00C9T = e-acute\r\n"
                 L"#\x03A9X = omega\r\n"
                 L"#\xFF21" L"B = fullwidth\r\n"
                 L"\r\n   9 macros defined.\r\n",
                 CapturedOut());
    EXPECT_WTEXT(L"", CapturedErr());
}

TEST_F(MacroListTest, OversizedValuesArePassedOver)
{
    // Another tool's values: data past 2050 bytes, and a name past 1024
    // characters.  The macros on either side of them are still listed.
    Macro(L"Host-1", L"one");
    Macro(L"Host-2", std::wstring(1025, L'x'));
    Macro((L"Host-" + std::wstring(1100, L'N')).c_str(), L"long name");
    Macro(L"Host-3", std::wstring(1024, L'y'));
    Macro(L"Host-WEB", L"web");

    EXPECT_EQ(ListMacros(nullptr), 3);
    EXPECT_WTEXT(L"#1   = one\r\n#3   = " + std::wstring(1024, L'y') +
                     L"\r\n#WEB = web\r\n\r\n   3 macros defined.\r\n",
                 CapturedOut());
}

TEST_F(MacroListTest, OnlyProperMacroValuesAreTaken)
{
    Macro(L"host-3", L"other case of the prefix");
    Macro(L"Host-", L"nothing after the prefix");
    Macro(L"Host-5x", L"not a whole number");
    Macro(L"Host-99999999999", L"too big a number");
    Macro(L"Host-DNS", L"reserved name");
    Macro(L"Host-ABCDEFGHIJK", L"eleven characters");
    Macro(L"Host-_A", L"begins with _");
    Macro(L"Count", L"a setting");
    SetRegistryDword(HKEY_CURRENT_USER, TEST_SETTINGS_KEY, L"Timeout", 500);
    EXPECT_EQ(ListMacros(nullptr), 0);
    EXPECT_WTEXT(L"No macros defined.\r\n", CapturedOut());

    ClearCaptured();
    Macro(L"Host-0x10", L"hex");
    Macro(L"Host-ABCDEFGHIJ", L"ten characters");
    EXPECT_EQ(ListMacros(nullptr), 2);
    EXPECT_WTEXT(L"#16         = hex\r\n#ABCDEFGHIJ = ten characters\r\n"
                 L"\r\n   2 macros defined.\r\n",
                 CapturedOut());
}

TEST_F(MacroListTest, RegistryFailuresMeanNoMacros)
{
    Macro(L"Host-1", L"one");

    FailEntry(SYS_RegOpenKeyExW);
    EXPECT_EQ(ListMacros(nullptr), 0);
    EXPECT_WTEXT(L"No macros defined.\r\n", CapturedOut());
    EXPECT_EQ(g_sysCallCount[SYS_RegQueryInfoKeyW], 0u);
    EXPECT_EQ(g_sysCallCount[SYS_RegCloseKey], 0u);
    EXPECT_FALSE(ListHandlerRegistered);

    InstallFakeWorld();
    ClearCaptured();
    FailEntry(SYS_RegQueryInfoKeyW);
    EXPECT_EQ(ListMacros(nullptr), 0);
    EXPECT_WTEXT(L"No macros defined.\r\n", CapturedOut());
    EXPECT_EQ(g_sysCallCount[SYS_RegEnumValueW], 0u);
    EXPECT_EQ(g_sysCallCount[SYS_RegCloseKey], 1u);
    EXPECT_FALSE(ListHandlerRegistered);
    EXPECT_WTEXT(L"", CapturedErr());
}

TEST_F(MacroListTest, EmptyKeyMeansNoMacros)
{
    SetRegistryDword(HKEY_CURRENT_USER, TEST_SETTINGS_KEY, L"Count", 3);
    DeleteRegistryValue(HKEY_CURRENT_USER, TEST_SETTINGS_KEY, L"Count");
    EXPECT_EQ(ListMacros(nullptr), 0);
    EXPECT_WTEXT(L"No macros defined.\r\n", CapturedOut());
    EXPECT_EQ(g_sysCallCount[SYS_RegEnumValueW], 0u);
    EXPECT_EQ(g_sysCallCount[SYS_RegCloseKey], 1u);
}
