// hostbuffer.cpp - keeping every read of a host buffer inside it.
#include "base/hostbuffer.h"

#include <string.h>

void CutToHostBuffer(wchar_t *text)
{
    if (text != nullptr && wcsnlen(text, FUNCTION_BUFFER_CAPACITY) == FUNCTION_BUFFER_CAPACITY)
        text[FUNCTION_BUFFER_CAPACITY - 1] = 0;
}
