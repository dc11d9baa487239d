// SONAROHELP: option forms, topics, search texts, errors, usage and version output; Help.
#include "helptest.h"

#include "help/helpcommand.h"
#include "frame/entries.h"
#include "help/helpusage.h"

#include <string.h>
#include <wctype.h>

namespace {

// What the viewer was asked to do: page, tab message, search typed.
struct Seen {
    std::wstring page;     // "" when no viewer was started
    int tab;               // -1 when no tab message was posted
    std::wstring search;   // "(none)" when nothing was typed
};

Seen Observe(void)
{
    Seen seen{L"", -1, L"(none)"};
    if (!fake::help.Launches.empty()) {
        std::wstring line = fake::help.Launches.back().CommandLine;
        size_t at = line.find(L"::/");
        seen.page = at == std::wstring::npos ? line : line.substr(at + 3, line.size() - at - 4);
    }
    for (const std::wstring &event : fake::help.Events) {
        if (event.find(L"TCM_SETCURFOCUS") != std::wstring::npos)
            seen.tab = _wtoi(event.substr(event.rfind(L"TCM_SETCURFOCUS") + 16).c_str());
        size_t open = event.find(L"WM_SETTEXT 0 [");
        if (open != std::wstring::npos)
            seen.search = event.substr(open + 14, event.size() - open - 15);
    }
    return seen;
}

class CommandTest : public HelpTest {
protected:
    void SetUp() override
    {
        HelpTest::SetUp();
        fake::help.Files = {FAKE_BESIDE_DLL};
        fake::AddViewerWindows();
    }
};

}  // namespace

