// regvalue.h - the one way the plugin reads a registry value.
#pragma once

#include "sys/syscalls.h"

// How a value is taken; the callers differ and keep their own rules.
enum {
    REGVALUE_EXACT_SIZE = 1,   // a number must fill its four bytes exactly
    REGVALUE_ANY_TYPE = 2,     // the value's type is not checked
    REGVALUE_EMPTY_OK = 4,     // an empty text counts as found
    REGVALUE_REJECT_LONG = 8,  // a text with no terminator inside the buffer is refused
    REGVALUE_END_AT_DATA = 16, // a text ends where the value's data end
};

// Reads the value into a buffer of the given bytes, zeroed first.  A text
// (REG_SZ) always comes back terminated inside its capacity; a text without
// its terminator is cut to fit unless REGVALUE_REJECT_LONG.  ERROR_SUCCESS,
// or the query's error, ERROR_INVALID_DATA (another type or size),
// ERROR_NO_DATA (an empty text), ERROR_MORE_DATA (a text too long); a text
// buffer then holds the empty text.  *size (may be null) gets the data's bytes.
LONG ReadRegistryValue(HKEY key, const wchar_t *name, DWORD type, void *buffer, DWORD bytes,
                       int rules, DWORD *size);

// The same for the value at an index of the key, with its name (capacity
// characters, always terminated).  The enumeration's ERROR_NO_MORE_ITEMS
// ends a listing.
LONG ReadRegistryValueAt(HKEY key, DWORD index, wchar_t *name, DWORD nameCapacity, DWORD type,
                         void *buffer, DWORD bytes, int rules);

// ReadRegistryValue on a key opened for reading under root and closed again;
// the opening's error when it cannot be opened.
LONG ReadRegistryKeyValue(HKEY root, const wchar_t *keyName, const wchar_t *name, DWORD type,
                          void *buffer, DWORD bytes, int rules, DWORD *size);
