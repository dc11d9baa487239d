// helpcommand.cpp - the SONAROHELP command: options, topic and search text.
#include "help/helpcommand.h"
#include "help/newhelp.h"
#include "help/helpusage.h"
#include "args/options.h"
#include "args/parseargs.h"
#include "base/hostapi.h"
#include "base/errorreport.h"

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

// The tab and search text the options before the topic ask for.
struct HelpRequest {
    int Tab;
    wchar_t Search[SEARCH_CHARS];
};

static int SelectTab(HelpRequest *request, int tab)
{
    request->Tab = tab;
    request->Search[0] = 0;
    return HELP_GO_ON;
}

// /S:text, /S=text and /Stext all search for text.
static int SearchFor(HelpRequest *request, const wchar_t *token)
{
    const wchar_t *text = token + 2;
    if (*text == L':' || *text == L'=')
        text++;
    wcsncpy(request->Search, text, SEARCH_CHARS - 1);
    request->Search[SEARCH_CHARS - 1] = 0;
    QuoteIfBlank(request->Search);
    request->Tab = HELP_TAB_SEARCH;
    return HELP_GO_ON;
}

// A switch matches first, so /S alone selects the tab without a search.
const HelpOption HelpOptionTable[] = {
    {L"C", OPTION_SWITCH, [](HelpRequest *r, const wchar_t *) { return SelectTab(r, HELP_TAB_CONTENTS); }},
    {L"S", OPTION_SWITCH, [](HelpRequest *r, const wchar_t *) { return SelectTab(r, HELP_TAB_SEARCH); }},
    {L"S", OPTION_VALUED, SearchFor},
    {L"F", OPTION_SWITCH, [](HelpRequest *r, const wchar_t *) { return SelectTab(r, HELP_TAB_FAVORITES); }},
    {L"Q", OPTION_SWITCH, [](HelpRequest *, const wchar_t *) { CloseHelpViewer(); return 0; }},
    {L"V", OPTION_SWITCH, [](HelpRequest *, const wchar_t *) { PrintVersionReport(); return 0; }},
};
const size_t HelpOptionCount = sizeof HelpOptionTable / sizeof HelpOptionTable[0];

SONARO_EXPORT int WINAPI sonarohelp(wchar_t *arguments)
{
    if (arguments == nullptr)
        return 1;

    HelpRequest request;
    request.Tab = HELP_TAB_NONE;
    request.Search[0] = 0;
    wchar_t token[TOKEN_CHARS];
    const wchar_t *line = arguments;

    while (NextToken(&line, token) && token[0] != 0) {
        if (token[0] != L'/') {
            // The topic ends the line: whatever follows it is ignored.
            wchar_t topic[1024];
            HelpTopicForName(token, topic);
            OpenHelp(topic, request.Search, request.Tab);
            return 0;
        }
        UsageRequest usage = UsageRequested(token);
        if (usage != USAGE_NONE) {
            PrintUsage(SonaroHelpUsageText, usage);
            if (usage == USAGE_VERSION)
                PrintHelpModuleLine();
            return 0;
        }
        const HelpOption *option = FindOption(HelpOptionTable, HelpOptionCount, token);
        if (option == nullptr)
            return UnknownOption(token);
        int result = option->Apply(&request, token);
        if (result != HELP_GO_ON)
            return result;
    }
    OpenHelp(L"overview", request.Search, request.Tab);
    return 0;
}