TEST_F(CommandTest, OptionFormsTopicsAndSearchTexts)
{
    struct Case {
        const wchar_t *line;
        const wchar_t *page;
        int tab;
        const wchar_t *search;
    } cases[] = {
        {L"", L"overview.html", -1, L"(none)"},
        {L"  \t ", L"overview.html", -1, L"(none)"},
        {L"\"\" ports", L"overview.html", -1, L"(none)"},
        {L"@PINGTIME", L"f_pingtime.html", -1, L"(none)"},
        {L"_PINGAVG", L"v_pingavg.html", -1, L"(none)"},
        {L"SonaroMacro", L"sonaromacro.html", -1, L"(none)"},
        {L"ports /C", L"ports.html", -1, L"(none)"},
        {L"ports extra words", L"ports.html", -1, L"(none)"},
        {L"\"net use\"", L"net use.html", -1, L"(none)"},
        {L"/C ports", L"ports.html", 0, L"(none)"},
        {L"/c", L"overview.html", 0, L"(none)"},
        {L"/F", L"overview.html", 2, L"(none)"},
        {L"/S", L"overview.html", 1, L""},
        {L"/s ports", L"ports.html", 1, L""},
        {L"/S:net ports", L"ports.html", 1, L"net"},
        {L"/S=net", L"overview.html", 1, L"net"},
        {L"/Snet", L"overview.html", 1, L"net"},
        {L"/sxyz", L"overview.html", 1, L"xyz"},
        {L"/S:", L"overview.html", 1, L""},
        {L"/S::x", L"overview.html", 1, L":x"},
        {L"/S:\"net use\" ports", L"ports.html", 1, L"\"net use\""},
        {L"\"/S:net use\"", L"overview.html", 1, L"\"net use\""},
        {L"/S:\"a\tb\"", L"b.html", 1, L"a"},
        {L"/S /C", L"overview.html", 0, L"(none)"},
        {L"/S:net /C", L"overview.html", 0, L"(none)"},
        {L"/S:net /F", L"overview.html", 2, L"(none)"},
        {L"/C /S:abc", L"overview.html", 1, L"abc"},
        {L"/F /S", L"overview.html", 1, L""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        InstallFakeWorld();
        fake::help.Files = {FAKE_BESIDE_DLL};
        fake::AddViewerWindows();
        std::vector<wchar_t> line(c.line, c.line + wcslen(c.line) + 1);
        EXPECT_EQ(sonarohelp(line.data()), 0) << Narrow(c.line);
        Seen seen = Observe();
        EXPECT_WTEXT(c.page, seen.page) << "input: " << Narrow(c.line);
        EXPECT_EQ(seen.tab, c.tab) << "input: " << Narrow(c.line);
        EXPECT_WTEXT(c.search, seen.search) << "input: " << Narrow(c.line);
        EXPECT_WTEXT(L"", CapturedErr()) << "input: " << Narrow(c.line);
    }
}

TEST_F(CommandTest, LongTokensAreCut)
{
    std::wstring line = L"/S:" + std::wstring(9000, L'q');
    EXPECT_EQ(sonarohelp(line.data()), 0);
    EXPECT_EQ(Observe().search, std::wstring(8191 - 3, L'q'));
}

TEST_F(CommandTest, UnknownOptionsAreRefusedUpperCased)
{
    struct Case {
        const wchar_t *line, *shown;
    } cases[] = {
        {L"/x", L"/X"}, {L"/c:", L"/C:"}, {L"/", L"/"}, {L"/qx ports", L"/QX"},
        {L"/s:net /help", L"/HELP"}, {L"/\"a b\"", L"/A B"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        InstallFakeWorld();
        ClearCaptured();
        std::vector<wchar_t> line(c.line, c.line + wcslen(c.line) + 1);
        EXPECT_EQ(sonarohelp(line.data()), 1) << Narrow(c.line);
        EXPECT_WTEXT(L"Sonaro plugin: Unknown option: \"" + std::wstring(c.shown) + L"\"\r\n",
                     CapturedErr());
        EXPECT_WTEXT(L"", CapturedOut());
        EXPECT_TRUE(fake::help.Launches.empty()) << Narrow(c.line);
        EXPECT_EQ(fake::help.MessageBoxes, 0) << Narrow(c.line);
    }
}

TEST_F(CommandTest, MissingLineAndMissingFile)
{
    EXPECT_EQ(sonarohelp(nullptr), 1);
    EXPECT_TRUE(fake::help.Launches.empty());

    // A missing help file is shown in the box; the command still succeeds.
    fake::help.Files.clear();
    wchar_t line[] = L"sonaro";
    EXPECT_EQ(sonarohelp(line), 0);
    EXPECT_EQ(fake::help.MessageBoxes, 1);
}

TEST_F(CommandTest, QuitClosesTheViewer)
{
    wchar_t open[] = L"ports";
    ASSERT_EQ(sonarohelp(open), 0);
    ASSERT_EQ(fake::help.Launches.size(), 1u);
    HANDLE viewer = fake::help.Launches[0].Process;

    wchar_t quit[] = L"/q ports";
    EXPECT_EQ(sonarohelp(quit), 0);
    EXPECT_EQ(fake::help.Terminated, std::vector<HANDLE>{viewer});
    EXPECT_EQ(fake::help.Closed.back(), viewer);
    EXPECT_EQ(ViewerProcess, nullptr);
    EXPECT_EQ(fake::help.Launches.size(), 1u);

    // Nothing open: nothing to do.
    wchar_t again[] = L"/Q";
    EXPECT_EQ(sonarohelp(again), 0);
    EXPECT_EQ(fake::help.Terminated.size(), 1u);
    EXPECT_WTEXT(L"", CapturedOut() + CapturedErr());
}

TEST_F(CommandTest, UsageAndHelpModuleLine)
{
    wchar_t usage[] = L"/? ports";
    EXPECT_EQ(sonarohelp(usage), 0);
    EXPECT_WTEXT(SonaroHelpUsageText, CapturedOut());

    ClearCaptured();
    wchar_t more[] = L"/??";
    EXPECT_EQ(sonarohelp(more), 0);
    EXPECT_WTEXT(std::wstring(SonaroHelpUsageText) +
                     L"\r\n\t\t\t\tSonaro  " SONARO_FULL_VERSION_TEXT " (" ARCH_W L")\r\n"
                     L"\t\t\t\tNewHelp  1.0.8.14\r\n",
                 CapturedOut());
    EXPECT_TRUE(fake::help.Launches.empty());
    EXPECT_WTEXT(L"", CapturedErr());
}

// The build's date and time stand between the version and the platform, in
// the form below (BuildDates checks the date's conversion).
TEST_F(CommandTest, VersionReport)
{
    wchar_t line[] = L"/v ports";
    EXPECT_EQ(sonarohelp(line), 0);
    const std::wstring head = L"Sonaro plugin  " SONARO_FULL_VERSION_TEXT "  ";
    std::wstring out = CapturedOut();
    ASSERT_GE(out.size(), head.size() + 19) << Narrow(out);
    std::wstring stamp = out.substr(head.size(), 19);
    for (wchar_t &c : stamp)
        c = iswdigit(c) ? L'd' : c;
    EXPECT_WTEXT(head + L"dddd-dd-dd dd:dd:dd", out.substr(0, head.size()) + stamp);
    EXPECT_WTEXT(L"  (" ARCH_W L")\r\n\n"
                 L"   NewHelp . . . . . . . . . 1.0.8.14\r\n"
                 L"   ParseArgs . . . . . . . . 1.0.3.0\r\n"
                 L"   ConList . . . . . . . . . 1.1.0.0\r\n"
                 L"   SoundVol  . . . . . . . . 1.0.5.1\r\n",
                 out.substr(head.size() + 19));
    EXPECT_TRUE(fake::help.Launches.empty());
}

TEST_F(CommandTest, ModuleLinesLineUp)
{
    struct Case {
        const wchar_t *name;
        const char *version;
        const wchar_t *line;
    } cases[] = {
        {L"X", "2.0", L"   X . . . . . . . . . . . . 2.0\r\n"},
        {L"", "1", L"     . . . . . . . . . . . . 1\r\n"},
        {L"TwentyCharacterName_", "3", L"   TwentyCharacterName_  . . 3\r\n"},
        {L"TwentyOneCharacterNam", "4", L"   TwentyOneCharacterNam . . . 4\r\n"},
        {L"AVeryLongModuleNameIndeed", "5", L"   AVeryLongModuleNameIndeed . . . 5\r\n"},
        {L"Empty", "", L""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        ClearCaptured();
        PrintModuleVersion(c.name, c.version);
        EXPECT_WTEXT(c.line, CapturedOut()) << Narrow(c.name);
    }
}

TEST_F(CommandTest, BuildDates)
{
    struct Case {
        const char *stamp;
        int result;
        const wchar_t *date;
    } cases[] = {
        {"Apr  3 2024", 0, L"2024-04-03"}, {"dec 31 2099", 0, L"2099-12-31"},
        {"JAN\t1\t2014", 0, L"2014-01-01"}, {"Sep 09 2030", 0, L"2030-09-09"},
        {"Xyz  3 2024", 1, L""},           {"", 1, L""},
        {"Ap", 1, L""},                    {"Apr-3 2024", 2, L""},
        {"Apr  0 2024", 2, L""},           {"Apr 32 2024", 2, L""},
        {"Apr   2024x", 2, L""},           {"Apr  3-2024", 3, L""},
        {"Apr 3x 2024", 3, L""},           {"Apr  3 2013", 3, L""},
        {"Apr  3 2100", 3, L""},           {"Apr  3 ", 3, L""},
        {"Apr 99999999999 2024", 2, L""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        wchar_t output[1024];
        wcscpy(output, L"junk");
        EXPECT_EQ(FormatDateStamp(c.stamp, output), c.result) << c.stamp;
        EXPECT_WTEXT(c.date, output) << c.stamp;
    }
    EXPECT_EQ(FormatDateStamp("Apr  3 2024", nullptr), -1);
    EXPECT_EQ(FormatBuildDate(nullptr), -1);
    wchar_t build[1024];
    EXPECT_EQ(FormatBuildDate(build), 0);
}

TEST_F(CommandTest, QuoteIfBlank)
{
    struct Case {
        std::wstring in;
        int result;
        std::wstring out;
    } cases[] = {
        {L"", 0, L""},
        {L"net", 0, L"net"},
        {L"net use", 0, L"\"net use\""},
        {L"a\tb", 0, L"\"a\tb\""},
        {L" ", 0, L"\" \""},
        {std::wstring(8188, L'a') + L" ", 0, L"\"" + std::wstring(8188, L'a') + L" \""},
        {std::wstring(8189, L'a') + L" ", 8, std::wstring(8189, L'a') + L" "},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        std::vector<wchar_t> buffer(8192, 0);
        wcsncpy(buffer.data(), c.in.c_str(), 8191);
        EXPECT_EQ(QuoteIfBlank(buffer.data()), c.result) << "length " << c.in.size();
        EXPECT_EQ(Escaped(c.out), Escaped(buffer.data())) << "length " << c.in.size();
    }
    EXPECT_EQ(QuoteIfBlank(nullptr), -1);
}

TEST_F(CommandTest, TopicsForNames)
{
    struct Case {
        const wchar_t *name, *topic;
    } cases[] = {
        {L"@PINGTIME", L"f_pingtime"}, {L"_PINGAVG", L"v_pingavg"}, {L"SonaroMacro", L"sonaromacro"},
        {L"@", L"f_"},                 {L"_", L"v_"},                {L"", L""},
        {L"Ports", L"ports"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        wchar_t topic[1024];
        EXPECT_EQ(HelpTopicForName(c.name, topic), 0);
        EXPECT_WTEXT(c.topic, topic) << Narrow(c.name);
    }
    std::wstring longName = L"@" + std::wstring(3000, L'N');
    std::vector<wchar_t> topic(1100, L'#');
    EXPECT_EQ(HelpTopicForName(longName.c_str(), topic.data()), 0);
    EXPECT_WTEXT(L"f_" + std::wstring(1021, L'n'), topic.data());
    EXPECT_EQ(topic[1024], L'#');
    EXPECT_EQ(HelpTopicForName(nullptr, topic.data()), -1);
    EXPECT_EQ(HelpTopicForName(L"x", nullptr), -1);
}

TEST_F(CommandTest, HelpEntryForThePluginsNames)
{
    struct Case {
        const wchar_t *name;
        int result;
        const wchar_t *page;
    } cases[] = {
        {L"@PINGTIME", 1, L"f_pingtime.html"}, {L"_PINGMIN", 1, L"v_pingmin.html"},
        {L"Sonaro", 1, L"sonaro.html"},        {L"sonarohelp", 1, L"sonarohelp.html"},
        {L"@SonaroMacro", 1, L"f_sonaromacro.html"}, {L"_pingsrcvd", 1, L"v_pingsrcvd.html"},
        {L"ping", 0, L""},                     {L"sonar", 0, L""},
        {L"sonaro ", 0, L""},                  {L"sonaromacroX", 0, L""},
        {L"pingtime", 0, L""},                 {L"sonaro,sonarohelp", 0, L""},
        {L"", 0, L""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        InstallFakeWorld();
        fake::help.Files = {FAKE_BESIDE_DLL};
        fake::AddViewerWindows();
        std::vector<wchar_t> name(c.name, c.name + wcslen(c.name) + 1);
        EXPECT_EQ(Help(name.data()), c.result) << Narrow(c.name);
        Seen seen = Observe();
        EXPECT_WTEXT(c.page, seen.page) << Narrow(c.name);
        EXPECT_EQ(seen.tab, -1) << Narrow(c.name);
        EXPECT_EQ(fake::help.MessageBoxes, 0) << Narrow(c.name);
    }
    EXPECT_EQ(Help(nullptr), 0);

    // A plugin name without a help file: the box, and still 1.
    InstallFakeWorld();
    wchar_t name[] = L"sonaro";
    EXPECT_EQ(Help(name), 1);
    EXPECT_EQ(fake::help.MessageBoxes, 1);
}

TEST_F(CommandTest, VersionEntry)
{
    EXPECT_EQ(ClverEntry(nullptr), -1);
    wchar_t buffer[8192];
    wcscpy(buffer, L"previous text that is longer");
    EXPECT_EQ(ClverEntry(buffer), 0);
    EXPECT_WTEXT(L"1.1.0.0", buffer);
}
