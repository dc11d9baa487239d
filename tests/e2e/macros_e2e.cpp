// macros_e2e.cpp - SONAROMACRO and @SONAROMACRO through hostshell.exe with the
// real DLL and the real registry of the Wine prefix: changes, the aligned
// listing, matching, every message, and the round trip through SONARO.
#include "shellrun.h"
#include "testsupport.h"
#include "macros/macrousage.h"

#include <string>
#include <vector>

namespace {

const std::string Prefix = "Sonaro plugin: ";
const wchar_t MacroKey[] = L"Software\\OrvelPlugins\\Sonaro";

class Macros : public ::testing::Test {
protected:
    void SetUp() override
    {
        DeleteRegistryTree(HKEY_CURRENT_USER, MacroKey);
    }
    void TearDown() override
    {
        DeleteRegistryTree(HKEY_CURRENT_USER, MacroKey);
    }
};

// Lines run one after the other in one shell; the exit status is the
// result of the last command.
ShellResult RunLines(const std::vector<std::wstring> &lines)
{
    std::vector<std::wstring> args;
    for (const std::wstring &line : lines) {
        args.push_back(L"-c");
        args.push_back(line);
    }
    return RunShell(args, WithNoMidi({{L"NOLOADMSG", L"1"}}));
}

ShellResult RunLines(const std::wstring &line)
{
    return RunLines(std::vector<std::wstring>{line});
}

// Runs one command that must succeed and returns what it printed.
std::string Listing(const std::wstring &line)
{
    ShellResult r = RunLines(line);
    EXPECT_TRUE(r.started);
    EXPECT_EQ(r.exitCode, 0u) << Utf8(line);
    EXPECT_BYTES("", r.err) << Utf8(line);
    return r.out;
}

}  // namespace

TEST_F(Macros, CreateReplaceAndDelete)
{
    // "#" or none, "=" or ":", decimal or hexadecimal: changes list nothing.
    EXPECT_BYTES("", Listing(L"sonaromacro #1=gateway.example 5=five.example 7:seven.example "
                             L"#0x10=sixteen.example web=10.0.0.1 #Backup_2:backup.example"));
    EXPECT_BYTES("#1        = gateway.example\r\n"
                 "#5        = five.example\r\n"
                 "#7        = seven.example\r\n"
                 "#16       = sixteen.example\r\n"
                 "#BACKUP_2 = backup.example\r\n"
                 "#WEB      = 10.0.0.1\r\n"
                 "\r\n   6 macros defined.\r\n",
                 Listing(L"sonaromacro"));

    EXPECT_BYTES("", Listing(L"sonaromacro #5=new.example WEB:10.0.0.2 #016=also.sixteen"));
    EXPECT_BYTES("#1        = gateway.example\r\n"
                 "#5        = new.example\r\n"
                 "#7        = seven.example\r\n"
                 "#16       = also.sixteen\r\n"
                 "#BACKUP_2 = backup.example\r\n"
                 "#WEB      = 10.0.0.2\r\n"
                 "\r\n   6 macros defined.\r\n",
                 Listing(L"sonaromacro"));

    // Deleting: no text after "=" or ":"; a macro that never was counts too.
    EXPECT_BYTES("", Listing(L"sonaromacro #5= 7: #0x10= backup_2= #12345="));
    EXPECT_BYTES("#1   = gateway.example\r\n"
                 "#WEB = 10.0.0.2\r\n"
                 "\r\n   2 macros defined.\r\n",
                 Listing(L"sonaromacro"));
    EXPECT_BYTES("", Listing(L"sonaromacro #1= #web="));
    EXPECT_BYTES("No macros defined.\r\n", Listing(L"sonaromacro"));
}

