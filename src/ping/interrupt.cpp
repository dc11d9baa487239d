// interrupt.cpp - Control-C and Control-Break during a SONARO run: the
// interrupt flags, both console control handlers and the pacing wait.
#include "ping/interrupt.h"
#include "console/conlist.h"
#include "base/preciseclock.h"

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
    // Without the run's own handler (no console, or registering it failed)
    // Control-C reaches only the list-output handler, whose flag must then
    // end the run: otherwise a /T run could never be stopped.
    ListBreakMeansInterrupt = !PingHandlerRegistered;
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

// Looked at after every sleep of the pacing wait.
static bool Interrupted(void)
{
    TakeListBreak();
    return InterruptFlags != 0;
}

void PacingWait(DWORD waitMs, LONGLONG start)
{
    if (Interrupted())
        return;
    WaitSince(start, waitMs, PACING_STEP_MS, Interrupted);
}
