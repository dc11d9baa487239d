// macrolist.cpp - ListMacros: the aligned, sorted listing of the macro store.
#include "macros/macrolist.h"
#include "macros/macrostore.h"
#include "args/parseargs.h"
#include "console/conlist.h"
#include "base/hostapi.h"
#include "base/errorreport.h"
#include "base/settings.h"
#include "base/regvalue.h"
#include "sys/syscalls.h"

#include <stdint.h>
#include <string.h>
#include <wctype.h>


int CompareMacroEntries(const MacroListEntry *a, const MacroListEntry *b)
{
    // wchar_t is an unsigned 16-bit code unit here, so an empty name (a
    // numbered macro) sorts first and "_" after the capital letters.
    for (int i = 0;; i++) {
        unsigned ca = a->Name[i], cb = b->Name[i];
        if (ca != cb)
            return ca < cb ? -1 : 1;
        if (ca == 0)
            break;
    }
    if (a->Number != b->Number)
        return a->Number < b->Number ? -1 : 1;
    return 0;
}

static int CompareForSort(const void *a, const void *b)
{
    return CompareMacroEntries(static_cast<const MacroListEntry *>(a),
                               static_cast<const MacroListEntry *>(b));
}

static int DecimalWidth(DWORD number)
{
    int width = 1;
    while (number >= 10) {
        number /= 10;
        width++;
    }
    return width;
}

// Fills the entry from one enumerated value when it is a macro the listing
// wants: "Host-" (with case) and a whole number or a valid name after it.
static bool TakeMacro(const wchar_t *valueName, const wchar_t *data,
                      const MacroMatchEntry *matches, MacroListEntry *entry)
{
    if (wcsncmp(valueName, MACRO_VALUE_PREFIX, MACRO_VALUE_PREFIX_LENGTH) != 0)
        return false;
    const wchar_t *rest = valueName + MACRO_VALUE_PREFIX_LENGTH;
    DWORD number = 0;
    bool numbered;
    if (iswdigit(rest[0]) && ParseNumber(rest, nullptr, &number) == 0)
        numbered = true;
    else if (iswalpha(rest[0]) && IsValidMacroName(rest))
        numbered = false;
    else
        return false;
    if (matches != nullptr && !MatchesMacroList(matches, rest))
        return false;

    memset(entry, 0, sizeof *entry);
    if (numbered) {
        entry->Number = number;
        entry->Width = DecimalWidth(number);
    } else {
        size_t length = wcsnlen(rest, MACRO_NAME_MAX);
        memcpy(entry->Name, rest, length * sizeof(wchar_t));
        entry->Width = static_cast<int>(length);
    }
    size_t length = wcsnlen(data, MACRO_TEXT_MAX);
    memcpy(entry->Value, data, length * sizeof(wchar_t));
    return true;
}

// Reads the key's macros into the table; the number taken.
static int CollectMacros(HKEY key, const MacroMatchEntry *matches, MacroListEntry *table,
                         DWORD capacity, int *widest)
{
    wchar_t valueName[LISTED_VALUE_NAME_CAPACITY];
    wchar_t data[MACRO_TEXT_MAX + 1];
    DWORD taken = 0;
    *widest = 0;

    // Values added since the key was counted are left out: the table is full.
    for (DWORD index = 0; taken < capacity; index++) {
        // Any type and an empty text are listed as they are.
        LONG status = ReadRegistryValueAt(key, index, valueName, LISTED_VALUE_NAME_CAPACITY,
                                          REG_SZ, data, MACRO_DATA_BYTES,
                                          REGVALUE_ANY_TYPE | REGVALUE_EMPTY_OK);
        // A value too big for the buffers (another tool's, or no macro at
        // all) is passed over; the ones after it still count.
        if (status == ERROR_MORE_DATA)
            continue;
        if (status != ERROR_SUCCESS)
            break;
        if (!TakeMacro(valueName, data, matches, &table[taken]))
            continue;
        if (table[taken].Width > *widest)
            *widest = table[taken].Width;
        taken++;
    }
    return static_cast<int>(taken);
}

// One line: "#name " or "#number ", blanks up to the widest, "= " and the
// highlighted value.  0, or -3 for Control-C.
static int PrintMacroLine(const MacroListEntry *entry, int widest)
{
    if (entry->Name[0] != 0)
        Printf(L"#%s ", entry->Name);
    else
        Printf(L"#%u ", entry->Number);

    int pad = widest - entry->Width;
    if (pad >= 1 && pad <= 1023) {
        wchar_t blanks[1024];
        wmemset(blanks, L' ', static_cast<size_t>(pad));
        blanks[pad] = 0;
        QPuts(blanks);
    }
    return MarkedPrintf(L"= " MARK_HIGHLIGHT L"%s\r\n", entry->Value) == -3 ? -3 : 0;
}

static int PrintNoMacros(void)
{
    return MarkedPrintf(L"No macros defined.\r\n") == -3 ? -3 : 0;
}

static int ListOpenKey(HKEY key, const MacroMatchEntry *matches)
{
    DWORD valueCount = 0;
    if (SYS(RegQueryInfoKeyW)(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                              &valueCount, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
        valueCount == 0)
        return PrintNoMacros();

    MacroListEntry *table = nullptr;
    if (valueCount <= SIZE_MAX / sizeof(MacroListEntry))
        table = static_cast<MacroListEntry *>(SYS(malloc)(valueCount * sizeof(MacroListEntry)));
    if (table == nullptr) {
        ReportError(L"Error allocating sort buffer for macros.\r\n");
        return -1;
    }

    int widest = 0;
    int count = CollectMacros(key, matches, table, valueCount, &widest);
    if (count > 1)
        qsort(table, static_cast<size_t>(count), sizeof *table, CompareForSort);

    int result = count;
    for (int i = 0; i < count; i++) {
        if (PrintMacroLine(&table[i], widest) == -3) {
            result = -3;
            break;
        }
    }
    SYS(free)(table);
    if (result == -3)
        return -3;

    if (count == 0)
        return PrintNoMacros();
    if (MarkedPrintf(L"\r\n   %d %s%s defined.\r\n", count, matches ? L"matching " : L"",
                     count == 1 ? L"macro" : L"macros") == -3)
        return -3;
    return count;
}

int ListMacros(const MacroMatchEntry *matches)
{
    InstallListCtrlHandler();

    HKEY key = nullptr;
    int result;
    if (SYS(RegOpenKeyExW)(HKEY_CURRENT_USER, SONARO_SETTINGS_KEY, 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        result = PrintNoMacros();
    } else {
        result = ListOpenKey(key, matches);
        SYS(RegCloseKey)(key);
    }

    // Every way out gives Control-C back to the host.
    RemoveListCtrlHandler();
    return result;
}
