// MarkedPrintf: plain and colour output, codes, line ends, allocation failure.
#include "fakeworld.h"
#include "console/conlist.h"
#include "base/hostapi.h"

#include <vector>

using MarkedPrintfTest = FakeWorldTest;

// Grey on black with the colours LoadHighlightColours gives it.
static void GreyOnBlack()
{
    const unsigned char slots[6] = { 0x07, 0x0F, 0x70, 0xF0, 0x0E, 0xE0 };
    memcpy(ColourSlots, slots, sizeof slots);
}

TEST_F(MarkedPrintfTest, NullAndEmptyFormats)
{
    EXPECT_EQ(MarkedPrintf(nullptr), -1);
    EXPECT_EQ(MarkedPrintf(L""), 0);
    GreyOnBlack();
    EXPECT_EQ(MarkedPrintf(L""), 0);
    EXPECT_EQ(fake::console.Log, L"");
    EXPECT_WTEXT(L"", CapturedOut());
    EXPECT_EQ(g_sysCallCount[SYS_malloc], 0u);
}

TEST_F(MarkedPrintfTest, PlainModeWritesOneTextWithoutCodes)
{
    long before = HostWriteCalls();
    EXPECT_EQ(MarkedPrintf(L"Reply from \x12%s\x11: ", L"example.host"), 0);
    EXPECT_WTEXT(L"Reply from example.host: ", CapturedOut());
    EXPECT_EQ(HostWriteCalls() - before, 1);
    EXPECT_EQ(fake::console.Log, L"");
    EXPECT_EQ(g_sysCallCount[SYS_SetConsoleTextAttribute], 0u);
    EXPECT_EQ(g_sysCallCount[SYS__cputws], 0u);
}

TEST_F(MarkedPrintfTest, PlainModeLineEnds)
{
    struct Case {
        const wchar_t *text;
        const wchar_t *expected;
        long writes;
    } cases[] = {
        { L"a\nb", L"a\r\nb", 3 },
        { L"a\r\nb\r\n", L"a\r\nb\r\n", 4 },
        { L"\r\n\n", L"\r\n\r\n", 2 },
        { L"\x15" L"x\x16\x13y\x14\x11\n", L"xy\r\n", 2 },
        { L"\x12\x11", L"", 0 },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        ClearCaptured();
        long before = HostWriteCalls();
        EXPECT_EQ(MarkedPrintf(L"%s", c.text), 0) << Escaped(c.text);
        EXPECT_WTEXT(c.expected, CapturedOut());
        EXPECT_EQ(HostWriteCalls() - before, c.writes) << Escaped(c.text);
    }
    EXPECT_EQ(fake::console.Log, L"");
}

TEST_F(MarkedPrintfTest, ColourModeRunsAndRestore)
{
    // Each expected log lists attribute changes (A..) and written runs [..].
    struct Case {
        const wchar_t *text;
        const wchar_t *log;
        const wchar_t *out;  // what went through the host (line ends)
    } cases[] = {
        { L"Reply from \x12host\x11: ", L"A07 [Reply from ] A0F [host] A07 [: ]", L"" },
        // Codes selecting the colour in force do not split a run.
        { L"x\x11\x11y", L"A07 [xy]", L"" },
        { L"\x12\x12" L"a\x12" L"b", L"A0F [ab] A07", L"" },
        // A trailing code writes nothing, but the colour comes back.
        { L"\x12" L"a\x11", L"A0F [a] A07", L"" },
        { L"\x12" L"a\x12", L"A0F [a] A07", L"" },
        { L"a\x12", L"A07 [a]", L"" },
        { L"\x12", L"", L"" },
        { L"\x12" L"a\x13" L"b\x14" L"c\x15" L"d\x16" L"e",
          L"A0F [a] A70 [b] AF0 [c] A0E [d] AE0 [e] A07", L"" },
        // A line end writes the run, sets normal and starts over in it.
        { L"a\x12" L"b\nc", L"A07 [a] A0F [b] A07 A07 [c]", L"\r\n" },
        { L"\x12" L"b\r\n\x12", L"A0F [b] A07", L"\r\n" },
        { L"\n\n", L"A07 A07", L"\r\n\r\n" },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        fake::console.Log.clear();
        ClearCaptured();
        ResetListOutput();
        GreyOnBlack();
        EXPECT_EQ(MarkedPrintf(L"%s", c.text), 0) << Escaped(c.text);
        EXPECT_EQ(Narrow(fake::console.Log), Narrow(c.log)) << Escaped(c.text);
        EXPECT_WTEXT(c.out, CapturedOut());
        // Whatever was set last is the normal colour.
        size_t last = fake::console.Log.rfind(L'A');
        if (last != std::wstring::npos && fake::console.Log.find(L'[', last) == std::wstring::npos) {
            EXPECT_EQ(Narrow(fake::console.Log.substr(last, 3)), "A07") << Escaped(c.text);
        }
    }
}

