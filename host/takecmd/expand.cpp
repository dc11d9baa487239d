// expand.cpp - variable expansion: the host's ExpandVariables for the plugin
// and, through HostExpandLine, the shell's expansion of its command lines.
//
//   %%            a single "%"
//   %NAME         host variable, plugin variable, environment variable
//   %[NAME]       the same, delimited
//   %@NAME[ARGS]  variable function (ARGS expanded first)
//
// Values are inserted as they are, never expanded again, so a "%" inside a
// value (a batch file's name, say) stays.  Any other "%" stays too.
#include "host/takecmd/hostcontrol.h"
#include "host/takecmd/hostinternal.h"

#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include <wctype.h>

static int Expand(const wchar_t *text, size_t length, TextBuffer &out);

static bool IsNameChar(wchar_t c)
{
    return iswalnum(c) || c == L'_' || c == L'$';
}

static size_t NameLength(const wchar_t *text, size_t length)
{
    size_t n = 0;
    while (n < length && IsNameChar(text[n]))
        n++;
    return n;
}

static void AppendEnvironment(const wchar_t *name, size_t length, TextBuffer &out)
{
    wchar_t *key = static_cast<wchar_t *>(malloc((length + 1) * sizeof(wchar_t)));
    if (key == nullptr) {
        out.failed = true;
        return;
    }
    memcpy(key, name, length * sizeof(wchar_t));
    key[length] = 0;
    // The largest value Windows keeps is 32767 characters.
    wchar_t *value = static_cast<wchar_t *>(malloc(32768 * sizeof(wchar_t)));
    if (value == nullptr) {
        out.failed = true;
    } else {
        DWORD n = GetEnvironmentVariableW(key, value, 32768);
        if (n > 0 && n < 32768)
            out.Append(value, n);
    }
    free(value);
    free(key);
}

// Calls a plugin entry with a zeroed value buffer holding `args`; appends
// the value.  Returns the entry's result.
static int CallEntry(const PluginEntry &entry, const wchar_t *args, size_t argsLength,
                     TextBuffer &out)
{
    wchar_t *buffer = static_cast<wchar_t *>(calloc(HOST_VALUE_CAPACITY, sizeof(wchar_t)));
    if (buffer == nullptr) {
        out.failed = true;
        return 0;
    }
    if (argsLength > HOST_VALUE_CAPACITY - 1)
        argsLength = HOST_VALUE_CAPACITY - 1;
    memcpy(buffer, args, argsLength * sizeof(wchar_t));
    INT_PTR value = 0;
    INT_PTR argument = reinterpret_cast<INT_PTR>(buffer);
    // A trapped exception or unbalanced stack has been reported; the value
    // is then not to be trusted and the line is abandoned like a failed
    // function's.
    int status = HostCallEntry(entry.exportName, entry.entry, &argument, 1, &value);
    int result = status == 0 ? static_cast<int>(value) : -1;
    buffer[HOST_VALUE_CAPACITY - 1] = 0;
    if (result != -1)
        out.Append(buffer, wcslen(buffer));
    free(buffer);
    return result;
}

static void AppendVariable(const wchar_t *name, size_t length, TextBuffer &out)
{
    if (HostVariable(name, length, out))
        return;
    if (PluginEntry entry = FindPluginEntry(L'_', name, length)) {
        CallEntry(entry, L"", 0, out);
        return;
    }
    AppendEnvironment(name, length, out);
}

// Index of the "]" that closes the "[" at `open`, nested pairs balanced;
// 0 when there is none.
static size_t ClosingBracket(const wchar_t *text, size_t length, size_t open)
{
    size_t depth = 0;
    for (size_t k = open; k < length; k++) {
        if (text[k] == L'[') {
            depth++;
        } else if (text[k] == L']') {
            if (--depth == 0)
                return k;
        }
    }
    return 0;
}

static bool IsPathFunction(const wchar_t *name, size_t length)
{
    return length == 4 && _wcsnicmp(name, L"path", 4) == 0;
}

