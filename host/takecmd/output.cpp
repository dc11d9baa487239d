// output.cpp - the stand-in host's printf-style output and its capture.
//
// Formats follow Microsoft's rules (msvcrt's _vsnwprintf family: "%s" in a
// wide format takes a wide string).  A console handle gets the text through
// WriteConsoleW, so colours work; anything else gets UTF-8 bytes with no
// line-end translation.
#include "host/takecmd/hostcontrol.h"
#include "host/takecmd/hostinternal.h"

#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

namespace {

bool Capturing;
TextBuffer CapturedOut, CapturedErr;
int LastColors = -1;

}  // namespace

static void WriteUtf8(HANDLE handle, const wchar_t *text, size_t length)
{
    if (length == 0)
        return;
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                    nullptr, nullptr);
    if (bytes <= 0)
        return;
    char *buffer = static_cast<char *>(malloc(static_cast<size_t>(bytes)));
    if (buffer == nullptr)
        return;
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), buffer, bytes, nullptr,
                        nullptr);
    DWORD written = 0;
    WriteFile(handle, buffer, static_cast<DWORD>(bytes), &written, nullptr);
    free(buffer);
}

extern "C" long HostWriteCount;

void HostWrite(HANDLE handle, const wchar_t *text, size_t length)
{
    HostWriteCount++;
    if (Capturing) {
        if (handle == GetStdHandle(STD_ERROR_HANDLE))
            CapturedErr.Append(text, length);
        else
            CapturedOut.Append(text, length);
        return;
    }
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || length == 0)
        return;
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode)) {
        DWORD written = 0;
        WriteConsoleW(handle, text, static_cast<DWORD>(length), &written, nullptr);
    } else {
        WriteUtf8(handle, text, length);
    }
}

wchar_t *HostFormatV(const wchar_t *format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    int length = _vscwprintf(format, copy);
    va_end(copy);
    if (length < 0)
        return nullptr;
    wchar_t *text = static_cast<wchar_t *>(malloc((static_cast<size_t>(length) + 1) * sizeof(wchar_t)));
    if (text == nullptr)
        return nullptr;
    _vsnwprintf(text, static_cast<size_t>(length) + 1, format, args);
    text[length] = 0;
    return text;
}

static int WriteFormatted(HANDLE handle, const wchar_t *format, va_list args)
{
    if (format == nullptr)
        return 0;
    wchar_t *text = HostFormatV(format, args);
    if (text == nullptr)
        return -1;
    size_t length = wcslen(text);
    HostWrite(handle, text, length);
    free(text);
    return static_cast<int>(length);
}

extern "C" {

HOSTAPI int __cdecl Printf(const wchar_t *format, ...)
{
    va_list args;
    va_start(args, format);
    int result = WriteFormatted(GetStdHandle(STD_OUTPUT_HANDLE), format, args);
    va_end(args);
    return result;
}

HOSTAPI int __cdecl Qprintf(HANDLE handle, const wchar_t *format, ...)
{
    va_list args;
    va_start(args, format);
    int result = WriteFormatted(handle, format, args);
    va_end(args);
    return result;
}

HOSTAPI int __cdecl Sprintf(wchar_t *buffer, const wchar_t *format, ...)
{
    if (buffer == nullptr || format == nullptr)
        return -1;
    va_list args;
    va_start(args, format);
    wchar_t *text = HostFormatV(format, args);
    va_end(args);
    if (text == nullptr) {
        buffer[0] = 0;
        return -1;
    }
    size_t length = wcslen(text);
    memcpy(buffer, text, (length + 1) * sizeof(wchar_t));
    free(text);
    return static_cast<int>(length);
}

HOSTAPI int WINAPI QPuts(const wchar_t *text)
{
    if (text == nullptr)
        return 0;
    HostWrite(GetStdHandle(STD_OUTPUT_HANDLE), text, wcslen(text));
    return 0;
}

HOSTAPI int WINAPI CrLf(void)
{
    HostWrite(GetStdHandle(STD_OUTPUT_HANDLE), L"\r\n", 2);
    return 0;
}

HOSTAPI void WINAPI SetColors(int attribute)
{
    LastColors = attribute;
}

HOSTAPI int WINAPI HostLastColors(void)
{
    return LastColors;
}

HOSTAPI void WINAPI HostCaptureStart(void)
{
    Capturing = true;
}

HOSTAPI void WINAPI HostCaptureStop(void)
{
    Capturing = false;
}

HOSTAPI const wchar_t *WINAPI HostCapturedOut(void)
{
    return CapturedOut.Get();
}

HOSTAPI const wchar_t *WINAPI HostCapturedErr(void)
{
    return CapturedErr.Get();
}

HOSTAPI void WINAPI HostCaptureClear(void)
{
    CapturedOut.Clear();
    CapturedErr.Clear();
}

}  // extern "C"
