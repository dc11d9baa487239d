// helptopic.cpp - help topics for the plugin's names.
#include "help/newhelp.h"
#include "help/helpcommand.h"

#include <string.h>
#include <wctype.h>


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
    for (; *name != 0 && out < HELP_TOPIC_CAPACITY - 1; name++)
        topic[out++] = towlower(*name);
    topic[out] = 0;
    return 0;
}
