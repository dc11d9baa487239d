// shellerror.cpp - the shell's own messages, written with the host's Qprintf.
#include "host/shell/shellerror.h"
#include "host/takecmd/hostcontrol.h"

#include <stdarg.h>
#include <wchar.h>

#include <vector>

void ShellError(const wchar_t *format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int length = _vscwprintf(format, copy);
    va_end(copy);
    if (length >= 0) {
        std::vector<wchar_t> text(static_cast<size_t>(length) + 1);
        _vsnwprintf(text.data(), text.size(), format, args);
        text[static_cast<size_t>(length)] = 0;
        Qprintf(GetStdHandle(STD_ERROR_HANDLE), L"%s", text.data());
    }
    va_end(args);
}
