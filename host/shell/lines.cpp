// lines.cpp - one line of the shell: expansion, then the built-in commands
// or the plugin's, chosen by the first word without regard to case.
#include "host/shell/lines.h"
#include "host/shell/memstat.h"
#include "host/shell/shellerror.h"
#include "host/takecmd/hostcontrol.h"

#include <stdlib.h>
#include <string.h>
#include <wchar.h>

static bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t';
}

static const wchar_t *SkipBlanks(const wchar_t *p)
{
    while (IsBlank(*p))
        p++;
    return p;
}

// A built-in's single argument: the rest without trailing blanks.
static std::wstring Argument(const wchar_t *rest)
{
    std::wstring text = rest;
    while (!text.empty() && IsBlank(text.back()))
        text.pop_back();
    return text;
}

static void Echo(const wchar_t *rest)
{
    QPuts(rest);
    CrLf();
}

static void Set(const wchar_t *rest)
{
    std::wstring text = rest;
    size_t equals = text.find(L'=');
    if (equals == std::wstring::npos || equals == 0) {
        ShellError(L"Syntax: set NAME=VALUE\r\n");
        return;
    }
    std::wstring name = text.substr(0, equals);
    std::wstring value = text.substr(equals + 1);
    SetEnvironmentVariableW(name.c_str(), value.empty() ? nullptr : value.c_str());
}

static bool PluginPresent(const Plugin &plugin)
{
    if (plugin.running)
        return true;
    ShellError(L"No plugin loaded.\r\n");
    return false;
}

static void ShowUsage(const Plugin &plugin, const wchar_t *rest)
{
    if (!PluginPresent(plugin))
        return;
    if (plugin.usage == nullptr) {
        ShellError(L"Missing plugin export: Usage\r\n");
        return;
    }
    std::wstring name = Argument(rest);
    wchar_t buffer[1024];
    memset(buffer, 0, sizeof buffer);
    INT_PTR found = CallPlugin("Usage", plugin.usage,
                               {reinterpret_cast<INT_PTR>(name.c_str()),
                                reinterpret_cast<INT_PTR>(buffer)});
    buffer[1023] = 0;
    if (found == 1)
        QPuts(buffer);
}

static void ShowHelp(const Plugin &plugin, const wchar_t *rest)
{
    if (!PluginPresent(plugin))
        return;
    if (plugin.help == nullptr) {
        ShellError(L"Missing plugin export: Help\r\n");
        return;
    }
    std::wstring name = Argument(rest);
    int result = static_cast<int>(
        CallPlugin("Help", plugin.help, {reinterpret_cast<INT_PTR>(name.c_str())}));
    Printf(L"%d\r\n", result);
}

static void Exit(const wchar_t *rest, LineOutcome &outcome)
{
    std::wstring text = Argument(rest);
    if (text.empty()) {
        outcome.exit = true;
        return;
    }
    wchar_t *end = nullptr;
    long status = wcstol(text.c_str(), &end, 10);
    outcome.setsResult = true;
    if (end == text.c_str() || *end != 0) {
        ShellError(L"Bad exit status: %s\r\n", text.c_str());
        outcome.result = 2;
        return;
    }
    outcome.result = static_cast<int>(status);
    outcome.exit = true;
}

static int RunCommand(const CommandEntry &command, const wchar_t *rest)
{
    // The plugin may write into its argument (upper-casing a token for a
    // message), so it gets its own copy.
    size_t length = wcslen(rest);
    wchar_t *arguments = static_cast<wchar_t *>(malloc((length + 1) * sizeof(wchar_t)));
    if (arguments == nullptr) {
        ShellError(L"Out of memory.\r\n");
        return 1;
    }
    memcpy(arguments, rest, (length + 1) * sizeof(wchar_t));
    int result = static_cast<int>(CallPlugin(command.exportName.c_str(), command.entry,
                                              {reinterpret_cast<INT_PTR>(arguments)}));
    free(arguments);
    return result;
}

// "load PATH": one more plugin, which becomes the current one.
static void Load(PluginSet &plugins, const wchar_t *rest, LineOutcome &outcome)
{
    std::wstring path = Argument(rest);
    outcome.setsResult = true;
    if (path.empty()) {
        ShellError(L"Syntax: load PATH\r\n");
        outcome.result = 2;
        return;
    }
    outcome.result = AddPlugin(plugins, path) ? 0 : 1;
}

