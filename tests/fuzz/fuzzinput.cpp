// fuzzinput.cpp - argument texts and registry contents for the fuzzer.
#include "fuzzinput.h"
#include "testsupport.h"
#include "ping/pingoptions.h"

#include <algorithm>
#include <vector>
#include <wctype.h>

unsigned long long StreamSeed(unsigned long long seed, unsigned long long index, unsigned salt)
{
    Random mix(seed ^ (index * 0xD1B54A32D192ED03ull) ^ salt);
    return mix.Next();
}

namespace {

const wchar_t *const CommonWords[] = {
    L"127.0.0.1", L"::1", L"dual", L"v4only", L"nowhere", L"#router", L"#gw", L"#dns",
    L"#dhcp", L"#wins", L"#dns2", L"#1", L"#x", L"#", L"*", L"?", L"*.?", L"http://a/b",
    L"ftp://h:21/x/y", L"\"", L"\"a b\"", L"\"\"", L",", L",,", L"=", L":", L"/", L"-",
    L"%", L"%_batch", L"^", L"\\\\unc\\x", L"fe80::1%4", L"[::1]", L"1.2.3.4.5",
    L"255.255.255.255", L"0.0.0.0", L"localhost", L"\x00e9t\x00e9", L"\xD800", L"\xFFFF",
    L"\x2019", L"\t"};
const wchar_t *const Numbers[] = {
    L"0", L"1", L"11", L"12", L"34", L"35", L"81", L"82", L"100", L"101", L"128", L"249",
    L"250", L"255", L"256", L"1023", L"1024", L"1025", L"8191", L"8192", L"10000", L"10001",
    L"60000", L"60001", L"65500", L"65507", L"65520", L"65521", L"2147483647", L"2147483648",
    L"4294967295", L"4294967296", L"99999999999999999999", L"0x", L"0xFF", L"0x100",
    L"0xFFFFFFFF", L"0x100000000", L"0X1g", L"-1", L"+1", L"1e3", L"\x0663", L"007", L" 12"};
const wchar_t *const Separators[] = {L" ", L",", L"\t", L"", L"  ", L", ", L" ,", L"\r\n", L"/"};
const size_t LongLengths[] = {255, 256, 1023, 1024, 1025, 2049, 8190, 8191, 8192, 8193,
                              8194, 8300, 9000, 12000, 16383, 16384, 20000};

wchar_t RandomChar(Random *random)
{
    static const wchar_t Specials[] = L"\"',;:=/-#%*?^&|<>()[]{}\\.@_~ \t\r\n";
    switch (random->Below(6)) {
    case 0:
        return static_cast<wchar_t>(L'a' + random->Below(26));
    case 1:
        return static_cast<wchar_t>(L'0' + random->Below(10));
    case 2:
        return Specials[random->Below(sizeof Specials / sizeof Specials[0] - 1)];
    case 3:
        return static_cast<wchar_t>(0x20 + random->Below(0x5F));
    case 4:
        return static_cast<wchar_t>(0x80 + random->Below(0xFF80));  // any, surrogates too
    default:
        return random->Chance(10) ? static_cast<wchar_t>(1 + random->Below(31))
                                  : static_cast<wchar_t>(L'A' + random->Below(26));
    }
}

std::wstring RandomWord(Random *random, size_t length)
{
    std::wstring word;
    bool uniform = random->Chance(50);
    wchar_t one = RandomChar(random);
    for (size_t i = 0; i < length; i++)
        word += uniform ? one : RandomChar(random);
    return word;
}

std::wstring Token(Random *random, const wchar_t *const *words)
{
    unsigned own = 0;
    while (words[own] != nullptr)
        own++;
    switch (random->Below(10)) {
    case 0: case 1: case 2:
        return words[random->Below(own)];
    case 3: case 4:
        return random->Pick(CommonWords);
    case 5: case 6: {
        std::wstring word = words[random->Below(own)];
        if (!word.empty() && (word.back() == L':' || word.back() == L'=' || word[0] == L'/'))
            return word + random->Pick(Numbers);
        return random->Pick(Numbers);
    }
    case 7: case 8:
        return RandomWord(random, 1 + random->Below(12));
    default:
        return RandomWord(random, random->Pick(LongLengths));
    }
}

void Mutate(Random *random, std::wstring *text)
{
    unsigned count = 1 + random->Below(4);
    for (unsigned i = 0; i < count && !text->empty(); i++) {
        size_t at = random->Below(static_cast<unsigned>(text->size()));
        switch (random->Below(5)) {
        case 0:
            (*text)[at] = RandomChar(random);
            break;
        case 1:
            text->insert(at, 1, RandomChar(random));
            break;
        case 2:
            text->erase(at, 1 + random->Below(8));
            break;
        case 3:
            text->insert(at, text->substr(at, 1 + random->Below(64)));
            break;
        default:
            (*text)[at] = static_cast<wchar_t>(towupper((*text)[at]) == (*text)[at]
                                                   ? towlower((*text)[at])
                                                   : towupper((*text)[at]));
        }
    }
}

}  // namespace

