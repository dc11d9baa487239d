// The fault sweep's checks after a run that need machinery of their own:
// standard error against the documented messages, the registry against its
// image before the run.
#include "sweep.h"

#include "fakeworld.h"

#include <algorithm>
#include <iterator>
#include <string.h>
#include <string>
#include <vector>
#include <wctype.h>

namespace faultsweep {

// --- standard error -----------------------------------------------------------

namespace {

// Every message the plugin documents for standard error.
const wchar_t *const ErrorMessages[] = {
    L"Unable to initialize WinSock API!\r\n", L"Unable to open MIDI handle!\r\n",
    L"Buffer overflow: b = %d, MAX_ARG_LEN = %d \r\n",
    L"Missing host name.\r\n", L"Can\u2019t find an address for host %s.\r\n",
    L"Error opening IPv4 echo-request handle.\r\n", L"Error allocating IPv4 reply buffer.\r\n",
    L"Error opening IPv6 echo-request handle.\r\n", L"Error allocating IPv6 reply buffer.\r\n",
    L"Error allocating request data buffer.\r\n",
    L"Unknown option: \"%s\"\r\n", L"Bad value: \"%s\"\r\n",
    L"Missing value for /E\r\n", L"Missing value for /G\r\n", L"Missing value for /I\r\n",
    L"Missing value for /L\r\n", L"Missing value for /N\r\n", L"Missing value for /O\r\n",
    L"Missing value for /V\r\n", L"Missing value for /W\r\n", L"Missing value for /X\r\n",
    L"Missing value for /Y\r\n", L"Missing value for /Z\r\n",
    L"ErrorDrum must be 0 or %u to %u: %u\r\n", L"Instrument must be %u to %u: %u\r\n",
    L"TTL must be %u to %u: %u\r\n", L"Packet size must be %u to %u: %u\r\n",
    L"Octave must be 0 to 9: %u\r\n", L"TOS must be 0 to 255: %u\r\n",
    L"Timeout must be %u to %u: %u\r\n", L"OpErrorDrum must be 0 or %u to %u: %u\r\n",
    L"Sound volume must be 0 to 100: %u\r\n", L"SnoozeTime must be %u to %u: %u\r\n",
    L"Missing hostname\r\n", L"Bad index value: \"%s\"\r\n",
    L"Bad timeout: \"%s\"\r\n", L"Bad packetsize: \"%s\"\r\n",
    L"Packetsize must be %u to %u: %u\r\n", L"Bad TTL: \"%s\"\r\n", L"Bad flags: \"%s\"\r\n",
    L"Bad pause time: \"%s\"\r\n", L"Bad pause lines: \"%s\"\r\n",
    L"Pause lines must be 0 - 1000: %u\r\n", L"Syntax error: \"%s\"\r\n",
    L"Missing macro name: \"%s\"\r\n", L"Missing macro name\r\n",
    L"Bad macro number: \"%s\"\r\n", L"Bad macro name: \"#%s\"\r\n",
    L"Hostname too long: \"%s\"\r\n", L"Error allocating match entry\r\n",
    L"Error allocating sort buffer for macros.\r\n",
};

// Outside a batch file the prefix is the plugin's name alone.
const wchar_t ErrorPrefixText[] = L"Sonaro plugin: ";

// The text fits the format: %s stands for any text, %d, %ld and %u for a number.
bool FitsFormat(const wchar_t *format, const wchar_t *text)
{
    while (*format != 0) {
        if (format[0] == L'%' && format[1] == L's') {
            for (;; text++) {
                if (FitsFormat(format + 2, text))
                    return true;
                if (*text == 0)
                    return false;
            }
        }
        if (format[0] == L'%' && wcschr(L"dlu", format[1]) != nullptr) {
            format += format[1] == L'l' ? 3 : 2;
            if (*text == L'-')
                text++;
            if (!iswdigit(*text))
                return false;
            while (iswdigit(*text))
                text++;
            continue;
        }
        if (*format++ != *text++)
            return false;
    }
    return *text == 0;
}

void Add(std::string *problems, const std::string &text)
{
    *problems += (problems->empty() ? "" : "; ") + text;
}

}  // namespace

// Each message (up to its CR LF) is the prefix and a documented message.  A
// failed GetStdHandle sends the prefix or the message elsewhere: then either
// may stand alone.
void CheckStandardError(std::string *problems, std::wstring err, bool stdHandleFailed)
{
    const size_t prefixLength = wcslen(ErrorPrefixText);
    if (stdHandleFailed)
        for (size_t at; (at = err.find(ErrorPrefixText)) != std::wstring::npos;)
            err.erase(at, prefixLength);
    for (size_t start = 0; start < err.size();) {
        size_t end = err.find(L"\r\n", start);
        end = end == std::wstring::npos ? err.size() : end + 2;
        std::wstring message = err.substr(start, end - start);
        start = end;
        bool prefixed = message.starts_with(ErrorPrefixText);
        const wchar_t *text = message.c_str() + (prefixed ? prefixLength : 0);
        bool known = std::any_of(std::begin(ErrorMessages), std::end(ErrorMessages),
                                 [&](const wchar_t *format) { return FitsFormat(format, text); });
        if (!known || !(prefixed || stdHandleFailed))
            Add(problems, "standard error: unexpected \"" + Escaped(message) + "\"");
    }
}

// --- the registry -------------------------------------------------------------

namespace {

void ReadRegistryTree(HKEY root, const std::wstring &path, const std::wstring &shown,
                      RegistryImage *image)
{
    HKEY key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    (*image)[shown + L"\\"] = L"key";
    DWORD nameMax = 0, dataMax = 0, subkeyMax = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, &subkeyMax, nullptr, nullptr,
                     &nameMax, &dataMax, nullptr, nullptr);
    std::vector<wchar_t> name(std::max(nameMax, subkeyMax) + 1);
    std::vector<BYTE> data(dataMax + 1);
    for (DWORD i = 0;; i++) {
        DWORD nameLength = static_cast<DWORD>(name.size()), size = dataMax, type = 0;
        if (RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type, data.data(),
                          &size) != ERROR_SUCCESS)
            break;
        std::wstring value = std::to_wstring(type) + L":";
        value.append(data.begin(), data.begin() + size);
        (*image)[shown + L"\\" + (nameLength ? name.data() : L"(default)")] = value;
    }
    std::vector<std::wstring> subkeys;
    for (DWORD i = 0;; i++) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        if (RegEnumKeyExW(key, i, name.data(), &nameLength, nullptr, nullptr, nullptr,
                          nullptr) != ERROR_SUCCESS)
            break;
        subkeys.push_back(name.data());
    }
    RegCloseKey(key);
    for (const std::wstring &subkey : subkeys)
        ReadRegistryTree(root, path + L"\\" + subkey, shown + L"\\" + subkey, image);
}

}  // namespace

