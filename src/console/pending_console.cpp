// Placeholder until the list-output module lands; delete with it.
#include "console/conlist.h"
#include "console/highlight.h"
#include "frame/hostapi.h"
#include <stdarg.h>
#include <string>
volatile LONG ListBreakFlag;
bool ListHandlerRegistered;
unsigned char ColourSlots[6];
int PageLength;
int LinesLeft;
unsigned PauseTime;
int RemoveListCtrlHandler(void) { ListBreakFlag = 0; return 0; }
void InstallListCtrlHandler(void) { ListBreakFlag = 0; }
void LoadHighlightColours(void) {}
int MarkedPrintf(const wchar_t *format, ...)
{
    if (format == nullptr)
        return -1;
    wchar_t text[4096];
    va_list args;
    va_start(args, format);
    _vsnwprintf(text, 4095, format, args);
    va_end(args);
    text[4095] = 0;
    std::wstring run;
    for (wchar_t *p = text; *p; p++) {
        if (*p == L'\n') {
            if (!run.empty())
                QPuts(run.c_str());
            run.clear();
            CrLf();
        } else if (*p != L'\r' && (*p < 17 || *p > 22)) {
            run += *p;
        }
    }
    if (!run.empty())
        QPuts(run.c_str());
    return 0;
}
