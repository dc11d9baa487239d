// helptopic.cpp - help topics for the plugin's names and the host's Help entry.
#include "help/newhelp.h"
#include "help/helpcommand.h"

#include <string.h>
#include <wctype.h>

#define TOPIC_CHARS 1024

int HelpTopicForName(const wchar_t *name, wchar_t *topic)
{
    if (name == nullptr || topic == nullptr)
        return -1;

    // @name is a variable function (f_name), _name an internal variable
    // (v_name); a command is its own topic.
    size_t out = 0;
    if (name[0] == L'@') {
        topic[out++] = L'f';
        topic[out++] = L'_';
        name++;
    } else if (name[0] == L'_') {
        topic[out++] = L'v';
    }
    for (; *name != 0 && out < TOPIC_CHARS - 1; name++)
        topic[out++] = towlower(*name);
    topic[out] = 0;
    return 0;
}

// Finds the name, as a whole and ignoring case, in the comma-separated list.
static bool FindInImplements(const wchar_t *name, wchar_t *entry, size_t capacity)
{
    size_t nameLength = wcslen(name);
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
    wchar_t topic[TOPIC_CHARS];
    HelpTopicForName(entry, topic);
    return OpenHelp(topic, nullptr, HELP_TAB_NONE);
}
