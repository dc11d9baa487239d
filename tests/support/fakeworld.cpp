// fakeworld.cpp - the typical world and the one fixture of the unit tests.
#include "fakeworld.h"
#include "sysfaults.h"
#include "base/pluginstate.h"
#include "console/conlist.h"
#include "ping/interrupt.h"

static HANDLE savedConsoleOut;
static OSVERSIONINFOW savedOsVersion;

static void ConsoleEventsAfterSleep(DWORD)
{
    fake::DeliverConsoleEvents(fake::clock.Sleeps.size());
}

void InstallFakeWorld(void)
{
    g_sys = g_sysDefault;
    fake::InstallClock();
    fake::InstallNet();
    fake::InstallIcmp();
    fake::InstallConsole();
    fake::InstallHelp();
    fake::InstallMidi();
    fake::InstallHeap();
    fake::InstallRegistry();
    fake::InstallSound();
    fake::clock.OnSleep = { ConsoleEventsAfterSleep, fake::NoteHelpSleep };
}

void UseReal(std::initializer_list<SysId> ids)
{
    for (SysId id : ids)
        SysCopyEntry(&g_sys, g_sysDefault, id);
}

void FailEntry(SysId id)
{
    SysCopyEntry(&g_sys, SysFailingTable(), id);
}

// The plugin's state that outlives a call.
static void ResetState(void)
{
    ResetListOutput();
    ListHandlerRegistered = false;
    ListBreakFlag = 0;
    ListBreakMeansInterrupt = false;
    InterruptFlags = 0;
    DeleteRegistryTree(HKEY_CURRENT_USER, TEST_SETTINGS_KEY);
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, TEST_SETTINGS_KEY);
}

void FakeWorldTest::SetUp()
{
    SysTest::SetUp();
    ResetState();
    InstallFakeWorld();
    savedConsoleOut = ConsoleOut;
    ConsoleOut = fake::ConsoleOutHandle;
    savedOsVersion = OsVersion;
}

void FakeWorldTest::TearDown()
{
    ResetState();
    ConsoleOut = savedConsoleOut;
    OsVersion = savedOsVersion;
    fake::RestoreMidiOut();
    SysTest::TearDown();
}
