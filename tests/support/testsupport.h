// testsupport.h - fixtures and helpers shared by the unit tests.
#pragma once

#include <gtest/gtest.h>
#include <iterator>
#include <string>

#include "sys/syscalls.h"
#include "arch.h"
#include "version.h"
#include "host/takecmd/hostcontrol.h"

// Restores the system-call table and the stand-in host's state (HostReset)
// before and after every test, and captures what the host functions write.
class SysTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

// What the host functions wrote since the test began.
std::wstring CapturedOut();
std::wstring CapturedErr();
void ClearCaptured();

// UTF-8 for messages; wide text with control characters shown escaped.
std::string Narrow(const std::wstring &text);
std::string Escaped(const std::wstring &text);

// The plugin's registry key under both hives, for tests against the real
// registry of the Wine prefix.
#define TEST_SETTINGS_KEY L"Software\\OrvelPlugins\\Sonaro"
void DeleteRegistryTree(HKEY root, const wchar_t *key);
void SetRegistryDword(HKEY root, const wchar_t *key, const wchar_t *name, DWORD value);
void SetRegistryString(HKEY root, const wchar_t *key, const wchar_t *name,
                       const std::wstring &value, DWORD type = REG_SZ);
void SetRegistryBinary(HKEY root, const wchar_t *key, const wchar_t *name, const void *data,
                       DWORD size, DWORD type);
void DeleteRegistryValue(HKEY root, const wchar_t *key, const wchar_t *name);

// Sets or removes (value null) an environment variable for the test's life.
class ScopedEnv {
public:
    ScopedEnv(const wchar_t *name, const wchar_t *value);
    ~ScopedEnv();
private:
    std::wstring name_;
    std::wstring old_;
    bool hadOld_;
};

// Compares wide texts and prints both escaped on a difference.
#define EXPECT_WTEXT(expected, actual) \
    EXPECT_EQ(Escaped(expected), Escaped(actual))

// "row n" (from 0) of a test table, for the SCOPED_TRACE of a table loop.
template <typename Table, typename Row>
std::string TableRow(const Table &table, const Row &row)
{
    return "row " + std::to_string(&row - &*std::begin(table));
}

// Calls a function, variable or command entry as the host does, on a copy of
// `argument` in a buffer of the host's 8192 characters; the buffer's text
// afterwards goes to *result where one is given.
int CallEntry(int (WINAPI *entry)(wchar_t *), const wchar_t *argument,
              std::wstring *result = nullptr);
