// noteplayer.cpp - General MIDI short messages for replies, failures and the end of a run.
#include "sound/noteplayer.h"
#include "sound/soundvol.h"
#include "base/pluginstate.h"
#include "base/preciseclock.h"
#include "sys/syscalls.h"

#define ALL_NOTES_OFF 123

bool Silent;

// A pause of the sound, timed like the pacing wait: on the performance
// counter, never shorter than its length.
static void Pause(DWORD ms)
{
    WaitSince(0, ms, ms, nullptr);
}

// Status byte for a message kind (0x80 note-off, 0x90 note-on, 0xB0 control
// change, 0xC0 program change) on a 1-based channel.
static DWORD StatusByte(DWORD kind, int channel)
{
    return kind | static_cast<DWORD>(channel - 1);
}

static void SendShortMessage(DWORD message)
{
    if (MidiOut != nullptr)
        SYS(midiOutShortMsg)(MidiOut, message);
}

void PlayNote(int channel, DWORD key)
{
    key &= 0xFF;
    // The note-off first stops a still-sounding strike of the same key.
    SendShortMessage(StatusByte(0x80, channel) | key << 8);
    SendShortMessage(StatusByte(0x90, channel) | key << 8 | NOTE_VELOCITY << 16);
}

DWORD ReplyInterval(int roundTripTime)
{
    if (roundTripTime <= 0)
        return 12;  // octave
    if (roundTripTime == 1)
        return 11;  // major seventh
    if (roundTripTime == 2)
        return 9;   // major sixth
    if (roundTripTime <= 5)
        return 7;   // fifth
    if (roundTripTime <= 10)
        return 5;   // fourth
    if (roundTripTime <= 50)
        return 4;   // major third
    if (roundTripTime <= 100)
        return 2;   // major second
    return 0;       // root
}

void StartSound(const NoteSettings &options)
{
    if (Silent)
        return;
    if (options.Volume != -1)
        SetSoundVolume(static_cast<DWORD>(options.Volume), 0);
    SendShortMessage(StatusByte(0xC0, MELODIC_CHANNEL) | (options.Instrument - 1) << 8);
}

void PlayReplyNote(const NoteSettings &options, int roundTripTime)
{
    if (Silent)
        return;
    PlayNote(MELODIC_CHANNEL, (options.NoteBase + ReplyInterval(roundTripTime)) % 256);
}

void PlayErrorDrum(const NoteSettings &options)
{
    if (Silent || options.ErrorDrum == 0)
        return;
    PlayNote(DRUM_CHANNEL, options.ErrorDrum);
}

void PlayOpErrorDrum(const NoteSettings &options)
{
    if (Silent || options.OpErrorDrum < LOWEST_DRUM || options.OpErrorDrum > HIGHEST_DRUM)
        return;
    PlayNote(DRUM_CHANNEL, options.OpErrorDrum);
    Pause(OP_ERROR_PAUSE_MS);
}

void FinishSound(DWORD lastWait)
{
    if (Silent)
        return;
    if (lastWait < CLOSING_RING_MS)
        Pause(CLOSING_RING_MS - lastWait);
    SendShortMessage(StatusByte(0xB0, MELODIC_CHANNEL) | ALL_NOTES_OFF << 8);
    SendShortMessage(StatusByte(0xB0, DRUM_CHANNEL) | ALL_NOTES_OFF << 8);
}
