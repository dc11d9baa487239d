// testsupport.cpp - text and registry helpers for the tests.
#include "testsupport.h"

#include <vector>

std::string Narrow(const std::wstring &text)
{
    if (text.empty())
        return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

std::string Escaped(const std::wstring &text)
{
    std::wstring out;
    for (wchar_t c : text) {
        switch (c) {
        case L'\r': out += L"\\r"; break;
        case L'\n': out += L"\\n"; break;
        case L'\t': out += L"\\t"; break;
        case L'\\': out += L"\\\\"; break;
        default:
            if (c < 32) {
                wchar_t hex[8];
                _snwprintf(hex, 8, L"\\x%02X", static_cast<unsigned>(c));
                hex[7] = 0;
                out += hex;
            } else {
                out += c;
            }
        }
    }
    return Narrow(out);
}

void DeleteRegistryTree(HKEY root, const wchar_t *key)
{
    RegDeleteTreeW(root, key);
    RegDeleteKeyW(root, key);
}

static HKEY CreateKey(HKEY root, const wchar_t *key)
{
    HKEY handle = nullptr;
    LSTATUS status = RegCreateKeyExW(root, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle,
                                     nullptr);
    // Below a volatile parent (the shared MIDI records) only volatile keys
    // can be made.
    if (status == 1021 /* ERROR_CANNOT_CREATE_STABLE_SUBKEY */)
        status = RegCreateKeyExW(root, key, 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                                 nullptr, &handle, nullptr);
    EXPECT_EQ(status, ERROR_SUCCESS) << "creating registry key " << Narrow(key);
    return handle;
}

void SetRegistryBinary(HKEY root, const wchar_t *key, const wchar_t *name, const void *data,
                       DWORD size, DWORD type)
{
    HKEY handle = CreateKey(root, key);
    if (handle == nullptr)
        return;
    EXPECT_EQ(RegSetValueExW(handle, name, 0, type, static_cast<const BYTE *>(data), size),
              ERROR_SUCCESS);
    RegCloseKey(handle);
}

void SetRegistryDword(HKEY root, const wchar_t *key, const wchar_t *name, DWORD value)
{
    SetRegistryBinary(root, key, name, &value, sizeof value, REG_DWORD);
}

void SetRegistryString(HKEY root, const wchar_t *key, const wchar_t *name,
                       const std::wstring &value, DWORD type)
{
    SetRegistryBinary(root, key, name, value.c_str(),
                      static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)), type);
}

void DeleteRegistryValue(HKEY root, const wchar_t *key, const wchar_t *name)
{
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, key, 0, KEY_ALL_ACCESS, &handle) == ERROR_SUCCESS) {
        RegDeleteValueW(handle, name);
        RegCloseKey(handle);
    }
}

ScopedEnv::ScopedEnv(const wchar_t *name, const wchar_t *value) : name_(name), hadOld_(false)
{
    std::vector<wchar_t> buffer(32768);
    DWORD n = GetEnvironmentVariableW(name, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n > 0 && n < buffer.size()) {
        hadOld_ = true;
        old_.assign(buffer.data(), n);
    }
    SetEnvironmentVariableW(name, value);
}

ScopedEnv::~ScopedEnv()
{
    SetEnvironmentVariableW(name_.c_str(), hadOld_ ? old_.c_str() : nullptr);
}

int CallEntry(int (WINAPI *entry)(wchar_t *), const wchar_t *argument, std::wstring *result)
{
    static wchar_t buffer[8192];
    lstrcpynW(buffer, argument, 8192);
    int rc = entry(buffer);
    if (result)
        *result = buffer;
    return rc;
}
