// Entries given a host buffer that holds no terminator: each reads at most
// the buffer's 8192 characters.  The buffer ends at a no-access page (and
// begins after one), so a read past either end faults.
#include "fakeworld.h"
#include "guardpages.h"
#include "frame/plugin.h"
#include "help/helpcommand.h"
#include "help/newhelp.h"
#include "ping/pingoptions.h"
#include "resolve/netentries.h"

#include <string>

extern "C" int WINAPI sonaromacro(wchar_t *arguments);
extern "C" int WINAPI f_sonaromacro(wchar_t *buffer);

namespace {

int WINAPI CallHelp(wchar_t *name) { return Help(name); }

struct EntryRow {
    const char *Name;
    int (WINAPI *Call)(wchar_t *);
    int Lowest, Highest;  // the results it documents
    bool Cuts;            // ends the text inside the buffer before reading it
};

// Each text is 8192 of one character: letters make one over-long word,
// quotes leave every character quoted, blanks leave no argument at all.
const wchar_t Fillers[] = {L'x', L'"', L' ', L'7', L'/'};

class HostBufferTest : public PingRunTest {};

TEST_F(HostBufferTest, NoEntryReadsPastAnUnterminatedBuffer)
{
    const EntryRow rows[] = {
        {"sonaro", sonaro, 0, 2, true},
        {"sonaromacro", sonaromacro, 0, 3, true},
        {"sonarohelp", sonarohelp, 0, 1, true},
        {"@SONAROMACRO", f_sonaromacro, -1, 0, true},
        {"@LOOKUPHOST", f_lookuphost, -1, 0, true},
        {"@PINGTIME", f_pingtime, -1, 0, true},
        {"@PINGDNS", f_pingdns, -1, 0, true},
        {"Help", CallHelp, 0, 0, false},
    };
    // No help file anywhere: the viewer is never started.
    InstallFakes();
    InstallFakeNet();
    GuardedText buffer(FUNCTION_BUFFER_CAPACITY);
    ASSERT_NE(buffer.Data(), nullptr);
    for (const EntryRow &row : rows) {
        for (wchar_t filler : Fillers) {
            SCOPED_TRACE(std::string(row.Name) + " with 8192 of '" +
                         static_cast<char>(filler) + "'");
            buffer.Fill(std::wstring(FUNCTION_BUFFER_CAPACITY, filler));
            int rc = row.Call(buffer.Data());
            EXPECT_TRUE(rc >= row.Lowest && rc <= row.Highest) << rc;
            size_t length = wcsnlen(buffer.Data(), FUNCTION_BUFFER_CAPACITY);
            if (row.Cuts)
                EXPECT_LT(length, FUNCTION_BUFFER_CAPACITY);
            else
                EXPECT_EQ(FUNCTION_BUFFER_CAPACITY, length);
            EXPECT_TRUE(g_fake.Launches.empty());
            ClearCaptured();
        }
    }
}

}  // namespace
