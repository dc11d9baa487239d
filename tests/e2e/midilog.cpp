// midilog.cpp - running the shell with its recording MIDI device and reading
// the log back.
#include "midilog.h"
#include "testsupport.h"

#include <stdlib.h>

namespace {

const wchar_t SharedMidiParent[] = L"Software\\OrvelPlugins\\Shared MIDI";

bool IsHexByte(const std::string &text, size_t at)
{
    return at + 2 <= text.size() && isxdigit(static_cast<unsigned char>(text[at])) &&
           isxdigit(static_cast<unsigned char>(text[at + 1])) &&
           (at + 2 == text.size() || text[at + 2] == ' ');
}

// "1234.567 rest": the digits, a point, three decimals, one blank.
LogLine ParseLine(const std::string &line)
{
    size_t point = line.find('.');
    bool ok = point != std::string::npos && point > 0 && line.size() > point + 5 &&
              line[point + 4] == ' ' &&
              line.find_first_not_of("0123456789") == point &&
              line.substr(point + 1, 3).find_first_not_of("0123456789") == std::string::npos;
    if (!ok)
        return {-1, line};
    return {atof(line.substr(0, point + 4).c_str()), line.substr(point + 5)};
}

}  // namespace

std::vector<LogLine> ReadMidiLog(const std::wstring &path, bool *read)
{
    std::vector<LogLine> log;
    *read = GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    std::string bytes = ReadFileBytes(path);
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos) {
            log.push_back({-1, "unterminated: " + bytes.substr(start)});
            break;
        }
        log.push_back(ParseLine(bytes.substr(start, end - start)));
        start = end + 1;
    }
    return log;
}

RecordedRun RunRecorded(std::vector<std::wstring> args, const EnvList &env)
{
    RecordedRun run;
    TempScript log(L"midi.log", "");
    // The shell writes the log when it ends: an old one must not pass for it.
    DeleteFileW(log.Path().c_str());
    args.insert(args.begin(), {L"--midi-log", log.Path()});
    EnvList quiet = env;
    quiet.push_back({L"NOLOADMSG", L"1"});
    ClearSharedMidiRecords();
    run.shell = RunShell(args, quiet);
    run.log = ReadMidiLog(log.Path(), &run.logWritten);
    return run;
}

std::vector<LogLine> Messages(const std::vector<LogLine> &log)
{
    std::vector<LogLine> messages;
    for (const LogLine &line : log) {
        if (line.ms >= 0 && IsHexByte(line.text, 0))
            messages.push_back(line);
    }
    return messages;
}

std::string Texts(const std::vector<LogLine> &lines)
{
    std::string text;
    for (const LogLine &line : lines)
        text += line.text + "\n";
    return text;
}

void ClearSharedMidiRecords()
{
    DeleteRegistryTree(HKEY_CURRENT_USER, SharedMidiParent);
}

int SharedMidiRecordCount()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, SharedMidiParent, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    DWORD count = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return static_cast<int>(count);
}
