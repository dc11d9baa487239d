// script.cpp - reading a script file into lines.
#include "host/shell/script.h"
#include "host/shell/shellerror.h"

#include <windows.h>

#include <stdio.h>
#include <string.h>

std::wstring FullPath(const std::wstring &path)
{
    DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0)
        return path;
    std::vector<wchar_t> full(needed + 1);
    DWORD n = GetFullPathNameW(path.c_str(), needed + 1, full.data(), nullptr);
    if (n == 0 || n > needed)
        return path;
    return std::wstring(full.data(), n);
}

static bool ReadBytes(const std::wstring &path, std::string &bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool ok = true;
    char chunk[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, chunk, sizeof chunk, &got, nullptr)) {
            ok = false;
            break;
        }
        if (got == 0)
            break;
        bytes.append(chunk, got);
    }
    CloseHandle(file);
    return ok;
}

static std::wstring Decode(const std::string &bytes)
{
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        std::wstring text((bytes.size() - 2) / 2, L'\0');
        memcpy(text.data(), bytes.data() + 2, text.size() * sizeof(wchar_t));
        return text;
    }
    size_t skip = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    const char *data = bytes.data() + skip;
    int size = static_cast<int>(bytes.size() - skip);
    if (size == 0)
        return std::wstring();
    // UTF-8; text that is not valid UTF-8 is read in the ANSI code page.
    UINT codePage = CP_UTF8;
    int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, data, size, nullptr, 0);
    if (n <= 0) {
        codePage = CP_ACP;
        n = MultiByteToWideChar(CP_ACP, 0, data, size, nullptr, 0);
    }
    std::wstring text(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(codePage, 0, data, size, text.data(), n);
    return text;
}

bool ReadScript(const std::wstring &path, std::vector<std::wstring> &lines)
{
    std::string bytes;
    if (!ReadBytes(path, bytes)) {
        ShellError(L"Unable to read script %s (error %lu)\r\n", path.c_str(), GetLastError());
        return false;
    }
    std::wstring text = Decode(bytes);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos)
            end = text.size();
        size_t stop = end;
        if (stop > start && text[stop - 1] == L'\r')
            stop--;
        lines.push_back(text.substr(start, stop - start));
        start = end + 1;
    }
    return true;
}
