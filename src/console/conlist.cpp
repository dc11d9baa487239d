// conlist.cpp - MarkedPrintf: formatted list output with in-band colour codes.
#include "console/conlist.h"
#include "base/hostapi.h"
#include "sys/syscalls.h"

#include <stdarg.h>
#include <stdint.h>
#include <string.h>

unsigned char ColourSlots[6];
int PageLength;
int LinesLeft;
unsigned PauseTime;

void ResetListOutput(void)
{
    PageLength = 0;
    LinesLeft = 0;
    PauseTime = 0;
    ListBreakFlag = 0;
    memset(ColourSlots, 0, sizeof ColourSlots);
}

static bool IsColourCode(wchar_t c)
{
    return c >= COLOUR_NORMAL && c <= COLOUR_ALTERNATE_INVERSE;
}

namespace {

// The text of one call and the run being collected from it.
struct MarkedText {
    wchar_t *text;
    wchar_t *run;
    size_t used;  // characters in run

    void Append(wchar_t c)
    {
        run[used++] = c;
    }
    void Terminate()
    {
        run[used] = 0;
    }
};

}  // namespace

// Without colours: the codes and carriage returns are dropped and the runs go
// through the host, so redirected output stays clean text.
static int WritePlain(MarkedText &t)
{
    for (const wchar_t *p = t.text; *p; p++) {
        if (*p == L'\n') {
            if (t.used) {
                t.Terminate();
                QPuts(t.run);
                t.used = 0;
            }
            if (EndListLine() == LIST_STOP)
                return LIST_STOP;
        } else if (*p != L'\r' && !IsColourCode(*p)) {
            t.Append(*p);
        }
    }
    if (t.used) {
        t.Terminate();
        QPuts(t.run);
    }
    return 0;
}

// With colours: each run of one colour is written straight to the console
// after setting its attribute.  lastSet is the attribute this call last put
// on the console (-1: none yet).
static void WriteRun(MarkedText &t, HANDLE out, unsigned char colour, int &lastSet)
{
    t.Terminate();
    SYS(SetConsoleTextAttribute)(out, colour);
    SYS(_cputws)(t.run);
    lastSet = colour;
    t.used = 0;
}

static int WriteColoured(MarkedText &t)
{
    const unsigned char normal = ColourSlots[0];
    HANDLE out = SYS(GetStdHandle)(STD_OUTPUT_HANDLE);
    unsigned char current = normal;
    int lastSet = -1;
    int result = 0;

    for (const wchar_t *p = t.text; *p; p++) {
        if (*p == L'\n') {
            if (t.used)
                WriteRun(t, out, current, lastSet);
            result = EndListLine();
            lastSet = normal;
            if (result == LIST_STOP)
                break;
            current = normal;
        } else if (IsColourCode(*p)) {
            unsigned char colour = ColourSlots[*p - COLOUR_NORMAL];
            if (t.used && colour != current)
                WriteRun(t, out, current, lastSet);
            current = colour;
        } else if (*p != L'\r') {
            t.Append(*p);
        }
    }
    if (result != LIST_STOP && t.used)
        WriteRun(t, out, current, lastSet);
    // Leave the console in the normal colour, and let the host know it.
    if (lastSet >= 0 && lastSet != normal) {
        SYS(SetConsoleTextAttribute)(out, normal);
        SetColors(normal);
    }
    return result;
}

int MarkedPrintf(const wchar_t *format, ...)
{
    if (format == nullptr)
        return LIST_NULL_FORMAT;
    if (format[0] == 0)
        return 0;
    if (ListBreakFlag)
        return EchoControlC();

    va_list args;
    va_start(args, format);
    va_list measure;
    va_copy(measure, args);
    int length = _vscwprintf(format, measure);
    va_end(measure);
    if (length < 0) {
        va_end(args);
        return LIST_NULL_FORMAT;
    }

    // Room for the text, its terminator and a margin; the run never holds
    // more than the text.
    size_t chars = static_cast<size_t>(length) + 16;
    if (chars > SIZE_MAX / sizeof(wchar_t)) {
        va_end(args);
        return LIST_NO_MEMORY;
    }
    MarkedText t;
    t.text = static_cast<wchar_t *>(SYS(malloc)(chars * sizeof(wchar_t)));
    t.run = static_cast<wchar_t *>(SYS(malloc)(chars * sizeof(wchar_t)));
    t.used = 0;
    if (t.text == nullptr || t.run == nullptr) {
        if (t.text)
            SYS(free)(t.text);
        if (t.run)
            SYS(free)(t.run);
        va_end(args);
        return LIST_NO_MEMORY;
    }
    _vsnwprintf(t.text, static_cast<size_t>(length) + 1, format, args);
    va_end(args);
    t.text[length] = 0;

    int result = ColourSlots[0] == 0 ? WritePlain(t) : WriteColoured(t);

    SYS(free)(t.text);
    SYS(free)(t.run);
    return result;
}
