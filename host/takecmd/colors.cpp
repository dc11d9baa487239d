// colors.cpp - the host's colour descriptions: "[bright] NAME [on [bright]
// NAME]" with the eight console colour names, as console colour numbers.
#include "host/takecmd/hostcontrol.h"

#include <wchar.h>

namespace {

const wchar_t *const ColourNames[8] = {
    L"black", L"blue", L"green", L"cyan", L"red", L"magenta", L"yellow", L"white",
};

// The words of a colour description, one at a time.
struct Words {
    const wchar_t *at;

    // The next word into `word` (capacity 16, longer words are cut and so
    // match nothing); false at the end.
    bool Next(wchar_t *word)
    {
        while (*at == L' ' || *at == L'\t')
            at++;
        if (*at == 0)
            return false;
        int n = 0;
        while (*at && *at != L' ' && *at != L'\t') {
            if (n < 15)
                word[n++] = *at;
            else
                word[0] = L'#';
            at++;
        }
        word[n] = 0;
        return true;
    }
};

int ColourNumber(const wchar_t *word)
{
    for (int i = 0; i < 8; i++)
        if (_wcsicmp(word, ColourNames[i]) == 0)
            return i;
    return -1;
}

// "[bright] NAME" starting with the word already read; -1 when it is not.
int ReadColour(Words &words, wchar_t *word)
{
    int bright = 0;
    if (_wcsicmp(word, L"bright") == 0) {
        if (!words.Next(word))
            return -1;
        bright = 8;
    }
    int colour = ColourNumber(word);
    return colour < 0 ? -1 : colour + bright;
}

}  // namespace

// 0 with both numbers set (background -1 when the description gives none);
// 1 with both -1 when the text is no colour description.
extern "C" HOSTAPI int WINAPI ParseColors(const wchar_t *text, int *foreground, int *background)
{
    int fg = -1, bg = -1;
    wchar_t word[16];
    Words words = {text ? text : L""};
    bool ok = false;
    if (words.Next(word) && (fg = ReadColour(words, word)) >= 0) {
        if (!words.Next(word)) {
            ok = true;
        } else if (_wcsicmp(word, L"on") == 0 && words.Next(word) &&
                   (bg = ReadColour(words, word)) >= 0 && !words.Next(word)) {
            ok = true;
        }
    }
    if (!ok)
        fg = bg = -1;
    if (foreground)
        *foreground = fg;
    if (background)
        *background = bg;
    return ok ? 0 : 1;
}
