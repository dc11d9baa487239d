// settings.h - the plugin's registry settings, read at every command.
#pragma once

#include "sys/syscalls.h"

#define SONARO_SETTINGS_KEY L"Software\\OrvelPlugins\\Sonaro"
// Characters of a text setting with its terminator.
#define SETTING_TEXT_CAPACITY 1025

// The value under the current user, else the local machine, when it is a
// REG_DWORD within min and max; the default otherwise.
DWORD ReadSetting(const wchar_t *name, DWORD minimum, DWORD maximum, DWORD fallback);
// DefaultHostname into a buffer of 1025 characters; its length, or 0.
int ReadSettingString(wchar_t *buffer);