// @path[X]: X up to and including its last "\", "/" or ":".
static void AppendPathOf(const wchar_t *text, size_t length, TextBuffer &out)
{
    size_t keep = length;
    while (keep > 0 && text[keep - 1] != L'\\' && text[keep - 1] != L'/' && text[keep - 1] != L':')
        keep--;
    out.Append(text, keep);
}

// %@NAME[ARGS] with the function found; 1 when the function failed.
static int CallFunction(const PluginEntry &entry, const wchar_t *args, size_t argsLength,
                        TextBuffer &out)
{
    TextBuffer expanded;
    int result = Expand(args, argsLength, expanded);
    if (expanded.failed)
        out.failed = true;
    if (result == 0 && !expanded.failed) {
        if (entry) {
            if (CallEntry(entry, expanded.Get(), expanded.length, out) == -1)
                result = 1;
        } else {
            AppendPathOf(expanded.Get(), expanded.length, out);
        }
    }
    expanded.Free();
    return result;
}

// Expands `text` onto `out`, stopping once `out` is full.  Returns 0, or 1
// when a variable function failed (the expansion is then abandoned).
static int Expand(const wchar_t *text, size_t length, TextBuffer &out)
{
    size_t i = 0;
    while (i < length && !out.Full() && !out.failed) {
        const wchar_t *percent = wmemchr(text + i, L'%', length - i);
        size_t run = percent ? static_cast<size_t>(percent - (text + i)) : length - i;
        out.Append(text + i, run);
        i += run;
        if (i >= length)
            break;

        wchar_t next = i + 1 < length ? text[i + 1] : 0;
        if (next == L'%') {
            out.Append(L'%');
            i += 2;
            continue;
        }
        if (next == L'[') {
            size_t n = NameLength(text + i + 2, length - i - 2);
            if (n > 0 && i + 2 + n < length && text[i + 2 + n] == L']') {
                AppendVariable(text + i + 2, n, out);
                i += n + 3;
                continue;
            }
        } else if (next == L'@') {
            const wchar_t *name = text + i + 2;
            size_t n = NameLength(name, length - i - 2);
            size_t open = i + 2 + n;
            if (n > 0 && open < length && text[open] == L'[') {
                size_t close = ClosingBracket(text, length, open);
                PluginEntry entry = FindPluginEntry(L'@', name, n);
                if (close != 0 && (entry || IsPathFunction(name, n))) {
                    if (CallFunction(entry, text + open + 1, close - open - 1, out) != 0)
                        return 1;
                    i = close + 1;
                    continue;
                }
            }
        } else if (IsNameChar(next)) {
            size_t n = NameLength(text + i + 1, length - i - 1);
            AppendVariable(text + i + 1, n, out);
            i += n + 1;
            continue;
        }
        out.Append(L'%');
        i++;
    }
    return 0;
}

extern "C" {

// As the plugin calls it: expands in place, writing at most 1024 characters
// with the terminator.  The second argument is not used.  Returns 0; 1 when
// a variable function failed or memory ran out (the buffer is then left as
// it was).
HOSTAPI int WINAPI ExpandVariables(wchar_t *buffer, int)
{
    if (buffer == nullptr)
        return 1;
    TextBuffer out;
    out.limit = HOST_EXPAND_CAPACITY - 1;
    int result = Expand(buffer, wcslen(buffer), out);
    if (out.failed)
        result = 1;
    if (result == 0) {
        memcpy(buffer, out.Get(), out.length * sizeof(wchar_t));
        buffer[out.length] = 0;
    }
    out.Free();
    return result;
}

HOSTAPI int WINAPI HostExpandLine(const wchar_t *line, wchar_t **expanded)
{
    if (expanded == nullptr)
        return -1;
    *expanded = nullptr;
    if (line == nullptr)
        return -1;
    TextBuffer out;
    int result = Expand(line, wcslen(line), out);
    if (result != 0) {
        out.Free();
        return result;
    }
    *expanded = out.Detach();
    return *expanded ? 0 : -1;
}

HOSTAPI void WINAPI HostFreeText(wchar_t *text)
{
    free(text);
}

}  // extern "C"
