// interrupt.cpp - Control-C and Control-Break during a SONARO run: the
// interrupt flags, both console control handlers and the pacing wait.
#include "ping/interrupt.h"
#include "console/conlist.h"

volatile LONG InterruptFlags;
bool ListBreakMeansInterrupt;

// The pacing wait wakes this often to look at the interrupt flags.
#define PACING_STEP_MS 20

static bool PingHandlerRegistered;

BOOL WINAPI PingCtrlHandler(DWORD event)
{
    if (event == CTRL_C_EVENT) {
        InterlockedOr(&InterruptFlags, INTERRUPT_CTRL_C);
        return TRUE;
    }
    if (event == CTRL_BREAK_EVENT) {
        InterlockedOr(&InterruptFlags, INTERRUPT_CTRL_BREAK);
        return TRUE;
    }
    return FALSE;
}

// Standard output counts as a console when its mode can be read.
static bool StdOutIsConsole(void)
{
    DWORD mode = 0xFFFFFFFFu;
    HANDLE out = SYS(GetStdHandle)(STD_OUTPUT_HANDLE);
    return SYS(GetConsoleMode)(out, &mode) && mode != 0xFFFFFFFFu;
}

void InstallInterruptHandlers(void)
{
    bool console = StdOutIsConsole();
    ListBreakFlag = 0;
    InstallListCtrlHandler();
    // Registered last, the run's own handler is asked first and keeps both
    // events from the list-output handler.
    PingHandlerRegistered = false;
    if (console)
        PingHandlerRegistered = SYS(SetConsoleCtrlHandler)(PingCtrlHandler, TRUE) != FALSE;
    ListBreakMeansInterrupt = !console;
}

void RemoveInterruptHandlers(void)
{
    RemoveListCtrlHandler();
    if (PingHandlerRegistered)
        SYS(SetConsoleCtrlHandler)(PingCtrlHandler, FALSE);
    PingHandlerRegistered = false;
    ListBreakMeansInterrupt = false;
}

void TakeListBreak(void)
{
    if (ListBreakMeansInterrupt && InterlockedExchange(&ListBreakFlag, 0) != 0)
        InterlockedOr(&InterruptFlags, INTERRUPT_CTRL_C);
}

void PacingWait(DWORD waitMs)
{
    TakeListBreak();
    if (InterruptFlags != 0)
        return;
    DWORD start = SYS(GetTickCount)();
    for (;;) {
        SYS(Sleep)(PACING_STEP_MS);
        DWORD now = SYS(GetTickCount)();
        TakeListBreak();
        if (InterruptFlags != 0)
            return;
        // Unsigned difference: right across the counter's wrap-around.
        if (now - start >= waitMs)
            return;
    }
}
