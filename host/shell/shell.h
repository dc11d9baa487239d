// shell.h - the pieces of hostshell.exe: the plugin it loaded, its lines and
// what running a line leaves behind.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>
#include <vector>

// The loaded plugin and the entries the shell calls directly.
struct Plugin {
    HMODULE module = nullptr;
    std::wstring implements;  // comma-separated, as the plugin describes itself
    std::wstring moduleName;  // the library's file name, handed to the plugin
    FARPROC initialize = nullptr;
    FARPROC shutdown = nullptr;
    FARPROC usage = nullptr;
    FARPROC help = nullptr;
    bool running = false;  // initialised and not yet shut down
};

// Calls a plugin entry through the host's guard (HostCallEntry) with the
// break handling of a plugin call; a trapped exception or an unbalanced
// stack gives 2.
INT_PTR CallPlugin(const char *name, FARPROC entry, std::initializer_list<INT_PTR> args);
// The same with HostCallEntry's status (0: the entry returned normally) and
// the entry's own result in *result.
int CallPluginChecked(const char *name, FARPROC entry, std::initializer_list<INT_PTR> args,
                      INT_PTR *result);

// Loads the library, reads its description and checks that every name of
// its implements list has its export.  On failure the message is written
// and the library released; the result is then false.
bool LoadPlugin(const std::wstring &path, Plugin &plugin);
// InitializePlugin; true when it succeeded (the plugin then takes part in
// expansion).
bool StartPlugin(Plugin &plugin);
// ShutdownPlugin once, if still running; the plugin leaves expansion.
// `endProcess` is 1 when the shell is ending, 0 when only the plugin is
// unloaded.
void StopPlugin(Plugin &plugin, int endProcess);
void UnloadPlugin(Plugin &plugin, int endProcess);
// The plugin's command export for `name`, compared without case; entry null
// when the implements list names no such command.
struct CommandEntry {
    FARPROC entry = nullptr;
    std::string exportName;
};
CommandEntry FindCommand(const Plugin &plugin, const std::wstring &name);

// Set while the shell is inside a plugin call: Control-C and Control-Break
// are then left to the plugin's own handlers.
extern volatile LONG PluginCallActive;
void InstallBreakHandler(void);

struct LineOutcome {
    bool setsResult = false;  // a plugin command, an unknown one, a failed line
    int result = 0;
    bool exit = false;        // "exit": stop running lines
};
LineOutcome RunLine(Plugin &plugin, const wchar_t *line);

// The lines of a script file (UTF-8, or UTF-16 with its byte-order mark),
// without their line ends.  False with a message when it cannot be read.
bool ReadScript(const std::wstring &path, std::vector<std::wstring> &lines);
// The full name of a path; the path itself if that fails.
std::wstring FullPath(const std::wstring &path);

// "memstat": open handles and heap in use, one line on standard output.
void ShowMemoryState(void);

// Messages of the shell itself, on standard error.
void ShellError(const wchar_t *format, ...);