// One argument text: tokens and separators, perhaps mutated, perhaps padded
// to a length around a capacity, perhaps filling the whole buffer with no
// terminator.
std::wstring ArgumentText(Random *random, const wchar_t *const *words, size_t capacity,
                          bool terminated)
{
    std::wstring text;
    unsigned tokens = random->Below(10);
    if (random->Chance(2))
        tokens = 1024 + random->Below(3);  // around the argument count limit
    for (unsigned i = 0; i < tokens; i++) {
        if (i > 0)
            text += tokens > 1000 ? L" " : random->Pick(Separators);
        text += tokens > 1000 ? std::wstring(1, RandomChar(random)) : Token(random, words);
    }
    if (random->Chance(30))
        Mutate(random, &text);
    if (random->Chance(8)) {
        // A host buffer takes the lengths up to one past its capacity.
        unsigned lengths = terminated ? sizeof LongLengths / sizeof LongLengths[0] : 10;
        size_t length = LongLengths[random->Below(lengths)];
        wchar_t pad = random->Chance(50) ? L' ' : RandomChar(random);
        while (text.size() < length)
            text += pad;
        text.resize(length);
    }
    if (random->Chance(5)) {
        // The whole buffer without a terminator, or a command line of any
        // length up to its capacity.
        size_t length = terminated ? 8193 + random->Below(static_cast<unsigned>(capacity - 8193))
                                   : capacity;
        std::wstring unit = text.empty() ? std::wstring(1, RandomChar(random)) : text;
        while (text.size() < length)
            text += unit;
        text.resize(length);
    }
    text.erase(std::remove(text.begin(), text.end(), L'\0'), text.end());
    return text.substr(0, terminated ? capacity - 1 : capacity);
}

namespace {

#define HIGHLIGHT_PARENT L"Software\\OrvelPlugins"
// SONARO's settings, the key's other values, and names in another case.
std::vector<std::wstring> SettingNames(void)
{
    std::vector<std::wstring> names;
    for (size_t i = 0; i < PingOptionCount; i++) {
        if (PingOptionTable[i].Setting != nullptr)
            names.push_back(PingOptionTable[i].Setting);
    }
    names.insert(names.end(), {L"NoMidi", L"DefaultHostname", L"Highlight", L"count", L"DEFAULTHOSTNAME"});
    return names;
}
const wchar_t *const Highlights[] = {
    L"bright white on blue", L"inv", L"0x1F", L"0x", L"0x1FF", L"0xZZ", L"red", L"15 on 0",
    L"16 on 2", L"inverse", L"bright", L"on", L"1e", L"-1"};
const DWORD Types[] = {REG_SZ, REG_SZ, REG_SZ, REG_DWORD, REG_DWORD, REG_EXPAND_SZ,
                       REG_MULTI_SZ, REG_BINARY, REG_NONE, REG_QWORD};

// A value of a random type and size: texts of every length around the
// readers' limits, with and without their terminator.
void WriteRandomValue(Random *random, HKEY root, const wchar_t *key, const std::wstring &name,
                      const std::wstring &text)
{
    DWORD type = random->Pick(Types);
    std::vector<unsigned char> data;
    if (type == REG_DWORD || type == REG_QWORD) {
        unsigned long long number = random->Chance(50) ? random->Next() : random->Below(300);
        data.assign(reinterpret_cast<unsigned char *>(&number),
                    reinterpret_cast<unsigned char *>(&number) + (type == REG_DWORD ? 4 : 8));
        if (random->Chance(10))
            data.resize(random->Below(9));
    } else {
        data.assign(reinterpret_cast<const unsigned char *>(text.c_str()),
                    reinterpret_cast<const unsigned char *>(text.c_str() + text.size() + 1));
        if (data.size() >= 4 && random->Chance(20))
            data.resize(data.size() - 2 - random->Below(2));  // no terminator, odd sizes
    }
    SetRegistryBinary(root, key, name.c_str(), data.data(), static_cast<DWORD>(data.size()),
                      type);
}

std::wstring ValueText(Random *random, const wchar_t *const *words)
{
    if (random->Chance(15))
        return RandomWord(random, random->Pick(LongLengths) + random->Below(3));
    if (random->Chance(10))
        return L"";
    return Token(random, words);
}

}  // namespace

void RandomRegistry(Random *random, const wchar_t *const *words)
{
    ClearFuzzRegistry();
    for (unsigned i = random->Below(6); i > 0; i--) {
        HKEY root = random->Chance(70) ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
        static const std::vector<std::wstring> settings = SettingNames();
        std::wstring name = settings[random->Below(static_cast<unsigned>(settings.size()))];
        std::wstring text = name == L"Highlight" ? random->Pick(Highlights) : ValueText(random, words);
        WriteRandomValue(random, root, TEST_SETTINGS_KEY, name, text);
    }
    for (unsigned i = random->Below(40); i > 0; i--) {
        static const wchar_t *const Prefixes[] = {L"Host-", L"host-", L"HOST-", L"Host", L"Ho"};
        std::wstring name = random->Pick(Prefixes);
        name += random->Chance(50) ? std::to_wstring(random->Below(1000))
                                   : RandomWord(random, random->Chance(5) ? 1030 : 1 + random->Below(10));
        WriteRandomValue(random, HKEY_CURRENT_USER, TEST_SETTINGS_KEY, name,
                         ValueText(random, words));
    }
    if (random->Chance(30))
        WriteRandomValue(random, HKEY_CURRENT_USER, HIGHLIGHT_PARENT, L"Highlight",
                         random->Pick(Highlights));
    // The environment's Highlight comes before every key.
    if (random->Chance(20))
        SetEnvironmentVariableW(L"Highlight", random->Pick(Highlights));
}

void ClearFuzzRegistry(void)
{
    DeleteRegistryTree(HKEY_CURRENT_USER, TEST_SETTINGS_KEY);
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, TEST_SETTINGS_KEY);
    DeleteRegistryValue(HKEY_CURRENT_USER, HIGHLIGHT_PARENT, L"Highlight");
    SetEnvironmentVariableW(L"Highlight", nullptr);
}
