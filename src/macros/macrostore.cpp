// macrostore.cpp - host macros as "Host-<number>" / "Host-<NAME>" values in the registry.
#include "macros/macrostore.h"
#include "args/parseargs.h"
#include "base/settings.h"
#include "base/regvalue.h"
#include "netinfo/netconfig.h"
#include "sys/syscalls.h"

#include <string.h>
#include <wctype.h>


static void NumberedValueName(unsigned number, wchar_t *valueName)
{
    wsprintfW(valueName, L"%s%u", MACRO_VALUE_PREFIX, number);
}

// False when the name does not fit: a truncated name would be another macro.
static bool NamedValueName(const wchar_t *name, wchar_t *valueName)
{
    size_t length = wcslen(name);
    if (length >= MACRO_VALUE_NAME_CAPACITY - MACRO_VALUE_PREFIX_LENGTH)
        return false;
    wcscpy(valueName, MACRO_VALUE_PREFIX);
    for (size_t i = 0; i <= length; i++)
        valueName[MACRO_VALUE_PREFIX_LENGTH + i] = towupper(name[i]);
    return true;
}

static int WriteMacro(const wchar_t *valueName, const wchar_t *text)
{
    HKEY key = nullptr;
    if (SYS(RegCreateKeyExW)(HKEY_CURRENT_USER, SONARO_SETTINGS_KEY, 0, nullptr,
                             REG_OPTION_NON_VOLATILE, KEY_READ | KEY_SET_VALUE, nullptr, &key,
                             nullptr) != ERROR_SUCCESS)
        return 1;
    LSTATUS status;
    if (text == nullptr || text[0] == 0) {
        status = SYS(RegDeleteValueW)(key, valueName);
    } else {
        DWORD bytes = static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t));
        status = SYS(RegSetValueExW)(key, valueName, 0, REG_SZ,
                                     reinterpret_cast<const BYTE *>(text), bytes);
    }
    SYS(RegCloseKey)(key);
    return status == ERROR_SUCCESS ? 0 : 1;
}

// Found only as a non-empty REG_SZ of at most 1024 characters; the output
// is written only then.
static int ReadMacro(const wchar_t *valueName, wchar_t *output)
{
    wchar_t data[MACRO_TEXT_CAPACITY];
    if (ReadRegistryKeyValue(HKEY_CURRENT_USER, SONARO_SETTINGS_KEY, valueName, REG_SZ, data,
                             MACRO_DATA_BYTES, 0, nullptr) != ERROR_SUCCESS)
        return 1;
    size_t length = wcslen(data);
    memcpy(output, data, length * sizeof(wchar_t));
    output[length] = 0;
    return 0;
}

int SetNumberedMacro(unsigned number, const wchar_t *text)
{
    wchar_t valueName[MACRO_VALUE_NAME_CAPACITY];
    NumberedValueName(number, valueName);
    return WriteMacro(valueName, text);
}

int SetNamedMacro(const wchar_t *name, const wchar_t *text)
{
    if (name == nullptr || name[0] == 0)
        return -1;
    wchar_t valueName[MACRO_VALUE_NAME_CAPACITY];
    if (!NamedValueName(name, valueName))
        return 1;
    return WriteMacro(valueName, text);
}

int LookupNumberedMacro(unsigned number, wchar_t *output)
{
    if (output == nullptr)
        return -1;
    wchar_t valueName[MACRO_VALUE_NAME_CAPACITY];
    NumberedValueName(number, valueName);
    return ReadMacro(valueName, output);
}

int LookupNamedMacro(const wchar_t *name, wchar_t *output)
{
    if (name == nullptr || output == nullptr || !iswalpha(name[0]))
        return -1;
    wchar_t valueName[MACRO_VALUE_NAME_CAPACITY];
    if (!NamedValueName(name, valueName))
        return 1;
    return ReadMacro(valueName, output);
}

// The name is a network keyword (without "#"), alone or with one digit 1-9.
static bool IsReservedName(const wchar_t *name)
{
    for (int i = 0; i < NETWORK_KEYWORD_COUNT; i++) {
        if (MatchKeyword(NetworkKeywords[i] + 1, name) != 0)
            return true;
    }
    return false;
}

bool IsValidMacroName(const wchar_t *name)
{
    if (name == nullptr || !iswalpha(name[0]))
        return false;
    size_t length = 1;
    for (; name[length] != 0; length++) {
        if (length >= MACRO_NAME_MAX)
            return false;
        if (!iswalnum(name[length]) && name[length] != L'_')
            return false;
    }
    return !IsReservedName(name);
}

int ExpandHostMacro(const wchar_t *text, wchar_t *output)
{
    if (text == nullptr || output == nullptr)
        return -1;
    if (text[0] != L'#')
        return 1;
    const wchar_t *rest = text + 1;
    if (iswalpha(rest[0]) && IsValidMacroName(rest))
        return LookupNamedMacro(rest, output);
    DWORD number;
    if (ParseNumber(rest, nullptr, &number) == 0)
        return LookupNumberedMacro(number, output);
    return 1;
}
