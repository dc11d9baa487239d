// The system-call table: named entries, overrides, counting and restore.
#include "testsupport.h"

#include <string.h>

namespace {

DWORD WINAPI FakeTick(void) { return 4242; }

SysId seenIds[16];
unsigned long seenSeq[16];
int seenCount;
void RecordCall(SysId id, unsigned long sequence)
{
    if (seenCount < 16) {
        seenIds[seenCount] = id;
        seenSeq[seenCount] = sequence;
    }
    seenCount++;
}

}  // namespace

using SysTableTest = SysTest;

TEST_F(SysTableTest, NamesAreUniqueAndFindable)
{
    for (int i = 0; i < SYS_COUNT; i++) {
        ASSERT_NE(SysName(i), nullptr) << "entry " << i;
        EXPECT_EQ(SysFind(SysName(i)), i) << SysName(i);
    }
    EXPECT_EQ(SysName(SYS_COUNT), nullptr);
    EXPECT_EQ(SysFind("NoSuchFunction"), -1);
    EXPECT_STREQ(SysName(SYS_GetTickCount), "GetTickCount");
}

TEST_F(SysTableTest, OverrideByNameAndRestore)
{
    EXPECT_EQ(SysOverride("GetTickCount", reinterpret_cast<void *>(&FakeTick)), 0);
    EXPECT_EQ(SYS(GetTickCount)(), 4242u);
    EXPECT_EQ(SysOverride("GetTickCount", nullptr), 0);
    EXPECT_EQ(g_sys.GetTickCount, g_sysDefault.GetTickCount);
    EXPECT_EQ(SysOverride("NotThere", reinterpret_cast<void *>(&FakeTick)), 1);

    g_sys.GetTickCount = FakeTick;
    SysRestoreAll();
    EXPECT_EQ(memcmp(&g_sys, &g_sysDefault, sizeof g_sys), 0);
}

TEST_F(SysTableTest, CountsEveryCallAndReportsTheSequence)
{
    g_sys.GetTickCount = FakeTick;
    seenCount = 0;
    g_sysCallHook = RecordCall;
    SYS(GetTickCount)();
    SYS(GetCurrentProcessId)();
    SYS(GetTickCount)();
    EXPECT_EQ(g_sysCallCount[SYS_GetTickCount], 2u);
    EXPECT_EQ(g_sysCallCount[SYS_GetCurrentProcessId], 1u);
    EXPECT_EQ(g_sysCallTotal, 3u);
    ASSERT_EQ(seenCount, 3);
    EXPECT_EQ(seenIds[1], SYS_GetCurrentProcessId);
    EXPECT_EQ(seenSeq[2], 3u);
    SysResetCounts();
    EXPECT_EQ(g_sysCallTotal, 0u);
    EXPECT_EQ(g_sysCallCount[SYS_GetTickCount], 0u);
}

// Wide formats keep Microsoft's rules in the plugin and in the host:
// "%s" takes a wide string.
TEST_F(SysTableTest, WideFormatsFollowMicrosoftRules)
{
    Printf(L"[%s|%u|%5u|%d%%]", L"wide", 7u, 3u, -2);
    EXPECT_WTEXT(L"[wide|7|    3|-2%]", CapturedOut());
    wchar_t buffer[64];
    Sprintf(buffer, L"<%s>", L"abc");
    EXPECT_WTEXT(L"<abc>", buffer);
    wsprintfW(buffer, L"%s-%04X", L"k", 420u);
    EXPECT_WTEXT(L"k-01A4", buffer);
    _snwprintf(buffer, 64, L"%s", L"direct");
    EXPECT_WTEXT(L"direct", buffer);
}