// "unload": the current plugin; "unload N": plugin N (1 is the shell's
// first).
static void Unload(PluginSet &plugins, const wchar_t *rest, LineOutcome &outcome)
{
    std::wstring text = Argument(rest);
    if (text.empty()) {
        if (plugins.current >= 0)
            StopPlugin(plugins, plugins.current, 0);
        return;
    }
    wchar_t *end = nullptr;
    long number = wcstol(text.c_str(), &end, 10);
    if (end == text.c_str() || *end != 0 || number < 1 || number > plugins.count) {
        ShellError(L"No plugin %s.\r\n", text.c_str());
        outcome.setsResult = true;
        outcome.result = 2;
        return;
    }
    StopPlugin(plugins, static_cast<int>(number - 1), 0);
}

// The plugins' Shared MIDI record of this process: the parents lasting, the
// record volatile, as the plugins make them.
static bool WriteSharedMidiRecord(DWORD handle, DWORD count)
{
    const wchar_t parent[] = L"Software\\OrvelPlugins\\Shared MIDI";
    wchar_t name[64];
    wsprintfW(name, L"%s\\%04X", parent, static_cast<unsigned>(GetCurrentProcessId()));
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, parent, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    if (RegCreateKeyExW(HKEY_CURRENT_USER, name, 0, nullptr, REG_OPTION_VOLATILE, KEY_WRITE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    bool written = RegSetValueExW(key, L"Handle", 0, REG_DWORD,
                                  reinterpret_cast<const BYTE *>(&handle),
                                  sizeof handle) == ERROR_SUCCESS &&
                   RegSetValueExW(key, L"RefCount", 0, REG_DWORD,
                                  reinterpret_cast<const BYTE *>(&count),
                                  sizeof count) == ERROR_SUCCESS;
    RegCloseKey(key);
    return written;
}

// "midirecord HANDLE COUNT": the record as a process that ended without
// unloading its plugins leaves it, for a plugin loaded after this line.
static void MidiRecord(const wchar_t *rest, LineOutcome &outcome)
{
    std::wstring text = Argument(rest);
    outcome.setsResult = true;
    wchar_t *end = nullptr;
    unsigned long handle = wcstoul(text.c_str(), &end, 0);
    bool ok = end != text.c_str() && IsBlank(*end);
    unsigned long count = 0;
    if (ok) {
        const wchar_t *start = SkipBlanks(end);
        count = wcstoul(start, &end, 0);
        ok = end != start && *end == 0;
    }
    if (!ok) {
        ShellError(L"Syntax: midirecord HANDLE COUNT\r\n");
        outcome.result = 2;
        return;
    }
    outcome.result = WriteSharedMidiRecord(handle, count) ? 0 : 1;
}

static LineOutcome Dispatch(PluginSet &plugins, const wchar_t *line)
{
    LineOutcome outcome;
    const wchar_t *start = SkipBlanks(line);
    const wchar_t *end = start;
    while (*end && !IsBlank(*end))
        end++;
    if (end == start)
        return outcome;
    std::wstring word(start, end);
    const wchar_t *rest = SkipBlanks(end);
    const wchar_t *name = word.c_str();
    const Plugin &plugin = CurrentPlugin(plugins);

    if (_wcsicmp(name, L"echo") == 0) {
        Echo(rest);
    } else if (_wcsicmp(name, L"set") == 0) {
        Set(rest);
    } else if (_wcsicmp(name, L"usage") == 0) {
        ShowUsage(plugin, rest);
    } else if (_wcsicmp(name, L"help") == 0) {
        ShowHelp(plugin, rest);
    } else if (_wcsicmp(name, L"memstat") == 0) {
        ShowMemoryState();
    } else if (_wcsicmp(name, L"load") == 0) {
        Load(plugins, rest, outcome);
    } else if (_wcsicmp(name, L"unload") == 0) {
        Unload(plugins, rest, outcome);
    } else if (_wcsicmp(name, L"midirecord") == 0) {
        MidiRecord(rest, outcome);
    } else if (_wcsicmp(name, L"exit") == 0) {
        Exit(rest, outcome);
    } else if (CommandEntry command = FindCommand(plugin, word); command.entry) {
        outcome.setsResult = true;
        outcome.result = RunCommand(command, rest);
    } else {
        ShellError(L"Unknown command: %s\r\n", name);
        outcome.setsResult = true;
        outcome.result = 2;
    }
    return outcome;
}

LineOutcome RunLine(PluginSet &plugins, const wchar_t *line)
{
    wchar_t *expanded = nullptr;
    // Variable functions are plugin calls too.
    InterlockedExchange(&PluginCallActive, 1);
    int status = HostExpandLine(line, &expanded);
    InterlockedExchange(&PluginCallActive, 0);
    if (status != 0) {
        if (status < 0)
            ShellError(L"Out of memory.\r\n");
        LineOutcome abandoned;
        abandoned.setsResult = true;
        abandoned.result = 1;
        return abandoned;
    }
    LineOutcome outcome = Dispatch(plugins, expanded);
    HostFreeText(expanded);
    return outcome;
}
