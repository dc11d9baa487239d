// help_test.cpp - SONAROHELP and the Help entry through hostshell.exe with the
// real DLL: version report, usage, errors, and (with a display) the real
// hh.exe driven to its second tab, closed by /Q, and opened by the help key.
#include "shellrun.h"
#include "testsupport.h"
#include "help/helpusage.h"

#include <commctrl.h>

#include <atomic>
#include <chrono>
#include <regex>
#include <thread>

namespace {

using HelpCommand = ::testing::Test;

}  // namespace

TEST_F(HelpCommand, VersionReport)
{
    ShellResult r = RunShell({L"-c", L"sonarohelp /v ports"}, WithNoMidi());
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_BYTES("", r.err);
    ASSERT_EQ(r.out.rfind(SONARO_LOAD_MESSAGE, 0), 0u) << ShowBytes(r.out);
    std::string report = r.out.substr(sizeof SONARO_LOAD_MESSAGE - 1);
    std::regex first("Sonaro plugin  " SONARO_FULL_VERSION_TEXT "  20[1-9][0-9]-[01][0-9]-[0-3][0-9] "
                     "[0-2][0-9]:[0-5][0-9]:[0-5][0-9]  \\(" ARCH "\\)\r\n\n");
    std::smatch match;
    ASSERT_TRUE(std::regex_search(report, match, first, std::regex_constants::match_continuous))
        << ShowBytes(report);
    EXPECT_BYTES("   NewHelp . . . . . . . . . 1.0.8.14\r\n"
                 "   ParseArgs . . . . . . . . 1.0.3.0\r\n"
                 "   ConList . . . . . . . . . 1.1.0.0\r\n"
                 "   SoundVol  . . . . . . . . 1.0.5.1\r\n",
                 report.substr(match.length()));
}

