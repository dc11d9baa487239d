// textbuffer.cpp - the growing wide text the host builds expansions and
// captured output in.
#include "host/takecmd/hostinternal.h"

#include <stdlib.h>
#include <string.h>

void TextBuffer::Append(const wchar_t *s, size_t n)
{
    if (limit != 0) {
        size_t room = length < limit ? limit - length : 0;
        if (n > room)
            n = room;
    }
    if (n == 0 || failed)
        return;
    if (length + n + 1 > capacity) {
        size_t grown = (length + n + 1) * 2;
        if (grown < 64)
            grown = 64;
        wchar_t *bigger = static_cast<wchar_t *>(realloc(text, grown * sizeof(wchar_t)));
        if (bigger == nullptr) {
            failed = true;
            return;
        }
        text = bigger;
        capacity = grown;
    }
    memcpy(text + length, s, n * sizeof(wchar_t));
    length += n;
    text[length] = 0;
}

void TextBuffer::Clear()
{
    length = 0;
    failed = false;
    if (text)
        text[0] = 0;
}

void TextBuffer::Free()
{
    free(text);
    text = nullptr;
    length = capacity = 0;
    failed = false;
}

wchar_t *TextBuffer::Detach()
{
    if (failed) {
        Free();
        return nullptr;
    }
    if (text == nullptr) {
        text = static_cast<wchar_t *>(calloc(1, sizeof(wchar_t)));
        if (text == nullptr)
            return nullptr;
    }
    wchar_t *result = text;
    text = nullptr;
    length = capacity = 0;
    return result;
}
