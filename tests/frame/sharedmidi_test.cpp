// The shared MIDI handle: the volatile record, counting and release.
#include "fakeworld.h"
#include "base/pluginstate.h"
#include "sys/syscalls.h"
#include "base/sharedmidi.h"

#include <stdint.h>
#include <vector>

namespace {

#define RECORD_KEY L"Software\\OrvelPlugins\\Shared MIDI\\01A4"

std::vector<HMIDIOUT> &closed = fake::midi.Closed;
uintptr_t &nextHandle = fake::midi.Handle;

HMIDIOUT Handle(uintptr_t number)
{
    return reinterpret_cast<HMIDIOUT>(number);
}

// A value of the record (up to eight bytes); 0xDEAD without the key, 0xBAD
// without the value.
ULONGLONG RecordValue(const wchar_t *name, DWORD *type = nullptr)
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, RECORD_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0xDEADu;
    ULONGLONG value = 0;
    DWORD t = 0, size = sizeof value;
    LSTATUS status = RegQueryValueExW(key, name, nullptr, &t, reinterpret_cast<BYTE *>(&value), &size);
    RegCloseKey(key);
    if (type)
        *type = t;
    return status == ERROR_SUCCESS ? value : 0xBADu;
}

bool RecordExists()
{
    return RecordValue(L"Handle") != 0xDEADu;
}

void SeedRecord(DWORD handle, DWORD count)
{
    SetRegistryDword(HKEY_CURRENT_USER, RECORD_KEY, L"Handle", handle);
    SetRegistryDword(HKEY_CURRENT_USER, RECORD_KEY, L"RefCount", count);
}

class SharedMidiTest : public FakeWorldTest {
protected:
    void SetUp() override
    {
        FakeWorldTest::SetUp();
        DeleteRegistryTree(HKEY_CURRENT_USER, RECORD_KEY);
        MidiOut = nullptr;
    }
    void TearDown() override
    {
        DeleteRegistryTree(HKEY_CURRENT_USER, RECORD_KEY);
        FakeWorldTest::TearDown();
    }
};

}  // namespace

TEST_F(SharedMidiTest, KeyNameIsTheProcessIdInHex)
{
    wchar_t name[64];
    SharedMidiKeyName(name);
    EXPECT_WTEXT(RECORD_KEY, name);
}

TEST_F(SharedMidiTest, TwoHoldersShareOneDevice)
{
    fake::midi.Live.clear();
    HMIDIOUT first = OpenSharedMidi();
    EXPECT_EQ(first, Handle(0x5150));
    DWORD type = 0;
    EXPECT_EQ(RecordValue(L"Handle", &type), 0x5150u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(RecordValue(L"RefCount", &type), 1u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));

    HMIDIOUT second = OpenSharedMidi();
    EXPECT_EQ(second, first);
    EXPECT_EQ(fake::midi.Opened, 1) << "the second holder must reuse the device";
    EXPECT_EQ(RecordValue(L"RefCount"), 2u);

    MidiOut = first;
    EXPECT_EQ(ReleaseSharedMidi(), 0);
    EXPECT_TRUE(closed.empty());
    EXPECT_EQ(RecordValue(L"RefCount"), 1u);
    EXPECT_EQ(RecordValue(L"Handle"), 0x5150u);

    EXPECT_EQ(ReleaseSharedMidi(), 0);
    EXPECT_EQ(closed, std::vector<HMIDIOUT>({first}));
    EXPECT_FALSE(RecordExists());
    EXPECT_EQ(fake::registry.OpenKeys, 0);
}

TEST_F(SharedMidiTest, NoDeviceLeavesNoRecord)
{
    nextHandle = 0;
    EXPECT_EQ(OpenSharedMidi(), nullptr);
    EXPECT_FALSE(RecordExists());
}

// A record is taken only when complete and when its handle is still open in
// this process (0x5150 is: the fake world's device); any other gets device 0
// and a fresh record.
TEST_F(SharedMidiTest, OnlyACompleteRecordOfALiveHandleIsTaken)
{
    struct {
        const char *what;
        void (*seed)();
        int opens;
        DWORD count;
    } cases[] = {
        {"none", [] {}, 1, 1},
        {"live", [] { SeedRecord(0x5150, 1); }, 0, 2},
        {"live, count 6", [] { SeedRecord(0x5150, 6); }, 0, 7},
        {"dead", [] { SeedRecord(0x1234, 1); }, 1, 1},
        {"dead, count 5", [] { SeedRecord(0x1234, 5); }, 1, 1},
        {"no count", [] { SetRegistryDword(HKEY_CURRENT_USER, RECORD_KEY, L"Handle", 0x5150); }, 1, 1},
        {"count 0", [] { SeedRecord(0x5150, 0); }, 1, 1},
        {"handle 0", [] { SeedRecord(0, 3); }, 1, 1},
        {"handle as text",
         [] {
             SetRegistryString(HKEY_CURRENT_USER, RECORD_KEY, L"Handle", L"5150");
             SetRegistryDword(HKEY_CURRENT_USER, RECORD_KEY, L"RefCount", 3);
         },
         1, 1},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        DeleteRegistryTree(HKEY_CURRENT_USER, RECORD_KEY);
        fake::midi.Opened = 0;
        c.seed();
        EXPECT_EQ(OpenSharedMidi(), Handle(0x5150));
        EXPECT_EQ(fake::midi.Opened, c.opens);
        DWORD type = 0;
        EXPECT_EQ(RecordValue(L"Handle", &type), 0x5150u);
        EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
        EXPECT_EQ(RecordValue(L"RefCount"), c.count);
        EXPECT_EQ(fake::registry.OpenKeys, 0);
    }
}

