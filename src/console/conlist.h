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

// The same codes as text, to be joined into format strings.
#define MARK_NORMAL L"\x11"
#define MARK_HIGHLIGHT L"\x12"

// Six attribute bytes, indexed by code - 17.  All 0: no colours.
extern unsigned char ColourSlots[6];

// For each background 0-15, a colour that stands out on it (three choices).
extern const unsigned char ContrastTable[3][16];

// Paging state: lines per page (0 = no paging), lines left on this page
// (0 = no paging), milliseconds the page prompt waits (0 = for a key).
extern int PageLength;
extern int LinesLeft;
extern unsigned PauseTime;

// Set by ListCtrlHandler when Control-C or Control-Break arrives.
extern volatile LONG ListBreakFlag;
extern bool ListHandlerRegistered;

// Results of MarkedPrintf and EndListLine besides 0.
enum {
    LIST_NULL_FORMAT = -1,
    LIST_NO_MEMORY = -2,
    LIST_STOP = -3,
};

// The page prompt's key codes that are not characters.
enum {
    KEY_ESCAPE = 27,
    KEY_CONTROL_C = 3,
    KEY_EXTENDED = 0x10000,  // plus the second code of a two-code key
};

int MarkedPrintf(const wchar_t *format, ...);
int EndListLine(void);
int WaitForKey(void);
int EchoControlC(void);
BOOL WINAPI ListCtrlHandler(DWORD event);
void InstallListCtrlHandler(void);
int RemoveListCtrlHandler(void);
// requestedLines receives -1 (all of 0xFFFFFFFF: the whole window) when the
// option names no line count.
int ParsePauseOption(wchar_t *token, int *requestedLines);
void StartPaging(int requestedLines);

// What every listing command does first: paging off, Control-C flag clear,
// colours off (LoadHighlightColours may then fill them).
void ResetListOutput(void);
