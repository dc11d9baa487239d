// sharedmidi.cpp - the MIDI handle published in a volatile registry record.
//
// "Handle" is a REG_DWORD whenever the handle fits in 32 bits, as every
// plugin of the family reads it.  A wider handle (x64 only) is written as a
// REG_QWORD of its full value: a reader that knows only REG_DWORD sees no
// record and never uses a truncated handle, while our own x64 copies still
// share the one device, which a hardware port could not open twice.
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

// The record's "Handle": a REG_DWORD, or on x64 a REG_QWORD; 0 when it is
// missing or of another type.
static uintptr_t ReadRecordHandle(HKEY key)
{
    DWORD number = 0;
    if (ReadRegistryValue(key, L"Handle", REG_DWORD, &number, sizeof number, 0, nullptr) ==
        ERROR_SUCCESS)
        return number;
#ifdef _WIN64
    ULONGLONG wide = 0;
    if (ReadRegistryValue(key, L"Handle", REG_QWORD, &wide, sizeof wide, 0, nullptr) ==
        ERROR_SUCCESS)
        return wide;
#endif
    return 0;
}

static void WriteRecordHandle(HKEY key, HMIDIOUT handle)
{
    uintptr_t number = reinterpret_cast<uintptr_t>(handle);
    if (number <= 0xFFFFFFFFu) {
        WriteRecordValue(key, L"Handle", static_cast<DWORD>(number));
        return;
    }
    ULONGLONG wide = number;
    SYS(RegSetValueExW)(key, L"Handle", 0, REG_QWORD, reinterpret_cast<const BYTE *>(&wide),
                        sizeof wide);
}

// A process that ended without unloading its plugins leaves its record
// behind, and a later process may get the same id: a stored handle is used
// only while the MIDI system still knows it as an open output handle here.
static bool HandleIsLive(HMIDIOUT handle)
{
    UINT device = 0;
    return SYS(midiOutGetID)(handle, &device) != MMSYSERR_INVALHANDLE;
}

HMIDIOUT OpenSharedMidi(void)
{
    wchar_t name[64];
    SharedMidiKeyName(name);
    HKEY key = OpenSharedMidiKey(name);

    HMIDIOUT handle = nullptr;
    DWORD count = 0;
    if (key) {
        uintptr_t stored = ReadRecordHandle(key);
        DWORD storedCount = stored ? ReadRecordValue(key, L"RefCount") : 0;
        HMIDIOUT storedHandle = reinterpret_cast<HMIDIOUT>(stored);
        if (stored && storedCount && HandleIsLive(storedHandle)) {
            handle = storedHandle;
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
    }

    if (key) {
        WriteRecordHandle(key, handle);
        WriteRecordValue(key, L"RefCount", count);
        SYS(RegCloseKey)(key);
    }
    return handle;
}

int ReleaseSharedMidi(void)
{
    if (MidiOut == nullptr)
        return 0;

    wchar_t name[64];
    SharedMidiKeyName(name);
    HKEY key = OpenSharedMidiKey(name);
    DWORD count = 1;
    if (key) {
        if (ReadRecordHandle(key) != reinterpret_cast<uintptr_t>(MidiOut)) {
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
