// Page prompt, its keys and time-out, Control-C during a listing, page length.
#include "fakeworld.h"
#include "console/conlist.h"

#include <thread>

using PagingTest = FakeWorldTest;

// Prints lines through MarkedPrintf until a prompt has been shown `prompts`
// times (or `limit` lines were printed); gives the lines printed.
static int LinesUntilPrompt(int limit)
{
    size_t before = fake::console.Log.size();
    for (int line = 1; line <= limit; line++) {
        int result = MarkedPrintf(L"line %d\n", line);
        if (result != 0)
            return -line;
        if (fake::console.Log.find(fake::PromptInLog, before) != std::wstring::npos)
            return line;
    }
    return 0;
}

TEST_F(PagingTest, PromptAfterAFullPage)
{
    PageLength = 23;
    LinesLeft = 23;
    fake::console.Keys = { 'x' };
    EXPECT_EQ(LinesUntilPrompt(100), 23);
    EXPECT_EQ(Narrow(fake::console.Log), Narrow(fake::PromptInLog + L" " + fake::BlankOutInLog));
    EXPECT_EQ(LinesLeft, 23);
    EXPECT_EQ(PageLength, 23);
    // Text went through the host, line by line.
    std::wstring out = CapturedOut();
    EXPECT_EQ(out.substr(0, 16), L"line 1\r\nline 2\r\n");
    EXPECT_EQ(out.substr(out.size() - 9), L"line 23\r\n");
}

TEST_F(PagingTest, KeysAtThePrompt)
{
    struct Case {
        int key;
        int result;          // of the MarkedPrintf that showed the prompt
        int linesToNext;     // lines until the next prompt; 0 = none in 100
        int pageLengthAfter;
        bool echo;           // "^C" shown
    } cases[] = {
        { 'c', 0, 0, 0, false },
        { 'C', 0, 0, 0, false },
        { 'a', 0, 0, 0, false },
        { 'A', 0, 0, 0, false },
        { '/', 0, 11, 23, false },
        { '1', 0, 1, 23, false },
        { '5', 0, 5, 23, false },
        { '9', 0, 9, 23, false },
        { '0', 0, 10, 23, false },
        { ' ', 0, 23, 23, false },
        { 'q', 0, 23, 23, false },
        { KEY_EXTENDED + 0x48, 0, 23, 23, false },
        { 27, -3, 0, 23, false },
        { 3, -3, 0, 23, true },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        ResetListOutput();
        fake::console.Log.clear();
        fake::console.Keys.clear();
        if (c.key >= KEY_EXTENDED) {
            fake::console.Keys.push_back(0xE0);
            fake::console.Keys.push_back(c.key - KEY_EXTENDED);
        } else {
            fake::console.Keys.push_back(c.key);
        }
        PageLength = 23;
        LinesLeft = 23;
        for (int line = 1; line < 23; line++)
            ASSERT_EQ(MarkedPrintf(L"line\n"), 0);
        EXPECT_EQ(MarkedPrintf(L"last of the page\n"), c.result) << "key " << c.key;
        EXPECT_TRUE(fake::console.Keys.empty()) << "key " << c.key << " was not read";
        EXPECT_EQ(PageLength, c.pageLengthAfter) << "key " << c.key;
        bool echoed = fake::console.Log.find(L"^C") != std::wstring::npos;
        EXPECT_EQ(echoed, c.echo) << "key " << c.key;
        if (c.result != 0)
            continue;
        fake::console.Keys = { 'x' };
        EXPECT_EQ(LinesUntilPrompt(100), c.linesToNext) << "key " << c.key;
    }
}

TEST_F(PagingTest, PromptStopsAtControlCAndEscape)
{
    // The echo is written after the blank-out line.
    PageLength = 3;
    LinesLeft = 1;
    fake::console.Keys = { 3 };
    EXPECT_EQ(EndListLine(), -3);
    EXPECT_EQ(Narrow(fake::console.Log),
              Narrow(fake::PromptInLog + L" " + fake::BlankOutInLog + L" C0E [\r ^C \n] C07"));

    fake::console.Log.clear();
    LinesLeft = 1;
    fake::console.Keys = { 27 };
    EXPECT_EQ(EndListLine(), -3);
    EXPECT_EQ(Narrow(fake::console.Log), Narrow(fake::PromptInLog + L" " + fake::BlankOutInLog));
}

