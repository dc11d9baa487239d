// pageprompt.cpp - line ends of list output, page counting and the page prompt.
#include "console/conlist.h"
#include "base/hostapi.h"
#include "sys/syscalls.h"

static const wchar_t PagePrompt[] = L"\r   \x2500\x2500 Press a key to continue \x2500\x2500 ";
static const wchar_t BlankOutLine[] =
    L"\r                                                            \r";

static_assert(sizeof PagePrompt / sizeof PagePrompt[0] == 34 + 1, "prompt is 34 characters");
static_assert(sizeof BlankOutLine / sizeof BlankOutLine[0] == 62 + 1, "60 blanks between CRs");

int EndListLine(void)
{
    if (ColourSlots[0] != 0) {
        SYS(SetConsoleTextAttribute)(SYS(GetStdHandle)(STD_OUTPUT_HANDLE), ColourSlots[0]);
        SetColors(ColourSlots[0]);
    }
    CrLf();
    if (ListBreakFlag)
        return EchoControlC();
    if (LinesLeft <= 0)
        return 0;
    if (--LinesLeft > 0)
        return 0;

    LinesLeft = PageLength;
    SYS(_cputws)(PagePrompt);
    int key = WaitForKey();
    SYS(_cputws)(BlankOutLine);

    switch (key) {
    case L'C': case L'c': case L'A': case L'a':
        LinesLeft = 0;
        PageLength = 0;
        return 0;
    case L'/':
        LinesLeft = PageLength / 2;
        return 0;
    case L'0':
        LinesLeft = 10;
        return 0;
    case KEY_ESCAPE:
        return LIST_STOP;
    case KEY_CONTROL_C:
        return EchoControlC();
    default:
        if (key >= L'1' && key <= L'9')
            LinesLeft = key - L'0';
        return 0;
    }
}

int WaitForKey(void)
{
    // Elapsed time is measured as an unsigned difference, which stays right
    // when the tick count wraps past zero during the wait.
    DWORD start = 0;
    if (PauseTime != 0)
        start = SYS(GetTickCount)();
    ListBreakFlag = 0;

    while (!SYS(_kbhit)()) {
        SYS(Sleep)(10);
        if (ListBreakFlag)
            return KEY_CONTROL_C;
        if (PauseTime != 0 && static_cast<DWORD>(SYS(GetTickCount)() - start) >= PauseTime)
            return L' ';
    }
    int key = SYS(_getwch)();
    if (key == 0 || key == 0xE0)
        key = KEY_EXTENDED + SYS(_getwch)();
    return key;
}

void StartPaging(int requestedLines)
{
    if (requestedLines == 0)
        return;
    int length = 0;
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (SYS(GetConsoleScreenBufferInfo)(SYS(GetStdHandle)(STD_OUTPUT_HANDLE), &info)) {
        int rows = info.srWindow.Bottom - info.srWindow.Top + 1;
        if (rows >= 10 && rows <= 100) {
            // The request counts as unsigned: -1 is "the whole window".
            unsigned requested = static_cast<unsigned>(requestedLines);
            length = (requested < 3 || requested >= static_cast<unsigned>(rows))
                         ? rows - 2 : static_cast<int>(requested);
        }
    }
    PageLength = length;
    LinesLeft = length;
}
