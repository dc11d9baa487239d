// parseargs.h - splitting an argument text into the plugin-wide ArgTable.
#pragma once

#include "sys/winhdr.h"

#define MAX_ARGS 1024
#define MAX_ARG_LEN 8192

enum {
    PARSE_BLANKS = 0x01,    // white space outside quotes ends an argument
    PARSE_COMMAS = 0x02,    // a comma outside quotes ends an argument
    PARSE_SWITCHES = 0x04,  // "/N:5/Q" splits into "/N:5" and "/Q"
    PARSE_UPPER = 0x80,     // fold every stored character to upper case
};

// A word after each array of the table: a write past an array's end
// changes it, which the tests look for after every call.
#define ARG_TABLE_GUARD 0x47524147u

struct ArgTableRecord {
    int Count;
    wchar_t *Argument[MAX_ARGS];
    unsigned ArgumentGuard;
    int Length[MAX_ARGS];
    unsigned LengthGuard;
    wchar_t Store[MAX_ARG_LEN];
    unsigned StoreGuard;
};

extern ArgTableRecord ArgTable;

int ParseArgs(unsigned flags, const wchar_t *text);
int ParseNumber(const wchar_t *text, const wchar_t **end, DWORD *value);
bool IsValueSeparator(wchar_t c);
// Messages quote the user's offending token in upper case.  UpperCaseToken
// folds a text in place up to its terminator or `capacity` characters;
// UpperCaseArgument does it to one argument of the table, never past the
// store.
void UpperCaseToken(wchar_t *token, size_t capacity);
void UpperCaseArgument(int index);
