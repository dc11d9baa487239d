// wildcard_colors_test.cpp - the stand-in host's WildcardComparison,
// ParseColors, GetAttribute, SetColors and QueryTrueName.
#include "fakeworld.h"

#include <string.h>

namespace {

struct WildcardCase {
    const wchar_t *pattern;
    const wchar_t *text;
    int expected;  // 0 match, 1 no match
};

const WildcardCase WildcardCases[] = {
    {L"abc", L"abc", 0},
    {L"abc", L"ABC", 0},
    {L"ABC", L"abc", 0},
    {L"abc", L"abcd", 1},
    {L"abcd", L"abc", 1},
    {L"", L"", 0},
    {L"", L"a", 1},
    {L"*", L"", 0},
    {L"*", L"anything", 0},
    {L"a*", L"a", 0},
    {L"a*", L"ba", 1},
    {L"*c", L"abc", 0},
    {L"*c", L"abcd", 1},
    {L"a*c", L"ac", 0},
    {L"a*c", L"abbbc", 0},
    {L"a*c", L"abcbcx", 1},
    {L"a*b*c", L"axxbyyc", 0},
    {L"a**c", L"abc", 0},
    {L"*a*a*a*b", L"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaac", 1},
    {L"*ab", L"aab", 0},
    {L"?", L"", 1},
    {L"?", L"x", 0},
    {L"??", L"x", 1},
    {L"a?c", L"abc", 0},
    {L"a?c", L"ac", 1},
    {L"*?", L"", 1},
    {L"*?", L"q", 0},
    {L"[abc]", L"b", 0},
    {L"[abc]", L"B", 0},
    {L"[abc]", L"d", 1},
    {L"[a-f]x", L"Dx", 0},
    {L"[a-f]x", L"gx", 1},
    {L"[!a-f]", L"g", 0},
    {L"[!a-f]", L"c", 1},
    {L"[^0-9]*", L"x12", 0},
    {L"[^0-9]*", L"12", 1},
    {L"[]]", L"]", 0},
    {L"[0-9][0-9]", L"42", 0},
    {L"h[oa]st*", L"HOST-1", 0},
    {L"h[oa]st*", L"hist", 1},
    // A "[" without its "]" is an ordinary character.
    {L"a[b", L"a[b", 0},
    {L"a[b", L"ab", 1},
    {L"web*", L"Web-Server", 0},
    {L"*.example", L"router.EXAMPLE", 0},
    {L"\x00e9t\x00e9", L"\x00c9T\x00c9", 0},
};

struct ColourCase {
    const wchar_t *text;
    int foreground;
    int background;
    int result;
};

const ColourCase ColourCases[] = {
    {L"black", 0, -1, 0},
    {L"blue", 1, -1, 0},
    {L"green", 2, -1, 0},
    {L"cyan", 3, -1, 0},
    {L"red", 4, -1, 0},
    {L"magenta", 5, -1, 0},
    {L"yellow", 6, -1, 0},
    {L"white", 7, -1, 0},
    {L"bright white", 15, -1, 0},
    {L"Bright Red", 12, -1, 0},
    {L"  yellow  ", 6, -1, 0},
    {L"white on blue", 7, 1, 0},
    {L"bright yellow on bright blue", 14, 9, 0},
    {L"BLACK ON WHITE", 0, 7, 0},
    {L"red\ton\tbright black", 4, 8, 0},
    {L"", -1, -1, 1},
    {L"bright", -1, -1, 1},
    {L"purple", -1, -1, 1},
    {L"white on", -1, -1, 1},
    {L"white on bright", -1, -1, 1},
    {L"white on purple", -1, -1, 1},
    {L"white blue", -1, -1, 1},
    {L"on blue", -1, -1, 1},
    {L"white on blue extra", -1, -1, 1},
    {L"bright bright white", -1, -1, 1},
    {L"whiteish", -1, -1, 1},
    {L"averyveryverylongcolourname", -1, -1, 1},
};

}  // namespace

TEST(HostWildcard, Cases)
{
    for (const WildcardCase &c : WildcardCases)
        EXPECT_EQ(WildcardComparison(c.pattern, c.text, 0, 1), c.expected)
            << "pattern \"" << Narrow(c.pattern) << "\" text \"" << Narrow(c.text) << "\"";
}

TEST(HostWildcard, NullArgumentsDoNotMatch)
{
    EXPECT_EQ(WildcardComparison(nullptr, L"a", 0, 1), 1);
    EXPECT_EQ(WildcardComparison(L"*", nullptr, 0, 1), 1);
}

TEST(HostColours, ParseColors)
{
    for (const ColourCase &c : ColourCases) {
        SCOPED_TRACE(TableRow(ColourCases, c));
        int foreground = 99, background = 99;
        int result = ParseColors(c.text, &foreground, &background);
        EXPECT_EQ(result, c.result) << "text \"" << Narrow(c.text) << "\"";
        EXPECT_EQ(foreground, c.foreground) << "text \"" << Narrow(c.text) << "\"";
        EXPECT_EQ(background, c.background) << "text \"" << Narrow(c.text) << "\"";
    }
}

TEST(HostColours, ParseColorsNullText)
{
    int foreground = 5, background = 5;
    EXPECT_EQ(ParseColors(nullptr, &foreground, &background), 1);
    EXPECT_EQ(foreground, -1);
    EXPECT_EQ(background, -1);
}

class HostConsole : public FakeWorldTest {};

TEST_F(HostConsole, GetAttributeReportsTheOverride)
{
    HostSetAttribute(0x1E);
    unsigned normal = 0, inverse = 0;
    EXPECT_EQ(GetAttribute(&normal, &inverse), 0);
    EXPECT_EQ(normal, 0x1Eu);
    EXPECT_EQ(inverse, 0xE1u);
}

TEST_F(HostConsole, GetAttributeWithoutConsoleIsGreyOnBlack)
{
    // Standard output on a file, not a console.
    HANDLE saved = GetStdHandle(STD_OUTPUT_HANDLE);
    HANDLE file = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    SetStdHandle(STD_OUTPUT_HANDLE, file);
    HostSetAttribute(0x4F);
    HostSetAttribute(-1);
    unsigned normal = 0, inverse = 0;
    GetAttribute(&normal, &inverse);
    SetStdHandle(STD_OUTPUT_HANDLE, saved);
    CloseHandle(file);
    EXPECT_EQ(normal, 0x07u);
    EXPECT_EQ(inverse, 0x70u);
}

TEST_F(HostConsole, SetColorsIsRemembered)
{
    EXPECT_EQ(HostLastColors(), -1);
    SetColors(0x2F);
    EXPECT_EQ(HostLastColors(), 0x2F);
    HostReset();
    EXPECT_EQ(HostLastColors(), -1);
}

TEST_F(HostConsole, QueryTrueNameGivesTheFullPath)
{
    wchar_t directory[MAX_PATH];
    DWORD n = GetCurrentDirectoryW(MAX_PATH, directory);
    ASSERT_GT(n, 0u);
    std::wstring expected = directory;
    if (expected.back() != L'\\')
        expected += L'\\';
    expected += L"sub\\file.chm";

    wchar_t result[MAX_PATH];
    EXPECT_EQ(QueryTrueName(L"sub\\.\\other\\..\\file.chm", result), 0);
    EXPECT_WTEXT(expected, result);
}
