// misc.cpp - the stand-in host's conversion, path and colour functions.
#include "host/takecmd/hostcontrol.h"
#include "host/takecmd/hostinternal.h"

#include <string.h>
#include <wchar.h>

extern "C" {

HOSTAPI int WINAPI ASCIIToUnicode(const char *text, wchar_t *buffer, int capacity)
{
    if (text == nullptr || buffer == nullptr || capacity <= 0)
        return 0;
    int n = MultiByteToWideChar(CP_ACP, 0, text, -1, buffer, capacity);
    if (n <= 0)
        buffer[0] = 0;
    buffer[capacity - 1] = 0;
    return n > 0 ? n - 1 : 0;
}

HOSTAPI int WINAPI QueryTrueName(const wchar_t *path, wchar_t *buffer)
{
    if (path == nullptr || buffer == nullptr)
        return 1;
    DWORD n = GetFullPathNameW(path, MAX_PATH, buffer, nullptr);
    if (n == 0 || n >= MAX_PATH) {
        wcsncpy(buffer, path, MAX_PATH - 1);
        buffer[MAX_PATH - 1] = 0;
        return 1;
    }
    return 0;
}

HOSTAPI int WINAPI GetAttribute(unsigned int *normal, unsigned int *inverse)
{
    unsigned attribute = 0x07;
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (HostAttributeOverride() >= 0)
        attribute = static_cast<unsigned>(HostAttributeOverride());
    else if (GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info))
        attribute = info.wAttributes & 0xFF;
    if (normal)
        *normal = attribute;
    if (inverse)
        *inverse = ((attribute & 0x0F) << 4) | ((attribute >> 4) & 0x0F);
    return 0;
}

}  // extern "C"
