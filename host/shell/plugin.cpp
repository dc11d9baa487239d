// plugin.cpp - loading a plugin the way the command processor does: read its
// description, check its exports, initialise, and release it at the end.
#include "host/shell/plugin.h"
#include "host/shell/midirecorder.h"
#include "host/shell/shellerror.h"
#include "host/takecmd/hostcontrol.h"

#include <string.h>
#include <wchar.h>

#include <vector>

namespace {

// The host's view of the description record: the fields every plugin fills,
// then the two the host writes after GetPluginInfo returned.
struct PluginDescription {
    const wchar_t *name;
    const wchar_t *author;
    const wchar_t *email;
    const wchar_t *webPage;
    const wchar_t *description;
    const wchar_t *implements;
    int major;
    int minor;
    int build;
    HMODULE module;
    const wchar_t *moduleName;
};

}  // namespace

volatile LONG PluginCallActive;

int CallPluginChecked(const char *name, FARPROC entry, std::initializer_list<INT_PTR> args,
                      INT_PTR *result)
{
    InterlockedExchange(&PluginCallActive, 1);
    int status = HostCallEntry(name, entry, args.begin(), static_cast<int>(args.size()), result);
    InterlockedExchange(&PluginCallActive, 0);
    return status;
}

INT_PTR CallPlugin(const char *name, FARPROC entry, std::initializer_list<INT_PTR> args)
{
    INT_PTR result = 0;
    CallPluginChecked(name, entry, args, &result);
    return result;
}

