// LoadHighlightColours and ReadHighlightValue, against the Wine prefix's registry.
#include "fakeworld.h"
#include "console/conlist.h"
#include "console/highlight.h"

#include <string.h>

namespace {

const wchar_t PluginKey[] = L"SOFTWARE\\OrvelPlugins\\Sonaro";
const wchar_t ParentKey[] = L"SOFTWARE\\OrvelPlugins";

void ClearHighlightValues()
{
    for (HKEY root : { HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE }) {
        SCOPED_TRACE(::testing::Message() << root);
        DeleteRegistryValue(root, PluginKey, L"Highlight");
        DeleteRegistryValue(root, ParentKey, L"Highlight");
    }
}

std::string Slots()
{
    char text[32];
    snprintf(text, sizeof text, "%02X %02X %02X %02X %02X %02X", ColourSlots[0],
             ColourSlots[1], ColourSlots[2], ColourSlots[3], ColourSlots[4], ColourSlots[5]);
    return text;
}

class HighlightTest : public FakeWorldTest {
protected:
    void SetUp() override
    {
        FakeWorldTest::SetUp();
        ClearHighlightValues();
        fake::console.StdOutConsole = true;
        HostSetAttribute(0x07);
        memset(ColourSlots, 0, sizeof ColourSlots);
    }
    void TearDown() override
    {
        ClearHighlightValues();
        HostSetAttribute(-1);
        memset(ColourSlots, 0, sizeof ColourSlots);
        FakeWorldTest::TearDown();
    }

    // Slots for a highlight given in the environment.
    std::string FromEnvironment(int attribute, const wchar_t *highlight)
    {
        ScopedEnv env(L"Highlight", highlight);
        HostSetAttribute(attribute);
        memset(ColourSlots, 0, sizeof ColourSlots);
        LoadHighlightColours();
        return Slots();
    }

    ScopedEnv noEnv_{ L"Highlight", nullptr };
};

const char NoColours[] = "00 00 00 00 00 00";

}  // namespace

TEST_F(HighlightTest, DefaultHighlightFromTheCurrentColours)
{
    struct Case {
        int attribute;
        const char *slots;
    } cases[] = {
        { 0x07, "07 0F 70 F0 0E E0" },  // grey on black: brightened
        { 0x1F, "1F 1B F1 B1 16 61" },  // bright white on blue
        { 0x70, "70 79 07 97 74 47" },  // black on grey
        { 0x17, "17 1F 71 F1 1B B1" },
        { 0x8E, "8E 8F E8 F8 8B B8" },  // bright background
        { 0x0E, "0E 0F E0 F0 0B B0" },  // yellow on black
    };
    for (const Case &c : cases)
        EXPECT_EQ(FromEnvironment(c.attribute, nullptr), c.slots) << std::hex << c.attribute;
}

TEST_F(HighlightTest, InverseAndHexForms)
{
    struct Case {
        int attribute;
        const wchar_t *highlight;
        const char *slots;
    } cases[] = {
        { 0x07, L"inv", "07 70 70 07 0F F0" },
        { 0x07, L"INVERSE", "07 70 70 07 0F F0" },
        { 0x1F, L"Inv", "1F 71 F1 17 1B B1" },
        { 0x07, L"0x1E", "07 1E 70 E1 0F F0" },
        { 0x07, L"0X0e", "07 0E 70 E0 0F F0" },
        { 0x07, L"0x4", "07 04 70 40 0F F0" },
        // Equal to the current colours, or foreground on itself: none.
        { 0x07, L"0x07", NoColours },
        { 0x07, L"0x77", NoColours },
        { 0x08, L"inv", NoColours },
        // Not one attribute byte.
        { 0x07, L"0x", NoColours },
        { 0x07, L"0xZZ", NoColours },
        { 0x07, L"0x1G", NoColours },
        { 0x07, L"0x1E ", NoColours },
        { 0x07, L"0x 1E", NoColours },
        { 0x07, L"0x-1", NoColours },
        { 0x07, L"0x+1E", NoColours },
        { 0x07, L"0x11E", NoColours },
        { 0x07, L"0x0x1E", NoColours },
        { 0x07, L"0x001E", "07 1E 70 E1 0F F0" },
    };
    for (const Case &c : cases)
        EXPECT_EQ(FromEnvironment(c.attribute, c.highlight), c.slots)
            << std::hex << c.attribute << " " << Narrow(c.highlight);
}

