// hostapi.h - the twelve functions the plugin imports from TakeCmd.dll.
//
// Calling conventions, as the plugin relies on them:
//   - the variadic printf-style functions (Printf, Qprintf, Sprintf) are
//     __cdecl: the caller removes the arguments, as any variadic call must;
//   - all the others are __stdcall (WINAPI), like the plugin's own exports.
// On x64 both names mean the one Windows x64 convention.
// Formats follow Microsoft's printf rules: in a wide format "%s" takes a wide
// string.  The import library is generated from host/takecmd/takecmd.def.
#pragma once

#include <windows.h>

#ifdef SONARO_BUILDING_HOST
#define HOSTAPI __declspec(dllexport)
#else
#define HOSTAPI __declspec(dllimport)
#endif

extern "C" {
HOSTAPI int __cdecl Printf(const wchar_t *format, ...);
HOSTAPI int __cdecl Qprintf(HANDLE handle, const wchar_t *format, ...);
HOSTAPI int __cdecl Sprintf(wchar_t *buffer, const wchar_t *format, ...);
HOSTAPI int WINAPI QPuts(const wchar_t *text);
HOSTAPI int WINAPI CrLf(void);
HOSTAPI int WINAPI ExpandVariables(wchar_t *buffer, int flag);
HOSTAPI int WINAPI ASCIIToUnicode(const char *text, wchar_t *buffer, int capacity);
HOSTAPI int WINAPI QueryTrueName(const wchar_t *path, wchar_t *buffer);
HOSTAPI int WINAPI WildcardComparison(const wchar_t *pattern, const wchar_t *text, int flag1, int flag2);
HOSTAPI int WINAPI GetAttribute(unsigned int *normal, unsigned int *inverse);
HOSTAPI int WINAPI ParseColors(const wchar_t *text, int *foreground, int *background);
HOSTAPI void WINAPI SetColors(int attribute);
}
