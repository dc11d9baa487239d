// arch.h - what differs between the x86 and the x64 build, for every test:
// the DLL's file name, the platform tag and the width of a printed pointer.
#pragma once

#include <string>

#ifdef _WIN64
#define ARCH "x64"
#define ARCH_W L"x64"
#else
#define ARCH "x86"
#define ARCH_W L"x86"
#endif

// The plugin's file name in this build ("Sonaro-x64.dll" or "Sonaro-x86.dll").
#define PLUGIN_DLL_NAME "Sonaro-" ARCH ".dll"
#define PLUGIN_DLL_NAME_W L"Sonaro-" ARCH_W L".dll"

// Hex digits of a pointer or handle printed with %p: 8 on x86, 16 on x64.
const int POINTER_HEX_DIGITS = static_cast<int>(sizeof(void *) * 2);

// A pointer-sized value as %p prints it: upper-case hex, zero-padded to
// POINTER_HEX_DIGITS.
inline std::string PointerText(unsigned long long value)
{
    std::string text(POINTER_HEX_DIGITS, '0');
    for (int i = POINTER_HEX_DIGITS - 1; i >= 0 && value != 0; i--, value >>= 4)
        text[i] = "0123456789ABCDEF"[value & 0xF];
    return text;
}
inline std::wstring PointerTextW(unsigned long long value)
{
    std::string narrow = PointerText(value);
    return std::wstring(narrow.begin(), narrow.end());
}
