// macrocommand.cpp - SONAROMACRO: create, replace, delete and list host macros.
#include "macros/macrocommand.h"
#include "macros/macrousage.h"
#include "macros/macrolist.h"
#include "macros/macrostore.h"
#include "args/parseargs.h"
#include "console/conlist.h"
#include "console/highlight.h"
#include "base/hostapi.h"
#include "base/errorreport.h"
#include "sys/syscalls.h"

#include <string.h>
#include <wctype.h>

// Everything one call gathers from its arguments.
struct MacroCommand {
    bool NoHighlight;          // /D
    bool ListAll;              // /L
    int PauseLines;            // from /P; 0 = no paging
    int Changes;               // macros created or deleted
    MacroMatchEntry *Matches;  // numbers and name patterns to list
};

#define GO_ON -1  // an argument handler's "next argument, please"

static int ReportArgument(int index, const wchar_t *format)
{
    UpperCaseArgument(index);
    ReportError(format, ArgTable.Argument[index]);
    return 1;
}

const MacroOption MacroOptionTable[] = {
    {L"D", OPTION_SWITCH, [](MacroCommand *c, wchar_t *) { c->NoHighlight = true; return GO_ON; }},
    {L"L", OPTION_SWITCH, [](MacroCommand *c, wchar_t *) { c->ListAll = true; return GO_ON; }},
    // ParsePauseOption writes its own message.
    {L"P", OPTION_VALUED, [](MacroCommand *c, wchar_t *argument) {
         return ParsePauseOption(argument, &c->PauseLines) == 1 ? 1 : GO_ON;
     }},
};
const size_t MacroOptionCount = sizeof MacroOptionTable / sizeof MacroOptionTable[0];

static int HandleOption(int index, MacroCommand *command)
{
    wchar_t *argument = ArgTable.Argument[index];
    UsageRequest usage = UsageRequested(argument);
    if (usage != USAGE_NONE) {
        PrintUsage(SonaroMacroUsageText, usage);
        return 0;
    }
    const MacroOption *option = FindOption(MacroOptionTable, MacroOptionCount, argument);
    if (option != nullptr)
        return option->Apply(command, argument);
    return ReportArgument(index, L"Unknown option: \"%s\"\r\n");
}

// "#n=value", "name:value", "#n", "#pattern" and the like, "#" optional.
static int HandleMacroArgument(int index, MacroCommand *command)
{
    wchar_t *argument = ArgTable.Argument[index];
    const wchar_t *p = argument[0] == L'#' ? argument + 1 : argument;

    if (*p == 0 || IsValueSeparator(*p))
        return ReportArgument(index, L"Missing macro name: \"%s\"\r\n");

    bool numbered = iswdigit(*p) != 0;
    DWORD number = 0;
    wchar_t name[MACRO_PATTERN_MAX + 1];
    name[0] = 0;
    if (numbered) {
        if (ParseNumber(p, &p, &number) != 0)
            return ReportArgument(index, L"Bad macro number: \"%s\"\r\n");
    } else {
        // Over-long names are cut here; no valid name comes near the limit.
        int length = 0;
        for (; *p != 0 && !IsValueSeparator(*p); p++) {
            if (length < MACRO_PATTERN_MAX)
                name[length++] = towupper(*p);
        }
        name[length] = 0;
    }

    if (*p == 0) {
        if (AppendMatchEntry(&command->Matches, numbered ? number : 0, name) != 0) {
            ReportError(L"Error allocating match entry\r\n");
            return 2;
        }
        return GO_ON;
    }
    if (!IsValueSeparator(*p))
        return ReportArgument(index, L"Syntax error: \"%s\"\r\n");

    wchar_t *value = argument + (p + 1 - argument);
    if (!numbered && !IsValidMacroName(name)) {
        ReportError(L"Bad macro name: \"#%s\"\r\n", name);
        return 1;
    }
    // Lookups and the listing read at most 1024 characters: a longer text
    // could be stored but never used, whichever kind of macro it is.
    if (wcslen(value) > MACRO_TEXT_MAX) {
        UpperCaseArgument(index);
        ReportError(L"Hostname too long: \"%s\"\r\n", value);
        return 1;
    }
    // A failed write still counts as a change, as the user asked for one.
    if (numbered)
        SetNumberedMacro(number, value);
    else
        SetNamedMacro(name, value);
    command->Changes++;
    return GO_ON;
}

static int HandleArguments(MacroCommand *command)
{
    for (int i = 0; i < ArgTable.Count; i++) {
        wchar_t *argument = ArgTable.Argument[i];
        if (argument == nullptr || argument[0] == 0)
            continue;
        int result = (argument[0] == L'/' || argument[0] == L'-')
                         ? HandleOption(i, command)
                         : HandleMacroArgument(i, command);
        if (result != GO_ON)
            return result;
    }
    return GO_ON;
}

static int ListRequested(const MacroCommand *command)
{
    memset(ColourSlots, 0, sizeof ColourSlots);
    if (!command->NoHighlight)
        LoadHighlightColours();
    if (command->PauseLines != 0)
        StartPaging(command->PauseLines);

    int listed = 0;
    if (command->ListAll || (command->Changes == 0 && command->Matches == nullptr))
        listed = ListMacros(nullptr);
    else if (command->Matches != nullptr)
        listed = ListMacros(command->Matches);
    return listed == -3 ? 3 : 0;
}

SONARO_EXPORT int WINAPI sonaromacro(wchar_t *arguments)
{
    if (arguments == nullptr)
        return -1;
    PageLength = 0;
    LinesLeft = 0;
    PauseTime = 0;
    ListBreakFlag = 0;
    ParseArgs(PARSE_BLANKS | PARSE_SWITCHES, arguments);

    MacroCommand command;
    memset(&command, 0, sizeof command);
    // Changes made before a faulty argument stay; nothing is listed then.
    int result = HandleArguments(&command);
    if (result == GO_ON)
        result = ListRequested(&command);
    FreeMatchList(command.Matches);
    return result;
}
