// fakemidi.cpp - midiOutOpen, midiOutShortMsg, midiOutClose, the NoMidi
// variable of GetEnvironmentVariableW and GetCurrentProcessId.
#include "fakemidi.h"
#include "fakeclock.h"
#include "base/pluginstate.h"

namespace fake {

Midi midi;

namespace {

HMIDIOUT savedMidiOut;
bool installed;

MMRESULT WINAPI FakeOpen(LPHMIDIOUT handle, UINT device, DWORD_PTR, DWORD_PTR, DWORD flags)
{
    EXPECT_EQ(device, 0u);
    EXPECT_EQ(flags, static_cast<DWORD>(CALLBACK_NULL));
    midi.Opened++;
    *handle = reinterpret_cast<HMIDIOUT>(midi.Handle);
    return midi.Handle ? MMSYSERR_NOERROR : MMSYSERR_BADDEVICEID;
}

MMRESULT WINAPI FakeShortMsg(HMIDIOUT handle, DWORD message)
{
    EXPECT_EQ(handle, reinterpret_cast<HMIDIOUT>(midi.Handle));
    midi.Messages.push_back(message);
    clock.Now += midi.MessageMs * 1000ull;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI FakeClose(HMIDIOUT handle)
{
    midi.Closed.push_back(handle);
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
    g_sys.GetEnvironmentVariableW = FakeGetEnvironmentVariableW;
    g_sys.GetCurrentProcessId = FakeProcessId;
    if (!installed)
        savedMidiOut = MidiOut;
    installed = true;
    MidiOut = open ? reinterpret_cast<HMIDIOUT>(midi.Handle) : nullptr;
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