// The file name of a path, without its directory.
static std::wstring BaseName(const std::wstring &path)
{
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// The export that carries a name of the implements list: "@name" is the
// function f_name, anything else its own name.
static std::string ExportName(const std::wstring &entry)
{
    std::wstring name = entry[0] == L'@' ? L"f_" + entry.substr(1) : entry;
    std::string narrow;
    for (wchar_t c : name)
        narrow += c < 128 ? static_cast<char>(c) : '?';
    return narrow;
}

static std::vector<std::wstring> SplitList(const std::wstring &list)
{
    std::vector<std::wstring> names;
    size_t start = 0;
    while (start <= list.size()) {
        size_t comma = list.find(L',', start);
        if (comma == std::wstring::npos)
            comma = list.size();
        if (comma > start)
            names.push_back(list.substr(start, comma - start));
        start = comma + 1;
    }
    return names;
}

static bool MissingExport(const std::string &name)
{
    std::wstring wide(name.begin(), name.end());
    ShellError(L"Missing plugin export: %s\r\n", wide.c_str());
    return false;
}

// Loads the library, reads its description and checks that every name of
// its implements list has its export.  On failure the message is written
// and the library released; the result is then false.
static bool LoadPlugin(const std::wstring &path, Plugin &plugin)
{
    plugin = Plugin();
    HMODULE module = LoadLibraryW(path.c_str());
    if (module == nullptr) {
        ShellError(L"Unable to load plugin %s (error %lu)\r\n", path.c_str(), GetLastError());
        return false;
    }
    bool ok = true;
    FARPROC getInfo = GetProcAddress(module, "GetPluginInfo");
    plugin.initialize = GetProcAddress(module, "InitializePlugin");
    plugin.shutdown = GetProcAddress(module, "ShutdownPlugin");
    plugin.usage = GetProcAddress(module, "Usage");
    plugin.help = GetProcAddress(module, "Help");
    plugin.moduleName = BaseName(path);
    if (getInfo == nullptr)
        ok = MissingExport("GetPluginInfo");
    if (plugin.initialize == nullptr)
        ok = MissingExport("InitializePlugin");
    if (plugin.shutdown == nullptr)
        ok = MissingExport("ShutdownPlugin");

    // GetPluginInfo gets the plugin's module handle; afterwards the host
    // writes its own two fields of the record.
    PluginDescription *info = nullptr;
    if (getInfo) {
        INT_PTR result = 0;
        if (CallPluginChecked("GetPluginInfo", getInfo, {reinterpret_cast<INT_PTR>(module)},
                              &result) != 0) {
            FreeLibrary(module);
            plugin = Plugin();
            return false;
        }
        info = reinterpret_cast<PluginDescription *>(result);
        if (info != nullptr) {
            info->module = module;
            info->moduleName = plugin.moduleName.c_str();
        }
    }
    if (getInfo && (info == nullptr || info->implements == nullptr)) {
        ShellError(L"The plugin gives no description.\r\n");
        ok = false;
    }
    if (ok) {
        plugin.implements = info->implements;
        for (const std::wstring &name : SplitList(plugin.implements)) {
            std::string exportName = ExportName(name);
            if (GetProcAddress(module, exportName.c_str()) == nullptr)
                ok = MissingExport(exportName);
        }
    }
    if (!ok) {
        FreeLibrary(module);
        plugin = Plugin();
        return false;
    }
    plugin.module = module;
    return true;
}

// The last loaded plugin that still runs becomes the current one, and its
// names take part in expansion.
static void SelectCurrent(PluginSet &set)
{
    set.current = -1;
    for (int i = set.count - 1; i >= 0 && set.current < 0; i--) {
        if (set.plugins[i].running)
            set.current = i;
    }
    if (set.current < 0) {
        HostSetPlugin(nullptr, nullptr);
    } else {
        const Plugin &plugin = set.plugins[set.current];
        HostSetPlugin(plugin.module, plugin.implements.c_str());
    }
}

static void ReleasePlugin(Plugin &plugin)
{
    if (plugin.module)
        FreeLibrary(plugin.module);
    plugin = Plugin();
}

bool AddPlugin(PluginSet &set, const std::wstring &path)
{
    if (set.count == MaxPlugins) {
        ShellError(L"Too many plugins.\r\n");
        return false;
    }
    Plugin &plugin = set.plugins[set.count];
    if (!LoadPlugin(path, plugin))
        return false;
    int result = static_cast<int>(CallPlugin("InitializePlugin", plugin.initialize, {}));
    if (result != 0) {
        ReleasePlugin(plugin);
        return false;
    }
    plugin.running = true;
    set.count++;
    SelectCurrent(set);
    return true;
}

void StopPlugin(PluginSet &set, int index, int endProcess)
{
    Plugin &plugin = set.plugins[index];
    if (!plugin.running)
        return;
    plugin.running = false;
    SelectCurrent(set);
    CallPlugin("ShutdownPlugin", plugin.shutdown, {endProcess});
}

void UnloadPlugins(PluginSet &set)
{
    for (int i = set.count - 1; i >= 0; i--) {
        StopPlugin(set, i, 1);
        ReleasePlugin(set.plugins[i]);
    }
    set.count = 0;
}

const Plugin &CurrentPlugin(const PluginSet &set)
{
    static const Plugin none;
    return set.current < 0 ? none : set.plugins[set.current];
}

CommandEntry FindCommand(const Plugin &plugin, const std::wstring &name)
{
    CommandEntry found;
    if (!plugin.running || name.empty())
        return found;
    for (const std::wstring &entry : SplitList(plugin.implements)) {
        if (entry[0] == L'@' || entry[0] == L'_')
            continue;
        if (_wcsicmp(entry.c_str(), name.c_str()) == 0) {
            found.exportName = ExportName(entry);
            found.entry = GetProcAddress(plugin.module, found.exportName.c_str());
            return found;
        }
    }
    return found;
}

// Registered before the plugin loads, so the handlers the plugin registers
// later are asked first; this one only answers for Control-C and
// Control-Break while a plugin call runs, and lets the default end the shell
// otherwise - after the MIDI recording is written.
static BOOL WINAPI IgnoreBreakDuringPluginCall(DWORD type)
{
    if ((type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT) && PluginCallActive != 0)
        return TRUE;
    FinishMidiRecorder();
    return FALSE;
}

void InstallBreakHandler(void)
{
    SetConsoleCtrlHandler(IgnoreBreakDuringPluginCall, TRUE);
}
