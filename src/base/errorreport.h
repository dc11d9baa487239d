// errorreport.h - error messages: the plugin's prefix, then the message on
// standard error.
#pragma once

#include "base/hostapi.h"

// Writes "Sonaro plugin: " (and inside a batch file its name and line) to
// standard error; every error message follows it.  Returns 0.
int ErrorPrefix(void);

// The standard-error handle every error message is written to.
HANDLE StdErr(void);

// One error message: the prefix, then the host's Qprintf of the format and
// its arguments on standard error.  Qprintf's result.
template <typename... Args>
int ReportError(const wchar_t *format, Args... args)
{
    ErrorPrefix();
    return Qprintf(StdErr(), format, args...);
}
