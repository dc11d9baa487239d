// macromatch.cpp - the numbers and name patterns a listing is limited to.
#include "macros/macrolist.h"
#include "args/parseargs.h"
#include "base/hostapi.h"
#include "sys/syscalls.h"

#include <stddef.h>
#include <string.h>
#include <wctype.h>

int AppendMatchEntry(MacroMatchEntry **head, DWORD number, const wchar_t *name)
{
    size_t length = name ? wcsnlen(name, MACRO_PATTERN_MAX) : 0;
    size_t bytes = offsetof(MacroMatchEntry, Name) + (length + 1) * sizeof(wchar_t);
    MacroMatchEntry *entry = static_cast<MacroMatchEntry *>(SYS(malloc)(bytes));
    if (entry == nullptr)
        return 1;
    entry->Next = nullptr;
    entry->Number = number;
    if (length > 0)
        memcpy(entry->Name, name, length * sizeof(wchar_t));
    entry->Name[length] = 0;

    MacroMatchEntry **tail = head;
    while (*tail != nullptr)
        tail = &(*tail)->Next;
    *tail = entry;
    return 0;
}

void FreeMatchList(MacroMatchEntry *head)
{
    while (head != nullptr) {
        MacroMatchEntry *next = head->Next;
        SYS(free)(head);
        head = next;
    }
}

bool MatchesMacroList(const MacroMatchEntry *head, const wchar_t *text)
{
    if (text == nullptr || text[0] == 0)
        return false;
    DWORD number = 0;
    bool isNumber = iswdigit(text[0]) && ParseNumber(text, nullptr, &number) == 0;

    for (const MacroMatchEntry *entry = head; entry != nullptr; entry = entry->Next) {
        bool numberEntry = entry->Name[0] == 0;
        if (isNumber) {
            if (numberEntry && entry->Number == number)
                return true;
        } else if (!numberEntry && WildcardComparison(entry->Name, text, 0, 1) == 0) {
            return true;
        }
    }
    return false;
}
