// options.cpp - matching option tokens, and the usage options.
#include "args/options.h"
#include "base/hostapi.h"
#include "base/versionline.h"

#include <string.h>

bool MatchOption(const wchar_t *token, const wchar_t *option, bool prefix)
{
    if (token == nullptr || option == nullptr)
        return false;
    if (token[0] != L'/' && token[0] != L'-')
        return false;
    if (option[0] == L'/' || option[0] == L'-')
        option++;
    if (prefix)
        return _wcsnicmp(token + 1, option, wcslen(option)) == 0;
    return _wcsicmp(token + 1, option) == 0;
}

UsageRequest UsageRequested(const wchar_t *token)
{
    if (MatchOption(token, L"?", false))
        return USAGE_TEXT;
    if (MatchOption(token, L"??", false))
        return USAGE_VERSION;
    return USAGE_NONE;
}

void PrintUsage(const wchar_t *usage, UsageRequest request)
{
    QPuts(usage);
    if (request == USAGE_VERSION)
        PrintVersionLine();
}
