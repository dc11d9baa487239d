// options.h - a command's options as a table: matching a token to its row,
// and the usage options every command takes.
#pragma once

#include "sys/winhdr.h"

#include <stddef.h>

enum OptionForm {
    OPTION_NONE,    // not on the command line (a registry setting alone)
    OPTION_SWITCH,  // the whole token after the "/": "/Q"
    OPTION_VALUED,  // the token begins with the letters and goes on with a value: "/N:5"
};

// True when the token is "/" or "-" followed by the option's letters (exact)
// or beginning with them (prefix), ignoring case.
bool MatchOption(const wchar_t *token, const wchar_t *option, bool prefix);

// The first row whose option the token names, or null.  Every command's row
// begins with its Letters and its Form; a switch matches the whole rest of
// the token, a valued option its beginning.
template <class Row>
const Row *FindOption(const Row *rows, size_t count, const wchar_t *token)
{
    for (size_t i = 0; i < count; i++) {
        if (rows[i].Form != OPTION_NONE &&
            MatchOption(token, rows[i].Letters, rows[i].Form == OPTION_VALUED))
            return &rows[i];
    }
    return nullptr;
}

// "/?" shows the usage text, "/??" the usage text and the version line.
enum UsageRequest { USAGE_NONE, USAGE_TEXT, USAGE_VERSION };
UsageRequest UsageRequested(const wchar_t *token);
// QPuts of the usage text, then for "/??" the version line.
void PrintUsage(const wchar_t *usage, UsageRequest request);