// Our handle is 0x5150.  The count is lowered while others hold the device;
// a missing or zero count counts as one; someone else's record is left alone.
TEST_F(SharedMidiTest, ReleaseFollowsTheCount)
{
    struct {
        const char *what;
        void (*seed)();
        bool closes;
        ULONGLONG handle, count;  // the record after; 0xDEAD: none
    } cases[] = {
        {"count 3", [] { SeedRecord(0x5150, 3); }, false, 0x5150, 2},
        {"count 2", [] { SeedRecord(0x5150, 2); }, false, 0x5150, 1},
        {"count 1", [] { SeedRecord(0x5150, 1); }, true, 0xDEAD, 0xDEAD},
        {"count 0", [] { SeedRecord(0x5150, 0); }, true, 0xDEAD, 0xDEAD},
        {"no count", [] { SetRegistryDword(HKEY_CURRENT_USER, RECORD_KEY, L"Handle", 0x5150); },
         true, 0xDEAD, 0xDEAD},
        {"someone else's", [] { SeedRecord(0x2222, 2); }, true, 0x2222, 2},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        DeleteRegistryTree(HKEY_CURRENT_USER, RECORD_KEY);
        closed.clear();
        c.seed();
        MidiOut = Handle(0x5150);
        EXPECT_EQ(ReleaseSharedMidi(), 0);
        EXPECT_EQ(closed, c.closes ? std::vector<HMIDIOUT>({MidiOut}) : std::vector<HMIDIOUT>());
        EXPECT_EQ(RecordValue(L"Handle"), c.handle);
        EXPECT_EQ(RecordValue(L"RefCount"), c.count);
        EXPECT_EQ(fake::registry.OpenKeys, 0) << "every key closed";
    }
}

TEST_F(SharedMidiTest, ReleaseWithoutMidiDoesNothing)
{
    MidiOut = nullptr;
    EXPECT_EQ(ReleaseSharedMidi(), 0);
    EXPECT_TRUE(closed.empty());
    EXPECT_EQ(g_sysCallCount[SYS_RegCreateKeyExW], 0u);
}

TEST_F(SharedMidiTest, RegistryFailureKeepsTheDevicePrivate)
{
    FailEntry(SYS_RegCreateKeyExW);
    HMIDIOUT handle = OpenSharedMidi();
    EXPECT_EQ(handle, Handle(0x5150));
    EXPECT_FALSE(RecordExists());
    MidiOut = handle;
    EXPECT_EQ(ReleaseSharedMidi(), 0);
    ASSERT_EQ(closed.size(), 1u);
}

TEST_F(SharedMidiTest, NoMidiFromEnvironmentOrRegistry)
{
    EXPECT_FALSE(MidiDisabled());
    SetRegistryDword(HKEY_CURRENT_USER, TEST_SETTINGS_KEY, L"NoMidi", 0);
    EXPECT_FALSE(MidiDisabled());
    SetRegistryDword(HKEY_CURRENT_USER, TEST_SETTINGS_KEY, L"NoMidi", 2);
    EXPECT_TRUE(MidiDisabled());
    DeleteRegistryTree(HKEY_CURRENT_USER, TEST_SETTINGS_KEY);
    fake::midi.NoMidi = L"anything";
    EXPECT_TRUE(MidiDisabled());
}

// The record is volatile, but the keys above it must stay lasting, or the
// plugin's settings and macros could no longer be stored after a MIDI load.
TEST_F(SharedMidiTest, RecordLeavesItsParentsLasting)
{
    DeleteRegistryTree(HKEY_CURRENT_USER, L"Software\\OrvelPlugins");
    MidiOut = OpenSharedMidi();
    ASSERT_NE(MidiOut, nullptr);
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\OrvelPlugins\\Sonaro", 0, nullptr,
                              REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    if (key)
        RegCloseKey(key);
    ReleaseSharedMidi();
    EXPECT_FALSE(RecordExists());
}