TEST_F(HelpCommand, UsageErrorsAndQuitWithoutViewer)
{
    const std::string usage = Utf8(SonaroHelpUsageText);
    struct {
        const wchar_t *line;
        DWORD status;
        std::string out, err;
    } cases[] = {
        {L"sonarohelp /?", 0, usage, ""},
        {L"sonarohelp /??", 0,
         usage + "\r\n\t\t\t\tSonaro  " SONARO_FULL_VERSION_TEXT " (" ARCH ")\r\n\t\t\t\tNewHelp  1.0.8.14\r\n", ""},
        {L"sonarohelp /x", 1, "", "Sonaro plugin: Unknown option: \"/X\"\r\n"},
        {L"sonarohelp /c: sonaro", 1, "", "Sonaro plugin: Unknown option: \"/C:\"\r\n"},
        {L"sonarohelp /q", 0, "", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        ShellResult r = RunShell({L"--pipe", L"-c", c.line}, WithNoMidi());
        EXPECT_EQ(r.exitCode, c.status) << Utf8(c.line);
        EXPECT_BYTES(c.out, r.out) << Utf8(c.line);
        EXPECT_BYTES(c.err, r.err) << Utf8(c.line);
    }
}

// ---------------------------------------------------------------------------
// The real viewer.  Needs a display (the help_viewer test runs this under a
// virtual X server); without one these tests skip.

namespace {

struct ViewerState {
    DWORD processId = 0;   // 0: no viewer window
    int focus = -1;        // the tab control's focus, -1 when unknown
};

BOOL CALLBACK FindTab(HWND window, LPARAM param)
{
    wchar_t name[64];
    if (GetClassNameW(window, name, 64) > 0 && wcscmp(name, L"SysTabControl32") == 0) {
        *reinterpret_cast<HWND *>(param) = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindViewer(HWND window, LPARAM param)
{
    wchar_t name[64];
    if (GetClassNameW(window, name, 64) <= 0 || wcscmp(name, L"HH Parent") != 0)
        return TRUE;
    ViewerState *state = reinterpret_cast<ViewerState *>(param);
    GetWindowThreadProcessId(window, &state->processId);
    HWND tab = nullptr;
    EnumChildWindows(window, FindTab, reinterpret_cast<LPARAM>(&tab));
    DWORD_PTR focus = 0;
    if (tab != nullptr &&
        SendMessageTimeoutW(tab, TCM_GETCURFOCUS, 0, 0, SMTO_ABORTIFHUNG, 500, &focus) != 0)
        state->focus = static_cast<int>(focus);
    return FALSE;
}

ViewerState LookAtViewer(void)
{
    ViewerState state;
    EnumWindows(FindViewer, reinterpret_cast<LPARAM>(&state));
    return state;
}

// What the watcher saw, one entry per change of viewer process.
struct Phase {
    DWORD processId;
    int bestFocus;      // highest focus seen; -1 never read
    bool shellRunning;  // the phase began while the shell was still running
};

bool HaveDisplay(void)
{
    wchar_t display[256];
    return GetEnvironmentVariableW(L"DISPLAY", display, 256) > 0;
}

class HelpViewer : public HelpCommand {
protected:
    void SetUp() override
    {
        if (!HaveDisplay())
            GTEST_SKIP() << "no display: run through the help_viewer test";
        HelpCommand::SetUp();
        if (IsSkipped())
            return;
        ASSERT_NE(GetFileAttributesW((BinDirectory() + L"Sonaro.chm").c_str()),
                  INVALID_FILE_ATTRIBUTES) << "Sonaro.chm is not beside the DLL";
        ASSERT_EQ(LookAtViewer().processId, 0u) << "a help viewer is already open";
    }
};

}  // namespace

// Each pause line keeps the shell (and so the plugin) alive while the
// watcher looks: one echo to the loopback address and a long wait after it.
TEST_F(HelpViewer, SearchTabQuitAndHelpKey)
{
    const wchar_t pause[] = L"sonaro /q /n:1 /z:5000 127.0.0.1";
    std::atomic<bool> shellDone(false);
    ShellResult r;
    std::thread shell([&] {
        r = RunShell({L"-c", L"sonarohelp /s sonaro", L"-c", pause, L"-c", L"sonarohelp /q",
                      L"-c", pause, L"-c", L"help sonaro", L"-c", pause},
                     WithNoMidi(), 120000);
        shellDone = true;
    });

    std::vector<Phase> phases = {{0, -1, true}};
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(150);
    bool afterExit = false;
    while (std::chrono::steady_clock::now() < deadline) {
        bool done = shellDone;
        ViewerState state = LookAtViewer();
        if (state.processId != phases.back().processId)
            phases.push_back({state.processId, -1, !done});
        if (state.focus > phases.back().bestFocus)
            phases.back().bestFocus = state.focus;
        // One more look after the shell has gone, then stop.
        if (done) {
            if (afterExit)
                break;
            afterExit = true;
            Sleep(1000);
        }
        Sleep(50);
    }
    shell.join();

    std::string seen;
    for (const Phase &p : phases)
        seen += (p.processId ? "viewer " + std::to_string(p.processId) : std::string("none")) +
                " focus " + std::to_string(p.bestFocus) + (p.shellRunning ? "" : " (shell gone)") +
                "; ";
    // none -> viewer on the second tab -> gone by /Q -> viewer of the help
    // key -> gone when the plugin is unloaded.
    ASSERT_EQ(phases.size(), 5u) << seen;
    EXPECT_NE(phases[1].processId, 0u) << seen;
    EXPECT_EQ(phases[1].bestFocus, 1) << seen;
    EXPECT_EQ(phases[2].processId, 0u) << seen;
    EXPECT_TRUE(phases[2].shellRunning) << "the viewer must go at /Q, not at unload: " << seen;
    EXPECT_NE(phases[3].processId, 0u) << seen;
    EXPECT_NE(phases[3].processId, phases[1].processId) << seen;
    EXPECT_TRUE(phases[3].shellRunning) << seen;
    EXPECT_EQ(phases[4].processId, 0u) << seen;

    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_BYTES("", r.err);
    // The shell prints what the Help entry returned.
    EXPECT_NE(r.out.find("\r\n1\r\n"), std::string::npos) << ShowBytes(r.out);
}
