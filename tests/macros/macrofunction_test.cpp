// @SONAROMACRO against the real registry of the Wine prefix.
#include "fakeworld.h"

#include <string.h>
#include <string>
#include <vector>

extern "C" int WINAPI f_sonaromacro(wchar_t *buffer);

namespace {

class MacroFunctionTest : public FakeWorldTest {
protected:
    void SetUp() override
    {
        FakeWorldTest::SetUp();
        Macro(L"Host-WEB", L"10.0.0.1");
        Macro(L"Host-7", L"seven.example");
        Macro(L"Host-31", L"thirty-one.example");
        Macro(L"Host-0", L"zero.example");
    }
    static void Macro(const wchar_t *valueName, const wchar_t *text)
    {
        SetRegistryString(HKEY_CURRENT_USER, TEST_SETTINGS_KEY, valueName, text);
    }
};

}  // namespace

TEST_F(MacroFunctionTest, LookupsAndMessages)
{
    struct Case {
        const wchar_t *argument;
        int result;
        const wchar_t *value;   // the buffer afterwards
        const wchar_t *err;
    } cases[] = {
        {L"#web", 0, L"10.0.0.1", L""},
        {L"web", 0, L"10.0.0.1", L""},
        {L"  WEB", 0, L"10.0.0.1", L""},
        {L"\t#Web", 0, L"10.0.0.1", L""},
        {L"#7", 0, L"seven.example", L""},
        {L"007", 0, L"seven.example", L""},
        {L"0x1f", 0, L"thirty-one.example", L""},
        {L"#0", 0, L"zero.example", L""},
        {L"#ftp", 0, L"", L""},
        {L"8", 0, L"", L""},
        {L"", -1, L"", L"Sonaro plugin: Missing macro name\r\n"},
        {L"   ", -1, L"   ", L"Sonaro plugin: Missing macro name\r\n"},
        {L"#", -1, L"#", L"Sonaro plugin: Missing macro name\r\n"},
        {L"#dns", -1, L"#DNS", L"Sonaro plugin: Bad macro name: \"#DNS\"\r\n"},
        {L"router2", -1, L"ROUTER2", L"Sonaro plugin: Bad macro name: \"#ROUTER2\"\r\n"},
        {L"web ", -1, L"WEB ", L"Sonaro plugin: Bad macro name: \"#WEB \"\r\n"},
        {L"abcdefghijk", -1, L"ABCDEFGHIJK",
         L"Sonaro plugin: Bad macro name: \"#ABCDEFGHIJK\"\r\n"},
        {L"5x", -1, L"5X", L"Sonaro plugin: Bad macro number: \"5X\"\r\n"},
        {L"-5", -1, L"-5", L"Sonaro plugin: Bad macro number: \"-5\"\r\n"},
        {L" #_a", -1, L" #_A", L"Sonaro plugin: Bad macro number: \" #_A\"\r\n"},
        {L"4294967296", -1, L"4294967296",
         L"Sonaro plugin: Bad macro number: \"4294967296\"\r\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(Escaped(c.argument));
        ClearCaptured();
        std::vector<wchar_t> buffer(8192, L'?');
        wcscpy(buffer.data(), c.argument);
        EXPECT_EQ(f_sonaromacro(buffer.data()), c.result);
        EXPECT_WTEXT(c.value, buffer.data());
        EXPECT_WTEXT(c.err, CapturedErr());
        EXPECT_WTEXT(L"", CapturedOut());
    }
}

TEST_F(MacroFunctionTest, BufferEdges)
{
    EXPECT_EQ(f_sonaromacro(nullptr), -1);
    EXPECT_WTEXT(L"", CapturedErr());

    // A longer text than a lookup reads counts as undefined.
    Macro(L"Host-9", std::wstring(1025, L'x').c_str());
    std::vector<wchar_t> buffer(8192, 0);
    wcscpy(buffer.data(), L"#9");
    EXPECT_EQ(f_sonaromacro(buffer.data()), 0);
    EXPECT_WTEXT(L"", buffer.data());

    // An argument that fills the whole buffer without a terminator stays
    // inside it.
    std::vector<wchar_t> full(8192 + 16, L'9');
    full[8192] = L'z';
    full[8192 + 15] = 0;
    EXPECT_EQ(f_sonaromacro(full.data()), -1);
    EXPECT_EQ(full[8191], 0);
    EXPECT_EQ(full[8192], L'z');
    EXPECT_WTEXT(L"Sonaro plugin: Bad macro number: \"" + std::wstring(8191, L'9') + L"\"\r\n",
                 CapturedErr());
}
