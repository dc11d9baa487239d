// shellerror.h - the shell's own messages, on standard error.
#pragma once

void ShellError(const wchar_t *format, ...);
