// macrolist.h - the match list and the macro listing of SONAROMACRO.
#pragma once

#include "macros/macrostore.h"

#define MACRO_PATTERN_MAX 1023     // characters kept of a name argument

// One number or name pattern given on the command line, in argument order.
struct MacroMatchEntry {
    MacroMatchEntry *Next;
    DWORD Number;      // the macro number; 0 for a name entry
    wchar_t Name[1];   // upper-cased pattern, or empty for a number entry;
                       // allocated as long as the pattern needs
};

// One listed macro.
struct MacroListEntry {
    DWORD Number;                          // 0 for a named macro
    int Width;                             // characters of its name or number
    wchar_t Name[MACRO_NAME_MAX + 1];      // empty for a numbered macro
    wchar_t Value[MACRO_TEXT_MAX + 1];
};

// Appends a number entry (name empty) or a name entry (number 0) at the
// tail.  0 done; 1 the entry could not be allocated.
int AppendMatchEntry(MacroMatchEntry **head, DWORD number, const wchar_t *name);
void FreeMatchList(MacroMatchEntry *head);
// True when the macro text (the value name after "Host-") matches an entry.
bool MatchesMacroList(const MacroMatchEntry *head, const wchar_t *text);

// Order of the listing: by name as unsigned code units, then by number.
int CompareMacroEntries(const MacroListEntry *a, const MacroListEntry *b);

// Lists the macros of the store, all of them when matches is null.  The
// number listed; -1 the table could not be allocated; -3 Control-C.
int ListMacros(const MacroMatchEntry *matches);
