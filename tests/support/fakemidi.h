// fakemidi.h - the MIDI device of the fake world: opening, messages,
// closing and the handles it knows as open, the NoMidi environment variable
// and the process id behind the shared device's record.
#pragma once

#include "testsupport.h"

#include <stdint.h>
#include <string>
#include <vector>

namespace fake {

struct Midi {
    uintptr_t Handle = 0x5150;     // what midiOutOpen hands out; 0: it fails
    bool Exclusive = false;        // a port: open once at a time (MMSYSERR_ALLOCATED)
    int Opened = 0;                // midiOutOpen calls
    std::vector<HMIDIOUT> Live;    // the handles open now, as midiOutGetID knows them
    std::vector<HMIDIOUT> Closed;
    std::vector<DWORD> Messages;   // midiOutShortMsg on an open handle, in order
    int Lost = 0;                  // messages on a handle that is not open
    DWORD MessageMs = 0;           // each message takes this much of the clock
    std::wstring NoMidi;           // the variable NoMidi; empty: not set
    DWORD ProcessId = 420;         // GetCurrentProcessId
};
extern Midi midi;

// Resets midi and installs it; the plugin's MidiOut is the device, open
// (none with open false), until RestoreMidiOut.
void InstallMidi(bool open = true);
void RestoreMidiOut(void);

// Readable MIDI messages for comparisons.
std::string MidiText(const std::vector<DWORD> &messages);

}  // namespace fake
