// plugin.h - the plugins hostshell.exe loaded and the guarded call of their
// entries.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>

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

// The plugins of the shell: number 1 is the one it starts with, each "load"
// line adds the next (a second copy of a plugin is a copy of its file).
// Lines go to the current plugin: the last loaded of those still running.
const int MaxPlugins = 4;
struct PluginSet {
    Plugin plugins[MaxPlugins];
    int count = 0;     // numbers given out
    int current = -1;  // index of the current plugin; -1: none runs
};
// Loads and initialises the next plugin and makes it the current one; false
// (after the message) when it cannot be had.
bool AddPlugin(PluginSet &set, const std::wstring &path);
// ShutdownPlugin once for the plugin at `index`, if still running; it leaves
// expansion, and the current plugin becomes the last loaded that still runs.
// `endProcess` is 1 when the shell is ending, 0 when only the plugin is
// unloaded.
void StopPlugin(PluginSet &set, int index, int endProcess);
// At the shell's end: every plugin shut down and released, the last loaded
// first.
void UnloadPlugins(PluginSet &set);
// The current plugin; a record that does not run when there is none.
const Plugin &CurrentPlugin(const PluginSet &set);
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
