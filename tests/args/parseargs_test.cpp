// The argument tokenizer and number reader.
#include "fakeworld.h"
#include "args/parseargs.h"

#include <string>
#include <vector>

namespace {

std::vector<std::wstring> Arguments()
{
    std::vector<std::wstring> out;
    for (int i = 0; i < ArgTable.Count; i++) {
        const wchar_t *a = ArgTable.Argument[i];
        std::wstring text = a ? std::wstring(a) : std::wstring(L"<null>");
        EXPECT_EQ(static_cast<size_t>(ArgTable.Length[i]), a ? wcslen(a) : 0u)
            << "length of argument " << i;
        out.push_back(text);
    }
    return out;
}

std::string Joined(const std::vector<std::wstring> &args)
{
    std::wstring out;
    for (const auto &a : args)
        out += L"[" + a + L"]";
    return Narrow(out);
}

struct TokenCase {
    unsigned flags;
    const wchar_t *text;
    const char *expected;  // each argument in brackets
};

const TokenCase TokenCases[] = {
    { 5, L"  /n:5/q   host  ", "[/n:5][/q][host]" },
    { 5, L"/x:ftp://a/b/c", "[/x:ftp://a/b/c]" },
    { 5, L"/x:a/b", "[/x:a][/b]" },
    { 5, L"-n:5/q", "[-n:5/q]" },
    { 5, L"\"a b\" c", "[a b][c]" },
    { 5, L"\"a b c", "[a b c]" },
    { 5, L"\"\"", "" },
    { 5, L"a,b c", "[a,b][c]" },
    { 5, L"/ab/c", "[/ab][/c]" },
    { 5, L"\"/n:5/q\"", "[/n:5/q]" },
    { 5, L"/x:http://h/p/q /y", "[/x:http://h/p/q][/y]" },
    { 0x82, L",2", "[<null>][2]" },
    { 0x82, L"eth0 , 1 ", "[ETH0][1]" },
    { 0x82, L"a,,b", "[A][<null>][B]" },
    { 2, L"a,", "[a]" },
    { 2, L"  a b ,c", "[a b][c]" },
    { 2, L"\"x, y\",z", "[x, y][z]" },
    { 5, L"", "" },
    { 5, L"   ", "" },
};

}  // namespace

using ParseArgsTest = FakeWorldTest;

TEST_F(ParseArgsTest, SplitsAsTheCallersExpect)
{
    for (const TokenCase &c : TokenCases) {
        SCOPED_TRACE(TableRow(TokenCases, c));
        int count = ParseArgs(c.flags, c.text);
        std::string actual = Joined(Arguments());
        EXPECT_EQ(count, ArgTable.Count);
        EXPECT_EQ(actual, c.expected) << "flags " << c.flags << ", input \"" << Narrow(c.text) << "\"";
    }
}

TEST_F(ParseArgsTest, SwitchSplittingNeedsTwoCharactersFirst)
{
    // "/a" has two characters when the second slash arrives, so it splits;
    // a lone "/" does not.
    ParseArgs(5, L"/a/b/c");
    EXPECT_EQ(Joined(Arguments()), "[/a][/b][/c]");
    ParseArgs(5, L"//x");
    EXPECT_EQ(Joined(Arguments()), "[//x]");
}

TEST_F(ParseArgsTest, NullTextLeavesTheTableAlone)
{
    ParseArgs(5, L"keep");
    EXPECT_EQ(ParseArgs(5, nullptr), -1);
    ASSERT_EQ(ArgTable.Count, 1);
    EXPECT_WTEXT(L"keep", ArgTable.Argument[0]);
}

TEST_F(ParseArgsTest, EmptyTextClearsEverything)
{
    ParseArgs(5, L"a b c");
    EXPECT_EQ(ParseArgs(5, L""), 0);
    EXPECT_EQ(ArgTable.Argument[0], nullptr);
    EXPECT_EQ(ArgTable.Length[2], 0);
}