TEST_F(HighlightTest, SourcesInOrder)
{
    // Each row stores values in some of the four registry places (null:
    // none); the first non-empty one counts.
    struct Case {
        const wchar_t *userPlugin, *machinePlugin, *userParent, *machineParent;
        const char *highlight;
    } cases[] = {
        { L"0x1E", L"0x2F", L"0x3F", L"0x4F", "1E" },
        { nullptr, L"0x2F", L"0x3F", L"0x4F", "2F" },
        { nullptr, nullptr, L"0x3F", L"0x4F", "3F" },
        { nullptr, nullptr, nullptr, L"0x4F", "4F" },
        { L"", L"", L"", L"0x4F", "4F" },
        { nullptr, nullptr, nullptr, nullptr, "0F" },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        ClearHighlightValues();
        if (c.userPlugin)
            SetRegistryString(HKEY_CURRENT_USER, PluginKey, L"Highlight", c.userPlugin);
        if (c.machinePlugin)
            SetRegistryString(HKEY_LOCAL_MACHINE, PluginKey, L"Highlight", c.machinePlugin);
        if (c.userParent)
            SetRegistryString(HKEY_CURRENT_USER, ParentKey, L"Highlight", c.userParent);
        if (c.machineParent)
            SetRegistryString(HKEY_LOCAL_MACHINE, ParentKey, L"Highlight", c.machineParent);
        memset(ColourSlots, 0, sizeof ColourSlots);
        LoadHighlightColours();
        EXPECT_EQ(Slots().substr(3, 2), c.highlight) << "expected " << c.highlight;
    }
}

TEST_F(HighlightTest, EnvironmentWinsOverTheRegistry)
{
    SetRegistryString(HKEY_CURRENT_USER, PluginKey, L"Highlight", L"0x2F");
    EXPECT_EQ(FromEnvironment(0x07, L"0x1E"), "07 1E 70 E1 0F F0");
    // An empty environment variable does not count.
    EXPECT_EQ(FromEnvironment(0x07, L""), "07 2F 70 F2 0F F0");
}

TEST_F(HighlightTest, ValueOfAnotherTypeIsPassedOver)
{
    SetRegistryString(HKEY_CURRENT_USER, PluginKey, L"Highlight", L"0x2F", REG_EXPAND_SZ);
    SetRegistryString(HKEY_CURRENT_USER, ParentKey, L"Highlight", L"0x3F");
    LoadHighlightColours();
    EXPECT_EQ(Slots(), "07 3F 70 F3 0F F0");
}

TEST_F(HighlightTest, NoColoursWithoutAConsole)
{
    ScopedEnv env(L"Highlight", L"0x1E");
    fake::console.StdOutConsole = false;
    LoadHighlightColours();
    EXPECT_EQ(Slots(), NoColours);
    // A mode call that succeeds but leaves the mode as it was.
    fake::console.StdOutConsole = true;
    fake::console.Mode = 0xFFFFFFFF;
    LoadHighlightColours();
    EXPECT_EQ(Slots(), NoColours);
}

TEST_F(HighlightTest, NoColoursWhenForegroundEqualsBackground)
{
    for (int attribute : { 0x00, 0x77, 0xFF, 0x11 }) {
        SCOPED_TRACE(::testing::Message() << attribute);
        EXPECT_EQ(FromEnvironment(attribute, nullptr), NoColours) << attribute;
        EXPECT_EQ(FromEnvironment(attribute, L"0x1E"), NoColours) << attribute;
    }
}

TEST_F(HighlightTest, ReadHighlightValueResults)
{
    wchar_t buffer[1024];
    EXPECT_EQ(ReadHighlightValue(nullptr, buffer, HKEY_CURRENT_USER), -1);
    EXPECT_EQ(ReadHighlightValue(L"", buffer, HKEY_CURRENT_USER), -1);
    EXPECT_EQ(ReadHighlightValue(PluginKey, nullptr, HKEY_CURRENT_USER), -1);

    wcscpy(buffer, L"old");
    EXPECT_EQ(ReadHighlightValue(L"SOFTWARE\\OrvelPlugins\\NoSuchKey", buffer,
                                 HKEY_CURRENT_USER), ERROR_FILE_NOT_FOUND);
    EXPECT_WTEXT(L"", buffer);

    SetRegistryString(HKEY_CURRENT_USER, PluginKey, L"Other", L"x");
    wcscpy(buffer, L"old");
    EXPECT_EQ(ReadHighlightValue(PluginKey, buffer, HKEY_CURRENT_USER), ERROR_FILE_NOT_FOUND);
    EXPECT_WTEXT(L"", buffer);
    DeleteRegistryValue(HKEY_CURRENT_USER, PluginKey, L"Other");

    SetRegistryDword(HKEY_CURRENT_USER, PluginKey, L"Highlight", 0x1E);
    wcscpy(buffer, L"old");
    EXPECT_EQ(ReadHighlightValue(PluginKey, buffer, HKEY_CURRENT_USER), ERROR_INVALID_DATA);
    EXPECT_WTEXT(L"", buffer);

    SetRegistryString(HKEY_CURRENT_USER, PluginKey, L"Highlight", L"");
    EXPECT_EQ(ReadHighlightValue(PluginKey, buffer, HKEY_CURRENT_USER), ERROR_NO_DATA);
    EXPECT_WTEXT(L"", buffer);

    SetRegistryString(HKEY_CURRENT_USER, PluginKey, L"Highlight", L"bright red on blue");
    EXPECT_EQ(ReadHighlightValue(PluginKey, buffer, HKEY_CURRENT_USER), 0);
    EXPECT_WTEXT(L"bright red on blue", buffer);

    // Too long for the buffer.
    std::wstring tooLong(1024, L'x');
    SetRegistryString(HKEY_CURRENT_USER, PluginKey, L"Highlight", tooLong);
    EXPECT_EQ(ReadHighlightValue(PluginKey, buffer, HKEY_CURRENT_USER), ERROR_MORE_DATA);
    EXPECT_WTEXT(L"", buffer);
}

