// The failing stand-ins of the fault sweep return each entry's documented
// failure and its error, in the entry's own calling convention.
#include "fakeworld.h"
#include "sysfaults.h"

#include <string.h>

namespace {

class SysFaultsTest : public SysTest {};

}  // namespace

TEST_F(SysFaultsTest, StubsReturnTheFailureAndItsError)
{
    const SysTable &fail = SysFailingTable();
    HKEY key = reinterpret_cast<HKEY>(static_cast<INT_PTR>(0x1234));
    EXPECT_EQ(fail.RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, &key),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(key, reinterpret_cast<HKEY>(static_cast<INT_PTR>(0x1234))) << "nothing written";

    EXPECT_EQ(fail.malloc(16), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));

    EXPECT_EQ(fail.IcmpCreateFile(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(fail.CreateFileW(L"x", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    char data[8] = {};
    char reply[64];
    EXPECT_EQ(fail.IcmpSendEcho(INVALID_HANDLE_VALUE, 0x0100007F, data, sizeof data, nullptr,
                                reply, sizeof reply, 100),
              0u);
    EXPECT_EQ(fake::icmp.LastError, static_cast<DWORD>(IP_GENERAL_FAILURE))
        << "the fake world's GetLastError answers from the ICMP helper";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(IP_GENERAL_FAILURE));

    HMIDIOUT midi = nullptr;
    EXPECT_EQ(fail.midiOutOpen(&midi, 0, 0, 0, CALLBACK_NULL), static_cast<MMRESULT>(MMSYSERR_ERROR));
    EXPECT_EQ(fail.GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "Sleep"), nullptr);
    EXPECT_EQ(fail.GetFileAttributesW(L"C:\\"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(fail.WSAStartup(MAKEWORD(1, 1), nullptr), WSASYSNOTREADY);
    unsigned int random = 7;
    EXPECT_NE(fail.rand_s(&random), 0);
    EXPECT_EQ(fail._cputws(L"x"), -1);

    void *object = &random;
    EXPECT_EQ(fail.CoCreateInstance(CLSID_NULL, nullptr, CLSCTX_ALL, IID_IUnknown, &object), E_FAIL);
    EXPECT_EQ(object, nullptr) << "a failed CoCreateInstance leaves no interface";
}

TEST_F(SysFaultsTest, ReleasesAndInfallibleEntriesHaveNoFailure)
{
    const SysId none[] = {SYS_free, SYS_CloseHandle, SYS_RegCloseKey, SYS_IcmpCloseHandle,
                          SYS_FreeAddrInfoW, SYS_DnsFree, SYS_midiOutClose, SYS_WSACleanup,
                          SYS_GetTickCount, SYS_Sleep, SYS_GetCurrentProcessId,
                          SYS_GetLastError, SYS__kbhit, SYS_timeEndPeriod, SYS_CoUninitialize};
    for (SysId id : none)
        EXPECT_FALSE(SysFaultOf(id).CanFail) << SysName(id);
    const SysId some[] = {SYS_malloc, SYS_RegOpenKeyExW, SYS_IcmpSendEcho, SYS_GetAddrInfoW,
                          SYS_CoCreateInstance, SYS_midiOutShortMsg, SYS_timeBeginPeriod,
                          SYS_QueryPerformanceCounter, SYS_CoInitializeEx, SYS_midiOutGetID};
    for (SysId id : some)
        EXPECT_TRUE(SysFaultOf(id).CanFail) << SysName(id);
    EXPECT_FALSE(SysFaultOf(-1).CanFail);
    EXPECT_FALSE(SysFaultOf(SYS_COUNT).CanFail);
}

TEST_F(SysFaultsTest, CopyEntryCopiesThatEntryOnly)
{
    SysTable table = g_sysDefault;
    SysCopyEntry(&table, SysFailingTable(), SYS_IcmpSendEcho);
    EXPECT_EQ(table.IcmpSendEcho, SysFailingTable().IcmpSendEcho);
    EXPECT_NE(table.IcmpSendEcho, g_sysDefault.IcmpSendEcho);
    SysCopyEntry(&table, g_sysDefault, SYS_IcmpSendEcho);
    EXPECT_EQ(memcmp(&table, &g_sysDefault, sizeof table), 0);
    SysCopyEntry(&table, SysFailingTable(), SYS_COUNT);
    EXPECT_EQ(memcmp(&table, &g_sysDefault, sizeof table), 0) << "an id out of range copies nothing";
}
