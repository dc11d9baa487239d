// sharedmidi.cpp - the MIDI handle published in a volatile registry record.
//
// The record holds the handle as a 32-bit number.  A 64-bit handle that does
// not fit is never published: that plugin opens and closes its own device.
#include "base/sharedmidi.h"
#include "base/pluginstate.h"
#include "sys/syscalls.h"
#include "base/settings.h"
#include "base/regvalue.h"

#include <stdint.h>
#include <string.h>

bool MidiDisabled(void)
{
    wchar_t value[1024];
    memset(value, 0, sizeof value);
    SYS(GetEnvironmentVariableW)(L"NoMidi", value, 1024);
    if (value[0] != 0)
        return true;
    return ReadSetting(L"NoMidi", 0, 0xFFFFFFFFu, 0) != 0;
}

#define SHARED_MIDI_PARENT L"Software\\OrvelPlugins\\Shared MIDI"

void SharedMidiKeyName(wchar_t *name)
{
    wsprintfW(name, SHARED_MIDI_PARENT L"\\%04X",
              static_cast<unsigned>(SYS(GetCurrentProcessId)()));
}

static HKEY OpenSharedMidiKey(const wchar_t *name)
{
    // Creating a volatile key also creates its missing parents volatile,
    // and below a volatile key no lasting key can be made: the plugin's own
    // settings and macros under "Software\OrvelPlugins" would become
    // impossible to store.  So the parents are made lasting first.
    HKEY parent = nullptr;
    if (SYS(RegCreateKeyExW)(HKEY_CURRENT_USER, SHARED_MIDI_PARENT, 0, nullptr,
                             REG_OPTION_NON_VOLATILE, KEY_READ, nullptr, &parent,
                             nullptr) == ERROR_SUCCESS)
        SYS(RegCloseKey)(parent);

    HKEY key = nullptr;
    if (SYS(RegCreateKeyExW)(HKEY_CURRENT_USER, name, 0, nullptr, REG_OPTION_VOLATILE,
                             KEY_READ | KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        key = nullptr;
    return key;
}

// A record value: its number, or 0 when missing or not a REG_DWORD.
static DWORD ReadRecordValue(HKEY key, const wchar_t *name)
{
    DWORD value = 0;
    if (ReadRegistryValue(key, name, REG_DWORD, &value, sizeof value, 0, nullptr) !=
        ERROR_SUCCESS)
        return 0;
    return value;
}

static void WriteRecordValue(HKEY key, const wchar_t *name, DWORD value)
{
    SYS(RegSetValueExW)(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value),
                        sizeof value);
}

static DWORD HandleNumber(HMIDIOUT handle)
{
    return static_cast<DWORD>(reinterpret_cast<uintptr_t>(handle));
}

static bool FitsRecord(HMIDIOUT handle)
{
    return reinterpret_cast<uintptr_t>(handle) <= 0xFFFFFFFFu;
}

HMIDIOUT OpenSharedMidi(void)
{
    wchar_t name[64];
    SharedMidiKeyName(name);
    HKEY key = OpenSharedMidiKey(name);

    HMIDIOUT handle = nullptr;
    DWORD count = 0;
    if (key) {
        DWORD stored = ReadRecordValue(key, L"Handle");
        DWORD storedCount = stored ? ReadRecordValue(key, L"RefCount") : 0;
        if (stored && storedCount) {
            handle = reinterpret_cast<HMIDIOUT>(static_cast<uintptr_t>(stored));
            count = storedCount + 1;
        }
    }

    if (handle == nullptr) {
        SYS(midiOutOpen)(&handle, 0, 0, 0, CALLBACK_NULL);
        if (handle == nullptr) {
            if (key)
                SYS(RegCloseKey)(key);
            SYS(RegDeleteKeyW)(HKEY_CURRENT_USER, name);
            return nullptr;
        }
        count = 1;
        if (!FitsRecord(handle)) {
            // Cannot be shared through a 32-bit record: keep it private and
            // leave no record that others could misread.
            if (key) {
                SYS(RegCloseKey)(key);
                SYS(RegDeleteKeyW)(HKEY_CURRENT_USER, name);
            }
            return handle;
        }
    }

    if (key) {
        WriteRecordValue(key, L"Handle", HandleNumber(handle));
        WriteRecordValue(key, L"RefCount", count);
        SYS(RegCloseKey)(key);
    }
    return handle;
}

int ReleaseSharedMidi(void)
{
    if (MidiOut == nullptr)
        return 0;
    if (!FitsRecord(MidiOut)) {
        SYS(midiOutClose)(MidiOut);
        return 0;
    }

    wchar_t name[64];
    SharedMidiKeyName(name);
    HKEY key = OpenSharedMidiKey(name);
    DWORD count = 1;
    if (key) {
        if (ReadRecordValue(key, L"Handle") != HandleNumber(MidiOut)) {
            // The record is someone else's, or gone: close our own handle only.
            SYS(RegCloseKey)(key);
            SYS(midiOutClose)(MidiOut);
            return 0;
        }
        count = ReadRecordValue(key, L"RefCount");
        if (count == 0)
            count = 1;
    }

    count--;
    if (count == 0) {
        SYS(midiOutClose)(MidiOut);
        if (key)
            SYS(RegCloseKey)(key);
        SYS(RegDeleteKeyW)(HKEY_CURRENT_USER, name);
        return 0;
    }
    WriteRecordValue(key, L"RefCount", count);
    SYS(RegCloseKey)(key);
    return 0;
}
