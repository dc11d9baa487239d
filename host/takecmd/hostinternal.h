// hostinternal.h - shared pieces inside the stand-in TakeCmd.dll.
#pragma once

#include <windows.h>
#include <stdarg.h>
#include <stddef.h>

// Writes text to a handle (console: WriteConsoleW; else UTF-8), or into the
// capture buffers while capture is on.
void HostWrite(HANDLE handle, const wchar_t *text, size_t length);
// Formats with Microsoft's wide printf rules into a malloc'd text.
wchar_t *HostFormatV(const wchar_t *format, va_list args);
