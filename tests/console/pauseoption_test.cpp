// ParsePauseOption: accepted forms and the four messages.
#include "fakeworld.h"
#include "console/conlist.h"

using PauseOptionTest = FakeWorldTest;

TEST_F(PauseOptionTest, AcceptedForms)
{
    struct Case {
        const wchar_t *token;
        int lines;
        unsigned time;
    } cases[] = {
        { L"/P", -1, 0 },
        { L"-p", -1, 0 },
        { L"/P:", -1, 0 },
        { L"/P:5", -1, 5000 },
        { L"/P5", -1, 5000 },
        { L"-P=0", -1, 0 },
        { L"/p=250m,20", 20, 250 },
        { L"/P250M", -1, 250 },
        { L"/P:2;0", 0, 2000 },
        { L"/P,1000", 1000, 0 },
        { L"/P;7", 7, 0 },
        { L"/P,", -1, 0 },
        { L"/P0x10", -1, 16000 },
        { L"/P4294967", -1, 4294967000u },
        { L"/P4294967295m", -1, 4294967295u },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        wchar_t token[64];
        wcscpy(token, c.token);
        int lines = 12345;
        PauseTime = 777;
        EXPECT_EQ(ParsePauseOption(token, &lines), 0) << Narrow(c.token);
        EXPECT_EQ(lines, c.lines) << Narrow(c.token);
        EXPECT_EQ(PauseTime, c.time) << Narrow(c.token);
        EXPECT_WTEXT(c.token, token);
    }
    EXPECT_WTEXT(L"", CapturedErr());
}

TEST_F(PauseOptionTest, OtherTokensAreLeftAlone)
{
    for (const wchar_t *text : { L"/D", L"-L", L"P", L"/", L"", L"#1=host" }) {
        wchar_t token[16];
        wcscpy(token, text);
        int lines = 12345;
        PauseTime = 777;
        EXPECT_EQ(ParsePauseOption(token, &lines), 0) << Narrow(text);
        EXPECT_EQ(lines, 12345);
        EXPECT_EQ(PauseTime, 777u);
    }
    int lines = 0;
    EXPECT_EQ(ParsePauseOption(nullptr, &lines), -1);
    EXPECT_WTEXT(L"", CapturedErr());
}

TEST_F(PauseOptionTest, RefusedForms)
{
    struct Case {
        const wchar_t *token;
        const wchar_t *message;
    } cases[] = {
        { L"/P,1001", L"Pause lines must be 0 - 1000: 1001\r\n" },
        { L"/p;4294967295", L"Pause lines must be 0 - 1000: 4294967295\r\n" },
        { L"/p5x", L"Syntax error: \"/P5X\"\r\n" },
        { L"/Px", L"Syntax error: \"/PX\"\r\n" },
        { L"-p:5s", L"Syntax error: \"-P:5S\"\r\n" },
        { L"/p:5,x", L"Syntax error: \"/P:5,X\"\r\n" },
        { L"/p:5,10x", L"Syntax error: \"/P:5,10X\"\r\n" },
        { L"/p::5", L"Syntax error: \"/P::5\"\r\n" },
        { L"/p 5", L"Syntax error: \"/P 5\"\r\n" },
        { L"/p4294967296", L"Bad pause time: \"/P4294967296\"\r\n" },
        // Seconds whose milliseconds would not fit in 32 bits.
        { L"/p4294968", L"Bad pause time: \"/P4294968\"\r\n" },
        { L"/p,99999999999", L"Bad pause lines: \"/P,99999999999\"\r\n" },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        ClearCaptured();
        wchar_t token[64];
        wcscpy(token, c.token);
        int lines = 12345;
        EXPECT_EQ(ParsePauseOption(token, &lines), 1) << Narrow(c.token);
        EXPECT_WTEXT(std::wstring(L"Sonaro plugin: ") + c.message, CapturedErr());
        EXPECT_WTEXT(L"", CapturedOut());
    }
}
