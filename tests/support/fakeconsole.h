// fakeconsole.h - the console of the fake world: standard output's handle
// and mode, the console's own handle, the list-output writes and attributes, key presses, the screen
// buffer, the control handlers and the console events a run receives.
#pragma once

#include "testsupport.h"

#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace fake {

// Log holds what the console saw, in order: "A0F" for an attribute set on
// standard output, "C0F" for one set on ConsoleOut, "[text]" for text
// written with _cputws.  Entries are separated by blanks.
struct Console {
    std::wstring Log;
    std::deque<int> Keys;       // what _getwch returns, in order
    int Polls = 0;              // _kbhit calls
    int KeyAfterPolls = 0;      // _kbhit answers "no key" this many times first
    int PollLimit = 100000;     // then a key 'x' is forced, so a broken wait ends
    bool BufferInfoOk = true;   // GetConsoleScreenBufferInfo succeeds
    WORD Attribute = 0x07;      // the attribute it reports
    int WindowRows = 25;        // and the height of the window
    int Writes = 0;             // _cputws calls
    int BreakAtWrite = 0;       // this one (1-based) raises the list-output break flag
    bool StdOutConsole = false; // GetConsoleMode of standard output succeeds
    DWORD Mode = ENABLE_PROCESSED_OUTPUT | ENABLE_WRAP_AT_EOL_OUTPUT;  // and reports this
    int Opens = 0;              // CreateFileW of "conout$"
    bool CannotOpen = false;    // and it fails
    std::vector<std::pair<PHANDLER_ROUTINE, BOOL>> CtrlHandlerCalls;
    bool PingHandlerFails = false;  // registering the run's own handler fails
    // Console events: the sleep (1-based) after which each arrives, and the
    // event, or ListBreak for the list-output handler's flag.
    std::vector<std::pair<size_t, DWORD>> Events;
};
extern Console console;
const DWORD ListBreak = 0x100;

// The fake handles of standard output and of ConsoleOut.
extern const HANDLE StdOut;
extern const HANDLE ConsoleOutHandle;

// Adds one entry to the log.
void NoteConsole(const std::wstring &entry);
// Resets console and installs it.
void InstallConsole(void);
// Delivers the events due after the n-th sleep.
void DeliverConsoleEvents(size_t sleeps);

// The page prompt and blank-out line as they appear in the log.
extern const std::wstring PromptInLog;
extern const std::wstring BlankOutInLog;

}  // namespace fake
