// shellrun.cpp - starts bin/hostshell.exe with pipes on its standard output
// and standard error and collects what it writes, byte for byte.
#include "shellrun.h"
#include "testsupport.h"

#include <stdio.h>
#include <wchar.h>

#include <algorithm>
#include <thread>

namespace {

// Variables that change what the plugin does; a test sets them explicitly.
const wchar_t *const PluginVariables[] = {
    L"NoMidi", L"NOLOADMSG", L"Highlight", L"SONAROHELP", L"PLUGINHELP",
};

// One argument quoted for the runtime's command-line parser: backslashes
// are literal except before a double quote, where they and the quote are
// escaped.
void AppendQuoted(std::wstring &line, const std::wstring &arg)
{
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        line += arg;
        return;
    }
    line += L'"';
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            backslashes++;
            continue;
        }
        if (c == L'"')
            line.append(backslashes * 2 + 1, L'\\');
        else
            line.append(backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, L'\\');
    line += L'"';
}

std::wstring EntryName(const std::wstring &entry)
{
    // "=C:=C:\dir" entries keep their leading "=" as part of the name.
    size_t equals = entry.find(L'=', 1);
    return entry.substr(0, equals);
}

bool SameName(const std::wstring &a, const std::wstring &b)
{
    return _wcsicmp(a.c_str(), b.c_str()) == 0;
}

std::vector<wchar_t> EnvironmentBlock(const EnvList &env)
{
    std::vector<std::wstring> entries;
    wchar_t *strings = GetEnvironmentStringsW();
    for (const wchar_t *p = strings; p && *p; p += wcslen(p) + 1) {
        std::wstring entry = p;
        std::wstring name = EntryName(entry);
        bool drop = false;
        for (const wchar_t *variable : PluginVariables)
            drop = drop || SameName(name, variable);
        for (const auto &change : env)
            drop = drop || SameName(name, change.first);
        if (!drop)
            entries.push_back(entry);
    }
    if (strings)
        FreeEnvironmentStringsW(strings);
    for (const auto &change : env)
        if (change.second)
            entries.push_back(change.first + L"=" + *change.second);
    std::sort(entries.begin(), entries.end(), [](const std::wstring &a, const std::wstring &b) {
        return _wcsicmp(EntryName(a).c_str(), EntryName(b).c_str()) < 0;
    });
    std::vector<wchar_t> block;
    for (const std::wstring &entry : entries) {
        block.insert(block.end(), entry.begin(), entry.end());
        block.push_back(0);
    }
    block.push_back(0);
    block.push_back(0);
    return block;
}

double MillisecondsSince(const LARGE_INTEGER &start)
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - start.QuadPart) * 1000.0 /
           static_cast<double>(frequency.QuadPart);
}

// Everything from the pipe; each completed line stamped with the time its
// last chunk arrived.
void ReadAll(HANDLE pipe, std::string *bytes, std::vector<TimedLine> *lines, LARGE_INTEGER start)
{
    char chunk[4096];
    DWORD got = 0;
    size_t lineStart = 0;
    while (ReadFile(pipe, chunk, sizeof chunk, &got, nullptr) && got > 0) {
        double ms = MillisecondsSince(start);
        bytes->append(chunk, got);
        size_t end;
        while ((end = bytes->find('\n', lineStart)) != std::string::npos) {
            size_t stop = end > lineStart && (*bytes)[end - 1] == '\r' ? end - 1 : end;
            lines->push_back({ms, bytes->substr(lineStart, stop - lineStart)});
            lineStart = end + 1;
        }
    }
    if (lineStart < bytes->size())
        lines->push_back({MillisecondsSince(start), bytes->substr(lineStart)});
}

}  // namespace

std::wstring BinDirectory()
{
    wchar_t path[MAX_PATH * 4];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    std::wstring directory(path, n);
    return directory.substr(0, directory.find_last_of(L"\\/") + 1);
}

std::vector<std::wstring> Lines(std::initializer_list<const wchar_t *> lines)
{
    std::vector<std::wstring> args;
    for (const wchar_t *line : lines) {
        args.push_back(L"-c");
        args.push_back(line);
    }
    return args;
}

