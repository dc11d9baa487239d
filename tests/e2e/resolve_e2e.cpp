// @LOOKUPHOST, @PINGDNS and @PINGTIME through hostshell.exe with the real
// DLL, the real resolver and the real ICMP helper (loopback only).
#include <gtest/gtest.h>

#include "shellrun.h"

#include <stdlib.h>
#include <string.h>

namespace {

const std::string Prefix = "Sonaro plugin: ";

// One command line through the shell, with the plugin quiet at load.
ShellResult RunLine(const std::wstring &line)
{
    return RunShell({L"-c", line}, WithNoMidi({{L"NOLOADMSG", L"1"}}));
}

// The text of "echo [...]" between the brackets, or "?" when the shell did
// not print exactly one such line.
std::string Bracketed(const ShellResult &r)
{
    if (r.out.size() < 4 || r.out.front() != '[' || r.out.compare(r.out.size() - 3, 3, "]\r\n"))
        return "?" + r.out;
    return r.out.substr(1, r.out.size() - 4);
}

std::string Echo(const std::wstring &function)
{
    ShellResult r = RunLine(L"echo [" + function + L"]");
    EXPECT_TRUE(r.started);
    EXPECT_EQ(r.exitCode, 0u) << Utf8(function);
    EXPECT_BYTES("", r.err);
    return Bracketed(r);
}

bool IsTime(const std::string &text, int *value)
{
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    *value = atoi(text.c_str());
    return true;
}

TEST(ResolveEndToEnd, LookupHost)
{
    EXPECT_EQ(Echo(L"%@lookuphost[localhost]"), "127.0.0.1");
    EXPECT_EQ(Echo(L"%@lookuphost[127.0.0.1]"), "127.0.0.1");
    EXPECT_EQ(Echo(L"%@lookuphost[6,::1]"), "::1");
    EXPECT_EQ(Echo(L"%@lookuphost[4,::1]"), "");
    EXPECT_EQ(Echo(L"%@lookuphost[6,127.0.0.1]"), "");
    EXPECT_EQ(Echo(L"%@lookuphost[128,localhost]"), "localhost");
    EXPECT_EQ(Echo(L"%@lookuphost[no.such.name.invalid]"), "");
    EXPECT_EQ(Echo(L"%@lookuphost[128,no.such.name.invalid]"), "");
}

TEST(ResolveEndToEnd, ArgumentErrors)
{
    struct Case {
        const wchar_t *function;
        const char *message;
    } cases[] = {
        {L"%@lookuphost[]", "Missing hostname\r\n"},
        {L"%@lookuphost[   ]", "Missing hostname\r\n"},
        {L"%@lookuphost[4, ]", "Missing hostname\r\n"},
        {L"%@pingdns[x]", "Bad index value: \"X\"\r\n"},
        {L"%@pingdns[-1]", "Bad index value: \"-1\"\r\n"},
        {L"%@pingdns[1x]", "Bad index value: \"1X\"\r\n"},
        {L"%@pingdns[4294967296]", "Bad index value: \"4294967296\"\r\n"},
        {L"%@pingtime[]", "Missing hostname\r\n"},
        {L"%@pingtime[,5]", "Missing hostname\r\n"},
        {L"%@pingtime[127.0.0.1,0]", "Timeout must be 1 to 60000: 0\r\n"},
        {L"%@pingtime[127.0.0.1,60001]", "Timeout must be 1 to 60000: 60001\r\n"},
        {L"%@pingtime[127.0.0.1,2s]", "Bad timeout: \"2S\"\r\n"},
        {L"%@pingtime[127.0.0.1,5,11]", "Packetsize must be 12 to 65520: 11\r\n"},
        {L"%@pingtime[127.0.0.1,5,65521]", "Packetsize must be 12 to 65520: 65521\r\n"},
        {L"%@pingtime[127.0.0.1,5,big]", "Bad packetsize: \"BIG\"\r\n"},
        {L"%@pingtime[127.0.0.1,5,64,0]", "TTL must be 1 to 255: 0\r\n"},
        {L"%@pingtime[127.0.0.1,5,64,256]", "TTL must be 1 to 255: 256\r\n"},
        {L"%@pingtime[127.0.0.1,5,64,ttl]", "Bad TTL: \"TTL\"\r\n"},
        {L"%@pingtime[127.0.0.1,5,64,64,abc]", "Bad flags: \"ABC\"\r\n"},
    };
    for (const Case &c : cases) {
        ShellResult r = RunLine(std::wstring(L"echo [") + c.function + L"]");
        SCOPED_TRACE(Utf8(c.function));
        EXPECT_NE(r.exitCode, 0u);
        EXPECT_BYTES("", r.out);
        EXPECT_BYTES(Prefix + c.message, r.err);
    }
}

TEST(ResolveEndToEnd, PingTimeLoopback)
{
    int time = -1;
    std::string text = Echo(L"%@pingtime[127.0.0.1]");
    EXPECT_TRUE(IsTime(text, &time)) << text;
    EXPECT_LT(time, 1000);
    text = Echo(L"%@pingtime[localhost,2,12,1,2]");
    EXPECT_TRUE(IsTime(text, &time)) << text;
    text = Echo(L"%@pingtime[127.0.0.1,5,65500,64,2]");
    EXPECT_TRUE(IsTime(text, &time)) << text;
    EXPECT_EQ(Echo(L"%@pingtime[no.such.name.invalid]"), "-3");
}

// Flag 128: the address line comes before what the shell prints afterwards.
TEST(ResolveEndToEnd, PingTimeShowsAddress)
{
    ShellResult r = RunLine(L"echo [%@pingtime[127.0.0.1,5,64,64,128]]");
    EXPECT_EQ(r.exitCode, 0u);
    const std::string line = "   * IPv4 address:  127.0.0.1\r\n";
    ASSERT_EQ(r.out.compare(0, line.size(), line), 0) << ShowBytes(r.out);
    r.out.erase(0, line.size());
    int time;
    EXPECT_TRUE(IsTime(Bracketed(r), &time)) << ShowBytes(r.out);

    // Wine opens no IPv6 echo handle (-4): the address line still comes first.
    r = RunLine(L"echo [%@pingtime[::1,5,64,64,128]]");
    EXPECT_BYTES("   * IPv6 address:  ::1\r\n[-4]\r\n", r.out);
}

const wchar_t MacroKey[] = L"Software\\OrvelPlugins\\Sonaro";

void SetMacro(const wchar_t *name, const std::wstring &text)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, MacroKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(text.c_str()),
                             static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

class HostMacroEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, MacroKey);
        SetMacro(L"Host-7", L"127.0.0.1");
        SetMacro(L"Host-WEB", L"localhost");
    }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, MacroKey); }
};

TEST_F(HostMacroEndToEnd, MacrosResolve)
{
    EXPECT_EQ(Echo(L"%@lookuphost[#7]"), "127.0.0.1");
    EXPECT_EQ(Echo(L"%@lookuphost[#007]"), "127.0.0.1");
    EXPECT_EQ(Echo(L"%@lookuphost[#Web]"), "127.0.0.1");
    EXPECT_EQ(Echo(L"%@lookuphost[#8]"), "");
    int time = -1;
    std::string text = Echo(L"%@pingtime[#web]");
    EXPECT_TRUE(IsTime(text, &time)) << text;
    EXPECT_EQ(Echo(L"%@pingtime[#8]"), "-3");
}

}  // namespace
