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

#include <iterator>
#include <string>
#include <wctype.h>

extern "C" int WINAPI sonaromacro(wchar_t *arguments);
extern "C" int WINAPI f_sonaromacro(wchar_t *buffer);

namespace {

int WINAPI CallHelp(wchar_t *name) { return Help(name); }

// Standard error for one filler: PREFIX starts each message, and %s stands
// for the text as far as it is read (8191 characters), in upper case.
#define PREFIX L"Sonaro plugin: "
#define OVERFLOW PREFIX L"Buffer overflow: b = 8191, MAX_ARG_LEN = 8192 \r\n"
#define NO_HOST PREFIX L"Missing host name.\r\n"
#define NO_NAME PREFIX L"Missing hostname\r\n"
#define QUOTING(message) PREFIX message L": \"%s\"\r\n"
#define SLASHES PREFIX L"Unknown option: \"//\"\r\n"

struct EntryRow {
    const char *Name;
    int (WINAPI *Call)(wchar_t *);
    bool Command;  // a terminated line of CommandChars; else 8192, unterminated
    bool Cuts;     // ends the text inside the buffer before reading it
    int Results[5];             // for each filler below
    const wchar_t *Errors[5];   // and what it writes to standard error
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
        {"sonaro", sonaro, true, false, {1, 1, 1, 1, 1},
         {OVERFLOW NO_HOST, NO_HOST, NO_HOST, OVERFLOW NO_HOST, SLASHES}},
        {"sonaromacro", sonaromacro, true, false, {0, 0, 0, 0, 1},
         {OVERFLOW, L"", L"", OVERFLOW, SLASHES}},
        {"sonarohelp", sonarohelp, true, false, {0, 0, 0, 0, 1},
         {L"", L"", L"", L"", QUOTING(L"Unknown option")}},
        {"@SONAROMACRO", f_sonaromacro, false, true, {-1, -1, -1, -1, -1},
         {PREFIX L"Bad macro name: \"#%s\"\r\n", QUOTING(L"Bad macro number"),
          PREFIX L"Missing macro name\r\n", QUOTING(L"Bad macro number"),
          QUOTING(L"Bad macro number")}},
        {"@LOOKUPHOST", f_lookuphost, false, true, {0, 0, -1, 0, 0},
         {L"", L"", NO_NAME, L"", L""}},
        {"@PINGTIME", f_pingtime, false, true, {0, -1, -1, 0, 0},
         {L"", NO_NAME, NO_NAME, L"", L""}},
        {"@PINGDNS", f_pingdns, false, true, {-1, 0, 0, -1, -1},
         {QUOTING(L"Bad index value"), L"", L"", QUOTING(L"Bad index value"),
          QUOTING(L"Bad index value")}},
        {"Help", CallHelp, false, false, {0, 0, 0, 0, 0}, {L"", L"", L"", L"", L""}},
    };
    // No help file anywhere: the viewer is never started.
    GuardedText hostBuffer(FUNCTION_BUFFER_CAPACITY);
    GuardedText commandLine(CommandChars + 1);
    ASSERT_NE(hostBuffer.Data(), nullptr);
    ASSERT_NE(commandLine.Data(), nullptr);
    for (const EntryRow &row : rows) {
        GuardedText &buffer = row.Command ? commandLine : hostBuffer;
        size_t chars = row.Command ? CommandChars : FUNCTION_BUFFER_CAPACITY;
        for (size_t f = 0; f < std::size(Fillers); f++) {
            wchar_t filler = Fillers[f];
            SCOPED_TRACE(std::string(row.Name) + " with " + std::to_string(chars) + " of '" +
                         static_cast<char>(filler) + "'");
            std::wstring text(chars, filler);
            buffer.Fill(text);
            EXPECT_EQ(row.Call(buffer.Data()), row.Results[f]);
            std::wstring err = row.Errors[f];
            if (size_t at = err.find(L"%s"); at != std::wstring::npos)
                err.replace(at, 2, FUNCTION_BUFFER_CAPACITY - 1, towupper(filler));
            EXPECT_WTEXT(err, CapturedErr());
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
