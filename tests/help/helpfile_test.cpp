// Finding the help file among its seven places, starting the viewer, one viewer at a time.
#include "fakeworld.h"
#include "helptest.h"

#include "help/newhelp.h"
#include "frame/entries.h"

namespace {

const wchar_t kMissingForWin[] =
    L"I can\u2019t find the help file Sonaro.chm.  It should be:\n\n"
    L"    \u2022  in a directory specified in %SONAROHELP\n"
    L"    \u2022  in a directory specified in %PLUGINHELP\n"
    L"    \u2022  in the same directory as the .DLL file\n"
    L"    \u2022  in a HELP directory within the .DLL\u2019s directory  \n"
    L"    \u2022  in the same directory as the command shell\n"
    L"    \u2022  in a HELP directory within the shell\u2019s directory  \n"
    L"    \u2022  or in D:\\Win\\Help.\n";

// The seven places, as the host resolves them with both variables set.
std::vector<std::wstring> ExpectedPlaces(void)
{
    return {
        L"C:\\help1\\Sonaro.chm",
        L"C:\\help2\\Sonaro.chm",
        FAKE_BESIDE_DLL,
        FAKE_DLL_HELP,
        HostResolve(L"%@path[%_cmdspec]Sonaro.chm"),
        HostResolve(L"%@path[%_cmdspec]help\\Sonaro.chm"),
        HostResolve(L"%windir\\help\\Sonaro.chm"),
    };
}

}  // namespace

using HelpFileTest = HelpTest;

TEST_F(HelpFileTest, TriesTheSevenPlacesInOrderThenShowsTheMessage)
{
    ScopedEnv help(L"SONAROHELP", L"C:\\help1");
    ScopedEnv plugin(L"PLUGINHELP", L"C:\\help2");
    std::vector<std::wstring> expected = ExpectedPlaces();
    for (size_t i = 4; i < expected.size(); i++)
        ASSERT_EQ(expected[i].find(L'%'), std::wstring::npos)
            << "host left a variable unexpanded in place " << i + 1 << ": " << Narrow(expected[i]);

    EXPECT_EQ(OpenHelp(L"overview", nullptr, 0), 1);

    ASSERT_EQ(fake::help.Probed.size(), expected.size());
    for (size_t i = 0; i < expected.size(); i++)
        EXPECT_WTEXT(expected[i], fake::help.Probed[i]) << "place " << i + 1;
    EXPECT_EQ(fake::help.Launches.size(), 0u);
    EXPECT_EQ(fake::help.MessageBoxes, 1);
    EXPECT_WTEXT(kMissingForWin, fake::help.MessageText);
    EXPECT_WTEXT(L"Missing Help File", fake::help.MessageCaption);
    EXPECT_EQ(fake::help.MessageType, static_cast<UINT>(MB_OK));
    EXPECT_EQ(fake::help.MessageOwner, FAKE_FOREGROUND);
    EXPECT_EQ(ViewerProcess, nullptr);
}

TEST_F(HelpFileTest, EachPlaceWinsOverThoseAfterIt)
{
    ScopedEnv help(L"SONAROHELP", L"C:\\help1");
    ScopedEnv plugin(L"PLUGINHELP", L"C:\\help2");
    std::vector<std::wstring> places = ExpectedPlaces();
    for (size_t winner = 0; winner < places.size(); winner++) {
        InstallFakeWorld();
        fake::help.Files.assign(places.begin() + static_cast<long>(winner), places.end());
        EXPECT_EQ(OpenHelp(L"sonaro", nullptr, 0), 1);
        ASSERT_EQ(fake::help.Launches.size(), 1u) << "place " << winner + 1;
        EXPECT_WTEXT(ViewerCommandLine(places[winner], L"sonaro"), fake::help.Launches[0].CommandLine)
            << "place " << winner + 1;
        EXPECT_EQ(fake::help.Probed.size(), winner + 1);
        EXPECT_EQ(fake::help.MessageBoxes, 0);
    }
}

// With the variables undefined the first two places expand to "\Sonaro.chm";
// a file of that name in the root of the current drive is not taken.
TEST_F(HelpFileTest, UndefinedVariablesAreRefusedBeforeTheRootIsLookedAt)
{
    std::wstring root = HostResolve(L"\\Sonaro.chm");
    fake::help.Files = {root, FAKE_DLL_HELP};

    EXPECT_EQ(OpenHelp(L"overview", nullptr, 0), 1);

    ASSERT_EQ(fake::help.Probed.size(), 2u);
    EXPECT_WTEXT(FAKE_BESIDE_DLL, fake::help.Probed[0]);
    EXPECT_WTEXT(FAKE_DLL_HELP, fake::help.Probed[1]);
    ASSERT_EQ(fake::help.Launches.size(), 1u);
    EXPECT_WTEXT(ViewerCommandLine(FAKE_DLL_HELP, L"overview"), fake::help.Launches[0].CommandLine);
}

