// fakeregistry.cpp - RegOpenKeyExW, RegCreateKeyExW, RegQueryValueExW and
// RegCloseKey of the fake world: Wine's own unless a test holds a value or
// keys, with the keys left open counted.
#include "fakeregistry.h"

#include <string.h>

namespace fake {

Registry registry;

namespace {

HKEY const OwnKey = reinterpret_cast<HKEY>(static_cast<INT_PTR>(0x5EC0));

LSTATUS WINAPI FakeOpen(HKEY root, LPCWSTR name, DWORD options, REGSAM access, PHKEY key)
{
    if (!registry.OwnKeys) {
        LSTATUS status = g_sysDefault.RegOpenKeyExW(root, name, options, access, key);
        if (status == ERROR_SUCCESS)
            registry.OpenKeys++;
        return status;
    }
    if (name != nullptr && registry.Missing == name)
        return ERROR_FILE_NOT_FOUND;
    EXPECT_EQ(access, static_cast<REGSAM>(KEY_READ));
    registry.Opened++;
    *key = OwnKey;
    return ERROR_SUCCESS;
}

LSTATUS WINAPI FakeCreate(HKEY root, LPCWSTR name, DWORD reserved, LPWSTR keyClass,
                          DWORD options, REGSAM access, const LPSECURITY_ATTRIBUTES security,
                          PHKEY key, LPDWORD disposition)
{
    LSTATUS status = g_sysDefault.RegCreateKeyExW(root, name, reserved, keyClass, options,
                                                  access, security, key, disposition);
    if (status == ERROR_SUCCESS)
        registry.OpenKeys++;
    return status;
}

LSTATUS WINAPI FakeQuery(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                         LPDWORD size)
{
    if (!registry.Holding)
        return g_sysDefault.RegQueryValueExW(key, name, reserved, type, data, size);
    if (registry.Status != ERROR_SUCCESS)
        return registry.Status;
    *type = registry.Type;
    if (registry.Data.size() > *size) {
        *size = static_cast<DWORD>(registry.Data.size());
        return ERROR_MORE_DATA;
    }
    memcpy(data, registry.Data.data(), registry.Data.size());
    *size = static_cast<DWORD>(registry.Data.size());
    return ERROR_SUCCESS;
}

LSTATUS WINAPI FakeClose(HKEY key)
{
    if (key != OwnKey) {
        LSTATUS status = g_sysDefault.RegCloseKey(key);
        if (status == ERROR_SUCCESS)
            registry.OpenKeys--;
        return status;
    }
    registry.Closed++;
    return ERROR_SUCCESS;
}

}  // namespace

void InstallRegistry(void)
{
    registry = Registry();
    g_sys.RegOpenKeyExW = FakeOpen;
    g_sys.RegCreateKeyExW = FakeCreate;
    g_sys.RegQueryValueExW = FakeQuery;
    g_sys.RegCloseKey = FakeClose;
}

void HoldText(const wchar_t *text, size_t chars, size_t extraBytes)
{
    registry.Holding = true;
    registry.Type = REG_SZ;
    const unsigned char *bytes = reinterpret_cast<const unsigned char *>(text);
    registry.Data.assign(bytes, bytes + chars * sizeof(wchar_t) + extraBytes);
}

}  // namespace fake
