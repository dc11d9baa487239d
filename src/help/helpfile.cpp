// helpfile.cpp - finding Sonaro.chm among its places and starting the viewer on it.
#include "help/newhelp.h"
#include "base/identity.h"
#include "base/pluginstate.h"
#include "sys/syscalls.h"
#include "base/hostapi.h"
#include "args/parseargs.h"

#include <string.h>
#include <wctype.h>

HANDLE ViewerProcess;

const wchar_t *const HelpCandidatePatterns[HELP_CANDIDATE_COUNT] = {
    L"%%[%sHelp]\\%s.chm",               // the directory in %SONAROHELP%
    L"%%[PluginHelp]\\%s.chm",           // the directory in %PLUGINHELP%
    L"~\\%s.chm",                        // beside the plugin library
    L"~\\Help\\%s.chm",                  // its Help subdirectory
    L"%%@path[%%_cmdspec]%s.chm",        // beside the command shell
    L"%%@path[%%_cmdspec]help\\%s.chm",  // its help subdirectory
    L"%%windir\\help\\%s.chm",           // the Windows help directory
};

const wchar_t MissingHelpFormat[] =
    L"I can\x2019t find the help file %s.chm.  It should be:\n\n"
    L"    \x2022  in a directory specified in %%%sHELP\n"
    L"    \x2022  in a directory specified in %%PLUGINHELP\n"
    L"    \x2022  in the same directory as the .DLL file\n"
    L"    \x2022  in a HELP directory within the .DLL\x2019s directory  \n"
    L"    \x2022  in the same directory as the command shell\n"
    L"    \x2022  in a HELP directory within the shell\x2019s directory  \n"
    L"    \x2022  or in %s\\Help.\n";

HelpPathsRecord HelpPaths;
// Set as the module starts, so that the paths stay in zero-filled memory
// rather than in the file.
[[maybe_unused]] static const bool HelpGuardsSet =
    (HelpPaths.HelpPathGuard = HelpPaths.TrueNameGuard = HelpPaths.ViewerPathGuard =
         HELP_PATH_GUARD,
     true);
static wchar_t *const HelpPath = HelpPaths.HelpPath;
static wchar_t *const TrueName = HelpPaths.TrueName;
static wchar_t *const ViewerPath = HelpPaths.ViewerPath;

// Appends text to a terminated buffer; false (buffer unchanged) when it
// would not fit.
static bool AppendText(wchar_t *buffer, size_t capacity, const wchar_t *text)
{
    size_t used = wcslen(buffer);
    size_t length = wcslen(text);
    if (used + length >= capacity)
        return false;
    memcpy(buffer + used, text, (length + 1) * sizeof(wchar_t));
    return true;
}

static bool CopyText(wchar_t *buffer, size_t capacity, const wchar_t *text)
{
    buffer[0] = 0;
    return AppendText(buffer, capacity, text);
}

// "~\..." names a place beside the plugin library: the library's file name
// with everything after its last backslash replaced by the rest.
static bool ReplaceTilde(const wchar_t *candidate)
{
    DWORD length = SYS(GetModuleFileNameW)(PluginModule, HelpPath, HELP_PATH_CHARS);
    if (length == 0 || length >= HELP_PATH_CHARS)
        return false;
    HelpPath[length] = 0;
    wchar_t *slash = wcsrchr(HelpPath, L'\\');
    if (slash == nullptr)
        return false;
    *slash = 0;
    return AppendText(HelpPath, HELP_PATH_CHARS, candidate + 1);
}

