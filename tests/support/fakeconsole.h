// fakeconsole.h - a console faked through the system-call table for the list tests.
#pragma once

#include "testsupport.h"
#include "console/conlist.h"

#include <deque>
#include <string>

// What the faked console saw, in order: "A0F" for an attribute set on
// standard output, "C0F" for one set on ConsoleOut, "[text]" for text
// written with _cputws.  Entries are separated by blanks.
struct FakeConsoleState {
    std::wstring log;
    std::deque<int> keys;       // what _getwch returns, in order
    int polls = 0;              // _kbhit calls
    int keyAfterPolls = 0;      // _kbhit answers "no key" this many times first
    int pollLimit = 100000;     // then a key 'x' is forced, so a broken wait ends
    DWORD tick = 0;             // GetTickCount; each Sleep adds sleepStep
    DWORD sleepStep = 10;
    int sleeps = 0;
    bool realSleep = false;     // Sleep for real (for tests with threads)
    bool bufferInfoOk = true;   // GetConsoleScreenBufferInfo succeeds
    WORD attribute = 0x07;      // the attribute it reports
    int windowRows = 25;        // and the height of the window
};

extern FakeConsoleState Fake;
// Adds one entry to the log.
void NoteFake(const std::wstring &entry);

// The fake handles of standard output and of ConsoleOut.
extern const HANDLE FakeStdOut;
extern const HANDLE FakeConsoleOut;

// Puts the faked console's entries into the system-call table (with its
// clock, or leaving the clock to another fake) and resets Fake.
void InstallFakeConsole(bool clock);

// Fakes the console entries and resets all list-output state; ConsoleOut is
// the fake console handle until TearDown.
class ConsoleTest : public SysTest {
protected:
    void SetUp() override;
    void TearDown() override;
    void SetSlots(unsigned char normal, unsigned char highlight, unsigned char normalInverse,
                  unsigned char highlightInverse, unsigned char alternate,
                  unsigned char alternateInverse);

private:
    HANDLE savedConsoleOut_ = nullptr;
};

// The page prompt and blank-out line as they appear in the log.
extern const std::wstring PromptInLog;
extern const std::wstring BlankOutInLog;
