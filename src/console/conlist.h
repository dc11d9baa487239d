// conlist.h - list output with in-band colour codes, paging and Control-C.
#pragma once

#include "sys/winhdr.h"

// Colour codes that may appear in MarkedPrintf text: each selects a slot.
enum {
    COLOUR_NORMAL = 17,
    COLOUR_HIGHLIGHT = 18,
    COLOUR_NORMAL_INVERSE = 19,
    COLOUR_HIGHLIGHT_INVERSE = 20,
    COLOUR_ALTERNATE = 21,
    COLOUR_ALTERNATE_INVERSE = 22,
};

// Six attribute bytes, indexed by code - 17.  All 0: no colours.
extern unsigned char ColourSlots[6];

// Paging state: lines per page (0 = no paging), lines left on this page,
// seconds the page prompt waits (0 = for ever).
extern int PageLength;
extern int LinesLeft;
extern unsigned PauseTime;

// Set by ListCtrlHandler when Control-C or Control-Break arrives.
extern volatile LONG ListBreakFlag;
extern bool ListHandlerRegistered;

int MarkedPrintf(const wchar_t *format, ...);
int EndListLine(void);
int WaitForKey(void);
int EchoControlC(void);
BOOL WINAPI ListCtrlHandler(DWORD event);
void InstallListCtrlHandler(void);
int RemoveListCtrlHandler(void);
int ParsePauseOption(wchar_t *token, int *requestedLines);
void StartPaging(int requestedLines);
