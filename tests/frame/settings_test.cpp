// Registry settings against the real registry of the Wine prefix.
#include "fakeworld.h"
#include "base/settings.h"

#include <string>

namespace {

using SettingsTest = FakeWorldTest;

}  // namespace

TEST_F(SettingsTest, MissingKeyGivesTheDefault)
{
    EXPECT_EQ(ReadSetting(L"Count", 0, 0xFFFFFFFFu, 4), 4u);
    wchar_t buffer[1025] = L"untouched";
    EXPECT_EQ(ReadSettingString(buffer), 0);
    EXPECT_WTEXT(L"untouched", buffer);
}

TEST_F(SettingsTest, UserValueWinsOverMachineValue)
{
    SetRegistryDword(HKEY_CURRENT_USER, TEST_SETTINGS_KEY, L"Count", 0);
    SetRegistryDword(HKEY_LOCAL_MACHINE, TEST_SETTINGS_KEY, L"Count", 9);
    EXPECT_EQ(ReadSetting(L"Count", 0, 0xFFFFFFFFu, 4), 0u);
}

TEST_F(SettingsTest, OutOfRangeFallsThroughToMachineThenDefault)
{
    SetRegistryDword(HKEY_CURRENT_USER, TEST_SETTINGS_KEY, L"PacketSize", 70000);
    SetRegistryDword(HKEY_LOCAL_MACHINE, TEST_SETTINGS_KEY, L"PacketSize", 1000);
    EXPECT_EQ(ReadSetting(L"PacketSize", 12, 65520, 64), 1000u);
    DeleteRegistryValue(HKEY_LOCAL_MACHINE, TEST_SETTINGS_KEY, L"PacketSize");
    EXPECT_EQ(ReadSetting(L"PacketSize", 12, 65520, 64), 64u);

    SetRegistryDword(HKEY_CURRENT_USER, TEST_SETTINGS_KEY, L"Instrument", 0);
    EXPECT_EQ(ReadSetting(L"Instrument", 1, 128, 115), 115u);
    // Bounds are inclusive and compared without sign.
    SetRegistryDword(HKEY_CURRENT_USER, TEST_SETTINGS_KEY, L"Octave", 9);
    EXPECT_EQ(ReadSetting(L"Octave", 0, 9, 5), 9u);
    SetRegistryDword(HKEY_CURRENT_USER, TEST_SETTINGS_KEY, L"NoMidi", 0xFFFFFFFFu);
    EXPECT_EQ(ReadSetting(L"NoMidi", 0, 0xFFFFFFFFu, 0), 0xFFFFFFFFu);
}

TEST_F(SettingsTest, WrongTypesAreRefused)
{
    SetRegistryString(HKEY_CURRENT_USER, TEST_SETTINGS_KEY, L"Timeout", L"500");
    EXPECT_EQ(ReadSetting(L"Timeout", 0, 60000, 3000), 3000u);

    // Eight bytes of REG_QWORD do not fit the four-byte buffer.
    unsigned long long big = 500;
    SetRegistryBinary(HKEY_CURRENT_USER, TEST_SETTINGS_KEY, L"Timeout", &big, sizeof big, REG_QWORD);
    EXPECT_EQ(ReadSetting(L"Timeout", 0, 60000, 3000), 3000u);

    // Four bytes of REG_BINARY are not a REG_DWORD either.
    DWORD raw = 500;
    SetRegistryBinary(HKEY_CURRENT_USER, TEST_SETTINGS_KEY, L"Timeout", &raw, sizeof raw, REG_BINARY);
    SetRegistryDword(HKEY_LOCAL_MACHINE, TEST_SETTINGS_KEY, L"Timeout", 700);
    EXPECT_EQ(ReadSetting(L"Timeout", 0, 60000, 3000), 700u);
}

TEST_F(SettingsTest, DefaultHostnameSourcesAndLimits)
{
    wchar_t buffer[1025];

    SetRegistryString(HKEY_CURRENT_USER, TEST_SETTINGS_KEY, L"DefaultHostname", L"");
    SetRegistryString(HKEY_LOCAL_MACHINE, TEST_SETTINGS_KEY, L"DefaultHostname", L"machine.host");
    EXPECT_EQ(ReadSettingString(buffer), 12);
    EXPECT_WTEXT(L"machine.host", buffer);

    SetRegistryString(HKEY_CURRENT_USER, TEST_SETTINGS_KEY, L"DefaultHostname", L"user.host");
    EXPECT_EQ(ReadSettingString(buffer), 9);
    EXPECT_WTEXT(L"user.host", buffer);

    SetRegistryString(HKEY_CURRENT_USER, TEST_SETTINGS_KEY, L"DefaultHostname", L"%X%",
                      REG_EXPAND_SZ);
    EXPECT_EQ(ReadSettingString(buffer), 12);

    DeleteRegistryValue(HKEY_LOCAL_MACHINE, TEST_SETTINGS_KEY, L"DefaultHostname");
    std::wstring exact(1024, L'h');
    SetRegistryString(HKEY_CURRENT_USER, TEST_SETTINGS_KEY, L"DefaultHostname", exact);
    EXPECT_EQ(ReadSettingString(buffer), 1024);
    EXPECT_EQ(std::wstring(buffer), exact);

    wcscpy(buffer, L"untouched");
    SetRegistryString(HKEY_CURRENT_USER, TEST_SETTINGS_KEY, L"DefaultHostname", exact + L"h");
    EXPECT_EQ(ReadSettingString(buffer), 0);
    EXPECT_WTEXT(L"untouched", buffer);

    // 1025 characters stored without a terminator fill the buffer exactly:
    // still too long.
    std::wstring unterminated(1025, L'u');
    SetRegistryBinary(HKEY_CURRENT_USER, TEST_SETTINGS_KEY, L"DefaultHostname",
                      unterminated.data(), 2050, REG_SZ);
    EXPECT_EQ(ReadSettingString(buffer), 0);
}
