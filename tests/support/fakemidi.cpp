// fakemidi.cpp - midiOutOpen, midiOutShortMsg, midiOutClose, midiOutGetID,
// the NoMidi variable of GetEnvironmentVariableW and GetCurrentProcessId.
// As in Windows, a handle is known from its open to its close, and only
// then takes messages; a port refuses a second open while it is open.
#include "fakemidi.h"
#include "fakeclock.h"
#include "base/pluginstate.h"

#include <algorithm>

namespace fake {

Midi midi;

namespace {

HMIDIOUT savedMidiOut;
bool installed;

bool IsLive(HMIDIOUT handle)
{
    return handle != nullptr &&
           std::find(midi.Live.begin(), midi.Live.end(), handle) != midi.Live.end();
}

MMRESULT WINAPI FakeOpen(LPHMIDIOUT handle, UINT device, DWORD_PTR, DWORD_PTR, DWORD flags)
{
    EXPECT_EQ(device, 0u);
    EXPECT_EQ(flags, static_cast<DWORD>(CALLBACK_NULL));
    midi.Opened++;
    *handle = nullptr;
    if (midi.Handle == 0)
        return MMSYSERR_BADDEVICEID;
    if (midi.Exclusive && !midi.Live.empty())
        return MMSYSERR_ALLOCATED;
    *handle = reinterpret_cast<HMIDIOUT>(midi.Handle);
    midi.Live.push_back(*handle);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI FakeShortMsg(HMIDIOUT handle, DWORD message)
{
    if (!IsLive(handle)) {
        midi.Lost++;
        return MMSYSERR_INVALHANDLE;
    }
    midi.Messages.push_back(message);
    clock.Now += midi.MessageMs * 1000ull;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI FakeClose(HMIDIOUT handle)
{
    midi.Closed.push_back(handle);
    auto live = std::find(midi.Live.begin(), midi.Live.end(), handle);
    if (handle == nullptr || live == midi.Live.end())
        return MMSYSERR_INVALHANDLE;
    midi.Live.erase(live);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI FakeGetId(HMIDIOUT handle, LPUINT device)
{
    if (!IsLive(handle))
        return MMSYSERR_INVALHANDLE;
    *device = 0;
    return MMSYSERR_NOERROR;
}

DWORD WINAPI FakeGetEnvironmentVariableW(LPCWSTR name, LPWSTR buffer, DWORD size)
{
    if (_wcsicmp(name, L"NoMidi") != 0)
        return g_sysDefault.GetEnvironmentVariableW(name, buffer, size);
    DWORD length = static_cast<DWORD>(midi.NoMidi.size());
    if (length == 0 || size <= length)
        return length == 0 ? 0 : length + 1;
    wcscpy(buffer, midi.NoMidi.c_str());
    return length;
}

DWORD WINAPI FakeProcessId(void)
{
    return midi.ProcessId;
}

}  // namespace

void InstallMidi(bool open)
{
    midi = Midi();
    g_sys.midiOutOpen = FakeOpen;
    g_sys.midiOutShortMsg = FakeShortMsg;
    g_sys.midiOutClose = FakeClose;
    g_sys.midiOutGetID = FakeGetId;
    g_sys.GetEnvironmentVariableW = FakeGetEnvironmentVariableW;
    g_sys.GetCurrentProcessId = FakeProcessId;
    if (!installed)
        savedMidiOut = MidiOut;
    installed = true;
    MidiOut = open ? reinterpret_cast<HMIDIOUT>(midi.Handle) : nullptr;
    if (MidiOut)
        midi.Live.push_back(MidiOut);
}

void RestoreMidiOut(void)
{
    MidiOut = savedMidiOut;
    installed = false;
}

std::string MidiText(const std::vector<DWORD> &messages)
{
    std::string text;
    char one[16];
    for (DWORD message : messages) {
        snprintf(one, sizeof one, "%s%06lX", text.empty() ? "" : " ",
                 static_cast<unsigned long>(message));
        text += one;
    }
    return text;
}

}  // namespace fake