EnvList WithNoMidi(EnvList extra)
{
    extra.push_back({L"NoMidi", L"1"});
    return extra;
}

ShellResult RunShell(const std::vector<std::wstring> &args, const EnvList &env, DWORD timeoutMs)
{
    return RunShellAt(BinDirectory() + L"hostshell.exe", args, env, timeoutMs);
}

ShellResult RunShellAt(const std::wstring &program, const std::vector<std::wstring> &args,
                       const EnvList &env, DWORD timeoutMs)
{
    ShellResult result;
    std::wstring line;
    AppendQuoted(line, program);
    for (const std::wstring &arg : args) {
        line += L' ';
        AppendQuoted(line, arg);
    }
    std::vector<wchar_t> commandLine(line.begin(), line.end());
    commandLine.push_back(0);
    std::vector<wchar_t> block = EnvironmentBlock(env);

    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
    HANDLE input = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                               OPEN_EXISTING, 0, nullptr);
    if (!CreatePipe(&outRead, &outWrite, &inherit, 0) ||
        !CreatePipe(&errRead, &errWrite, &inherit, 0)) {
        fprintf(stderr, "RunShell: CreatePipe failed (%lu)\n", GetLastError());
        return result;
    }
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    PROCESS_INFORMATION process = {};
    LARGE_INTEGER start = {};
    // Wine now and then fails a start with an internal error under load;
    // a test is about the shell, not about that, so try a few times.
    BOOL started = FALSE;
    DWORD startError = 0;
    for (int attempt = 0; attempt < 3 && !started; attempt++) {
        if (attempt > 0)
            Sleep(200);
        QueryPerformanceCounter(&start);
        started = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                 CREATE_UNICODE_ENVIRONMENT | DETACHED_PROCESS, block.data(),
                                 nullptr, &startup, &process);
        startError = GetLastError();
    }
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    if (input != INVALID_HANDLE_VALUE)
        CloseHandle(input);
    if (!started) {
        fprintf(stderr, "RunShell: cannot start %ls (%lu)\n", program.c_str(), startError);
        CloseHandle(outRead);
        CloseHandle(errRead);
        return result;
    }
    result.started = true;
    std::thread outReader(ReadAll, outRead, &result.out, &result.outLines, start);
    std::thread errReader(ReadAll, errRead, &result.err, &result.errLines, start);
    if (WaitForSingleObject(process.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        result.timedOut = true;
        TerminateProcess(process.hProcess, 255);
        WaitForSingleObject(process.hProcess, INFINITE);
    }
    outReader.join();
    errReader.join();
    GetExitCodeProcess(process.hProcess, &result.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    CloseHandle(outRead);
    CloseHandle(errRead);
    return result;
}

static std::wstring TempDirectory()
{
    wchar_t base[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, base);
    wchar_t name[64];
    _snwprintf(name, 64, L"sonaro-e2e-%lu\\", GetCurrentProcessId());
    name[63] = 0;
    std::wstring directory = std::wstring(base, n) + name;
    CreateDirectoryW(directory.c_str(), nullptr);
    return directory;
}

TempScript::TempScript(const std::wstring &name, const std::string &bytes)
    : path_(TempDirectory() + name)
{
    HANDLE file = CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "TempScript: cannot create %ls (%lu)\n", path_.c_str(), GetLastError());
        return;
    }
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

TempScript::~TempScript()
{
    DeleteFileW(path_.c_str());
    RemoveDirectoryW(path_.substr(0, path_.find_last_of(L'\\')).c_str());
}

std::string ReadFileBytes(const std::wstring &path)
{
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0)
        bytes.append(chunk, got);
    CloseHandle(file);
    return bytes;
}

std::string Utf8(const std::wstring &text)
{
    return Narrow(text);
}

std::string ShowBytes(const std::string &bytes)
{
    std::string out;
    for (unsigned char c : bytes) {
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n\n";  // keeps long outputs readable line by line
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\\') {
            out += "\\\\";
        } else if (c < 32 || c == 127) {
            char hex[8];
            snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}