RegistryImage ReadRegistry(void)
{
    RegistryImage image;
    ReadRegistryTree(HKEY_CURRENT_USER, L"Software\\OrvelPlugins",
                     L"HKCU\\Software\\OrvelPlugins", &image);
    ReadRegistryTree(HKEY_LOCAL_MACHINE, L"Software\\OrvelPlugins",
                     L"HKLM\\Software\\OrvelPlugins", &image);
    return image;
}

void CheckRegistry(std::string *problems, const RegistryImage &before,
                   const RegistryImage &after, const wchar_t *mayWrite)
{
    std::wstring allowed = mayWrite != nullptr ? mayWrite : L"";
    auto report = [&](const std::wstring &entry, const char *what) {
        bool isKey = entry.ends_with(L'\\');
        if (!allowed.empty() &&
            (entry.starts_with(allowed) || (isKey && allowed.starts_with(entry))))
            return;
        Add(problems, std::string("registry: ") + (isKey ? "key " : "value ") +
                          Narrow(entry) + " " + what);
    };
    for (const auto &[entry, value] : before) {
        auto now = after.find(entry);
        if (now == after.end())
            report(entry, "removed");
        else if (now->second != value)
            report(entry, "changed");
    }
    for (const auto &[entry, value] : after)
        if (!before.contains(entry))
            report(entry, "created");
}

}  // namespace faultsweep
