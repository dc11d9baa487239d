// resolve.h - turning host text into a socket address.
#pragma once

#include "base/hostaddress.h"

// Expands a network keyword or a host macro and resolves the text: the
// preferred family's address, else the second family's.  The canonical name
// goes into canonicalName (capacity characters) when one is asked for.  0
// found; 2 no address; -2 the preferred family is unknown; -1 a pointer missing.
int ResolveHost(const wchar_t *hostText, HostAddress *address,
                unsigned char preferredFamily, unsigned char secondFamily,
                wchar_t *canonicalName, DWORD canonicalCapacity, int *expandedFromMacro);

// 0 with the host name in name (capacity characters, at most 1025 used); 1
// when none was found or the family is unknown; -1 for a null argument.
int ReverseLookup(const HostAddress *address, wchar_t *name, DWORD capacity);
