// package_test.cpp - the release package as unpacked by a user: a copy of
// hostshell.exe in a folder of its own loads this build's DLL from the
// package folder.  Run by the release_package test, which unpacks the zip
// and names the folder in SONARO_PACKAGE_DIR; skipped otherwise.
#include "shellrun.h"
#include "testsupport.h"

#include <atomic>
#include <chrono>
#include <regex>
#include <thread>

namespace {

std::wstring PackageDirectory()
{
    wchar_t path[1024];
    DWORD n = GetEnvironmentVariableW(L"SONARO_PACKAGE_DIR", path, 1024);
    return n > 0 && n < 1024 ? std::wstring(path, n) + L"\\" : std::wstring();
}

// A fresh folder holding only hostshell.exe and TakeCmd.dll, so that no
// help file lies beside the shell.
class ShellCopy {
public:
    ShellCopy()
    {
        static int made;
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        directory_ = std::wstring(temp) + L"sonaro-shell-" + std::to_wstring(GetCurrentProcessId()) +
                     L"-" + std::to_wstring(++made) + L"\\";
        ok_ = CreateDirectoryW(directory_.c_str(), nullptr) &&
              CopyFileW((BinDirectory() + L"hostshell.exe").c_str(), Program().c_str(), TRUE) &&
              CopyFileW((BinDirectory() + L"TakeCmd.dll").c_str(),
                        (directory_ + L"TakeCmd.dll").c_str(), TRUE);
    }
    ~ShellCopy()
    {
        DeleteFileW(Program().c_str());
        DeleteFileW((directory_ + L"TakeCmd.dll").c_str());
        RemoveDirectoryW(directory_.c_str());
    }
    bool Ok() const { return ok_; }
    std::wstring Program() const { return directory_ + L"hostshell.exe"; }

private:
    std::wstring directory_;
    bool ok_ = false;
};

class Package : public ::testing::Test {
protected:
    void SetUp() override
    {
        package_ = PackageDirectory();
        if (package_.empty())
            GTEST_SKIP() << "no unpacked package: run through the release_package test";
        ASSERT_TRUE(shell_.Ok()) << "could not copy hostshell.exe";
    }
    std::wstring Dll() const { return package_ + PLUGIN_DLL_NAME_W; }

    std::wstring package_;
    ShellCopy shell_;
};

bool HaveDisplay(void)
{
    wchar_t display[256];
    return GetEnvironmentVariableW(L"DISPLAY", display, 256) > 0;
}

// Runs `lines` with the package's DLL while watching the screen: whether a
// help viewer or the "Missing Help File" box showed up.  The box is closed
// when seen, so that the shell can go on.
struct Watched {
    ShellResult result;
    bool viewer = false;
    bool missingBox = false;
};

Watched RunWatched(const ShellCopy &shell, const std::wstring &dll,
                   std::initializer_list<const wchar_t *> lines)
{
    std::vector<std::wstring> args = {L"--plugin", dll};
    for (const wchar_t *line : lines) {
        args.push_back(L"-c");
        args.push_back(line);
    }
    Watched watched;
    std::atomic<bool> done(false);
    std::thread run([&] {
        watched.result = RunShellAt(shell.Program(), args, WithNoMidi(), 90000);
        done = true;
    });
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(100);
    while (!done && std::chrono::steady_clock::now() < deadline) {
        if (FindWindowW(L"HH Parent", nullptr) != nullptr)
            watched.viewer = true;
        if (HWND box = FindWindowW(nullptr, L"Missing Help File")) {
            watched.missingBox = true;
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
        Sleep(50);
    }
    run.join();
    return watched;
}

}  // namespace

TEST_F(Package, LoadsWithUsageAndVersionReport)
{
    ShellResult r = RunShellAt(shell_.Program(),
                               {L"--plugin", Dll(), L"-c", L"usage sonaro", L"-c", L"sonarohelp /v"},
                               WithNoMidi());
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_BYTES("", r.err);
    const std::string load = SONARO_LOAD_MESSAGE;
    ASSERT_EQ(r.out.rfind(load, 0), 0u) << ShowBytes(r.out);
    const std::string syntax = "SONARO /4 /6 /A /C /D /F /I:n /L:n /N:n /Q /T /W:n hostname  ";
    EXPECT_EQ(r.out.find(syntax), load.size()) << ShowBytes(r.out);
    std::regex version("Sonaro plugin  " SONARO_FULL_VERSION_TEXT "  [0-9-]+ [0-9:]+  \\(" ARCH "\\)\r\n");
    EXPECT_TRUE(std::regex_search(r.out, version)) << ShowBytes(r.out);
}

// With neither SONAROHELP nor PLUGINHELP set and no help file beside the
// shell, only the package folder (the DLL's own) holds Sonaro.chm.
TEST_F(Package, FindsTheHelpFileBesideTheDll)
{
    if (!HaveDisplay())
        GTEST_SKIP() << "no display: the release_package test runs this under a virtual one";
    Watched w = RunWatched(shell_, Dll(),
                           {L"sonarohelp sonaro", L"sonaro /q /n:1 /z:4000 127.0.0.1",
                            L"sonarohelp /q"});
    EXPECT_FALSE(w.result.timedOut);
    EXPECT_EQ(w.result.exitCode, 0u);
    EXPECT_BYTES("", w.result.err);
    EXPECT_TRUE(w.viewer) << "no help viewer opened";
    EXPECT_FALSE(w.missingBox) << "the help file was not found beside the DLL";

    // The same DLL without the help file beside it: the box shows, so the
    // check above can tell the two apart.
    ShellCopy bare;
    ASSERT_TRUE(bare.Ok());
    std::wstring lone = bare.Program();
    lone = lone.substr(0, lone.find_last_of(L'\\') + 1) + PLUGIN_DLL_NAME_W;
    ASSERT_TRUE(CopyFileW(Dll().c_str(), lone.c_str(), TRUE));
    w = RunWatched(bare, lone, {L"sonarohelp sonaro"});
    DeleteFileW(lone.c_str());
    EXPECT_TRUE(w.missingBox) << "no \"Missing Help File\" box without the help file";
    EXPECT_FALSE(w.viewer);
}