TEST_F(PagingTest, NoPagingWithoutLinesLeft)
{
    PageLength = 5;
    LinesLeft = 0;
    EXPECT_EQ(LinesUntilPrompt(50), 0);
    EXPECT_EQ(g_sysCallCount[SYS__kbhit], 0u);
}

TEST_F(PagingTest, ColourModeLineEndsSetNormal)
{
    const unsigned char slots[6] = { 0x1F, 0x1B, 0xF1, 0xB1, 0x16, 0x61 };
    memcpy(ColourSlots, slots, sizeof slots);
    SetColors(0x55);
    PageLength = 2;
    LinesLeft = 1;
    fake::console.Keys = { 'x' };
    EXPECT_EQ(EndListLine(), 0);
    EXPECT_EQ(Narrow(fake::console.Log), Narrow(L"A1F " + fake::PromptInLog + L" " + fake::BlankOutInLog));
    EXPECT_EQ(HostLastColors(), 0x1F);
    EXPECT_WTEXT(L"\r\n", CapturedOut());
}

TEST_F(PagingTest, WaitForKeyReadsExtendedKeys)
{
    fake::console.Keys = { 0, 0x3B };
    EXPECT_EQ(WaitForKey(), KEY_EXTENDED + 0x3B);
    fake::console.Keys = { 0xE0, 0x50 };
    EXPECT_EQ(WaitForKey(), KEY_EXTENDED + 0x50);
    fake::console.Keys = { 0x00E9 };
    EXPECT_EQ(WaitForKey(), 0xE9);
}

TEST_F(PagingTest, WaitForKeyPollsUntilAKey)
{
    fake::console.Keys = { 'k' };
    fake::console.KeyAfterPolls = 7;
    ListBreakFlag = 1;  // an old Control-C does not end a new wait
    EXPECT_EQ(WaitForKey(), 'k');
    EXPECT_EQ(fake::clock.Sleeps.size(), 7u);
    EXPECT_EQ(ListBreakFlag, 0);
    EXPECT_EQ(g_sysCallCount[SYS_GetTickCount], 0u) << "no clock without a pause time";
}

TEST_F(PagingTest, WaitForKeyTimesOut)
{
    // Start tick, pause time, milliseconds per Sleep, Sleeps until the
    // time-out (the answer is a blank).
    struct Case {
        DWORD start;
        unsigned pause;
        DWORD step;
        size_t sleeps;
    } cases[] = {
        { 1000, 2000, 10, 200 },
        { 1000, 1, 10, 1 },
        { 1000, 15, 10, 2 },
        // The deadline lies past the wrap of the tick count.
        { 0xFFFFFF00u, 2000, 10, 200 },
        { 0xFFFFFFFFu, 10, 10, 1 },
        // The deadline itself does not wrap, but the clock does between
        // two polls.
        { 0xFFFFFFF0u, 5, 30, 1 },
        { 0xFFFFFFF0u, 0xF, 0x20, 1 },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        fake::console.Keys.clear();
        fake::console.Polls = 0;
        fake::clock.Sleeps.clear();
        fake::clock.SetMs(c.start);
        fake::clock.SleepLateUs = static_cast<int>(c.step - 10) * 1000;
        PauseTime = c.pause;
        EXPECT_EQ(WaitForKey(), L' ') << "start " << c.start << " pause " << c.pause;
        EXPECT_EQ(fake::clock.Sleeps.size(), c.sleeps) << "start " << c.start << " pause " << c.pause;
    }
}

TEST_F(PagingTest, TimedPromptGoesOnLikeABlank)
{
    PauseTime = 2000;
    PageLength = 4;
    LinesLeft = 1;
    fake::clock.SetMs(5000);
    EXPECT_EQ(EndListLine(), 0);
    EXPECT_EQ(fake::clock.Sleeps.size(), 200u);
    EXPECT_EQ(LinesLeft, 4);
    EXPECT_EQ(LinesUntilPrompt(10), 4);
}

