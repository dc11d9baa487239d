// settings.cpp - reading numbers and the default host name from the registry.
#include "base/settings.h"
#include "base/regvalue.h"

#include <string.h>

static const HKEY SettingHives[2] = { HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE };

DWORD ReadSetting(const wchar_t *name, DWORD minimum, DWORD maximum, DWORD fallback)
{
    for (HKEY hive : SettingHives) {
        DWORD value = 0;
        // A value of another type, or not exactly 4 bytes, is refused; so is
        // one out of range (it is not clamped).
        if (ReadRegistryKeyValue(hive, SONARO_SETTINGS_KEY, name, REG_DWORD, &value,
                                 sizeof value, REGVALUE_EXACT_SIZE, nullptr) == ERROR_SUCCESS &&
            value >= minimum && value <= maximum)
            return value;
    }
    return fallback;
}

int ReadSettingString(wchar_t *buffer)
{
    if (buffer == nullptr)
        return 0;
    for (HKEY hive : SettingHives) {
        // The text must end inside the buffer: at most 1024 characters and
        // the terminator.  A value stored without its terminator that fills
        // the buffer counts as too long.
        wchar_t local[SETTING_TEXT_CAPACITY];
        if (ReadRegistryKeyValue(hive, SONARO_SETTINGS_KEY, L"DefaultHostname", REG_SZ, local,
                                 sizeof local, REGVALUE_REJECT_LONG, nullptr) != ERROR_SUCCESS)
            continue;
        size_t length = wcslen(local);
        wcsncpy(buffer, local, SETTING_TEXT_CAPACITY - 1);
        buffer[length] = 0;
        return static_cast<int>(length);
    }
    return 0;
}
