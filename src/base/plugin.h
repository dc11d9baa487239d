// plugin.h - the plugin's name and version, and its plugin-wide state.
#pragma once

#include "sys/syscalls.h"
#include "base/errorreport.h"

// Exported entries: plain C names, standard calling convention.  The x86
// link strips the "@n" decoration (see CMakeLists.txt).
#define SONARO_EXPORT extern "C" __declspec(dllexport)

#define SONARO_NAME L"Sonaro"
#define SONARO_VERSION_MAJOR 1
#define SONARO_VERSION_MINOR 0
#define SONARO_VERSION_BUILD 3
#define SONARO_VERSION_REVISION 1
#ifdef _WIN64
#define SONARO_ARCH_TAG L"x64"
#else
#define SONARO_ARCH_TAG L"x86"
#endif

// The buffer the host hands a variable function or an internal variable, in
// characters.  A command's line is the host's own terminated text and may be
// longer.
#define FUNCTION_BUFFER_CAPACITY 8192

// Cuts a text that fills a host buffer without a terminator at its last
// character, so that nothing reads past the buffer.
void CutToHostBuffer(wchar_t *text);

extern HMODULE PluginModule;
extern HMIDIOUT MidiOut;
extern OSVERSIONINFOW OsVersion;
extern HANDLE ConsoleOut;


// Usage texts, exactly as the commands print them for "/?".
extern const wchar_t SonaroUsageText[];
extern const wchar_t SonaroMacroUsageText[];
extern const wchar_t SonaroHelpUsageText[];
// "\r\n\t\t\t\t%s  %u.%u.%u.%u (%s)\r\n" with the name, version and platform.
int PrintVersionLine(void);
