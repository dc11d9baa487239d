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

// Sleep length for the next step of a wait that has elapsed ms behind it:
// one polling step, or only what remains, so the wait ends on time.
DWORD PacingStep(DWORD waitMs, DWORD elapsed)
{
    if (elapsed >= waitMs)
        return 0;
    DWORD remaining = waitMs - elapsed;
    return remaining < PACING_STEP_MS ? remaining : PACING_STEP_MS;
}

void PacingWait(DWORD waitMs, DWORD startTick)
{
    TakeListBreak();
    if (InterruptFlags != 0)
        return;
    // What has passed since the start: the clock's reading, or the last
    // such figure plus the sleep since, whichever is more.  The clock may be
    // coarse (15 to 16 ms) or stand still; a sleep lasts about as long as
    // asked, mostly a little longer.
    DWORD elapsed = 0;
    DWORD step = 0;
    for (;;) {
        // Unsigned difference: right across the counter's wrap-around; a
        // clock that steps back before the start reads as a long time.
        DWORD shown = SYS(GetTickCount)() - startTick;
        elapsed = shown > elapsed + step ? shown : elapsed + step;
        step = PacingStep(waitMs, elapsed);
        if (step == 0)
            return;
        SYS(Sleep)(step);
        TakeListBreak();
        if (InterruptFlags != 0)
            return;
    }
}
