// EchoControlC: the echo colour on each background, and a console it cannot read.
#include "fakeworld.h"
#include "console/conlist.h"
#include "base/hostapi.h"
#include "base/pluginstate.h"

using EchoTest = FakeWorldTest;

TEST_F(EchoTest, EchoColourStandsOutAndIsUndone)
{
    struct Case {
        WORD current;
        const char *log;
    } cases[] = {
        { 0x0E, "C0F [\r ^C \n] C0E" },  // yellow on black: bright white
        { 0x07, "C0E [\r ^C \n] C07" },  // anything else on black: yellow
        { 0x0F, "C0E [\r ^C \n] C0F" },
        { 0x1B, "C1F [\r ^C \n] C1B" },
        { 0x17, "C1B [\r ^C \n] C17" },
        { 0x70, "C79 [\r ^C \n] C70" },
        { 0x79, "C70 [\r ^C \n] C79" },
        { 0xF0, "CF2 [\r ^C \n] CF0" },
        { 0xC0, "CCF [\r ^C \n] CC0" },
        // Bits above the colours come back as they were.
        { 0x4007, "C0E [\r ^C \n] C4007" },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        fake::console.Log.clear();
        fake::console.Attribute = c.current;
        EXPECT_EQ(EchoControlC(), -3);
        EXPECT_EQ(Narrow(fake::console.Log), c.log) << std::hex << c.current;
        EXPECT_EQ(HostLastColors(), c.current & 0xFF) << "the host knows the colour is back";
    }
}

TEST_F(EchoTest, NoReadableConsoleLeavesTheColoursAlone)
{
    fake::console.BufferInfoOk = false;
    EXPECT_EQ(EchoControlC(), -3);
    EXPECT_EQ(Narrow(fake::console.Log), Narrow(L"[\r ^C \n]"));
    EXPECT_EQ(g_sysCallCount[SYS_SetConsoleTextAttribute], 0u);

    fake::console.Log.clear();
    fake::console.BufferInfoOk = true;
    ConsoleOut = nullptr;
    SetColors(0x55);
    EXPECT_EQ(EchoControlC(), -3);
    EXPECT_EQ(Narrow(fake::console.Log), Narrow(L"[\r ^C \n]"));
    EXPECT_EQ(g_sysCallCount[SYS_SetConsoleTextAttribute], 0u);
    EXPECT_EQ(HostLastColors(), 0x55);
}
