// hostbuffer.h - the buffer the host hands a variable function or an
// internal variable, and keeping every read inside it.
#pragma once

#include <wchar.h>

// Its capacity in characters.  A command's line is the host's own
// terminated text and may be longer.
#define FUNCTION_BUFFER_CAPACITY 8192

// Cuts a text that fills a host buffer without a terminator at its last
// character, so that nothing reads past the buffer.
void CutToHostBuffer(wchar_t *text);