TEST_F(HelpFileTest, RefusalsMoveOnToTheNextPlace)
{
    struct Case {
        const char *what;
        std::vector<std::wstring> files, directories;
        bool viewer, launchFails;
        size_t launches;
        int boxes;
    } cases[] = {
        {"directory named Sonaro.chm", {FAKE_DLL_HELP}, {FAKE_BESIDE_DLL}, true, false, 1, 0},
        {"no hh.exe", {FAKE_BESIDE_DLL, FAKE_DLL_HELP}, {}, false, false, 0, 1},
        {"viewer does not start", {FAKE_BESIDE_DLL}, {}, true, true, 0, 1},
        {"nothing anywhere", {}, {}, true, false, 0, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        InstallFakeWorld();
        fake::help.Files = c.files;
        fake::help.Directories = c.directories;
        fake::help.ViewerInstalled = c.viewer;
        fake::help.LaunchFails = c.launchFails;
        EXPECT_EQ(OpenHelp(L"overview", nullptr, 0), 1) << c.what;
        EXPECT_EQ(fake::help.Launches.size(), c.launches) << c.what;
        EXPECT_EQ(fake::help.MessageBoxes, c.boxes) << c.what;
        if (c.launches == 1)
            EXPECT_WTEXT(ViewerCommandLine(FAKE_DLL_HELP, L"overview"), fake::help.Launches[0].CommandLine)
                << c.what;
        else
            EXPECT_WTEXT(kMissingForWin, fake::help.MessageText) << c.what;
    }
}

TEST_F(HelpFileTest, StartsTheViewerOnThePage)
{
    fake::help.Files = {FAKE_BESIDE_DLL};
    EXPECT_EQ(TryHelpFile(L"~\\Sonaro.chm", L"f_pingtime", 0, nullptr), 1);

    ASSERT_EQ(fake::help.Launches.size(), 1u);
    const fake::Launch &launch = fake::help.Launches[0];
    EXPECT_WTEXT(FAKE_VIEWER, launch.Application);
    EXPECT_WTEXT(L"\"C:\\windows\\hh.exe\" \"C:\\plug\\Sonaro.chm::/f_pingtime.html\"",
                 launch.CommandLine);
    EXPECT_EQ(launch.InheritHandles, FALSE);
    EXPECT_EQ(launch.Flags, 0u);
    EXPECT_TRUE(launch.NullAttributes);
    EXPECT_EQ(launch.StartupSize, sizeof(STARTUPINFOW));
    EXPECT_TRUE(launch.StartupZeroed);
    // No tab asked for: the viewer is left alone, only its thread handle closed.
    EXPECT_EQ(g_sysCallCount[SYS_WaitForInputIdle], 0u);
    EXPECT_EQ(fake::help.Closed, std::vector<HANDLE>{launch.Thread});
    EXPECT_EQ(ViewerProcess, launch.Process);
}

TEST_F(HelpFileTest, MissingCandidateOrTopicFailsQuietly)
{
    fake::help.Files = {FAKE_BESIDE_DLL};
    EXPECT_EQ(TryHelpFile(nullptr, L"sonaro", 0, nullptr), 0);
    EXPECT_EQ(TryHelpFile(L"~\\Sonaro.chm", nullptr, 0, nullptr), 0);
    EXPECT_EQ(TryHelpFile(L"", L"sonaro", 0, nullptr), 0);
    EXPECT_EQ(fake::help.Launches.size(), 0u);
    EXPECT_EQ(fake::help.MessageBoxes, 0);
}

TEST_F(HelpFileTest, ATabStartsTheDriverWithTheNewProcess)
{
    fake::help.Files = {FAKE_BESIDE_DLL};
    fake::AddViewerWindows();
    EXPECT_EQ(TryHelpFile(L"~\\Sonaro.chm", L"ports", 3, L"ignored"), 1);
    ASSERT_EQ(fake::help.Launches.size(), 1u);
    std::vector<std::wstring> expected = {
        L"CreateProcess " + H(0x1001),
        L"WaitForInputIdle " + H(0x1001) + L" 8000",
        L"EnumWindows",
        L"Post " + H(0x110) + L" TCM_SETCURFOCUS 2 0",
        L"CloseHandle " + H(0x1002),
    };
    EXPECT_EQ(Escaped(Join(expected)), Escaped(Join(fake::help.Events)));
}

TEST_F(HelpFileTest, OneViewerAtATime)
{
    fake::help.Files = {FAKE_BESIDE_DLL};
    EXPECT_EQ(OpenHelp(L"sonaro", nullptr, 0), 1);
    EXPECT_EQ(OpenHelp(L"overview", nullptr, 0), 1);
    ASSERT_EQ(fake::help.Launches.size(), 2u);
    HANDLE first = fake::help.Launches[0].Process, second = fake::help.Launches[1].Process;

    // The first viewer is ended, and its handle closed, only after the second runs.
    std::vector<std::wstring> expected = {
        L"CreateProcess " + H(0x1001),  L"CloseHandle " + H(0x1002),
        L"CreateProcess " + H(0x2001),  L"CloseHandle " + H(0x2002),
        L"Terminate " + H(0x1001) + L" 0",    L"CloseHandle " + H(0x1001),
    };
    EXPECT_EQ(Escaped(Join(expected)), Escaped(Join(fake::help.Events)));
    EXPECT_EQ(ViewerProcess, second);

    fake::help.Events.clear();
    CloseHelpViewer();
    EXPECT_EQ(fake::help.Terminated, (std::vector<HANDLE>{first, second}));
    EXPECT_EQ(Escaped(Join({L"Terminate " + H(0x2001) + L" 0", L"CloseHandle " + H(0x2001)})),
              Escaped(Join(fake::help.Events)));
    EXPECT_EQ(ViewerProcess, nullptr);

    // Nothing left to end.
    CloseHelpViewer();
    EXPECT_EQ(fake::help.Terminated.size(), 2u);
}

TEST_F(HelpFileTest, UnloadingEndsTheViewer)
{
    fake::help.Files = {FAKE_BESIDE_DLL};
    OpenHelp(L"sonaro", nullptr, 0);
    ASSERT_EQ(fake::help.Launches.size(), 1u);
    ShutdownPlugin(0);
    EXPECT_EQ(fake::help.Terminated, std::vector<HANDLE>{fake::help.Launches[0].Process});
    EXPECT_EQ(ViewerProcess, nullptr);
}
