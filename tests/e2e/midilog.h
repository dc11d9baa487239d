// midilog.h - hostshell.exe with its recording MIDI device (--midi-log), and
// the log it writes read back line by line.
//
//   RecordedRun run = RunRecorded(Lines({L"sonaro /n:1 127.0.0.1"}));
//   EXPECT_EQ(Texts(Messages(run.log)), "C5 72\n85 48 00\n...");
#pragma once

#include "shellrun.h"

#include <string>
#include <vector>

// One line of the log: its time in milliseconds since the shell started, and
// the rest ("95 48 60", "open 1 device 0", "close 1").  A line not of that
// form has the time -1 and its whole text.
struct LogLine {
    double ms;
    std::string text;
};

struct RecordedRun {
    ShellResult shell;
    std::vector<LogLine> log;
    bool logWritten = false;
};

// The shell with `args` and --midi-log in a temporary file, MIDI on (no
// NoMidi unless `env` sets it), no load message; the Shared MIDI records of
// earlier processes are removed first, so that none is taken for this one's.
RecordedRun RunRecorded(std::vector<std::wstring> args, const EnvList &env = {});
std::vector<LogLine> ReadMidiLog(const std::wstring &path, bool *read);

// The message lines of a log (not the opens, resets and closes).
std::vector<LogLine> Messages(const std::vector<LogLine> &log);
// The texts of lines, each followed by a line feed.
std::string Texts(const std::vector<LogLine> &lines);

// The Shared MIDI records under the current user.
void ClearSharedMidiRecords();
int SharedMidiRecordCount();
