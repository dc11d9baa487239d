// settings.cpp - reading numbers and the default host name from the registry.
#include "base/settings.h"

#include <string.h>

static const HKEY SettingHives[2] = { HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE };

DWORD ReadSetting(const wchar_t *name, DWORD minimum, DWORD maximum, DWORD fallback)
{
    for (HKEY hive : SettingHives) {
        HKEY key = nullptr;
        if (SYS(RegOpenKeyExW)(hive, SONARO_SETTINGS_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS)
            continue;
        DWORD value = 0, type = 0, size = sizeof value;
        LSTATUS status = SYS(RegQueryValueExW)(key, name, nullptr, &type,
                                               reinterpret_cast<BYTE *>(&value), &size);
        SYS(RegCloseKey)(key);
        // A value of another type, or one too large for 4 bytes, is refused;
        // so is one out of range (it is not clamped).
        if (status == ERROR_SUCCESS && type == REG_DWORD && size == sizeof value &&
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
        HKEY key = nullptr;
        if (SYS(RegOpenKeyExW)(hive, SONARO_SETTINGS_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS)
            continue;
        wchar_t local[1025];
        memset(local, 0, sizeof local);
        DWORD type = 0, size = sizeof local;
        LSTATUS status = SYS(RegQueryValueExW)(key, L"DefaultHostname", nullptr, &type,
                                               reinterpret_cast<BYTE *>(local), &size);
        SYS(RegCloseKey)(key);
        if (status != ERROR_SUCCESS || type != REG_SZ || local[0] == 0)
            continue;
        // The text must end inside the buffer: at most 1024 characters and
        // the terminator.  A value stored without its terminator that fills
        // the buffer counts as too long.
        size_t length = wcsnlen(local, 1025);
        if (length > 1024)
            continue;
        wcsncpy(buffer, local, 1024);
        buffer[length] = 0;
        return static_cast<int>(length);
    }
    return 0;
}
