// hostcontrol.h - extra exports of the stand-in TakeCmd.dll for hostshell.exe
// and the tests: output capture and the host state that expansion reads.
// Each one is also listed in hostcontrol.def (the x86 import library).
#pragma once

#include "base/hostapi.h"

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

// --- State the shell sets and expansion reads (copies are kept) ----------
// The loaded plugin and its implements list: its internal variables and
// variable functions take part in expansion.  Null module: none.
HOSTAPI void WINAPI HostSetPlugin(HMODULE module, const wchar_t *implements);
// The batch file being run (its full name) and the line number from 1;
// null name: not in a batch file (_batch expands to 0).
HOSTAPI void WINAPI HostSetBatch(const wchar_t *name, int line);
// _transient and _pipe (0 or 1).
HOSTAPI void WINAPI HostSetFlags(int transient, int pipe);
// _cmdspec; null: the process's own file name.
HOSTAPI void WINAPI HostSetCmdspec(const wchar_t *path);
// The attribute GetAttribute reports instead of the console's; -1: the
// console's own again.
HOSTAPI void WINAPI HostSetAttribute(int attribute);
// All of the above back to their start values, and HostLastColors to -1.
HOSTAPI void WINAPI HostReset(void);

// --- The shell's own line expansion -------------------------------------
// Expands a line by the rules of ExpandVariables, without its length limit.
// 0: *expanded is the new text (free it with HostFreeText); 1: a variable
// function failed and the line is abandoned; -1: out of memory.
HOSTAPI int WINAPI HostExpandLine(const wchar_t *line, wchar_t **expanded);
HOSTAPI void WINAPI HostFreeText(wchar_t *text);

// --- Calls into the plugin ----------------------------------------------
// Calls `entry` (its export `name`, for messages) with `count` (0 to 4)
// pointer-sized arguments, as the command processor does: an exception
// raised inside it is trapped, and in a 32-bit process the stack pointer is
// checked after it returned.  0: *result holds what the entry returned;
// 1: it raised an exception, 2: it left the stack unbalanced (the message is
// written to standard error and *result is 2); 3: bad count.
HOSTAPI int WINAPI HostCallEntry(const char *name, FARPROC entry, const INT_PTR *args, int count,
                                 INT_PTR *result);

// How many separate writes the output functions have made.
HOSTAPI long WINAPI HostWriteCalls(void);
}
