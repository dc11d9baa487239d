// ReadRegistryValue: type, size and terminator under each caller's rules.
#include "fakeworld.h"
#include "base/regvalue.h"

#include <string.h>

#include <vector>

namespace {

class RegValueTest : public FakeWorldTest {
protected:
    void SetUp() override
    {
        FakeWorldTest::SetUp();
        fake::registry.Holding = true;
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
    fake::HoldText(L"abc", 4);
    EXPECT_EQ(Read(0), ERROR_SUCCESS);
    EXPECT_WTEXT(L"abc", text_);

    // Four characters without a terminator fill the buffer: cut, or refused.
    fake::HoldText(L"abcd", 4);
    EXPECT_EQ(Read(0), ERROR_SUCCESS);
    EXPECT_WTEXT(L"abc", text_);
    EXPECT_EQ(Read(REGVALUE_REJECT_LONG), ERROR_MORE_DATA);
    EXPECT_WTEXT(L"", text_);

    // A terminator inside the data keeps a long value acceptable.
    fake::HoldText(L"ab\0d", 4);
    EXPECT_EQ(Read(REGVALUE_REJECT_LONG), ERROR_SUCCESS);
    EXPECT_WTEXT(L"ab", text_);
}

TEST_F(RegValueTest, OddBytesAndTheEndOfTheData)
{
    // "a" and half of "b": the half character stays unless the text ends
    // where the whole characters end.
    fake::HoldText(L"ab", 1, 1);
    EXPECT_EQ(Read(0), ERROR_SUCCESS);
    EXPECT_EQ(wcslen(text_), 2u);
    EXPECT_EQ(Read(REGVALUE_END_AT_DATA), ERROR_SUCCESS);
    EXPECT_WTEXT(L"a", text_);
}

TEST_F(RegValueTest, TypeEmptinessAndErrors)
{
    fake::HoldText(L"", 1);
    EXPECT_EQ(Read(0), ERROR_NO_DATA);
    EXPECT_EQ(Read(REGVALUE_EMPTY_OK), ERROR_SUCCESS);
    EXPECT_WTEXT(L"", text_);

    fake::HoldText(L"ab", 3);
    fake::registry.Type = REG_EXPAND_SZ;
    EXPECT_EQ(Read(0), ERROR_INVALID_DATA);
    EXPECT_WTEXT(L"", text_);
    EXPECT_EQ(Read(REGVALUE_ANY_TYPE), ERROR_SUCCESS);
    EXPECT_WTEXT(L"ab", text_);

    fake::registry.Status = ERROR_FILE_NOT_FOUND;
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
        fake::registry.Type = c.type;
        fake::registry.Data = c.data;
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
    fake::registry.OwnKeys = true;
    fake::HoldText(L"x", 2);
    wchar_t text[8];
    EXPECT_EQ(ReadRegistryKeyValue(HKEY_CURRENT_USER, L"Missing", L"Value", REG_SZ, text,
                                   sizeof text, 0, nullptr),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(fake::registry.Opened, 0);
    EXPECT_EQ(fake::registry.Closed, 0);
    EXPECT_EQ(ReadRegistryKeyValue(HKEY_CURRENT_USER, L"Key", L"Value", REG_SZ, text, sizeof text,
                                   0, nullptr),
              ERROR_SUCCESS);
    EXPECT_WTEXT(L"x", text);
    EXPECT_EQ(fake::registry.Opened, 1);
    EXPECT_EQ(fake::registry.Closed, 1);
}

}  // namespace
