// regvalue.cpp - reading one registry value: type, size and terminator checked.
#include "base/regvalue.h"

#include <string.h>

// Ends the text inside its buffer by the rules.  ERROR_SUCCESS or the
// reason it is refused.
static LONG TerminateText(wchar_t *text, DWORD capacity, DWORD dataBytes, int rules)
{
    DWORD chars = dataBytes / sizeof(wchar_t);
    if ((rules & REGVALUE_END_AT_DATA) && chars < capacity)
        text[chars] = 0;
    if (wcsnlen(text, capacity) == capacity) {
        if (rules & REGVALUE_REJECT_LONG)
            return ERROR_MORE_DATA;
        text[capacity - 1] = 0;
    }
    if (text[0] == 0 && !(rules & REGVALUE_EMPTY_OK))
        return ERROR_NO_DATA;
    return ERROR_SUCCESS;
}

// The checks every read makes once the system has answered.
static LONG CheckValue(LONG status, DWORD wanted, DWORD type, void *buffer, DWORD bytes,
                       DWORD dataBytes, int rules)
{
    LONG result = status;
    if (result == ERROR_SUCCESS && !(rules & REGVALUE_ANY_TYPE) && type != wanted)
        result = ERROR_INVALID_DATA;
    if (result == ERROR_SUCCESS && wanted == REG_DWORD && (rules & REGVALUE_EXACT_SIZE) &&
        dataBytes != bytes)
        result = ERROR_INVALID_DATA;
    if (wanted == REG_SZ) {
        wchar_t *text = static_cast<wchar_t *>(buffer);
        DWORD capacity = bytes / sizeof(wchar_t);
        if (result == ERROR_SUCCESS)
            result = TerminateText(text, capacity, dataBytes, rules);
        if (result != ERROR_SUCCESS)
            text[0] = 0;
    }
    return result;
}

LONG ReadRegistryValue(HKEY key, const wchar_t *name, DWORD type, void *buffer, DWORD bytes,
                       int rules, DWORD *size)
{
    memset(buffer, 0, bytes);
    DWORD found = 0, dataBytes = bytes;
    LONG status = SYS(RegQueryValueExW)(key, name, nullptr, &found,
                                        static_cast<BYTE *>(buffer), &dataBytes);
    if (size != nullptr)
        *size = dataBytes;
    return CheckValue(status, type, found, buffer, bytes, dataBytes, rules);
}

LONG ReadRegistryValueAt(HKEY key, DWORD index, wchar_t *name, DWORD nameCapacity, DWORD type,
                         void *buffer, DWORD bytes, int rules)
{
    memset(buffer, 0, bytes);
    DWORD nameLength = nameCapacity, found = 0, dataBytes = bytes;
    LONG status = SYS(RegEnumValueW)(key, index, name, &nameLength, nullptr, &found,
                                     static_cast<BYTE *>(buffer), &dataBytes);
    name[nameCapacity - 1] = 0;
    return CheckValue(status, type, found, buffer, bytes, dataBytes, rules);
}

LONG ReadRegistryKeyValue(HKEY root, const wchar_t *keyName, const wchar_t *name, DWORD type,
                          void *buffer, DWORD bytes, int rules, DWORD *size)
{
    HKEY key = nullptr;
    LONG status = SYS(RegOpenKeyExW)(root, keyName, 0, KEY_READ, &key);
    if (status != ERROR_SUCCESS)
        return status;
    status = ReadRegistryValue(key, name, type, buffer, bytes, rules, size);
    SYS(RegCloseKey)(key);
    return status;
}
