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

DWORD RecordValue(const wchar_t *name, DWORD *type = nullptr)
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, RECORD_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0xDEADu;
    DWORD value = 0, t = 0, size = sizeof value;
    LSTATUS status = RegQueryValueExW(key, name, nullptr, &t, reinterpret_cast<BYTE *>(&value), &size);
    RegCloseKey(key);
    if (type)
        *type = t;
    return status == ERROR_SUCCESS ? value : 0xBADu;
}

bool RecordExists()
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, RECORD_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
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
    HMIDIOUT first = OpenSharedMidi();
    EXPECT_EQ(reinterpret_cast<uintptr_t>(first), 0x5150u);
    EXPECT_EQ(RecordValue(L"Handle"), 0x5150u);
    EXPECT_EQ(RecordValue(L"RefCount"), 1u);

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
    ASSERT_EQ(closed.size(), 1u);
    EXPECT_EQ(closed[0], first);
    EXPECT_FALSE(RecordExists());
}

TEST_F(SharedMidiTest, NoDeviceLeavesNoRecord)
{
    nextHandle = 0;
    EXPECT_EQ(OpenSharedMidi(), nullptr);
    EXPECT_FALSE(RecordExists());
}

TEST_F(SharedMidiTest, IncompleteRecordIsNotTrusted)
{
    // Handle without a count, or of the wrong type: no record.
    SetRegistryDword(HKEY_CURRENT_USER, RECORD_KEY, L"Handle", 0x7777);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(OpenSharedMidi()), 0x5150u);
    EXPECT_EQ(RecordValue(L"RefCount"), 1u);

    DeleteRegistryTree(HKEY_CURRENT_USER, RECORD_KEY);
    SetRegistryString(HKEY_CURRENT_USER, RECORD_KEY, L"Handle", L"7777");
    SetRegistryDword(HKEY_CURRENT_USER, RECORD_KEY, L"RefCount", 3);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(OpenSharedMidi()), 0x5150u);
    EXPECT_EQ(fake::midi.Opened, 2);
    DWORD type = 0;
    EXPECT_EQ(RecordValue(L"Handle", &type), 0x5150u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
}

TEST_F(SharedMidiTest, ARecordOfSomeoneElseIsLeftAlone)
{
    MidiOut = reinterpret_cast<HMIDIOUT>(static_cast<uintptr_t>(0x1111));
    SetRegistryDword(HKEY_CURRENT_USER, RECORD_KEY, L"Handle", 0x2222);
    SetRegistryDword(HKEY_CURRENT_USER, RECORD_KEY, L"RefCount", 2);
    EXPECT_EQ(ReleaseSharedMidi(), 0);
    ASSERT_EQ(closed.size(), 1u);
    EXPECT_EQ(closed[0], MidiOut);
    EXPECT_EQ(RecordValue(L"Handle"), 0x2222u);
    EXPECT_EQ(RecordValue(L"RefCount"), 2u);
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
    EXPECT_EQ(reinterpret_cast<uintptr_t>(handle), 0x5150u);
    EXPECT_FALSE(RecordExists());
    MidiOut = handle;
    EXPECT_EQ(ReleaseSharedMidi(), 0);
    ASSERT_EQ(closed.size(), 1u);
}

TEST_F(SharedMidiTest, WideHandlesAreNeverPublished)
{
    if (sizeof(void *) == 4)
        GTEST_SKIP() << "only a 64-bit process has handles wider than the record";
    nextHandle = static_cast<uintptr_t>(0x123456789ull);
    HMIDIOUT handle = OpenSharedMidi();
    EXPECT_EQ(reinterpret_cast<uintptr_t>(handle), nextHandle);
    EXPECT_FALSE(RecordExists());
    MidiOut = handle;
    ReleaseSharedMidi();
    ASSERT_EQ(closed.size(), 1u);
    EXPECT_EQ(closed[0], handle);
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
