// helpviewer.cpp - switching the running viewer's tab and typing a search into it.
#include "help/newhelp.h"
#include "sys/syscalls.h"

#include <commctrl.h>
#include <string.h>

// What one window enumeration looks for and what it found.
struct ViewerSearch {
    DWORD ProcessId;        // main window: the viewer's process
    HWND Found;             // main window or tab control
    HWND Combo;             // search box (control 1001)
    HWND Button;            // search button (control 1006)
};

static bool HasClass(HWND window, const wchar_t *className)
{
    wchar_t name[1024];
    name[0] = 0;
    if (SYS(GetClassNameW)(window, name, 1024) <= 0)
        return false;
    name[1023] = 0;
    return wcscmp(name, className) == 0;
}

static BOOL CALLBACK FindMainWindow(HWND window, LPARAM param)
{
    ViewerSearch *search = reinterpret_cast<ViewerSearch *>(param);
    DWORD owner = 0;
    SYS(GetWindowThreadProcessId)(window, &owner);
    if (owner == search->ProcessId && HasClass(window, L"HH Parent")) {
        search->Found = window;
        return FALSE;
    }
    return TRUE;
}

static BOOL CALLBACK FindTabControl(HWND window, LPARAM param)
{
    ViewerSearch *search = reinterpret_cast<ViewerSearch *>(param);
    if (HasClass(window, WC_TABCONTROLW)) {
        search->Found = window;
        return FALSE;
    }
    return TRUE;
}

static BOOL CALLBACK FindSearchControls(HWND window, LPARAM param)
{
    ViewerSearch *search = reinterpret_cast<ViewerSearch *>(param);
    if (search->Combo == nullptr && SYS(GetDlgCtrlID)(window) == HELP_SEARCH_COMBO_ID &&
        HasClass(window, L"ComboBox"))
        search->Combo = window;
    else if (search->Button == nullptr && SYS(GetDlgCtrlID)(window) == HELP_SEARCH_BUTTON_ID &&
             HasClass(window, L"Button"))
        search->Button = window;
    return search->Combo == nullptr || search->Button == nullptr;
}

// The viewer fills its search tab only after the switch, so the controls
// are looked for again until they appear or the polls run out.
static int TypeSearch(HWND mainWindow, const wchar_t *searchText)
{
    ViewerSearch search;
    memset(&search, 0, sizeof search);
    for (int pass = 0; pass < HELP_SEARCH_POLLS; pass++) {
        SYS(EnumChildWindows)(mainWindow, FindSearchControls, reinterpret_cast<LPARAM>(&search));
        if (search.Combo != nullptr && search.Button != nullptr)
            break;
        SYS(Sleep)(HELP_POLL_MS);
    }
    if (search.Combo == nullptr || search.Button == nullptr)
        return 2;

    SYS(SendMessageW)(search.Combo, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(searchText));
    SYS(Sleep)(HELP_POLL_MS);
    SYS(SendMessageW)(search.Button, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    SYS(SendMessageW)(search.Button, WM_LBUTTONUP, 0, 0);
    return 0;
}

int DriveHelpViewer(DWORD processId, int tab, HANDLE process, const wchar_t *searchText)
{
    if (processId == 0)
        return 0;
    if (SYS(WaitForInputIdle)(process, HELP_IDLE_WAIT_MS) == WAIT_TIMEOUT)
        return WAIT_TIMEOUT;

    ViewerSearch search;
    memset(&search, 0, sizeof search);
    search.ProcessId = processId;
    SYS(EnumWindows)(FindMainWindow, reinterpret_cast<LPARAM>(&search));
    HWND mainWindow = search.Found;
    if (mainWindow == nullptr)
        return 2;

    int result = 0;
    search.Found = nullptr;
    SYS(EnumChildWindows)(mainWindow, FindTabControl, reinterpret_cast<LPARAM>(&search));
    if (search.Found != nullptr)
        // Posted: the viewer switches when it gets to it, we do not wait.
        SYS(PostMessageW)(search.Found, TCM_SETCURFOCUS, static_cast<WPARAM>(tab), 0);
    else
        result = 2;

    if (searchText != nullptr && tab == HELP_TAB_SEARCH - 1 && TypeSearch(mainWindow, searchText) != 0)
        result = 2;
    return result;
}
