// hoststate.cpp - what the shell tells the host: the batch file being run,
// the shell's flags, the loaded plugin; and the host variables made of it.
#include "host/takecmd/hostcontrol.h"
#include "host/takecmd/hostinternal.h"

#include <stdlib.h>
#include <string.h>
#include <wchar.h>

namespace {

wchar_t *BatchName;  // null outside a batch file
int BatchLine;
int Transient;
int Pipe;
wchar_t *Cmdspec;  // null: the process's own file name
HMODULE Plugin;
wchar_t *Implements;
int AttributeOverride = -1;

}  // namespace

// Replaces a remembered copy of a text (null clears it).
static void Remember(wchar_t *&slot, const wchar_t *text)
{
    free(slot);
    slot = text ? _wcsdup(text) : nullptr;
}

static bool SameName(const wchar_t *name, size_t length, const wchar_t *known)
{
    return wcslen(known) == length && _wcsnicmp(name, known, length) == 0;
}

static void AppendNumber(TextBuffer &out, int value)
{
    wchar_t digits[16];
    _snwprintf(digits, 16, L"%d", value);
    digits[15] = 0;
    out.Append(digits, wcslen(digits));
}

static void AppendString(TextBuffer &out, const wchar_t *text)
{
    if (text)
        out.Append(text, wcslen(text));
}

static void AppendCmdspec(TextBuffer &out)
{
    if (Cmdspec) {
        AppendString(out, Cmdspec);
        return;
    }
    wchar_t path[32768];
    DWORD n = GetModuleFileNameW(nullptr, path, 32768);
    if (n > 0 && n < 32768)
        out.Append(path, n);
}

bool HostVariable(const wchar_t *name, size_t length, TextBuffer &out)
{
    if (SameName(name, length, L"_batch"))
        AppendNumber(out, BatchName ? 1 : 0);
    else if (SameName(name, length, L"_batchname"))
        AppendString(out, BatchName);
    else if (SameName(name, length, L"_batchline"))
        AppendNumber(out, BatchName ? BatchLine : 0);
    else if (SameName(name, length, L"_transient"))
        AppendNumber(out, Transient);
    else if (SameName(name, length, L"_pipe"))
        AppendNumber(out, Pipe);
    else if (SameName(name, length, L"_cmdspec"))
        AppendCmdspec(out);
    else
        return false;
    return true;
}

PluginEntry FindPluginEntry(wchar_t kind, const wchar_t *name, size_t length)
{
    PluginEntry found;
    if (Plugin == nullptr || Implements == nullptr || length == 0 || length > 250)
        return found;
    // The list holds "@name" for a function; a variable's name holds its "_".
    const wchar_t *sought = name;
    size_t soughtLength = length;
    if (kind == L'_' && name[0] != L'_')
        return found;
    for (const wchar_t *entry = Implements; *entry;) {
        const wchar_t *end = wcschr(entry, L',');
        size_t entryLength = end ? static_cast<size_t>(end - entry) : wcslen(entry);
        const wchar_t *entryName = entry;
        size_t entryNameLength = entryLength;
        bool isFunction = entryLength > 0 && entry[0] == L'@';
        if (isFunction) {
            entryName++;
            entryNameLength--;
        }
        if (isFunction == (kind == L'@') && entryNameLength == soughtLength &&
            _wcsnicmp(entryName, sought, soughtLength) == 0) {
            char *exportName = found.exportName;
            int at = 0;
            if (isFunction) {
                exportName[at++] = 'f';
                exportName[at++] = '_';
            }
            int n = WideCharToMultiByte(CP_ACP, 0, entryName, static_cast<int>(entryNameLength),
                                        exportName + at, 250, nullptr, nullptr);
            if (n <= 0)
                return found;
            exportName[at + n] = 0;
            found.entry = GetProcAddress(Plugin, exportName);
            return found;
        }
        if (end == nullptr)
            break;
        entry = end + 1;
    }
    return found;
}

int HostAttributeOverride(void)
{
    return AttributeOverride;
}

extern "C" {

HOSTAPI void WINAPI HostSetPlugin(HMODULE module, const wchar_t *implements)
{
    Plugin = module;
    Remember(Implements, module ? implements : nullptr);
}

HOSTAPI void WINAPI HostSetBatch(const wchar_t *name, int line)
{
    Remember(BatchName, name);
    BatchLine = name ? line : 0;
}

HOSTAPI void WINAPI HostSetFlags(int transient, int pipe)
{
    Transient = transient ? 1 : 0;
    Pipe = pipe ? 1 : 0;
}

HOSTAPI void WINAPI HostSetCmdspec(const wchar_t *path)
{
    Remember(Cmdspec, path);
}

HOSTAPI void WINAPI HostSetAttribute(int attribute)
{
    AttributeOverride = attribute < 0 ? -1 : (attribute & 0xFF);
}

HOSTAPI void WINAPI HostReset(void)
{
    HostSetPlugin(nullptr, nullptr);
    HostSetBatch(nullptr, 0);
    HostSetFlags(0, 0);
    HostSetCmdspec(nullptr);
    HostSetAttribute(-1);
    SetColors(-1);
}

}  // extern "C"
