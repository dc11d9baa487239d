// helpentry.cpp - the host's Help entry: the help page of one of the plugin's names.
#include "frame/entries.h"
#include "help/newhelp.h"
#include "base/hostbuffer.h"

#include <string.h>


// Finds the name, as a whole and ignoring case, in the comma-separated list.
static bool FindInImplements(const wchar_t *name, wchar_t *entry, size_t capacity)
{
    size_t nameLength = wcsnlen(name, FUNCTION_BUFFER_CAPACITY);
    const wchar_t *list = SONARO_IMPLEMENTS;
    while (*list != 0) {
        const wchar_t *comma = wcschr(list, L',');
        size_t length = comma ? static_cast<size_t>(comma - list) : wcslen(list);
        if (length == nameLength && length < capacity && _wcsnicmp(list, name, length) == 0) {
            memcpy(entry, list, length * sizeof(wchar_t));
            entry[length] = 0;
            return true;
        }
        list += length;
        if (*list == L',')
            list++;
    }
    return false;
}

SONARO_EXPORT int WINAPI Help(wchar_t *name)
{
    if (name == nullptr)
        return 0;
    wchar_t entry[64];
    if (!FindInImplements(name, entry, 64))
        return 0;
    wchar_t topic[HELP_TOPIC_CAPACITY];
    HelpTopicForName(entry, topic);
    return OpenHelp(topic, nullptr, HELP_TAB_NONE);
}