TEST_F(Macros, ListingOrderAndMatching)
{
    EXPECT_BYTES("", Listing(L"sonaromacro #10=ten #2=two #100=hundred www=w2 web=w1 #wx=w3 "
                             L"alpha=a #0=zero"));
    EXPECT_BYTES("#0     = zero\r\n"
                 "#2     = two\r\n"
                 "#10    = ten\r\n"
                 "#100   = hundred\r\n"
                 "#ALPHA = a\r\n"
                 "#WEB   = w1\r\n"
                 "#WWW   = w2\r\n"
                 "#WX    = w3\r\n"
                 "\r\n   8 macros defined.\r\n",
                 Listing(L"sonaromacro"));

    struct Case {
        const wchar_t *line;
        const char *out;
    } cases[] = {
        // Name patterns go through the host's wildcards and never list a
        // numbered macro, not even "*".
        {L"sonaromacro #W*", "#WEB = w1\r\n#WWW = w2\r\n#WX  = w3\r\n"
                             "\r\n   3 matching macros defined.\r\n"},
        {L"sonaromacro #*", "#ALPHA = a\r\n#WEB   = w1\r\n#WWW   = w2\r\n#WX    = w3\r\n"
                            "\r\n   4 matching macros defined.\r\n"},
        {L"sonaromacro w?", "#WX = w3\r\n\r\n   1 matching macro defined.\r\n"},
        {L"sonaromacro #web", "#WEB = w1\r\n\r\n   1 matching macro defined.\r\n"},
        // Number entries never list a named macro; the widths are those of
        // the listed entries.
        {L"sonaromacro #10 #2", "#2  = two\r\n#10 = ten\r\n"
                                "\r\n   2 matching macros defined.\r\n"},
        {L"sonaromacro #0x64 #00", "#0   = zero\r\n#100 = hundred\r\n"
                                   "\r\n   2 matching macros defined.\r\n"},
        {L"sonaromacro #10 #A*", "#10    = ten\r\n#ALPHA = a\r\n"
                                 "\r\n   2 matching macros defined.\r\n"},
        {L"sonaromacro #nosuch #3", "No macros defined.\r\n"},
        // Changes and match entries: the change is made, only the entries
        // listed; /L lists all.
        {L"sonaromacro #1=one #2", "#2 = two\r\n\r\n   1 matching macro defined.\r\n"},
        {L"sonaromacro #100= #wx= #2 /L", "#0     = zero\r\n#1     = one\r\n#2     = two\r\n"
                                          "#10    = ten\r\n#ALPHA = a\r\n#WEB   = w1\r\n"
                                          "#WWW   = w2\r\n\r\n   7 macros defined.\r\n"},
        {L"sonaromacro #7=", ""},
    };
    for (const Case &c : cases)
        EXPECT_BYTES(c.out, Listing(c.line)) << Utf8(c.line);
}

TEST_F(Macros, NoMacrosDefined)
{
    // No key at all.
    EXPECT_BYTES("No macros defined.\r\n", Listing(L"sonaromacro"));
    EXPECT_BYTES("No macros defined.\r\n", Listing(L"sonaromacro #1 #web"));

    // A key with settings and look-alikes but no macro; a value named with
    // another case of the prefix is no macro for the listing, though a
    // lookup finds it.
    SetRegistryDword(HKEY_CURRENT_USER, MacroKey, L"Count", 3);
    SetRegistryString(HKEY_CURRENT_USER, MacroKey, L"host-3", L"lower.example");
    SetRegistryString(HKEY_CURRENT_USER, MacroKey, L"Host-DNS", L"reserved.example");
    EXPECT_BYTES("No macros defined.\r\n", Listing(L"sonaromacro"));
    EXPECT_BYTES("[lower.example]\r\n", Listing(L"echo [%@sonaromacro[3]]"));

    // An empty key.
    DeleteRegistryTree(HKEY_CURRENT_USER, MacroKey);
    EXPECT_BYTES("", Listing(L"sonaromacro #1=one"));
    EXPECT_BYTES("", Listing(L"sonaromacro #1="));
    EXPECT_BYTES("No macros defined.\r\n", Listing(L"sonaromacro"));
}

