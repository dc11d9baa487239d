// shellrun.h - running bin/hostshell.exe for end-to-end tests: exact bytes of
// standard output and standard error, and the exit status.
//
//   ShellResult r = RunShell({L"-c", L"usage sonaro"}, {{L"NoMidi", L"1"}});
//   EXPECT_EQ(r.exitCode, 0u);
//   EXPECT_BYTES(r.out, "SONARO /4 ...");
//
//   TempScript script(L"two lines.btm", "echo %_batchline\r\necho %_batchline\r\n");
//   r = RunShell({script.Path()}, WithNoMidi());
#pragma once

#include <windows.h>

#include "arch.h"
#include "version.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

// The line the real DLL prints as the shell loads it (not in a pipe or a
// transient shell, nor with NOLOADMSG set).
#define SONARO_LOAD_MESSAGE "Sonaro v" SONARO_VERSION_TEXT " loaded.\r\n"

// One line of output (without its line end) and when it arrived: milliseconds
// since the shell was started, by this process's performance counter.
struct TimedLine {
    double ms;
    std::string text;
};

struct ShellResult {
    bool started = false;  // false: hostshell.exe could not be started
    bool timedOut = false;  // killed after the time limit
    DWORD exitCode = 0;
    std::string out;  // standard output, exact bytes (UTF-8 from the shell)
    std::string err;  // standard error, exact bytes
    std::vector<TimedLine> outLines;  // the same, line by line, with their times
    std::vector<TimedLine> errLines;
};

// Environment changes for the child: a value sets the variable, nullopt
// removes it.
using EnvList = std::vector<std::pair<std::wstring, std::optional<std::wstring>>>;

// The shell is started with this process's environment, minus the variables
// that change the plugin's behaviour (NoMidi, NOLOADMSG, Highlight,
// SONAROHELP, PLUGINHELP), plus `env`.  Standard input is the null device,
// and the shell gets no console, so its output is the UTF-8 byte stream.
// Gives up after `timeoutMs`.
ShellResult RunShell(const std::vector<std::wstring> &args, const EnvList &env = {},
                     DWORD timeoutMs = 60000);

// The same with a copy of hostshell.exe elsewhere (its TakeCmd.dll beside it).
ShellResult RunShellAt(const std::wstring &program, const std::vector<std::wstring> &args,
                       const EnvList &env = {}, DWORD timeoutMs = 60000);

// Each line as a -c argument, in turn.
std::vector<std::wstring> Lines(std::initializer_list<const wchar_t *> lines);

// `extra` with NoMidi=1: the real DLL then loads without a MIDI device.
EnvList WithNoMidi(EnvList extra = {});

// The directory that holds hostshell.exe and the DLLs (this program's own),
// with a trailing backslash.
std::wstring BinDirectory();

// A script file in a private temporary directory, removed again when the
// object goes; its name may hold any character a file name can.
class TempScript {
public:
    TempScript(const std::wstring &name, const std::string &bytes);
    ~TempScript();
    TempScript(const TempScript &) = delete;
    TempScript &operator=(const TempScript &) = delete;
    const std::wstring &Path() const { return path_; }
private:
    std::wstring path_;
};

// The bytes of a file; empty when it cannot be read.
std::string ReadFileBytes(const std::wstring &path);

// Wide text to UTF-8 (what the shell writes for it).
std::string Utf8(const std::wstring &text);
// Bytes with control characters shown as escapes, for failure messages.
std::string ShowBytes(const std::string &bytes);

// Compares byte strings and prints both escaped on a difference.
#define EXPECT_BYTES(expected, actual) \
    EXPECT_EQ(ShowBytes(expected), ShowBytes(actual))
