// interrupt.h - Control-C and Control-Break during a SONARO run.
#pragma once

#include "sys/syscalls.h"

// Bit 1: Control-C seen; bit 2: Control-Break seen.  Set by PingCtrlHandler.
extern volatile LONG InterruptFlags;
enum { INTERRUPT_CTRL_C = 1, INTERRUPT_CTRL_BREAK = 2 };

BOOL WINAPI PingCtrlHandler(DWORD event);

// The list-output handler always, and the run's own handler when standard
// output is a console; RemoveInterruptHandlers undoes both.
void InstallInterruptHandlers(void);
void RemoveInterruptHandlers(void);

// When the run's own handler is not installed (standard output is no
// console, or registering it failed) the list-output handler's flag stands
// for Control-C.  Moves that flag
// into InterruptFlags while such a run is going on.
void TakeListBreak(void);
extern bool ListBreakMeansInterrupt;

// The pacing wait: waitMs from start (the performance counter's reading as
// the echo call returned), cut short when InterruptFlags is set.  It looks at
// the flags at least every 20 ms and ends on time, never before.
void PacingWait(DWORD waitMs, LONGLONG start);
