// ReadRegistryValue: type, size and terminator under each caller's rules.
#include "testsupport.h"
#include "base/regvalue.h"

#include <string.h>

#include <vector>

namespace {

// The value the fake registry holds: its type and raw bytes, or an error.
DWORD g_type;
std::vector<unsigned char> g_data;
LSTATUS g_status;

LSTATUS WINAPI FakeQuery(HKEY, LPCWSTR, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD size)
{
    if (g_status != ERROR_SUCCESS)
        return g_status;
    *type = g_type;
    if (g_data.size() > *size) {
        *size = static_cast<DWORD>(g_data.size());
        return ERROR_MORE_DATA;
    }
    memcpy(data, g_data.data(), g_data.size());
    *size = static_cast<DWORD>(g_data.size());
    return ERROR_SUCCESS;
}

void HoldText(const wchar_t *text, size_t chars, size_t extraBytes = 0)
{
    g_type = REG_SZ;
    const unsigned char *bytes = reinterpret_cast<const unsigned char *>(text);
    g_data.assign(bytes, bytes + chars * sizeof(wchar_t) + extraBytes);
}

class RegValueTest : public SysTest {
protected:
    void SetUp() override
    {
        SysTest::SetUp();
        g_status = ERROR_SUCCESS;
        g_sys.RegQueryValueExW = FakeQuery;
    }
    LONG Read(int rules)
    {
        wmemset(text_, L'#', 4);
        return ReadRegistryValue(HKEY_CURRENT_USER, L"Value", REG_SZ, text_, sizeof text_, rules,
                                 nullptr);
    }
    wchar_t text_[4];
};

TEST_F(RegValueTest, TextsEndInsideTheirBuffer)
{
    // Three characters and the terminator fit exactly.
    HoldText(L"abc", 4);
    EXPECT_EQ(Read(0), ERROR_SUCCESS);
    EXPECT_WTEXT(L"abc", text_);

    // Four characters without a terminator fill the buffer: cut, or refused.
    HoldText(L"abcd", 4);
    EXPECT_EQ(Read(0), ERROR_SUCCESS);
    EXPECT_WTEXT(L"abc", text_);
    EXPECT_EQ(Read(REGVALUE_REJECT_LONG), ERROR_MORE_DATA);
    EXPECT_WTEXT(L"", text_);

    // A terminator inside the data keeps a long value acceptable.
    HoldText(L"ab\0d", 4);
    EXPECT_EQ(Read(REGVALUE_REJECT_LONG), ERROR_SUCCESS);
    EXPECT_WTEXT(L"ab", text_);
}

TEST_F(RegValueTest, OddBytesAndTheEndOfTheData)
{
    // "a" and half of "b": the half character stays unless the text ends
    // where the whole characters end.
    HoldText(L"ab", 1, 1);
    EXPECT_EQ(Read(0), ERROR_SUCCESS);
    EXPECT_EQ(wcslen(text_), 2u);
    EXPECT_EQ(Read(REGVALUE_END_AT_DATA), ERROR_SUCCESS);
    EXPECT_WTEXT(L"a", text_);
}

TEST_F(RegValueTest, TypeEmptinessAndErrors)
{
    HoldText(L"", 1);
    EXPECT_EQ(Read(0), ERROR_NO_DATA);
    EXPECT_EQ(Read(REGVALUE_EMPTY_OK), ERROR_SUCCESS);
    EXPECT_WTEXT(L"", text_);

    HoldText(L"ab", 3);
    g_type = REG_EXPAND_SZ;
    EXPECT_EQ(Read(0), ERROR_INVALID_DATA);
    EXPECT_WTEXT(L"", text_);
    EXPECT_EQ(Read(REGVALUE_ANY_TYPE), ERROR_SUCCESS);
    EXPECT_WTEXT(L"ab", text_);

    g_status = ERROR_FILE_NOT_FOUND;
    EXPECT_EQ(Read(0), ERROR_FILE_NOT_FOUND);
    EXPECT_WTEXT(L"", text_);
}

TEST_F(RegValueTest, NumbersAndTheirSize)
{
    struct Case {
        DWORD type;
        std::vector<unsigned char> data;
        int rules;
        LONG expected;
        DWORD value;
    } cases[] = {
        {REG_DWORD, {1, 2, 0, 0}, 0, ERROR_SUCCESS, 0x0201},
        {REG_DWORD, {1, 2, 0, 0}, REGVALUE_EXACT_SIZE, ERROR_SUCCESS, 0x0201},
        {REG_DWORD, {7, 1}, 0, ERROR_SUCCESS, 0x0107},
        {REG_DWORD, {7, 1}, REGVALUE_EXACT_SIZE, ERROR_INVALID_DATA, 0x0107},
        {REG_BINARY, {1, 0, 0, 0}, 0, ERROR_INVALID_DATA, 1},
        {REG_DWORD, {1, 0, 0, 0, 0}, 0, ERROR_MORE_DATA, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        g_type = c.type;
        g_data = c.data;
        DWORD value = 0xFFFFFFFFu, size = 0;
        EXPECT_EQ(ReadRegistryValue(HKEY_CURRENT_USER, L"Value", REG_DWORD, &value, sizeof value,
                                    c.rules, &size),
                  c.expected);
        if (c.expected != ERROR_MORE_DATA) {
            EXPECT_EQ(value, c.value);
            EXPECT_EQ(size, c.data.size());
        }
    }
}

TEST_F(RegValueTest, KeyOpenedForReadingAndClosed)
{
    static HKEY opened;
    static int closed;
    closed = 0;
    g_sys.RegOpenKeyExW = [](HKEY, LPCWSTR name, DWORD, REGSAM access, PHKEY key) WINAPI -> LSTATUS {
        if (wcscmp(name, L"Missing") == 0)
            return ERROR_FILE_NOT_FOUND;
        EXPECT_EQ(access, static_cast<REGSAM>(KEY_READ));
        opened = reinterpret_cast<HKEY>(static_cast<INT_PTR>(0x5150));
        *key = opened;
        return ERROR_SUCCESS;
    };
    g_sys.RegCloseKey = [](HKEY key) WINAPI -> LSTATUS {
        EXPECT_EQ(key, opened);
        closed++;
        return ERROR_SUCCESS;
    };
    HoldText(L"x", 2);
    wchar_t text[8];
    EXPECT_EQ(ReadRegistryKeyValue(HKEY_CURRENT_USER, L"Missing", L"Value", REG_SZ, text,
                                   sizeof text, 0, nullptr),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(closed, 0);
    EXPECT_EQ(ReadRegistryKeyValue(HKEY_CURRENT_USER, L"Key", L"Value", REG_SZ, text, sizeof text,
                                   0, nullptr),
              ERROR_SUCCESS);
    EXPECT_WTEXT(L"x", text);
    EXPECT_EQ(closed, 1);
}

}  // namespace
