// Driving the running viewer: idle wait, main window, tab switch, search box and button.
#include "helptest.h"

#include <commctrl.h>

namespace {

HANDLE const kProcess = reinterpret_cast<HANDLE>(0x5001);

const std::wstring kIdle = L"WaitForInputIdle " + H(0x5001) + L" 8000";
const std::wstring kTabToSearch = L"Post " + H(0x110) + L" TCM_SETCURFOCUS 1 0";

std::vector<std::wstring> Pressed(const std::wstring &text)
{
    return {
        L"Send " + H(0x120) + L" WM_SETTEXT 0 [" + text + L"]",
        L"Sleep 20",
        L"Send " + H(0x130) + L" WM_LBUTTONDOWN 1 0",
        L"Send " + H(0x130) + L" WM_LBUTTONUP 0 0",
    };
}

std::vector<std::wstring> Concat(std::vector<std::wstring> a, const std::vector<std::wstring> &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace

using ViewerTest = HelpTest;

TEST_F(ViewerTest, SwitchesToSearchTypesTheTextAndPressesTheButton)
{
    fake::AddViewerWindows();
    EXPECT_EQ(DriveHelpViewer(FAKE_VIEWER_PID, 1, kProcess, L"net use"), 0);
    std::vector<std::wstring> expected =
        Concat({kIdle, L"EnumWindows", kTabToSearch}, Pressed(L"net use"));
    EXPECT_EQ(Escaped(Join(expected)), Escaped(Join(fake::help.Events)));
}

TEST_F(ViewerTest, PollsUntilTheSearchControlsAppear)
{
    // The combo box shows up in the 3rd enumeration after the tab one, the
    // button in the 5th: four polls with a 20 ms sleep after each.
    fake::AddViewerWindows(true, 4, 6);
    EXPECT_EQ(DriveHelpViewer(FAKE_VIEWER_PID, 1, kProcess, L"ttl"), 0);
    std::vector<std::wstring> expected = {kIdle, L"EnumWindows", kTabToSearch,
                                          L"Sleep 20", L"Sleep 20", L"Sleep 20", L"Sleep 20"};
    EXPECT_EQ(Escaped(Join(Concat(expected, Pressed(L"ttl")))), Escaped(Join(fake::help.Events)));
    EXPECT_EQ(fake::help.ChildEnumerations, 1 + 5);
}

TEST_F(ViewerTest, GivesUpAfterFiftyPolls)
{
    struct Case {
        const char *what;
        int comboPass, buttonPass;
    } cases[] = {
        {"no search controls", -1, -1},
        {"combo box only", 0, -1},
        {"button only", -1, 0},
        {"controls too late", 52, 52},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        InstallFakeWorld();
        fake::AddViewerWindows(true, c.comboPass, c.buttonPass);
        EXPECT_EQ(DriveHelpViewer(FAKE_VIEWER_PID, 1, kProcess, L"x"), 2) << c.what;
        EXPECT_EQ(fake::help.ChildEnumerations, 1 + 50) << c.what;
        EXPECT_EQ(fake::clock.SleptMs, 50u * 20u) << c.what;
        EXPECT_EQ(g_sysCallCount[SYS_SendMessageW], 0u) << c.what;
        SysResetCounts();
    }
}

TEST_F(ViewerTest, ControlsMustMatchIdAndClass)
{
    // Decoys come first: a ComboBox with another id, an Edit with the id
    // 1001, and a 1006 that is no Button.
    fake::help.TopWindows.push_back({FAKE_MAIN, FAKE_VIEWER_PID, L"HH Parent", 0, 0});
    fake::help.Children = {
        {FAKE_TAB, FAKE_VIEWER_PID, L"SysTabControl32", 0, 0},
        {reinterpret_cast<HWND>(0x201), FAKE_VIEWER_PID, L"ComboBox", 1000, 0},
        {reinterpret_cast<HWND>(0x202), FAKE_VIEWER_PID, L"Edit", 1001, 0},
        {reinterpret_cast<HWND>(0x203), FAKE_VIEWER_PID, L"Static", 1006, 0},
        {FAKE_COMBO, FAKE_VIEWER_PID, L"ComboBox", 1001, 0},
        {FAKE_BUTTON, FAKE_VIEWER_PID, L"Button", 1006, 0},
        {reinterpret_cast<HWND>(0x204), FAKE_VIEWER_PID, L"ComboBox", 1001, 0},
    };
    EXPECT_EQ(DriveHelpViewer(FAKE_VIEWER_PID, 1, kProcess, L"dns"), 0);
    EXPECT_EQ(Escaped(Join(Concat({kIdle, L"EnumWindows", kTabToSearch}, Pressed(L"dns")))),
              Escaped(Join(fake::help.Events)));
}

TEST_F(ViewerTest, IdleTimeOutLeavesTheViewerAlone)
{
    fake::AddViewerWindows();
    fake::help.IdleResult = WAIT_TIMEOUT;
    EXPECT_EQ(DriveHelpViewer(FAKE_VIEWER_PID, 1, kProcess, L"x"), 258);
    EXPECT_EQ(Escaped(Join({kIdle})), Escaped(Join(fake::help.Events)));

    // Any other answer of the wait goes on.
    InstallFakeWorld();
    fake::AddViewerWindows();
    fake::help.IdleResult = WAIT_FAILED;
    EXPECT_EQ(DriveHelpViewer(FAKE_VIEWER_PID, 0, kProcess, nullptr), 0);
    EXPECT_EQ(g_sysCallCount[SYS_PostMessageW], 1u);
}

TEST_F(ViewerTest, NoProcessIdDoesNothing)
{
    fake::AddViewerWindows();
    EXPECT_EQ(DriveHelpViewer(0, 1, kProcess, L"x"), 0);
    EXPECT_TRUE(fake::help.Events.empty());
}

TEST_F(ViewerTest, MainWindowIsTheViewersHHParent)
{
    struct Case {
        const char *what;
        std::vector<fake::Window> windows;
        int result;
    } cases[] = {
        {"another process's viewer", {{FAKE_MAIN, 0x1111, L"HH Parent", 0, 0}}, 2},
        {"class differs in case", {{FAKE_MAIN, FAKE_VIEWER_PID, L"HH PARENT", 0, 0}}, 2},
        {"another class of the viewer", {{FAKE_MAIN, FAKE_VIEWER_PID, L"HH Popup", 0, 0}}, 2},
        {"found after others",
         {{reinterpret_cast<HWND>(0x50), 0x1111, L"HH Parent", 0, 0},
          {reinterpret_cast<HWND>(0x60), FAKE_VIEWER_PID, L"HH Popup", 0, 0},
          {FAKE_MAIN, FAKE_VIEWER_PID, L"HH Parent", 0, 0}},
         0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        InstallFakeWorld();
        fake::help.TopWindows = c.windows;
        fake::help.Children = {{FAKE_TAB, FAKE_VIEWER_PID, L"SysTabControl32", 0, 0}};
        EXPECT_EQ(DriveHelpViewer(FAKE_VIEWER_PID, 0, kProcess, nullptr), c.result) << c.what;
        EXPECT_EQ(g_sysCallCount[SYS_PostMessageW], c.result == 0 ? 1u : 0u) << c.what;
        SysResetCounts();
    }
}

TEST_F(ViewerTest, MissingTabControlStillSearches)
{
    fake::AddViewerWindows(false);
    EXPECT_EQ(DriveHelpViewer(FAKE_VIEWER_PID, 1, kProcess, L"ping"), 2);
    EXPECT_EQ(Escaped(Join(Concat({kIdle, L"EnumWindows"}, Pressed(L"ping")))),
              Escaped(Join(fake::help.Events)));
}

TEST_F(ViewerTest, SearchOnlyOnTheSearchTabWithAText)
{
    struct Case {
        int tab;
        const wchar_t *text;
        bool searches;
    } cases[] = {
        {0, L"x", false}, {2, L"x", false}, {1, nullptr, false}, {1, L"", true}, {1, L"x", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        InstallFakeWorld();
        fake::AddViewerWindows();
        EXPECT_EQ(DriveHelpViewer(FAKE_VIEWER_PID, c.tab, kProcess, c.text), 0) << "tab " << c.tab;
        std::wstring post = L"Post " + H(0x110) + L" TCM_SETCURFOCUS " + std::to_wstring(c.tab) + L" 0";
        std::vector<std::wstring> expected = {kIdle, L"EnumWindows", post};
        if (c.searches)
            expected = Concat(expected, Pressed(c.text));
        EXPECT_EQ(Escaped(Join(expected)), Escaped(Join(fake::help.Events))) << "tab " << c.tab;
    }
}