TEST_F(ParseArgsTest, KeepsAtMost1024Arguments)
{
    std::wstring text;
    for (int i = 0; i < 1030; i++)
        text += L"x" + std::to_wstring(i) + L" ";
    EXPECT_EQ(ParseArgs(5, text.c_str()), 1024);
    EXPECT_WTEXT(L"x1023", ArgTable.Argument[1023]);
    EXPECT_TRUE(CapturedErr().empty());

    std::wstring commas(1100, L',');
    EXPECT_EQ(ParseArgs(2, (commas + L"z").c_str()), 1024);
    EXPECT_EQ(ArgTable.Argument[1023], nullptr);
}

TEST_F(ParseArgsTest, StoreOverflowIsReported)
{
    // 8191 characters plus the terminator fill the store exactly.
    std::wstring fits(8191, L'a');
    EXPECT_EQ(ParseArgs(5, fits.c_str()), 1);
    EXPECT_EQ(ArgTable.Length[0], 8191);
    EXPECT_TRUE(CapturedErr().empty());

    std::wstring tooLong(8192, L'a');
    EXPECT_EQ(ParseArgs(5, tooLong.c_str()), -1);
    EXPECT_EQ(ArgTable.Count, 0);
    EXPECT_EQ(ArgTable.Argument[0], nullptr);
    EXPECT_WTEXT(L"Sonaro plugin: Buffer overflow: b = 8191, MAX_ARG_LEN = 8192 \r\n", CapturedErr());

    // Terminators count too: 1000 arguments of 8 characters need 9000 places.
    ClearCaptured();
    std::wstring many;
    for (int i = 0; i < 1000; i++)
        many += L"abcdefgh ";
    EXPECT_EQ(ParseArgs(5, many.c_str()), -1);
    EXPECT_FALSE(CapturedErr().empty());
}

TEST_F(ParseArgsTest, UpperCaseArgumentStaysInsideItsArgument)
{
    ParseArgs(5, L"/bad next");
    UpperCaseArgument(0);
    EXPECT_WTEXT(L"/BAD", ArgTable.Argument[0]);
    EXPECT_WTEXT(L"next", ArgTable.Argument[1]);
    UpperCaseArgument(5);   // unused entry: nothing happens
    UpperCaseArgument(-1);
}

struct NumberCase {
    const wchar_t *text;
    bool withEnd;
    int result;
    DWORD value;
    int endOffset;
};

TEST_F(ParseArgsTest, ParseNumberCases)
{
    const NumberCase cases[] = {
        { L"0x1F", false, 0, 31, 0 },
        { L"0X", false, -1, 0, 0 },
        { L"0x", true, 0, 0, 1 },
        { L"12ms", false, -1, 0, 0 },
        { L"4294967295", false, 0, 4294967295u, 0 },
        { L"4294967296", false, -1, 0, 0 },
        { L"0x100000000", false, -1, 0, 0 },
        { L"-1", false, -1, 0, 0 },
        { L" 5", false, -1, 0, 0 },
        { L"+5", false, -1, 0, 0 },
        { L"5m", true, 0, 5, 1 },
        { L"007", false, 0, 7, 0 },
        { L"0xffG", true, 0, 255, 4 },
        { L"", false, -1, 0, 0 },
    };
    for (const NumberCase &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        DWORD value = 12345;
        const wchar_t *end = nullptr;
        int result = ParseNumber(c.text, c.withEnd ? &end : nullptr, &value);
        EXPECT_EQ(result, c.result) << "input \"" << Narrow(c.text) << "\"";
        if (c.result == 0) {
            EXPECT_EQ(value, c.value) << "input \"" << Narrow(c.text) << "\"";
            if (c.withEnd) {
                EXPECT_EQ(end - c.text, c.endOffset) << "input \"" << Narrow(c.text) << "\"";
            }
        } else {
            EXPECT_EQ(value, 12345u) << "value changed on failure for \"" << Narrow(c.text) << "\"";
        }
    }
    DWORD v;
    EXPECT_EQ(ParseNumber(nullptr, nullptr, &v), -1);
    EXPECT_EQ(ParseNumber(L"1", nullptr, nullptr), -1);
}

TEST_F(ParseArgsTest, ValueSeparators)
{
    EXPECT_TRUE(IsValueSeparator(L':'));
    EXPECT_TRUE(IsValueSeparator(L'='));
    EXPECT_FALSE(IsValueSeparator(L'/'));
    EXPECT_FALSE(IsValueSeparator(0));
}
