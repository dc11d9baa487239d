// sharedmidi.h - one MIDI output handle shared by the plugin family in a process.
#pragma once

#include "sys/syscalls.h"

// True when the user switched MIDI off (NoMidi in the environment or registry).
bool MidiDisabled(void);
// The family's shared handle, opening device 0 when no record exists; null
// when no device can be opened.
HMIDIOUT OpenSharedMidi(void);
// Gives up this plugin's share of MidiOut.  Returns 0.
int ReleaseSharedMidi(void);
// "Software\OrvelPlugins\Shared MIDI\<process id in hex>" (capacity 64).
void SharedMidiKeyName(wchar_t *name);
