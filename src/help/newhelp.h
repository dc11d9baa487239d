// newhelp.h - finding the help file and starting and driving the viewer.
#pragma once

#include "sys/winhdr.h"

// The viewer started last, or null.
extern HANDLE ViewerProcess;

// Capacity of the working paths of TryHelpFile (characters).
#define HELP_PATH_CHARS 32768
// The working paths are too large for the host's stack; the host calls the
// plugin one command at a time, so one set serves every call.  A guard word
// follows each, which the tests check after every call.
#define HELP_PATH_GUARD 0x48504147u
struct HelpPathsRecord {
    wchar_t HelpPath[HELP_PATH_CHARS];
    unsigned HelpPathGuard;
    wchar_t TrueName[HELP_PATH_CHARS];   // later the viewer's command line
    unsigned TrueNameGuard;
    wchar_t ViewerPath[HELP_PATH_CHARS];
    unsigned ViewerPathGuard;
};
extern HelpPathsRecord HelpPaths;
// Tab selectors: the viewer's tab index is the selector minus 1.
enum { HELP_TAB_NONE = 0, HELP_TAB_CONTENTS = 1, HELP_TAB_SEARCH = 2, HELP_TAB_FAVORITES = 3 };
// The viewer's search controls and how long it is given to settle.
#define HELP_IDLE_WAIT_MS 8000
#define HELP_SEARCH_POLLS 50
#define HELP_POLL_MS 20
#define HELP_SEARCH_COMBO_ID 1001
#define HELP_SEARCH_BUTTON_ID 1006

int OpenHelp(const wchar_t *topic, const wchar_t *searchText, int tab);
int TryHelpFile(const wchar_t *candidate, const wchar_t *topic, int tab, const wchar_t *searchText);
int DriveHelpViewer(DWORD processId, int tab, HANDLE process, const wchar_t *searchText);
void CloseHelpViewer(void);
// Characters of a help topic with its terminator.
#define HELP_TOPIC_CAPACITY 1024

// Writes the topic for a command, @function or _variable name (capacity
// HELP_TOPIC_CAPACITY).
int HelpTopicForName(const wchar_t *name, wchar_t *topic);

// The candidate patterns, in the order they are tried (each takes the
// product name: the first twice, the others once).
#define HELP_CANDIDATE_COUNT 7
extern const wchar_t *const HelpCandidatePatterns[HELP_CANDIDATE_COUNT];
// The message box shown when no candidate leads to the help file.
extern const wchar_t MissingHelpFormat[];