TEST_F(HighlightTest, ReadHighlightValueEndsTextWithoutTerminator)
{
    wchar_t buffer[1025];
    SetRegistryString(HKEY_CURRENT_USER, PluginKey, L"Highlight", L"placeholder");
    // A string value that fills the 2048 bytes exactly, with no terminator.
    fake::HoldText(std::wstring(1024, L'y').c_str(), 1024);
    buffer[1024] = L'!';
    EXPECT_EQ(ReadHighlightValue(PluginKey, buffer, HKEY_CURRENT_USER), 0);
    EXPECT_EQ(wcslen(buffer), 1023u);
    EXPECT_EQ(buffer[1024], L'!') << "written past the 1024 characters";
    fake::registry.Holding = false;

    // Three characters stored without a terminator, over older text.
    wcscpy(buffer, L"abcdefgh");
    SetRegistryBinary(HKEY_CURRENT_USER, PluginKey, L"Highlight", L"0x1", 6, REG_SZ);
    EXPECT_EQ(ReadHighlightValue(PluginKey, buffer, HKEY_CURRENT_USER), 0);
    EXPECT_WTEXT(L"0x1", buffer);
}

TEST_F(HighlightTest, ColourDescriptionsThroughTheHost)
{
    struct Case {
        int attribute;
        const wchar_t *highlight;
        const char *slots;
    } cases[] = {
        { 0x07, L"bright white on blue", "07 1F 70 F1 0F F0" },
        { 0x07, L"Bright Yellow", "07 0E 70 E0 0F F0" },
        { 0x1F, L"yellow", "1F 16 F1 61 1B B1" },
        { 0x07, L"bright white on black", "07 0F 70 F0 0E E0" },
        { 0x07, L"white on black", NoColours },  // the current colours
        { 0x07, L"white", NoColours },           // the current foreground
        { 0x07, L"black", NoColours },           // the current background
        { 0x07, L"red on red", NoColours },
        { 0x07, L"purple", NoColours },
        { 0x07, L"on blue", NoColours },
    };
    for (const Case &c : cases)
        EXPECT_EQ(FromEnvironment(c.attribute, c.highlight), c.slots)
            << std::hex << c.attribute << " " << Narrow(c.highlight);
}

TEST_F(HighlightTest, RequestedColoursOnTheCurrentOnes)
{
    // Requested foreground and background, current fg and bg, highlight.
    struct Case {
        int f, b, fg, bg, highlight;
    } cases[] = {
        { 14, 1, 7, 0, 0x1E },
        { 7, 0, 7, 0, -1 },    // the current colours
        { 3, 3, 7, 0, -1 },    // foreground on itself
        { 12, -1, 7, 0, 0x0C },
        { 12, 64, 7, 1, 0x1C },  // 64: the current background
        { 7, 64, 7, 1, -1 },
        { -1, 64, 7, 0, -1 },
        { -1, 2, 7, 0, -1 },
        { 1, -1, 7, 1, -1 },   // would vanish on the background
        { 14, -5, 7, 0, -1 },
        { 16, -1, 7, 0, -1 },  // not a colour number
        { 16, 64, 7, 0, -1 },
        { 4, 16, 7, 0, -1 },
        { 0, 15, 7, 0, 0xF0 },
    };
    for (const Case &c : cases)
        EXPECT_EQ(ChooseHighlight(c.f, c.b, c.fg, c.bg), c.highlight)
            << c.f << " on " << c.b << " over " << c.fg << " on " << c.bg;
}
