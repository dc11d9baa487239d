// Load, unload, the description record and the usage entry.
#include "fakeworld.h"
#include "frame/entries.h"
#include "base/hostapi.h"
#include "base/pluginstate.h"
#include "base/versionline.h"
#include "help/helpusage.h"
#include "macros/macrousage.h"
#include "ping/pingusage.h"

#include <stdint.h>
#include <string>

namespace {

class LifecycleTest : public FakeWorldTest {
protected:
    void TearDown() override
    {
        MidiOut = nullptr;
        ConsoleOut = nullptr;
        FakeWorldTest::TearDown();
    }
};

}  // namespace

TEST_F(LifecycleTest, DescriptionRecord)
{
    PluginInfoRecord *info = GetPluginInfo(PluginModule);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info, GetPluginInfo(nullptr));
    EXPECT_WTEXT(L"Sonaro", info->Name);
    EXPECT_WTEXT(L"Adds an audible ping command to TCC.", info->Description);
    EXPECT_WTEXT(L"sonaro,sonarohelp,sonaromacro,@sonaromacro,@lookuphost,@pingdhcp,@pingdns,"
                 L"@pingrouter,@pingtime,@pingwins,_pingavg,_pingmax,_pingmin,_pingslost,_pingsrcvd",
                 info->Implements);
    EXPECT_EQ(info->Major, 1);
    EXPECT_EQ(info->Minor, 0);
    EXPECT_EQ(info->Build, 3);
    EXPECT_NE(info->Author, nullptr);
    EXPECT_NE(info->Email, nullptr);
    EXPECT_NE(info->WebPage, nullptr);
}

TEST_F(LifecycleTest, WinsockFailureStopsAtOnce)
{
    fake::net.WinsockFails = true;
    EXPECT_EQ(InitializePlugin(), 1);
    EXPECT_WTEXT(L"Sonaro plugin: Unable to initialize WinSock API!\r\n", CapturedErr());
    EXPECT_EQ(fake::net.WinsockVersion, 0x0101);
    EXPECT_EQ(g_sysCallCount[SYS_midiOutOpen], 0u);
    EXPECT_EQ(g_sysCallCount[SYS_GetVersionExW], 0u);
    EXPECT_EQ(g_sysCallCount[SYS_WSACleanup], 0u);
    EXPECT_TRUE(CapturedOut().empty());
}

TEST_F(LifecycleTest, MidiFailureUndoesWinsock)
{
    fake::midi.Handle = 0;
    EXPECT_EQ(InitializePlugin(), 1);
    EXPECT_WTEXT(L"Sonaro plugin: Unable to open MIDI handle!\r\n", CapturedErr());
    EXPECT_EQ(g_sysCallCount[SYS_WSACleanup], 1u);
    EXPECT_EQ(g_sysCallCount[SYS_GetVersionExW], 0u);
    EXPECT_EQ(g_sysCallCount[SYS_CreateFileW], 0u);
}

TEST_F(LifecycleTest, NoMidiLoadsWithoutDeviceAndRetriesTheConsoleOnce)
{
    fake::midi.NoMidi = L"1";
    fake::console.CannotOpen = true;
    EXPECT_EQ(InitializePlugin(), 0);
    EXPECT_EQ(MidiOut, nullptr);
    EXPECT_EQ(g_sysCallCount[SYS_midiOutOpen], 0u);
    EXPECT_EQ(fake::console.Opens, 2);
    EXPECT_EQ(fake::clock.Sleeps, std::vector<DWORD>({ 50 }));
    EXPECT_EQ(ConsoleOut, nullptr);
    EXPECT_EQ(OsVersion.dwOSVersionInfoSize, 276u);
    EXPECT_GE(OsVersion.dwMajorVersion, 5u);
    EXPECT_TRUE(CapturedErr().empty());

    // Unloading after a load without MIDI and without a console.
    EXPECT_EQ(ShutdownPlugin(0), 0);
    EXPECT_EQ(g_sysCallCount[SYS_WSACleanup], 1u);
    EXPECT_EQ(g_sysCallCount[SYS_CloseHandle], 0u);
    EXPECT_EQ(g_sysCallCount[SYS_midiOutClose], 0u);
}

TEST_F(LifecycleTest, ShutdownClosesTheConsoleHandle)
{
    ConsoleOut = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x77));
    EXPECT_EQ(ShutdownPlugin(12345), 0);
    EXPECT_EQ(fake::help.Closed, std::vector<HANDLE>({ reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x77)) }));
    EXPECT_EQ(ConsoleOut, nullptr);
}

TEST_F(LifecycleTest, UsageDropsTheDescriptionLine)
{
    wchar_t buffer[1024];
    struct { const wchar_t *name, *text, *firstLine; } cases[] = {
        {L"SONAROMACRO", SonaroMacroUsageText, L"SONAROMACRO "},
        {L"sonaro", SonaroUsageText, L"SONARO "},
        {L"SonaroHelp", SonaroHelpUsageText, L"SONAROHELP "},
    };
    for (auto &c : cases) {
        EXPECT_EQ(Usage(c.name, buffer), 1);
        EXPECT_EQ(std::wstring(buffer).rfind(c.firstLine, 0), 0u) << Escaped(buffer);
        EXPECT_WTEXT(wcsstr(c.text, L"\n\n") + 2, buffer);
    }

    wcscpy(buffer, L"untouched");
    EXPECT_EQ(Usage(L"sonar", buffer), 0);
    EXPECT_EQ(Usage(L"@pingtime", buffer), 0);
    EXPECT_WTEXT(L"untouched", buffer);
}

TEST_F(LifecycleTest, VersionLineNamesThePlatform)
{
    PrintVersionLine();
    EXPECT_WTEXT(std::wstring(L"\r\n\t\t\t\tSonaro  " SONARO_FULL_VERSION_TEXT " (") + ARCH_W + L")\r\n", CapturedOut());
}