TEST_F(Macros, ErrorMessages)
{
    const std::wstring longText(1025, L'h');
    struct Case {
        std::wstring arguments;
        int result;
        std::string message;
    } cases[] = {
        {L"/x", 1, "Unknown option: \"/X\"\r\n"},
        {L"/DL", 1, "Unknown option: \"/DL\"\r\n"},
        {L"-q", 1, "Unknown option: \"-Q\"\r\n"},
        {L"/", 1, "Unknown option: \"/\"\r\n"},
        {L"/Px", 1, "Syntax error: \"/PX\"\r\n"},
        {L"/p:5x", 1, "Syntax error: \"/P:5X\"\r\n"},
        {L"/P,1001", 1, "Pause lines must be 0 - 1000: 1001\r\n"},
        {L"#", 1, "Missing macro name: \"#\"\r\n"},
        {L"#=a", 1, "Missing macro name: \"#=A\"\r\n"},
        {L":web", 1, "Missing macro name: \":WEB\"\r\n"},
        {L"#99999999999=x", 1, "Bad macro number: \"#99999999999=X\"\r\n"},
        {L"4294967296", 1, "Bad macro number: \"4294967296\"\r\n"},
        {L"#0x100000000", 1, "Bad macro number: \"#0X100000000\"\r\n"},
        {L"#5x=a", 1, "Syntax error: \"#5X=A\"\r\n"},
        {L"#5x", 1, "Syntax error: \"#5X\"\r\n"},
        {L"#0x=a", 1, "Syntax error: \"#0X=A\"\r\n"},
        {L"#dns=x", 1, "Bad macro name: \"#DNS\"\r\n"},
        {L"#router1=x", 1, "Bad macro name: \"#ROUTER1\"\r\n"},
        {L"Gw:x", 1, "Bad macro name: \"#GW\"\r\n"},
        {L"#a_very_long_name=x", 1, "Bad macro name: \"#A_VERY_LONG_NAME\"\r\n"},
        {L"#web-2=x", 1, "Bad macro name: \"#WEB-2\"\r\n"},
        {L"#web=" + longText, 1, "Hostname too long: \"" + std::string(1025, 'H') + "\"\r\n"},
        // A numbered macro's text is held to the same limit: lookups and
        // the listing read no more.
        {L"#1=" + longText, 1, "Hostname too long: \"" + std::string(1025, 'H') + "\"\r\n"},
    };
    for (const Case &c : cases) {
        ShellResult r = RunLines(L"sonaromacro " + c.arguments);
        SCOPED_TRACE(Utf8(c.arguments.substr(0, 40)));
        EXPECT_EQ(r.exitCode, static_cast<DWORD>(c.result));
        EXPECT_BYTES("", r.out);
        EXPECT_BYTES(Prefix + c.message, r.err);
    }
    // Nothing of it reached the registry.
    EXPECT_BYTES("No macros defined.\r\n", Listing(L"sonaromacro"));

    // 1024 characters are the most a text may have, for either kind.
    const std::wstring fullText(1024, L'f');
    EXPECT_BYTES("", Listing(L"sonaromacro #1=" + fullText + L" web=" + fullText));
    EXPECT_BYTES("[" + std::string(1024, 'f') + "]\r\n", Listing(L"echo [%@sonaromacro[1]]"));
    EXPECT_BYTES("[" + std::string(1024, 'f') + "]\r\n", Listing(L"echo [%@sonaromacro[web]]"));
}

TEST_F(Macros, ChangesBeforeAnErrorStay)
{
    ShellResult r = RunLines(L"sonaromacro #1=one web=w1 #dns=x #2=two");
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_BYTES("", r.out);
    EXPECT_BYTES(Prefix + "Bad macro name: \"#DNS\"\r\n", r.err);

    // Match entries and /L before the fault list nothing either.
    r = RunLines(L"sonaromacro /L #1 #3=three #W* #4x=four #5=five");
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_BYTES("", r.out);
    EXPECT_BYTES(Prefix + "Syntax error: \"#4X=FOUR\"\r\n", r.err);

    EXPECT_BYTES("#1   = one\r\n#3   = three\r\n#WEB = w1\r\n\r\n   3 macros defined.\r\n",
                 Listing(L"sonaromacro"));
}

TEST_F(Macros, Options)
{
    EXPECT_BYTES("", Listing(L"sonaromacro #1=one /D"));
    // "/D/L" is the two options /D and /L; either may be written with "-"
    // and in either case.
    const char all[] = "#1 = one\r\n\r\n   1 macro defined.\r\n";
    EXPECT_BYTES(all, Listing(L"sonaromacro #2=two #2= /D/L"));
    EXPECT_BYTES(all, Listing(L"sonaromacro #3=three #3= -l"));
    EXPECT_BYTES(all, Listing(L"sonaromacro /d /p"));
    EXPECT_BYTES(all, Listing(L"sonaromacro /P:250m,20 /p=1;5"));

    const std::string usage = Utf8(SonaroMacroUsageText);
    // The usage text ends the command: changes before it stay, later
    // arguments are not looked at.
    EXPECT_BYTES(usage, Listing(L"sonaromacro #4=four /? #5=five /x"));
    EXPECT_BYTES(usage + "\r\n\t\t\t\tSonaro  " SONARO_FULL_VERSION_TEXT " (" ARCH ")\r\n", Listing(L"sonaromacro -??"));
    EXPECT_BYTES("#1 = one\r\n#4 = four\r\n\r\n   2 macros defined.\r\n",
                 Listing(L"sonaromacro"));
}

