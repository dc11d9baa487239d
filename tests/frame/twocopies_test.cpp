// Two copies of the plugin in one process share the MIDI record: copies of
// the real DLL against the system's MIDI, and two loads of the code in the
// fake world on a port that takes one open at a time.
#include "fakeworld.h"
#include "frame/entries.h"
#include "base/pluginstate.h"
#include "ping/pingoptions.h"

#include <stdint.h>
#include <string>
#include <vector>

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

// The record's key for a process id: this process's own, or the fake world's.
std::wstring RecordKey(DWORD processId = GetCurrentProcessId())
{
    wchar_t name[64];
    wsprintfW(name, L"Software\\OrvelPlugins\\Shared MIDI\\%04X", processId);
    return name;
}

// A value of the record (up to eight bytes) and its type; 0xDEAD without the
// key, 0xBAD without the value.
ULONGLONG RecordValue(const wchar_t *name, DWORD *type = nullptr,
                      const std::wstring &keyName = RecordKey())
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, keyName.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0xDEADu;
    ULONGLONG value = 0;
    DWORD t = 0, size = sizeof value;
    LSTATUS status = RegQueryValueExW(key, name, nullptr, &t, reinterpret_cast<BYTE *>(&value), &size);
    RegCloseKey(key);
    if (type)
        *type = t;
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

// Wine has no MIDI device, and knows no handle as open: a copy goes to the
// device whether there is no record or one of a handle that is not open
// (left by an earlier process of the same id), fails to load, and leaves no
// record.
TEST_F(TwoCopiesTest, WithoutADeviceNoCopyLoadsNorTrustsADeadRecord)
{
    ScopedEnv env(L"NoMidi", nullptr);
    LoadedCopy a(first), b(second);
    ASSERT_TRUE(a.init && b.init);
    ASSERT_NE(a.module, b.module) << "two file names must give two copies";
    struct {
        const char *what;
        DWORD handle;  // 0: no record
    } cases[] = {{"no record", 0}, {"a dead handle's record", 0x4D1D}};
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        for (LoadedCopy *copy : {&a, &b}) {
            ClearCaptured();
            if (c.handle) {
                SetRegistryDword(HKEY_CURRENT_USER, RecordKey().c_str(), L"Handle", c.handle);
                SetRegistryDword(HKEY_CURRENT_USER, RecordKey().c_str(), L"RefCount", 1);
            }
            EXPECT_EQ(copy->init(), 1);
            EXPECT_NE(CapturedErr().find(L"Unable to open MIDI handle!\r\n"), std::wstring::npos)
                << Narrow(CapturedErr());
            EXPECT_EQ(RecordValue(L"Handle"), 0xDEADu);
        }
    }
}

namespace {

// The port's handle: on x64 above 4 GiB.
#ifdef _WIN64
const uintptr_t PortHandle = 0x123456789ull;
const DWORD HandleType = REG_QWORD;
#else
const uintptr_t PortHandle = 0x5150;
const DWORD HandleType = REG_DWORD;
#endif

class TwoLoadsTest : public FakeWorldTest {
protected:
    void SetUp() override
    {
        FakeWorldTest::SetUp();
        DeleteRegistryTree(HKEY_CURRENT_USER, FakeKey().c_str());
    }
    void TearDown() override
    {
        DeleteRegistryTree(HKEY_CURRENT_USER, FakeKey().c_str());
        FakeWorldTest::TearDown();
    }
    static std::wstring FakeKey() { return RecordKey(fake::midi.ProcessId); }
};

}  // namespace

// Each load keeps its own MidiOut and console handle, as each copy of the
// DLL does.  The port refuses a second open, so the second load must take
// the handle from the record, whatever its width; both play on the one
// device, and the last to unload closes it.
TEST_F(TwoLoadsTest, ShareOnePortWhateverTheHandle)
{
    fake::midi.Handle = PortHandle;
    fake::midi.Exclusive = true;
    fake::midi.Live.clear();
    struct {
        HMIDIOUT midi;
        HANDLE console;
    } copies[2];
    for (auto &copy : copies) {
        MidiOut = nullptr;
        ASSERT_EQ(InitializePlugin(), 0) << Narrow(CapturedErr());
        copy = {MidiOut, ConsoleOut};
        EXPECT_EQ(MidiOut, reinterpret_cast<HMIDIOUT>(PortHandle));
    }
    EXPECT_EQ(fake::midi.Opened, 1);
    DWORD type = 0;
    EXPECT_EQ(RecordValue(L"Handle", &type, FakeKey()), PortHandle);
    EXPECT_EQ(type, HandleType);
    EXPECT_EQ(RecordValue(L"RefCount", &type, FakeKey()), 2u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));

    size_t played = 0;
    for (auto &copy : copies) {
        MidiOut = copy.midi;
        EXPECT_EQ(CallEntry(sonaro, L"/n:1 127.0.0.1"), 0);
        EXPECT_GT(fake::midi.Messages.size(), played) << "notes on the port";
        played = fake::midi.Messages.size();
    }
    EXPECT_EQ(fake::midi.Lost, 0);

    for (auto &copy : copies) {
        MidiOut = copy.midi;
        ConsoleOut = copy.console;
        EXPECT_EQ(ShutdownPlugin(0), 0);
    }
    EXPECT_EQ(fake::midi.Closed, std::vector<HMIDIOUT>({reinterpret_cast<HMIDIOUT>(PortHandle)}));
    EXPECT_TRUE(fake::midi.Live.empty());
    EXPECT_EQ(RecordValue(L"Handle", nullptr, FakeKey()), 0xDEADu);
}
