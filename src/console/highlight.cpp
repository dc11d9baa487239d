// highlight.cpp - choosing the six list colours from the Highlight setting.
#include "console/highlight.h"
#include "base/regvalue.h"
#include "console/conlist.h"
#include "base/hostapi.h"
#include "sys/syscalls.h"

#include <errno.h>
#include <string.h>
#include <wctype.h>

#define HIGHLIGHT_CAPACITY 1024
#define HIGHLIGHT_PARENT_KEY L"SOFTWARE\\OrvelPlugins"
#define HIGHLIGHT_PLUGIN_NAME L"Sonaro"

int ReadHighlightValue(const wchar_t *keyName, wchar_t *buffer, HKEY root)
{
    if (keyName == nullptr || keyName[0] == 0 || buffer == nullptr)
        return -1;
    buffer[0] = 0;
    // The value need not carry its terminator: it ends inside the data and
    // inside the buffer.
    return static_cast<int>(ReadRegistryKeyValue(root, keyName, L"Highlight", REG_SZ, buffer,
                                                 HIGHLIGHT_CAPACITY * sizeof(wchar_t),
                                                 REGVALUE_END_AT_DATA, nullptr));
}

// The first non-empty Highlight text: environment, then the plugin's key and
// its parent, each under the current user before the machine.
static void ReadHighlightText(wchar_t *text)
{
    DWORD n = SYS(GetEnvironmentVariableW)(L"Highlight", text, HIGHLIGHT_CAPACITY);
    if (n == 0 || n >= HIGHLIGHT_CAPACITY)
        text[0] = 0;
    if (text[0])
        return;

    wchar_t pluginKey[256];
    _snwprintf(pluginKey, 256, L"%s\\%s", HIGHLIGHT_PARENT_KEY, HIGHLIGHT_PLUGIN_NAME);
    pluginKey[255] = 0;
    const struct {
        const wchar_t *key;
        HKEY root;
    } sources[] = {
        { pluginKey, HKEY_CURRENT_USER },
        { pluginKey, HKEY_LOCAL_MACHINE },
        { HIGHLIGHT_PARENT_KEY, HKEY_CURRENT_USER },
        { HIGHLIGHT_PARENT_KEY, HKEY_LOCAL_MACHINE },
    };
    for (const auto &source : sources) {
        ReadHighlightValue(source.key, text, source.root);
        if (text[0])
            return;
    }
}

// "0x" and one attribute byte, background in the high digit.  Anything but
// hexadecimal digits after the prefix (none at all, a sign, blanks), or a
// value above one byte, is no colour at all.
static void ParseHexAttribute(const wchar_t *digits, int *foreground, int *background)
{
    if (digits[0] == 0)
        return;
    for (const wchar_t *p = digits; *p; p++)
        if (!iswxdigit(*p))
            return;
    errno = 0;
    wchar_t *end = nullptr;
    unsigned long value = wcstoul(digits, &end, 16);
    if (errno != 0 || *end != 0 || value > 0xFF)
        return;
    *foreground = static_cast<int>(value & 0x0F);
    *background = static_cast<int>(value / 16);
}

static unsigned char SwapHalves(unsigned char attribute)
{
    return static_cast<unsigned char>(((attribute & 0x0F) << 4) | (attribute >> 4));
}

// Brighten the text when it is dim; otherwise pick a contrasting colour.
static unsigned char DefaultHighlight(unsigned char attr, int fg, int bg)
{
    if ((fg & 8) == 0 && (bg & 8) == 0 && fg != 0)
        return static_cast<unsigned char>(attr | 8);
    unsigned char h = ContrastTable[0][bg];
    if (h == attr)
        h = ContrastTable[1][bg];
    return h;
}

int ChooseHighlight(int f, int b, int fg, int bg)
{
    if (b == 64) {
        if (f < 0)
            return -1;
        if (f <= 15)
            b = -1;  // keep the current background
    }
    // Colour numbers are 0-15; anything else cannot be shown.
    if (f < 0 || f > 15 || b > 15)
        return -1;
    if (b >= 0 && f != b) {
        if (f == fg && b == bg)
            return -1;
        return b * 16 + f;
    }
    if (b != -1)
        return -1;
    if (f == fg || f == bg)
        return -1;
    return bg * 16 + f;
}

void LoadHighlightColours(void)
{
    DWORD mode = 0xFFFFFFFF;
    if (!SYS(GetConsoleMode)(SYS(GetStdHandle)(STD_OUTPUT_HANDLE), &mode) ||
        mode == 0xFFFFFFFF)
        return;  // not a console: plain text

    unsigned int normal = 0, inverse = 0;
    GetAttribute(&normal, &inverse);
    const unsigned char attr = static_cast<unsigned char>(normal & 0xFF);
    const int fg = attr & 0x0F;
    const int bg = attr >> 4;
    if (fg == bg)
        return;

    wchar_t text[HIGHLIGHT_CAPACITY];
    memset(text, 0, sizeof text);
    ReadHighlightText(text);

    unsigned char h;
    if (text[0] == 0) {
        h = DefaultHighlight(attr, fg, bg);
    } else {
        int f = -1, b = -1;
        if (_wcsnicmp(text, L"inv", 3) == 0) {
            f = bg;
            b = fg & 7;
        } else if (_wcsnicmp(text, L"0x", 2) == 0) {
            ParseHexAttribute(text + 2, &f, &b);
        } else {
            ParseColors(text, &f, &b);
        }
        int chosen = ChooseHighlight(f, b, fg, bg);
        if (chosen < 0)
            return;
        h = static_cast<unsigned char>(chosen);
    }

    unsigned char alternate = ContrastTable[0][bg];
    if (alternate == attr || alternate == h)
        alternate = ContrastTable[1][bg];
    if (alternate == attr || alternate == h)
        alternate = ContrastTable[2][bg];

    ColourSlots[0] = attr;
    ColourSlots[1] = h;
    ColourSlots[2] = SwapHalves(attr);
    ColourSlots[3] = SwapHalves(h);
    ColourSlots[4] = alternate;
    ColourSlots[5] = SwapHalves(alternate);
}
