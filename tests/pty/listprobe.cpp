// listprobe.cpp - drives the list output in whatever console it gets, for the terminal tests.
//
//   listprobe colours      highlight colours, then one line with a highlighted word
//   listprobe page [lines] a paged listing of 60 lines (the /P rule for lines)
//   listprobe break        lines every 100 ms until Control-C stops the listing
// Each ends with "result N" (the last MarkedPrintf result) on its own line.
#include "console/conlist.h"
#include "console/highlight.h"
#include "base/hostapi.h"
#include "base/pluginstate.h"

#include <wchar.h>

static void OpenConsoleOut(void)
{
    ConsoleOut = CreateFileW(L"conout$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    if (ConsoleOut == INVALID_HANDLE_VALUE)
        ConsoleOut = nullptr;
}

static int Colours(void)
{
    Printf(L"slots %02X %02X %02X %02X %02X %02X\r\n", ColourSlots[0], ColourSlots[1],
           ColourSlots[2], ColourSlots[3], ColourSlots[4], ColourSlots[5]);
    return MarkedPrintf(L"before \x12LIT\x11 after \x15" L"ALT\x11 end\n");
}

static int Page(int requested)
{
    StartPaging(requested);
    Printf(L"page %d\r\n", PageLength);
    int result = 0;
    for (int line = 1; line <= 60 && result == 0; line++)
        result = MarkedPrintf(L"line \x12%d\x11\n", line);
    return result;
}

static int Break(void)
{
    int result = 0;
    for (int tick = 1; tick <= 300 && result == 0; tick++) {
        result = MarkedPrintf(L"tick \x12%d\x11\n", tick);
        Sleep(100);
    }
    return result;
}

// Wine's console starts reading the terminal only once a program looks at
// its input; a shell has done so when it read the command line.  Without
// that, _kbhit never sees a key.
static void WakeConsoleInput(void)
{
    INPUT_RECORD record;
    DWORD count = 0;
    PeekConsoleInputW(GetStdHandle(STD_INPUT_HANDLE), &record, 1, &count);
}

int wmain(int argc, wchar_t **argv)
{
    const wchar_t *mode = argc > 1 ? argv[1] : L"colours";
    WakeConsoleInput();
    OpenConsoleOut();
    ResetListOutput();
    LoadHighlightColours();
    InstallListCtrlHandler();

    int result;
    if (wcscmp(mode, L"page") == 0)
        result = Page(argc > 2 ? _wtoi(argv[2]) : -1);
    else if (wcscmp(mode, L"break") == 0)
        result = Break();
    else
        result = Colours();

    RemoveListCtrlHandler();
    Printf(L"result %d\r\n", result);
    return result < 0 ? -result : 0;
}
