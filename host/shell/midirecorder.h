// midirecorder.h - the MIDI output device that hostshell.exe lends its
// plugins with --midi and --midi-log: the entries of winmm.dll in the shell's
// own process jump to a device that records every short message with its
// time, and the recording is written out when the shell ends.
//
// The text log (--midi-log) has one line per call, each ending in a line
// feed: the milliseconds since the shell started with three decimals, then
//
//   1234.567 95 48 60       a short message: its bytes in hex (two or three,
//                           by the status byte; one for system real-time)
//   12.345 open 1 device 0  midiOutOpen gave handle number 1 (device 0, or
//                           "device mapper")
//   5678.901 reset 1        midiOutReset on handle number 1
//   5678.902 close 1        midiOutClose of handle number 1
//
// Handle numbers count the opens of the shell from 1.  The MIDI file
// (--midi) holds the messages alone.
#pragma once

// Patches winmm.dll's MIDI output entries; false (with a message on standard
// error) when that cannot be done.  An empty path writes no such file.
bool StartMidiRecorder(const wchar_t *midiFile, const wchar_t *logFile);
// Writes the files once: at the shell's end, or from the break handler when
// a console event is about to end the process.  Calls made afterwards are
// no longer recorded.  Nothing when the recorder was not started.
void FinishMidiRecorder(void);
