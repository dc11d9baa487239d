// Variable functions and Help given a host buffer that holds no terminator
// read at most the buffer's 8192 characters; commands given a terminated
// line longer than that read it all and leave it as it was.  Each buffer
// ends at a no-access page (and begins after one), so a read past either
// end faults.
#include "fakeworld.h"
#include "fakeheap.h"
#include "frame/entries.h"
#include "help/helpcommand.h"
#include "help/newhelp.h"
#include "ping/pingoptions.h"
#include "resolve/netentries.h"
#include "base/hostbuffer.h"

#include <string>

extern "C" int WINAPI sonaromacro(wchar_t *arguments);
extern "C" int WINAPI f_sonaromacro(wchar_t *buffer);

namespace {

int WINAPI CallHelp(wchar_t *name) { return Help(name); }

struct EntryRow {
    const char *Name;
    int (WINAPI *Call)(wchar_t *);
    int Lowest, Highest;  // the results it documents
    bool Command;         // a terminated line of CommandChars; else 8192, unterminated
    bool Cuts;            // ends the text inside the buffer before reading it
};

// A command line longer than the argument store, as the host may hand one.
const size_t CommandChars = 8300;

// Each text is 8192 of one character: letters make one over-long word,
// quotes leave every character quoted, blanks leave no argument at all.
const wchar_t Fillers[] = {L'x', L'"', L' ', L'7', L'/'};

class HostBufferTest : public FakeWorldTest {};

TEST_F(HostBufferTest, NoEntryReadsPastAnUnterminatedBuffer)
{
    const EntryRow rows[] = {
        {"sonaro", sonaro, 0, 2, true, false},
        {"sonaromacro", sonaromacro, 0, 3, true, false},
        {"sonarohelp", sonarohelp, 0, 1, true, false},
        {"@SONAROMACRO", f_sonaromacro, -1, 0, false, true},
        {"@LOOKUPHOST", f_lookuphost, -1, 0, false, true},
        {"@PINGTIME", f_pingtime, -1, 0, false, true},
        {"@PINGDNS", f_pingdns, -1, 0, false, true},
        {"Help", CallHelp, 0, 0, false, false},
    };
    // No help file anywhere: the viewer is never started.
    GuardedText hostBuffer(FUNCTION_BUFFER_CAPACITY);
    GuardedText commandLine(CommandChars + 1);
    ASSERT_NE(hostBuffer.Data(), nullptr);
    ASSERT_NE(commandLine.Data(), nullptr);
    for (const EntryRow &row : rows) {
        GuardedText &buffer = row.Command ? commandLine : hostBuffer;
        size_t chars = row.Command ? CommandChars : FUNCTION_BUFFER_CAPACITY;
        for (wchar_t filler : Fillers) {
            SCOPED_TRACE(std::string(row.Name) + " with " + std::to_string(chars) + " of '" +
                         static_cast<char>(filler) + "'");
            std::wstring text(chars, filler);
            buffer.Fill(text);
            int rc = row.Call(buffer.Data());
            EXPECT_TRUE(rc >= row.Lowest && rc <= row.Highest) << rc;
            size_t length = wcsnlen(buffer.Data(), buffer.Chars());
            if (row.Cuts)
                EXPECT_LT(length, FUNCTION_BUFFER_CAPACITY);
            else
                EXPECT_TRUE(std::wstring(buffer.Data(), length) == text) << "the text was changed";
            EXPECT_TRUE(fake::help.Launches.empty());
            ClearCaptured();
        }
    }
}

}  // namespace
