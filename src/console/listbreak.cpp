// listbreak.cpp - Control-C during list output: the handler, its flag and the echo.
#include "console/conlist.h"
#include "base/hostapi.h"
#include "base/pluginstate.h"
#include "sys/syscalls.h"

// Each entry keeps its index as background and picks a foreground that
// stands out on it.
const unsigned char ContrastTable[3][16] = {
    { 0x0F, 0x1F, 0x2F, 0x3F, 0x4F, 0x5F, 0x6F, 0x70,
      0x8F, 0x9F, 0xA0, 0xB0, 0xCF, 0xD0, 0xE0, 0xF2 },
    { 0x0E, 0x1B, 0x2B, 0x3E, 0x4B, 0x5B, 0x6B, 0x79,
      0x8B, 0x9B, 0xA9, 0xB9, 0xC0, 0xDE, 0xEC, 0xF0 },
    { 0x0B, 0x16, 0x20, 0x30, 0x40, 0x50, 0x60, 0x74,
      0x80, 0x90, 0xAF, 0xBF, 0xCD, 0xD6, 0xE4, 0xF4 },
};

volatile LONG ListBreakFlag;
bool ListHandlerRegistered;

static const wchar_t ControlCEcho[] = L"\r ^C \n";

int EchoControlC(void)
{
    // Without a console whose colours can be read there is nothing to put
    // back afterwards, so the echo goes out in whatever colour is there.
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (ConsoleOut == nullptr || !SYS(GetConsoleScreenBufferInfo)(ConsoleOut, &info)) {
        SYS(_cputws)(ControlCEcho);
        return LIST_STOP;
    }

    WORD current = info.wAttributes;
    unsigned background = (current >> 4) & 0x0F;
    unsigned char echo = ContrastTable[1][background];
    if ((echo & 0x0F) == (current & 0x0F))
        echo = ContrastTable[0][background];

    SYS(SetConsoleTextAttribute)(ConsoleOut, echo);
    SetColors(echo);
    SYS(_cputws)(ControlCEcho);
    SYS(SetConsoleTextAttribute)(ConsoleOut, current);
    SetColors(current & 0xFF);
    return LIST_STOP;
}

// Runs on a thread of its own: it only raises the flag the listing polls.
BOOL WINAPI ListCtrlHandler(DWORD event)
{
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        ListBreakFlag = 1;
        return TRUE;
    }
    return FALSE;
}

void InstallListCtrlHandler(void)
{
    ListBreakFlag = 0;
    if (!ListHandlerRegistered) {
        SYS(SetConsoleCtrlHandler)(ListCtrlHandler, TRUE);
        ListHandlerRegistered = true;
    }
}

int RemoveListCtrlHandler(void)
{
    ListBreakFlag = 0;
    if (!ListHandlerRegistered)
        return 0;
    SYS(SetConsoleCtrlHandler)(ListCtrlHandler, FALSE);
    ListHandlerRegistered = false;
    return 1;
}