static int StartViewer(const wchar_t *topic, int tab, const wchar_t *searchText)
{
    DWORD found = SYS(SearchPathW)(nullptr, L"hh.exe", nullptr, HELP_PATH_CHARS, ViewerPath, nullptr);
    if (found == 0 || found >= HELP_PATH_CHARS)
        return 0;

    // The page inside the compiled file: "file.chm::/topic.html".
    if (!AppendText(HelpPath, HELP_PATH_CHARS, L"::/") ||
        !AppendText(HelpPath, HELP_PATH_CHARS, topic) ||
        !AppendText(HelpPath, HELP_PATH_CHARS, L".html"))
        return 0;

    wchar_t *commandLine = TrueName;
    if (!CopyText(commandLine, HELP_PATH_CHARS, L"\"") ||
        !AppendText(commandLine, HELP_PATH_CHARS, ViewerPath) ||
        !AppendText(commandLine, HELP_PATH_CHARS, L"\" \"") ||
        !AppendText(commandLine, HELP_PATH_CHARS, HelpPath) ||
        !AppendText(commandLine, HELP_PATH_CHARS, L"\""))
        return 0;

    STARTUPINFOW startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started;
    memset(&started, 0, sizeof started);
    if (!SYS(CreateProcessW)(ViewerPath, commandLine, nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &started))
        return 0;

    if (tab != HELP_TAB_NONE)
        DriveHelpViewer(started.dwProcessId, tab - 1, started.hProcess, searchText);
    SYS(CloseHandle)(started.hThread);

    // The old viewer goes only once the new one is up.
    CloseHelpViewer();
    ViewerProcess = started.hProcess;
    return 1;
}

int TryHelpFile(const wchar_t *candidate, const wchar_t *topic, int tab, const wchar_t *searchText)
{
    if (candidate == nullptr || topic == nullptr)
        return 0;

    if (candidate[0] == L'~' && candidate[1] == L'\\') {
        if (!ReplaceTilde(candidate))
            return 0;
    } else if (!CopyText(HelpPath, HELP_PATH_CHARS, candidate)) {
        return 0;
    }

    bool namesVariable = wcsncmp(HelpPath, L"%[", 2) == 0;
    ExpandVariables(HelpPath, 1);
    // An undefined variable leaves "\Sonaro.chm": the root of the current
    // drive, which is no place of ours.
    if (namesVariable && HelpPath[0] == L'\\')
        return 0;

    memset(TrueName, 0, sizeof HelpPaths.TrueName);
    QueryTrueName(HelpPath, TrueName);
    TrueName[HELP_PATH_CHARS - 1] = 0;
    CopyText(HelpPath, HELP_PATH_CHARS, TrueName);

    if (HelpPath[0] == 0)
        return 0;
    // A missing file reports every bit, so it is refused here too.
    DWORD attributes = SYS(GetFileAttributesW)(HelpPath);
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))
        return 0;

    return StartViewer(topic, tab, searchText);
}

static void ShowMissingHelpFile(void)
{
    wchar_t upperName[64];
    CopyText(upperName, 64, SONARO_NAME);
    UpperCaseToken(upperName, 64);

    wchar_t windowsDir[MAX_PATH + 1];
    memset(windowsDir, 0, sizeof windowsDir);
    UINT length = SYS(GetWindowsDirectoryW)(windowsDir, MAX_PATH);
    if (length >= MAX_PATH)
        windowsDir[0] = 0;
    windowsDir[MAX_PATH] = 0;

    // wsprintfW writes at most 1024 characters.
    wchar_t message[1024];
    wsprintfW(message, MissingHelpFormat, SONARO_NAME, upperName, windowsDir);
    SYS(MessageBoxW)(SYS(GetForegroundWindow)(), message, L"Missing Help File", MB_OK);
}

int OpenHelp(const wchar_t *topic, const wchar_t *searchText, int tab)
{
    for (int i = 0; i < HELP_CANDIDATE_COUNT; i++) {
        wchar_t candidate[1024];
        wsprintfW(candidate, HelpCandidatePatterns[i], SONARO_NAME, SONARO_NAME);
        if (TryHelpFile(candidate, topic, tab, searchText))
            return 1;
    }
    ShowMissingHelpFile();
    return 1;
}

void CloseHelpViewer(void)
{
    if (ViewerProcess != nullptr) {
        SYS(TerminateProcess)(ViewerProcess, 0);
        // The handle kept for the viewer is ours to close.
        SYS(CloseHandle)(ViewerProcess);
    }
    ViewerProcess = nullptr;
}
