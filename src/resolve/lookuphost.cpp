// lookuphost.cpp - @LOOKUPHOST: a host's address or canonical name for batch files.
#include "resolve/resolve.h"
#include "resolve/netentries.h"
#include "args/parseargs.h"
#include "base/hostapi.h"
#include "base/identity.h"
#include "base/hostbuffer.h"
#include "base/errorreport.h"

#include <string.h>
#include <wctype.h>

#define SELECT_CANONICAL 0x80

// "[selector,]host": a number is a selector only when "," or ";" follows it
// directly; otherwise it is the start of the host (a dotted address, "4").
static const wchar_t *SplitSelector(const wchar_t *text, DWORD *selector)
{
    *selector = 0;
    while (*text != 0 && iswspace(*text))
        text++;
    if (!iswdigit(*text))
        return text;
    const wchar_t *end = nullptr;
    DWORD number;
    if (ParseNumber(text, &end, &number) != 0 || (*end != L',' && *end != L';'))
        return text;
    *selector = number;
    end++;
    while (*end != 0 && iswspace(*end))
        end++;
    return end;
}

static void FamiliesOf(DWORD selector, unsigned char *preferred, unsigned char *second)
{
    switch (selector & 0x7F) {
    case 4: *preferred = AF_INET; *second = 0; break;
    case 6: *preferred = AF_INET6; *second = 0; break;
    case 10: *preferred = AF_INET6; *second = AF_INET; break;
    default: *preferred = AF_INET; *second = AF_INET6; break;
    }
}

SONARO_EXPORT int WINAPI f_lookuphost(wchar_t *buffer)
{
    if (buffer == nullptr)
        return -1;
    CutToHostBuffer(buffer);
    DWORD selector;
    const wchar_t *host = SplitSelector(buffer, &selector);
    if (*host == 0) {
        ReportError(L"Missing hostname\r\n");
        return -1;
    }
    unsigned char preferred, second;
    FamiliesOf(selector, &preferred, &second);

    HostAddress address;
    wchar_t canonical[HOST_NAME_CAPACITY];
    wchar_t text[ADDRESS_TEXT_CAPACITY];
    memset(&address, 0, sizeof address);
    canonical[0] = 0;
    text[0] = 0;
    // The host text lives in the buffer: resolve first, then write the result.
    int result = ResolveHost(host, &address, preferred, second, canonical, HOST_NAME_CAPACITY, nullptr);
    const wchar_t *value = L"";
    if (result == 0) {
        if (selector & SELECT_CANONICAL) {
            value = canonical;
        } else {
            if (FormatHostAddress(&address, text, ADDRESS_TEXT_CAPACITY) != 0)
                text[0] = 0;
            text[ADDRESS_TEXT_CAPACITY - 1] = 0;
            value = text;
        }
    }
    size_t length = wcsnlen(value, FUNCTION_BUFFER_CAPACITY - 1);
    memmove(buffer, value, length * sizeof(wchar_t));
    buffer[length] = 0;
    return 0;
}
