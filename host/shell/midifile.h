// midifile.h - a recording of MIDI output and the two files it is written to
// (their formats: midirecorder.h).
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <vector>

enum MidiEventKind { MidiMessage, MidiOpen, MidiReset, MidiClose };

struct MidiEvent {
    unsigned long long micros;  // since the shell started
    MidiEventKind kind;
    DWORD value;   // the message, or the handle's number
    UINT device;   // MidiOpen: the device asked for
};

// Bytes in a short message by its status byte.
int ShortMessageLength(DWORD message);
// A Standard MIDI File: format 0, one track, a tempo of 1,000,000 us per
// quarter and 1000 ticks per quarter, so one tick is one millisecond.
bool WriteMidiFile(const wchar_t *path, const std::vector<MidiEvent> &events);
bool WriteMidiLog(const wchar_t *path, const std::vector<MidiEvent> &events);