TEST_F(PagingTest, ControlCFromAnotherThreadEndsTheWait)
{
    fake::clock.RealSleep = true;
    fake::console.PollLimit = 1000;  // about 10 s, so a broken wait still ends
    PageLength = 10;
    LinesLeft = 1;
    std::thread console([] {
        g_sysDefault.Sleep(50);
        ListCtrlHandler(CTRL_C_EVENT);
    });
    int result = EndListLine();
    console.join();
    EXPECT_EQ(result, -3);
    EXPECT_LT(fake::console.Polls, 1000);
    EXPECT_NE(fake::console.Log.find(L"[\r ^C \n]"), std::wstring::npos);
    // Every further output of the listing stops at once, with the echo.
    fake::console.Log.clear();
    EXPECT_EQ(MarkedPrintf(L"more\n"), -3);
    EXPECT_EQ(Narrow(fake::console.Log), Narrow(L"C0E [\r ^C \n] C07"));
}

TEST_F(PagingTest, ControlCBetweenLinesFromAnotherThread)
{
    std::thread console([] { ListCtrlHandler(CTRL_BREAK_EVENT); });
    console.join();
    EXPECT_EQ(MarkedPrintf(L"line\n"), -3);
    EXPECT_WTEXT(L"", CapturedOut());
}

TEST_F(PagingTest, HandlerTakesOnlyControlCAndBreak)
{
    for (DWORD event : { CTRL_CLOSE_EVENT, CTRL_LOGOFF_EVENT, CTRL_SHUTDOWN_EVENT }) {
        SCOPED_TRACE(::testing::Message() << event);
        EXPECT_EQ(ListCtrlHandler(event), FALSE);
        EXPECT_EQ(ListBreakFlag, 0);
    }
    EXPECT_EQ(ListCtrlHandler(CTRL_C_EVENT), TRUE);
    EXPECT_EQ(ListBreakFlag, 1);
    ListBreakFlag = 0;
    EXPECT_EQ(ListCtrlHandler(CTRL_BREAK_EVENT), TRUE);
    EXPECT_EQ(ListBreakFlag, 1);
}

TEST_F(PagingTest, InstallAndRemoveTheHandlerOnce)
{
    const auto &calls = fake::console.CtrlHandlerCalls;
    ListBreakFlag = 1;
    InstallListCtrlHandler();
    EXPECT_EQ(ListBreakFlag, 0);
    EXPECT_TRUE(ListHandlerRegistered);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].first, &ListCtrlHandler);
    EXPECT_EQ(calls[0].second, TRUE);
    InstallListCtrlHandler();
    EXPECT_EQ(g_sysCallCount[SYS_SetConsoleCtrlHandler], 1u);

    ListBreakFlag = 1;
    EXPECT_EQ(RemoveListCtrlHandler(), 1);
    EXPECT_EQ(ListBreakFlag, 0);
    EXPECT_FALSE(ListHandlerRegistered);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].first, &ListCtrlHandler);
    EXPECT_EQ(calls[1].second, FALSE);
    ListBreakFlag = 1;
    EXPECT_EQ(RemoveListCtrlHandler(), 0);
    EXPECT_EQ(ListBreakFlag, 0);
    EXPECT_EQ(g_sysCallCount[SYS_SetConsoleCtrlHandler], 2u);
}

TEST_F(PagingTest, PageLengthFromTheWindow)
{
    struct Case {
        int rows;
        int requested;
        int length;
    } cases[] = {
        { 25, -1, 23 }, { 25, 10, 10 }, { 25, 2, 23 }, { 25, 3, 3 }, { 25, 24, 24 },
        { 25, 25, 23 }, { 25, 1000, 23 }, { 9, -1, 0 }, { 9, 5, 0 }, { 10, -1, 8 },
        { 100, 50, 50 }, { 100, -1, 98 }, { 101, 50, 0 },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        fake::console.WindowRows = c.rows;
        PageLength = LinesLeft = 77;
        StartPaging(c.requested);
        EXPECT_EQ(PageLength, c.length) << c.rows << " rows, " << c.requested << " asked";
        EXPECT_EQ(LinesLeft, c.length) << c.rows << " rows, " << c.requested << " asked";
    }
}

TEST_F(PagingTest, NoPagingWhenNotAskedOrNoConsole)
{
    PageLength = LinesLeft = 7;
    StartPaging(0);
    EXPECT_EQ(PageLength, 7);
    EXPECT_EQ(LinesLeft, 7);
    EXPECT_EQ(g_sysCallCount[SYS_GetConsoleScreenBufferInfo], 0u);

    fake::console.BufferInfoOk = false;
    StartPaging(-1);
    EXPECT_EQ(PageLength, 0);
    EXPECT_EQ(LinesLeft, 0);
}
