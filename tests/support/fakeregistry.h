// fakeregistry.h - the registry of the fake world is Wine's own, under the
// settings key each test clears; for the readers' rules it can be made to
// hold one value of any type and size, and to open keys of its own.
#pragma once

#include "testsupport.h"

#include <string>
#include <vector>

namespace fake {

struct Registry {
    // While Holding, RegQueryValueExW answers every query with Status, or
    // with Type and Data (ERROR_MORE_DATA when they do not fit).
    bool Holding = false;
    DWORD Type = REG_SZ;
    std::vector<unsigned char> Data;
    LSTATUS Status = ERROR_SUCCESS;
    // With OwnKeys, RegOpenKeyExW opens a key of its own for reading (the
    // key named Missing is not found) and RegCloseKey closes it.
    bool OwnKeys = false;
    std::wstring Missing = L"Missing";
    int Opened = 0;
    int Closed = 0;
    // Keys of Wine's registry opened or created and not yet closed.
    int OpenKeys = 0;
};
extern Registry registry;

// Resets registry and installs it.
void InstallRegistry(void);
// Holds a text value of the first chars characters (and extraBytes more).
void HoldText(const wchar_t *text, size_t chars, size_t extraBytes = 0);

}  // namespace fake
