// helpcommand.cpp - the SONAROHELP command: options, topic and search text.
#include "help/helpcommand.h"
#include "help/newhelp.h"
#include "args/parseargs.h"
#include "base/hostapi.h"
#include "base/errorreport.h"
#include "base/usagetexts.h"

#include <string.h>
#include <wctype.h>

#define TOKEN_CHARS 8192
#define SEARCH_CHARS 8192

int QuoteIfBlank(wchar_t *text)
{
    if (text == nullptr)
        return -1;
    bool blank = false;
    for (const wchar_t *p = text; *p != 0 && !blank; p++)
        blank = iswspace(*p) != 0;
    if (!blank)
        return 0;
    size_t length = wcslen(text);
    if (length + 2 >= SEARCH_CHARS)
        return 8;
    memmove(text + 1, text, length * sizeof(wchar_t));
    text[0] = L'"';
    text[length + 1] = L'"';
    text[length + 2] = 0;
    return 0;
}

// Reads the next token from *line into token (at most TOKEN_CHARS - 1
// characters; the rest is dropped).  Double quotes toggle quoting and are
// not kept; a quoted blank belongs to the token, other white space ends it.
// False at the end of the line.
static bool NextToken(const wchar_t **line, wchar_t *token)
{
    const wchar_t *p = *line;
    while (*p != 0 && iswspace(*p))
        p++;
    if (*p == 0) {
        *line = p;
        return false;
    }
    size_t length = 0;
    bool quoted = false;
    for (; *p != 0; p++) {
        if (*p == L'"') {
            quoted = !quoted;
            continue;
        }
        if (iswspace(*p) && !(quoted && *p == L' '))
            break;
        if (length < TOKEN_CHARS - 1)
            token[length++] = *p;
    }
    token[length] = 0;
    *line = p;
    return true;
}

static void PrintHelpModuleLine(void)
{
    wchar_t version[1024];
    ASCIIToUnicode(NEWHELP_VERSION, version, 1024);
    Printf(L"\t\t\t\tNewHelp  %s\r\n", version);
}

static int UnknownOption(wchar_t *token)
{
    UpperCaseToken(token, TOKEN_CHARS);
    ReportError(L"Unknown option: \"%s\"\r\n", token);
    return 1;
}

SONARO_EXPORT int WINAPI sonarohelp(wchar_t *arguments)
{
    if (arguments == nullptr)
        return 1;

    int tab = HELP_TAB_NONE;
    wchar_t search[SEARCH_CHARS];
    search[0] = 0;
    wchar_t token[TOKEN_CHARS];
    const wchar_t *line = arguments;

    while (NextToken(&line, token) && token[0] != 0) {
        if (_wcsicmp(token, L"/C") == 0) {
            tab = HELP_TAB_CONTENTS;
            search[0] = 0;
        } else if (_wcsicmp(token, L"/S") == 0) {
            tab = HELP_TAB_SEARCH;
            search[0] = 0;
        } else if (_wcsnicmp(token, L"/S", 2) == 0) {
            // /S:text, /S=text and /Stext all search for text.
            const wchar_t *text = token + 2;
            if (*text == L':' || *text == L'=')
                text++;
            wcsncpy(search, text, SEARCH_CHARS - 1);
            search[SEARCH_CHARS - 1] = 0;
            QuoteIfBlank(search);
            tab = HELP_TAB_SEARCH;
        } else if (_wcsicmp(token, L"/F") == 0) {
            tab = HELP_TAB_FAVORITES;
            search[0] = 0;
        } else if (wcscmp(token, L"/?") == 0) {
            QPuts(SonaroHelpUsageText);
            return 0;
        } else if (wcscmp(token, L"/??") == 0) {
            QPuts(SonaroHelpUsageText);
            PrintVersionLine();
            PrintHelpModuleLine();
            return 0;
        } else if (_wcsicmp(token, L"/Q") == 0) {
            CloseHelpViewer();
            return 0;
        } else if (_wcsicmp(token, L"/V") == 0) {
            PrintVersionReport();
            return 0;
        } else if (token[0] == L'/') {
            return UnknownOption(token);
        } else {
            // The topic ends the line: whatever follows it is ignored.
            wchar_t topic[1024];
            HelpTopicForName(token, topic);
            OpenHelp(topic, search, tab);
            return 0;
        }
    }
    OpenHelp(L"overview", search, tab);
    return 0;
}
