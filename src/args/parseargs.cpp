// parseargs.cpp - the argument tokenizer and number reader.
#include "args/parseargs.h"
#include "base/errorreport.h"
#include "base/hostapi.h"

#include <errno.h>
#include <string.h>
#include <wctype.h>

ArgTableRecord ArgTable;
// Set as the module starts, so that the table stays in zero-filled memory
// rather than in the file.
[[maybe_unused]] static const bool ArgGuardsSet =
    (ArgTable.ArgumentGuard = ArgTable.LengthGuard = ArgTable.StoreGuard = ARG_TABLE_GUARD, true);

static void ClearArgTable(void)
{
    ArgTable.Count = 0;
    memset(ArgTable.Argument, 0, sizeof ArgTable.Argument);
    memset(ArgTable.Length, 0, sizeof ArgTable.Length);
    memset(ArgTable.Store, 0, sizeof ArgTable.Store);
}

static int ReportOverflow(int used)
{
    ClearArgTable();
    ReportError(L"Buffer overflow: b = %d, MAX_ARG_LEN = %d \r\n", used, MAX_ARG_LEN);
    return -1;
}

int ParseArgs(unsigned flags, const wchar_t *text)
{
    if (text == nullptr)
        return -1;
    ClearArgTable();

    int index = 0;     // argument being built
    int start = 0;     // its first store position
    int length = 0;    // its characters so far (0 = not begun)
    bool quoted = false;
    bool urlMark = false;

    for (const wchar_t *p = text;; p++) {
        wchar_t c = *p;
        if (c == L'"') {
            quoted = !quoted;
            continue;
        }
        if (c != 0 && iswspace(c) && length == 0 && !quoted)
            continue;
        bool separator = !quoted && c != 0 &&
                         ((iswspace(c) && (flags & PARSE_BLANKS)) ||
                          (c == L',' && (flags & PARSE_COMMAS)));
        bool splitSwitch = (flags & PARSE_SWITCHES) && c == L'/' && !quoted && !urlMark &&
                           length >= 2 && index < MAX_ARGS &&
                           ArgTable.Argument[index][0] == L'/';
        if (separator || splitSwitch) {
            // The ended argument keeps one store position for its
            // terminator, also when it is empty (comma mode).
            if (index < MAX_ARGS) {
                start += length + 1;
                index++;
            }
            length = 0;
            quoted = false;
            urlMark = false;
            if (separator)
                continue;
        }
        if ((flags & PARSE_SWITCHES) && c == L':' && length > 0 &&
            iswalpha(p[-1]) && p[1] == L'/' && p[2] == L'/')
            urlMark = true;
        if (c == 0) {
            if (length > 0 && index < MAX_ARGS)
                index++;
            break;
        }
        if (index >= MAX_ARGS)
            continue;  // nothing after the 1024th argument is stored
        if (start + length + 2 > MAX_ARG_LEN)
            return ReportOverflow(MAX_ARG_LEN - 1);
        if (length == 0)
            ArgTable.Argument[index] = &ArgTable.Store[start];
        ArgTable.Store[start + length] = (flags & PARSE_UPPER) ? towupper(c) : c;
        ArgTable.Store[start + length + 1] = 0;
        length++;
        ArgTable.Length[index] = length;
    }

    for (int i = 0; i < index; i++) {
        wchar_t *argument = ArgTable.Argument[i];
        while (ArgTable.Length[i] > 0 && iswspace(argument[ArgTable.Length[i] - 1])) {
            ArgTable.Length[i]--;
            argument[ArgTable.Length[i]] = 0;
        }
    }
    ArgTable.Count = index;
    return index;
}

int ParseNumber(const wchar_t *text, const wchar_t **end, DWORD *value)
{
    if (text == nullptr || value == nullptr)
        return -1;
    errno = 0;
    wchar_t *stop = nullptr;
    unsigned long number;
    if (text[0] == L'0' && (text[1] == L'x' || text[1] == L'X') && iswxdigit(text[2]))
        number = wcstoul(text + 2, &stop, 16);
    else if (iswdigit(text[0]))
        number = wcstoul(text, &stop, 10);
    else
        return -1;
    // unsigned long is 32 bits on Windows, so ERANGE marks every overflow.
    if (errno != 0)
        return -1;
    if (end == nullptr && *stop != 0)
        return -1;
    *value = static_cast<DWORD>(number);
    if (end != nullptr)
        *end = stop;
    return 0;
}

bool IsValueSeparator(wchar_t c)
{
    return c == L':' || c == L'=';
}

void UpperCaseArgument(int index)
{
    if (index < 0 || index >= MAX_ARGS || ArgTable.Argument[index] == nullptr)
        return;
    wchar_t *argument = ArgTable.Argument[index];
    UpperCaseToken(argument, static_cast<size_t>(&ArgTable.Store[MAX_ARG_LEN] - argument));
}

void UpperCaseToken(wchar_t *token, size_t capacity)
{
    if (token == nullptr)
        return;
    for (size_t i = 0; i < capacity && token[i] != 0; i++)
        token[i] = towupper(token[i]);
}
