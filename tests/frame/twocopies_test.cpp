// Two copies of the real plugin DLL in one process share the MIDI record.
#include "fakeworld.h"
#include "frame/entries.h"

#include <string>

namespace {

typedef int(WINAPI *InitFn)(void);
typedef int(WINAPI *ShutdownFn)(int);

std::wstring BinDir()
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path);
    return dir.substr(0, dir.find_last_of(L"\\/") + 1);
}

std::wstring RecordKey(DWORD process = GetCurrentProcessId())
{
    wchar_t name[64];
    wsprintfW(name, L"Software\\OrvelPlugins\\Shared MIDI\\%04X", process);
    return name;
}

DWORD RecordValue(const wchar_t *name, DWORD process = GetCurrentProcessId())
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, RecordKey(process).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0xDEADu;
    DWORD value = 0, size = sizeof value;
    LSTATUS status = RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE *>(&value), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? value : 0xBADu;
}

struct LoadedCopy {
    HMODULE module = nullptr;
    InitFn init = nullptr;
    ShutdownFn shutdown = nullptr;

    explicit LoadedCopy(const std::wstring &path)
    {
        module = LoadLibraryW(path.c_str());
        if (module) {
            init = reinterpret_cast<InitFn>(reinterpret_cast<void *>(GetProcAddress(module, "InitializePlugin")));
            shutdown = reinterpret_cast<ShutdownFn>(reinterpret_cast<void *>(GetProcAddress(module, "ShutdownPlugin")));
        }
    }
    ~LoadedCopy()
    {
        if (module)
            FreeLibrary(module);
    }
};

class TwoCopiesTest : public FakeWorldTest {
protected:
    std::wstring first, second;
    void SetUp() override
    {
        FakeWorldTest::SetUp();
        first = BinDir() + PLUGIN_DLL_NAME_W;
        second = BinDir() + L"Sonaro-copy.dll";
        ASSERT_TRUE(CopyFileW(first.c_str(), second.c_str(), FALSE)) << "copying the plugin DLL";
        DeleteRegistryTree(HKEY_CURRENT_USER, RecordKey().c_str());
        DeleteRegistryTree(HKEY_CURRENT_USER, TEST_SETTINGS_KEY);
    }
    void TearDown() override
    {
        DeleteRegistryTree(HKEY_CURRENT_USER, RecordKey().c_str());
        DeleteFileW(second.c_str());
        FakeWorldTest::TearDown();
    }
};

}  // namespace

// A third holder (this test) has published a handle; both copies take it
// from the record and give their shares back on unload, leaving the device
// with the remaining holder.
TEST_F(TwoCopiesTest, BothCopiesUseOneRecord)
{
    ScopedEnv env(L"NoMidi", nullptr);
    SetRegistryDword(HKEY_CURRENT_USER, RecordKey().c_str(), L"Handle", 0x4D1D);
    SetRegistryDword(HKEY_CURRENT_USER, RecordKey().c_str(), L"RefCount", 1);
    {
        LoadedCopy a(first), b(second);
        ASSERT_TRUE(a.init && b.init && a.shutdown && b.shutdown);
        ASSERT_NE(a.module, b.module) << "two file names must give two copies";
        EXPECT_EQ(a.init(), 0) << Narrow(CapturedErr());
        EXPECT_EQ(RecordValue(L"RefCount"), 2u);
        EXPECT_EQ(b.init(), 0) << Narrow(CapturedErr());
        EXPECT_EQ(RecordValue(L"RefCount"), 3u);
        EXPECT_EQ(RecordValue(L"Handle"), 0x4D1Du);

        EXPECT_EQ(a.shutdown(0), 0);
        EXPECT_EQ(RecordValue(L"RefCount"), 2u);
        EXPECT_EQ(b.shutdown(0), 0);
        EXPECT_EQ(RecordValue(L"RefCount"), 1u);
        EXPECT_EQ(RecordValue(L"Handle"), 0x4D1Du);
    }
    EXPECT_TRUE(CapturedErr().empty()) << Narrow(CapturedErr());
}

// Without a MIDI device (the fake world's, in this process) loading fails
// and leaves no record.
TEST_F(TwoCopiesTest, NoDeviceFailsTheLoadAndLeavesNoRecord)
{
    fake::midi.Handle = 0;
    DeleteRegistryTree(HKEY_CURRENT_USER, RecordKey(fake::midi.ProcessId).c_str());
    EXPECT_EQ(InitializePlugin(), 1);
    EXPECT_WTEXT(L"Sonaro plugin: Unable to open MIDI handle!\r\n", CapturedErr());
    EXPECT_EQ(fake::midi.Opened, 1);
    EXPECT_EQ(RecordValue(L"Handle", fake::midi.ProcessId), 0xDEADu);
}
