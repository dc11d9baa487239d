// fakemidi.h - the MIDI device of the fake world: opening, messages and
// closing, the NoMidi environment variable and the process id behind the
// shared device's record.
#pragma once

#include "testsupport.h"

#include <stdint.h>
#include <string>
#include <vector>

namespace fake {

struct Midi {
    uintptr_t Handle = 0x5150;     // what midiOutOpen hands out; 0: it fails
    int Opened = 0;
    std::vector<HMIDIOUT> Closed;
    std::vector<DWORD> Messages;   // midiOutShortMsg, in order
    DWORD MessageMs = 0;           // each message takes this much of the clock
    std::wstring NoMidi;           // the variable NoMidi; empty: not set
    DWORD ProcessId = 420;         // GetCurrentProcessId
};
extern Midi midi;

// Resets midi and installs it; the plugin's MidiOut is the open device
// (none with open false) until RestoreMidiOut.
void InstallMidi(bool open = true);
void RestoreMidiOut(void);

// Readable MIDI messages for comparisons.
std::string MidiText(const std::vector<DWORD> &messages);

}  // namespace fake