TEST_F(Macros, RoundTripThroughSonaroAndTheFunction)
{
    EXPECT_BYTES("", Listing(L"SONAROMACRO #web=127.0.0.1"));

    ShellResult r = RunLines(L"SONARO /n:1 #web");
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_BYTES("", r.err);
    EXPECT_NE(r.out.find("\r\nPinging 127.0.0.1 [127.0.0.1] with 64 bytes of data:\r\n"),
              std::string::npos)
        << ShowBytes(r.out);
    EXPECT_NE(r.out.find("Reply from 127.0.0.1: "), std::string::npos) << ShowBytes(r.out);
    EXPECT_NE(r.out.find("Packets: Sent = 1, Received = 1, Lost = 0"), std::string::npos)
        << ShowBytes(r.out);

    EXPECT_BYTES("127.0.0.1\r\n", Listing(L"echo %@sonaromacro[web]"));
    EXPECT_BYTES("[127.0.0.1|127.0.0.1|127.0.0.1]\r\n",
                 Listing(L"echo [%@sonaromacro[#WEB]|%@sonaromacro[  Web]|%@sonaromacro[#web]]"));
    EXPECT_BYTES("[]\r\n", Listing(L"echo [%@sonaromacro[#ftp]]"));

    EXPECT_BYTES("", Listing(L"sonaromacro #0x1f=thirty-one.example"));
    EXPECT_BYTES("[thirty-one.example|thirty-one.example]\r\n",
                 Listing(L"echo [%@sonaromacro[31]|%@sonaromacro[#0x1F]]"));

    struct Case {
        const wchar_t *argument;
        const char *message;
    } errors[] = {
        {L"", "Missing macro name\r\n"},
        {L"#", "Missing macro name\r\n"},
        {L"#dns", "Bad macro name: \"#DNS\"\r\n"},
        {L"web x", "Bad macro name: \"#WEB X\"\r\n"},
        {L"5x", "Bad macro number: \"5X\"\r\n"},
        {L"-5", "Bad macro number: \"-5\"\r\n"},
    };
    for (const Case &c : errors) {
        r = RunLines(std::wstring(L"echo [%@sonaromacro[") + c.argument + L"]]");
        SCOPED_TRACE(Utf8(c.argument));
        EXPECT_NE(r.exitCode, 0u);
        EXPECT_BYTES("", r.out);
        EXPECT_BYTES(Prefix + c.message, r.err);
    }

    // Deleted, the macro stands for nothing any more.
    EXPECT_BYTES("", Listing(L"sonaromacro #web="));
    EXPECT_BYTES("[]\r\n", Listing(L"echo [%@sonaromacro[web]]"));
}

TEST_F(Macros, OversizedRegistryValuesAreSkipped)
{
    // Written by another tool: a text longer than the listing reads, between
    // proper macros.  Only that one value is left out.
    SetRegistryString(HKEY_CURRENT_USER, MacroKey, L"Host-1", L"one");
    SetRegistryString(HKEY_CURRENT_USER, MacroKey, L"Host-2", std::wstring(1500, L'x'));
    SetRegistryString(HKEY_CURRENT_USER, MacroKey, L"Host-3", L"three");
    SetRegistryString(HKEY_CURRENT_USER, MacroKey, L"Host-WEB", L"web");
    EXPECT_BYTES("#1   = one\r\n#3   = three\r\n#WEB = web\r\n\r\n   3 macros defined.\r\n",
                 Listing(L"sonaromacro"));
    EXPECT_BYTES("#3 = three\r\n\r\n   1 matching macro defined.\r\n",
                 Listing(L"sonaromacro #2 #3"));
    EXPECT_BYTES("[]\r\n", Listing(L"echo [%@sonaromacro[2]]"));
}
