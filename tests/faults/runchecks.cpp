// The fault sweep's checks after a run that need machinery of their own:
// standard error against the messages the scenarios can bring, the registry
// against its image before the run.
#include "sweep.h"

#include "fakeworld.h"

#include <algorithm>
#include <iterator>
#include <string.h>
#include <string>
#include <vector>

namespace faultsweep {

// --- standard error -----------------------------------------------------------

namespace {

// Every message a scenario's failures can bring, each as the entry writes it
// for the scenario's own arguments.
const wchar_t *const ErrorMessages[] = {
    L"Unable to initialize WinSock API!\r\n",
    L"Unable to open MIDI handle!\r\n",
    L"Error opening IPv4 echo-request handle.\r\n",
    L"Error allocating IPv4 reply buffer.\r\n",
    L"Error opening IPv6 echo-request handle.\r\n",
    L"Error allocating IPv6 reply buffer.\r\n",
    L"Error allocating request data buffer.\r\n",
    L"Can\u2019t find an address for host 127.0.0.1.\r\n",
    L"Can\u2019t find an address for host ::1.\r\n",
    L"Can\u2019t find an address for host #1.\r\n",
    L"Error allocating sort buffer for macros.\r\n",
};

// Outside a batch file the prefix is the plugin's name alone.
const wchar_t ErrorPrefixText[] = L"Sonaro plugin: ";

void Add(std::string *problems, const std::string &text)
{
    *problems += (problems->empty() ? "" : "; ") + text;
}

}  // namespace

// Each message (up to its CR LF) is the prefix and one of the messages above.  A
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
                                 [&](const wchar_t *expected) { return wcscmp(expected, text) == 0; });
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
