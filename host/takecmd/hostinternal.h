// hostinternal.h - shared pieces inside the stand-in TakeCmd.dll.
#pragma once

#include <windows.h>
#include <stdarg.h>
#include <stddef.h>

// A growing wide text on the heap.  With a limit, text beyond `limit`
// characters is dropped (the terminator is not counted).  An allocation
// failure sets `failed` and keeps what was there.
struct TextBuffer {
    wchar_t *text = nullptr;
    size_t length = 0;
    size_t capacity = 0;
    size_t limit = 0;  // 0: no limit
    bool failed = false;

    void Append(const wchar_t *s, size_t n);
    void Append(wchar_t c) { Append(&c, 1); }
    bool Full() const { return limit != 0 && length >= limit; }
    const wchar_t *Get() const { return text ? text : L""; }
    void Clear();
    void Free();
    // Hands the text over to the caller (malloc'd, terminated) and empties
    // the buffer; null after a failure.
    wchar_t *Detach();
};

// Writes text to a handle (console: WriteConsoleW; else UTF-8), or into the
// capture buffers while capture is on.
void HostWrite(HANDLE handle, const wchar_t *text, size_t length);
// Formats with Microsoft's wide printf rules into a malloc'd text.
wchar_t *HostFormatV(const wchar_t *format, va_list args);

// Host variables (_batch, _batchname, ...): appends the value and returns
// true when `name` (not terminated, compared without case) is one of them.
bool HostVariable(const wchar_t *name, size_t length, TextBuffer &out);

// The plugin's entry for a name of its implements list: kind '@' finds the
// variable function "@name" (export f_name), kind '_' the internal variable
// "name" (which begins with "_").  Null when the plugin has no such entry.
struct PluginEntry {
    FARPROC entry = nullptr;
    char exportName[256] = {};
    explicit operator bool() const { return entry != nullptr; }
};
PluginEntry FindPluginEntry(wchar_t kind, const wchar_t *name, size_t length);

// The attribute GetAttribute is to report, or -1 for the console's own.
int HostAttributeOverride(void);

// Capacity of the buffer handed to a variable function or internal variable
// (32767 characters and the terminator, as the command processor hands it).
#define HOST_VALUE_CAPACITY 32768
// What ExpandVariables writes at most, terminator included.
#define HOST_EXPAND_CAPACITY 1024
