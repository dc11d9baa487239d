// macrostore.h - host macros kept in the registry.
#pragma once

#include "sys/winhdr.h"

// A macro is the value "Host-<number>" or "Host-<NAME>" under the settings key.
#define MACRO_VALUE_PREFIX L"Host-"
#define MACRO_VALUE_PREFIX_LENGTH 5
#define MACRO_TEXT_MAX 1024                        // characters of a macro's text
#define MACRO_TEXT_CAPACITY (MACRO_TEXT_MAX + 1)   // with the terminator
#define MACRO_DATA_BYTES (MACRO_TEXT_CAPACITY * 2) // the most a lookup or listing reads
#define MACRO_NAME_MAX 10                          // characters of a macro name
// A value name the store builds: the prefix and a name the caller vouches
// for, bounded.
#define MACRO_VALUE_NAME_CAPACITY (MACRO_VALUE_PREFIX_LENGTH + MACRO_TEXT_CAPACITY)
// A value name the listing reads: longer names are passed over.
#define LISTED_VALUE_NAME_CAPACITY 1025

int SetNumberedMacro(unsigned number, const wchar_t *text);
int SetNamedMacro(const wchar_t *name, const wchar_t *text);
int LookupNumberedMacro(unsigned number, wchar_t *output);
int LookupNamedMacro(const wchar_t *name, wchar_t *output);
bool IsValidMacroName(const wchar_t *name);
int ExpandHostMacro(const wchar_t *text, wchar_t *output);
