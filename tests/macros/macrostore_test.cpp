// The macro store against the real registry of the Wine prefix.
#include "fakeworld.h"
#include "macros/macrostore.h"

#include <string.h>

namespace {

const HKEY User = HKEY_CURRENT_USER;

class MacroStoreTest : public FakeWorldTest {
protected:
    void TearDown() override
    {
        EXPECT_EQ(g_sysCallCount[SYS_RegOpenKeyExW] + g_sysCallCount[SYS_RegCreateKeyExW],
                  g_sysCallCount[SYS_RegCloseKey] + failedOpens_)
            << "every opened key is closed";
        FakeWorldTest::TearDown();
    }

    // The raw registry value: its type and text, or type 0 when absent.
    DWORD RawValue(const wchar_t *name, std::wstring *text)
    {
        HKEY key;
        if (RegOpenKeyExW(User, TEST_SETTINGS_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return 0;
        static wchar_t data[4096];
        DWORD type = 0, size = sizeof data - sizeof(wchar_t);
        memset(data, 0, sizeof data);
        LSTATUS status = RegQueryValueExW(key, name, nullptr, &type,
                                          reinterpret_cast<BYTE *>(data), &size);
        RegCloseKey(key);
        if (status != ERROR_SUCCESS)
            return 0;
        *text = data;
        sizeBytes_ = size;
        return type;
    }

    unsigned long failedOpens_ = 0;
    DWORD sizeBytes_ = 0;
};

TEST_F(MacroStoreTest, NumberedWriteReplaceDelete)
{
    std::wstring text;
    EXPECT_EQ(SetNumberedMacro(7, L"host.seven"), 0);
    EXPECT_EQ(RawValue(L"Host-7", &text), static_cast<DWORD>(REG_SZ));
    EXPECT_WTEXT(L"host.seven", text);
    EXPECT_EQ(sizeBytes_, (10u + 1) * 2) << "terminator included";

    EXPECT_EQ(SetNumberedMacro(7, L"other"), 0);
    wchar_t out[1025];
    EXPECT_EQ(LookupNumberedMacro(7, out), 0);
    EXPECT_WTEXT(L"other", out);

    EXPECT_EQ(SetNumberedMacro(7, L""), 0);
    EXPECT_EQ(RawValue(L"Host-7", &text), 0u);
    EXPECT_EQ(SetNumberedMacro(7, nullptr), 1) << "deleting what is not there fails";

    EXPECT_EQ(SetNumberedMacro(0, L"zero"), 0);
    EXPECT_EQ(SetNumberedMacro(4294967295u, L"max"), 0);
    EXPECT_EQ(RawValue(L"Host-0", &text), static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(RawValue(L"Host-4294967295", &text), static_cast<DWORD>(REG_SZ));
}

TEST_F(MacroStoreTest, NamedMacrosIgnoreCase)
{
    std::wstring text;
    EXPECT_EQ(SetNamedMacro(L"web", L"www.web.test"), 0);
    EXPECT_EQ(RawValue(L"Host-WEB", &text), static_cast<DWORD>(REG_SZ));
    wchar_t out[1025];
    for (const wchar_t *name : {L"WEB", L"Web", L"web"}) {
        wcscpy(out, L"-");
        EXPECT_EQ(LookupNamedMacro(name, out), 0) << Narrow(name);
        EXPECT_WTEXT(L"www.web.test", out);
    }
    EXPECT_EQ(SetNamedMacro(L"Web", nullptr), 0);
    EXPECT_EQ(LookupNamedMacro(L"web", out), 1);

    EXPECT_EQ(SetNamedMacro(nullptr, L"x"), -1);
    EXPECT_EQ(SetNamedMacro(L"", L"x"), -1);
    EXPECT_EQ(LookupNamedMacro(nullptr, out), -1);
    EXPECT_EQ(LookupNamedMacro(L"web", nullptr), -1);
    EXPECT_EQ(LookupNamedMacro(L"1web", out), -1);
    EXPECT_EQ(LookupNamedMacro(L"_web", out), -1);
    EXPECT_EQ(LookupNumberedMacro(1, nullptr), -1);
}

TEST_F(MacroStoreTest, UndefinedValuesLeaveOutputAlone)
{
    SetRegistryString(User, TEST_SETTINGS_KEY, L"Host-5", L"expand.me", REG_EXPAND_SZ);
    SetRegistryString(User, TEST_SETTINGS_KEY, L"Host-6", L"");
    SetRegistryString(User, TEST_SETTINGS_KEY, L"Host-8", std::wstring(1025, L'x'));
    SetRegistryString(User, TEST_SETTINGS_KEY, L"Host-9", std::wstring(1024, L'y'));
    SetRegistryDword(User, TEST_SETTINGS_KEY, L"Host-10", 10);
    SetRegistryString(User, TEST_SETTINGS_KEY, L"Host-LONG", std::wstring(5000, L'z'));
    wchar_t out[1025 + 4];
    for (unsigned number : {5u, 6u, 8u, 10u, 11u}) {
        SCOPED_TRACE(::testing::Message() << number);
        wcscpy(out, L"untouched");
        EXPECT_EQ(LookupNumberedMacro(number, out), 1) << number;
        EXPECT_WTEXT(L"untouched", out) << number;
    }
    wcscpy(out, L"untouched");
    EXPECT_EQ(LookupNamedMacro(L"long", out), 1);
    EXPECT_WTEXT(L"untouched", out);

    wmemset(out, L'#', 1025 + 4);
    EXPECT_EQ(LookupNumberedMacro(9, out), 0) << "1024 characters still fit";
    EXPECT_EQ(wcslen(out), 1024u);
    EXPECT_EQ(out[1025], L'#');
}

TEST_F(MacroStoreTest, UnterminatedValueGetsItsTerminator)
{
    std::wstring text(1023, L'q');
    SetRegistryBinary(User, TEST_SETTINGS_KEY, L"Host-12", text.data(), 2046, REG_SZ);
    wchar_t out[1025 + 4];
    wmemset(out, L'#', 1025 + 4);
    EXPECT_EQ(LookupNumberedMacro(12, out), 0);
    EXPECT_EQ(wcslen(out), 1023u);
    EXPECT_EQ(out[1025], L'#');
}

TEST_F(MacroStoreTest, MissingKey)
{
    wchar_t out[1025];
    wcscpy(out, L"untouched");
    EXPECT_EQ(LookupNumberedMacro(1, out), 1);
    EXPECT_EQ(LookupNamedMacro(L"web", out), 1);
    EXPECT_EQ(ExpandHostMacro(L"#1", out), 1);
    EXPECT_WTEXT(L"untouched", out);
    failedOpens_ = 3;
    EXPECT_EQ(SetNumberedMacro(1, L""), 1) << "the key is created, the value is not there";
}

TEST_F(MacroStoreTest, ValidNames)
{
    struct Case {
        const wchar_t *name;
        bool valid;
    } cases[] = {
        {L"web", true},         {L"Backup_2", true},     {L"a", true},
        {L"abcdefghij", true},  {L"abcdefghijk", false}, {L"dns", false},
        {L"DNS", false},        {L"dns3", false},        {L"Router7", false},
        {L"gw", false},         {L"GW9", false},         {L"dhcp1", false},
        {L"wins", false},       {L"wins5", false},       {L"router", false},
        {L"dns0", true},        {L"dns10", true},        {L"dnsx", true},
        {L"routers", true},     {L"gw1x", true},         {L"_web", false},
        {L"1web", false},       {L"", false},            {L"we-b", false},
        {L"we b", false},       {nullptr, false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(IsValidMacroName(c.name), c.valid) << (c.name ? Narrow(c.name) : "null");
}

TEST_F(MacroStoreTest, Expansion)
{
    SetNumberedMacro(7, L"seven.test");
    SetNumberedMacro(0, L"zero.test");
    SetNamedMacro(L"web", L"web.test");
    SetRegistryString(User, TEST_SETTINGS_KEY, L"Host-DNS", L"reserved.test");
    SetRegistryString(User, TEST_SETTINGS_KEY, L"Host-1A", L"mixed.test");
    struct Case {
        const wchar_t *text;
        int result;
        const wchar_t *expected;
    } cases[] = {
        {L"#7", 0, L"seven.test"},    {L"#007", 0, L"seven.test"},
        {L"#0x7", 0, L"seven.test"},  {L"#0X07", 0, L"seven.test"},
        {L"#0", 0, L"zero.test"},     {L"#web", 0, L"web.test"},
        {L"#WeB", 0, L"web.test"},    {L"#8", 1, L""},
        {L"#1a", 1, L""},             {L"#dns", 1, L""},
        {L"#", 1, L""},               {L"7", 1, L""},
        {L"web", 1, L""},             {L"# 7", 1, L""},
        {L"#-7", 1, L""},             {L"#4294967296", 1, L""},
        {L"#abcdefghijk", 1, L""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        wchar_t out[1025];
        out[0] = 0;
        EXPECT_EQ(ExpandHostMacro(c.text, out), c.result) << Narrow(c.text);
        EXPECT_WTEXT(c.expected, out) << Narrow(c.text);
    }
    wchar_t out[1025];
    EXPECT_EQ(ExpandHostMacro(nullptr, out), -1);
    EXPECT_EQ(ExpandHostMacro(L"#7", nullptr), -1);
}

// Registry failures: a key that cannot be created, and a write that fails.
TEST_F(MacroStoreTest, RegistryFailures)
{
    FailEntry(SYS_RegCreateKeyExW);
    EXPECT_EQ(SetNumberedMacro(1, L"x"), 1);
    EXPECT_EQ(SetNamedMacro(L"web", L"x"), 1);
    failedOpens_ = 2;
    UseReal({SYS_RegCreateKeyExW});
    FailEntry(SYS_RegSetValueExW);
    EXPECT_EQ(SetNumberedMacro(1, L"x"), 1);
}

}  // namespace
