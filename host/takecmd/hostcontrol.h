// hostcontrol.h - extra exports of the stand-in TakeCmd.dll for hostshell.exe
// and the tests: output capture and the host state that expansion reads.
#pragma once

#include "frame/hostapi.h"

extern "C" {
// Output capture: while on, everything the host functions would write to
// standard output or standard error is appended to memory instead.
HOSTAPI void WINAPI HostCaptureStart(void);
HOSTAPI void WINAPI HostCaptureStop(void);
// The text captured so far (UTF-16, terminated); valid until the next call.
HOSTAPI const wchar_t *WINAPI HostCapturedOut(void);
HOSTAPI const wchar_t *WINAPI HostCapturedErr(void);
HOSTAPI void WINAPI HostCaptureClear(void);

// The attribute SetColors last noted (-1 before any call).
HOSTAPI int WINAPI HostLastColors(void);

// Makes GetAttribute report this attribute (0-255) instead of the
// console's; -1 goes back to the console.
HOSTAPI void WINAPI HostSetAttribute(int attribute);
// How many separate writes the output functions have made.
HOSTAPI long WINAPI HostWriteCalls(void);
}
