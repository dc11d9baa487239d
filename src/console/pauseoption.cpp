// pauseoption.cpp - the /P[:time[M]][,lines] option of a paged listing.
#include "console/conlist.h"
#include "args/parseargs.h"
#include "base/hostapi.h"
#include "base/errorreport.h"

#include <wctype.h>

static bool IsPauseSwitch(const wchar_t *token)
{
    return (token[0] == L'/' || token[0] == L'-') && (token[1] == L'P' || token[1] == L'p');
}

static bool IsDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

// Messages show the token as the user typed it, in upper case.
static int RefuseToken(wchar_t *token, const wchar_t *format)
{
    UpperCaseToken(token, MAX_ARG_LEN);
    ReportError(format, token);
    return 1;
}

int ParsePauseOption(wchar_t *token, int *requestedLines)
{
    if (token == nullptr)
        return -1;
    if (!IsPauseSwitch(token))
        return 0;

    int lines = -1;  // 0xFFFFFFFF: the whole window
    PauseTime = 0;
    if (requestedLines)
        *requestedLines = lines;
    if (token[2] == 0)
        return 0;

    const wchar_t *p = token + 2;
    if (IsValueSeparator(*p))
        p++;

    if (IsDigit(*p)) {
        DWORD time = 0;
        const wchar_t *end = nullptr;
        if (ParseNumber(p, &end, &time) != 0)
            return RefuseToken(token, L"Bad pause time: \"%s\"\r\n");
        p = end;
        if (*p == L'M' || *p == L'm') {
            p++;
        } else {
            // Seconds; a time whose milliseconds do not fit in 32 bits
            // would wrap to a short wait, so it is refused.
            if (time > 0xFFFFFFFFu / 1000)
                return RefuseToken(token, L"Bad pause time: \"%s\"\r\n");
            time *= 1000;
        }
        PauseTime = time;
    }

    if (*p == L',' || *p == L';') {
        p++;
        if (IsDigit(*p)) {
            DWORD count = 0;
            const wchar_t *end = nullptr;
            if (ParseNumber(p, &end, &count) != 0)
                return RefuseToken(token, L"Bad pause lines: \"%s\"\r\n");
            if (count > 1000) {
                ReportError(L"Pause lines must be 0 - 1000: %u\r\n", count);
                return 1;
            }
            lines = static_cast<int>(count);
            p = end;
        }
    }

    if (*p != 0)
        return RefuseToken(token, L"Syntax error: \"%s\"\r\n");
    if (requestedLines)
        *requestedLines = lines;
    return 0;
}