TEST_F(MarkedPrintfTest, ColourModeTellsTheHostAboutTheRestore)
{
    GreyOnBlack();
    SetColors(0x55);
    EXPECT_EQ(MarkedPrintf(L"\x12%d", 42), 0);
    EXPECT_EQ(Narrow(fake::console.Log), "A0F [42] A07");
    EXPECT_EQ(HostLastColors(), 0x07);
}

TEST_F(MarkedPrintfTest, ControlCFlagStopsBeforeAnyText)
{
    ListBreakFlag = 1;
    fake::console.Attribute = 0x07;
    EXPECT_EQ(MarkedPrintf(L"never %s\n", L"shown"), -3);
    EXPECT_EQ(Narrow(fake::console.Log), Narrow(L"C0E [\r ^C \n] C07"));
    EXPECT_WTEXT(L"", CapturedOut());
    EXPECT_EQ(ListBreakFlag, 1) << "the flag stays until a command clears it";
    EXPECT_EQ(MarkedPrintf(L"again"), -3);
}

TEST_F(MarkedPrintfTest, ControlCSeenAtALineEndStopsTheText)
{
    GreyOnBlack();
    fake::console.Attribute = 0x07;
    ListBreakFlag = 0;
    // The flag rises while the first line is written.
    fake::console.BreakAtWrite = 1;
    EXPECT_EQ(MarkedPrintf(L"\x12one\ntwo\n"), -3);
    EXPECT_EQ(Narrow(fake::console.Log), Narrow(L"A0F [one] A07 C0E [\r ^C \n] C07"));
    EXPECT_WTEXT(L"\r\n", CapturedOut());
}

TEST_F(MarkedPrintfTest, LongTextIsWrittenWhole)
{
    std::wstring big(20000, L'w');
    GreyOnBlack();
    EXPECT_EQ(MarkedPrintf(L"%s\x12!", big.c_str()), 0);
    EXPECT_EQ(fake::console.Log, L"A07 [" + big + L"] A0F [!] A07");
}

TEST_F(MarkedPrintfTest, AllocationFailureWritesNothing)
{
    for (int colours = 0; colours < 2; colours++) {
        for (int failAt = 1; failAt <= 3; failAt++) {
            ResetListOutput();
            if (colours)
                GreyOnBlack();
            fake::heap.Mallocs = 0;
            fake::heap.FailMallocAt = failAt;
            long live = fake::LiveBlocks();
            fake::console.Log.clear();
            ClearCaptured();
            SetColors(0x55);
            int result = MarkedPrintf(L"\x12%s\x11 tail\n", L"head");
            EXPECT_EQ(fake::LiveBlocks(), live) << "fail at " << failAt;
            if (failAt <= 2) {
                EXPECT_EQ(result, -2) << "fail at " << failAt;
                EXPECT_EQ(fake::console.Log, L"");
                EXPECT_WTEXT(L"", CapturedOut());
                EXPECT_EQ(HostLastColors(), 0x55) << "colours unchanged";
            } else {
                EXPECT_EQ(result, 0);
                EXPECT_EQ(fake::heap.Mallocs, 2);
            }
        }
    }
}
