// main.cpp - hostshell.exe: a small command shell that loads a plugin the
// way the command processor does and runs command lines through it.
//
//   hostshell.exe [--plugin PATH] [--pipe] [--transient] [--midi FILE]
//                 [--midi-log FILE] [-c LINE]... [SCRIPT]
//
// --midi and --midi-log lend the plugins a MIDI output device that records
// what they play, written when the shell ends (midirecorder.h).
#include "host/shell/lines.h"
#include "host/shell/midirecorder.h"
#include "host/shell/plugin.h"
#include "host/shell/script.h"
#include "host/takecmd/hostcontrol.h"

#include <wchar.h>

namespace {

const wchar_t UsageLine[] =
    L"Usage: hostshell [--plugin PATH] [--pipe] [--transient] [--midi FILE] [--midi-log FILE] "
    L"[-c LINE]... [SCRIPT]\r\n";

struct Options {
    std::wstring plugin;  // empty: the default beside the shell
    bool pipe = false;
    bool transient = false;
    std::wstring midiFile;  // empty: none
    std::wstring midiLog;   // empty: none
    std::vector<std::wstring> lines;
    std::wstring script;  // empty: none
};

// 0: options read; 1: bad arguments; 2: the usage was asked for.
int ParseOptions(int argc, wchar_t **argv, Options &options)
{
    bool optionsEnded = false;
    for (int i = 1; i < argc; i++) {
        const wchar_t *arg = argv[i];
        if (!optionsEnded && arg[0] == L'-' && arg[1] != 0) {
            if (wcscmp(arg, L"--") == 0) {
                optionsEnded = true;
            } else if (wcscmp(arg, L"--pipe") == 0) {
                options.pipe = true;
            } else if (wcscmp(arg, L"--transient") == 0) {
                options.transient = true;
            } else if (wcscmp(arg, L"--plugin") == 0 && i + 1 < argc) {
                options.plugin = argv[++i];
            } else if (wcscmp(arg, L"--midi") == 0 && i + 1 < argc && argv[i + 1][0]) {
                options.midiFile = argv[++i];
            } else if (wcscmp(arg, L"--midi-log") == 0 && i + 1 < argc && argv[i + 1][0]) {
                options.midiLog = argv[++i];
            } else if (wcscmp(arg, L"-c") == 0 && i + 1 < argc) {
                options.lines.push_back(argv[++i]);
            } else if (wcscmp(arg, L"--help") == 0 || wcscmp(arg, L"-h") == 0) {
                return 2;
            } else {
                return 1;
            }
        } else if (options.script.empty()) {
            options.script = arg;
        } else {
            return 1;
        }
    }
    return 0;
}

std::wstring DefaultPlugin(void)
{
#ifdef _WIN64
    const wchar_t *name = L"Sonaro-x64.dll";
#else
    const wchar_t *name = L"Sonaro-x86.dll";
#endif
    std::vector<wchar_t> path(32768);
    DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    std::wstring directory(path.data(), n < path.size() ? n : 0);
    size_t slash = directory.find_last_of(L"\\/");
    directory.resize(slash == std::wstring::npos ? 0 : slash + 1);
    return directory + name;
}

// Runs lines until one says "exit"; keeps the result of the last line that
// gives one.  True when the shell is to stop.
bool RunLines(PluginSet &plugins, const std::vector<std::wstring> &lines,
              const std::wstring &batchName, int &result)
{
    int number = 0;
    for (const std::wstring &line : lines) {
        number++;
        if (!batchName.empty())
            HostSetBatch(batchName.c_str(), number);
        LineOutcome outcome = RunLine(plugins, line.c_str());
        if (outcome.setsResult)
            result = outcome.result;
        if (outcome.exit)
            return true;
    }
    return false;
}

// A console's keys reach _kbhit only after the program has looked at its
// input once (so in Wine's terminal console); a real shell reads its input
// anyway, this one may take all its lines from the command line.
void WakeConsoleInput()
{
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (input == INVALID_HANDLE_VALUE || !GetConsoleMode(input, &mode))
        return;
    INPUT_RECORD record;
    DWORD count = 0;
    PeekConsoleInputW(input, &record, 1, &count);
}

// Loads the plugin, runs the lines and the script, and unloads every plugin;
// the shell's exit status.
int RunShell(const Options &options)
{
    // First of all handlers, so that the plugin's come before it.
    InstallBreakHandler();
    WakeConsoleInput();

    std::vector<std::wstring> scriptLines;
    std::wstring batchName;
    if (!options.script.empty()) {
        if (!ReadScript(options.script, scriptLines))
            return 2;
        batchName = FullPath(options.script);
    }

    HostSetFlags(options.transient, options.pipe);
    PluginSet plugins;
    if (!AddPlugin(plugins, options.plugin.empty() ? DefaultPlugin() : options.plugin))
        return 1;

    int result = 0;
    bool stop = RunLines(plugins, options.lines, std::wstring(), result);
    if (!stop && !batchName.empty()) {
        RunLines(plugins, scriptLines, batchName, result);
        HostSetBatch(nullptr, 0);
    }
    // The shell ends: ShutdownPlugin hears so.
    UnloadPlugins(plugins);
    return result;
}

}  // namespace

int wmain(int argc, wchar_t **argv)
{
    Options options;
    switch (ParseOptions(argc, argv, options)) {
    case 1:
        Qprintf(GetStdHandle(STD_ERROR_HANDLE), L"%s", UsageLine);
        return 2;
    case 2:
        Printf(L"%s", UsageLine);
        return 0;
    }
    // Before any plugin is loaded, so that every one finds the device.
    if ((!options.midiFile.empty() || !options.midiLog.empty()) &&
        !StartMidiRecorder(FullPath(options.midiFile).c_str(), FullPath(options.midiLog).c_str()))
        return 2;

    int result = RunShell(options);
    FinishMidiRecorder();
    return result;
}
