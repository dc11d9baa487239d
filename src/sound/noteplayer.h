// noteplayer.h - the MIDI notes and drums of a SONARO run.
#pragma once

#include "sys/syscalls.h"

// The sound of a run, as the command's options chose it.
struct NoteSettings {
    DWORD Instrument;     // General MIDI program, 1-based
    DWORD ErrorDrum;      // percussion key for a failed echo; 0 = none
    DWORD OpErrorDrum;    // percussion key for an operational error; 0 = none
    DWORD NoteBase;       // octave * 12
    int Volume;           // -1 = leave the system volume alone
};

// No MIDI output in this run.
extern bool Silent;

// The General MIDI percussion keys; a stored drum below them means none.
#define LOWEST_DRUM 35
#define HIGHEST_DRUM 81

// MIDI channels, 1-based as musicians count them: melodic notes on 6, the
// General MIDI percussion channel 10 for the drums.
enum { MELODIC_CHANNEL = 6, DRUM_CHANNEL = 10 };
#define NOTE_VELOCITY 96
// The last sound of a run rings at least this long before all notes stop.
#define CLOSING_RING_MS 1750
// Pause after an operational error's drum.
#define OP_ERROR_PAUSE_MS 1000

// Note-off then note-on (velocity 96) for the key on the channel; nothing
// without a shared MIDI handle.
void PlayNote(int channel, DWORD key);
// Steps above the note base for a round-trip time: the faster, the higher.
DWORD ReplyInterval(int roundTripTime);

// Once per run before the first host: /Y volume and the program change.
void StartSound(const NoteSettings &options);
void PlayReplyNote(const NoteSettings &options, int roundTripTime);
void PlayErrorDrum(const NoteSettings &options);
// The operational-error drum and its 1000 ms pause.
void PlayOpErrorDrum(const NoteSettings &options);
// Lets the last sound ring (1750 ms minus the last wait) and silences both
// channels.
void FinishSound(DWORD lastWait);
