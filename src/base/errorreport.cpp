// errorreport.cpp - the prefix every error message of the plugin begins with.
#include "base/errorreport.h"
#include "base/identity.h"
#include "sys/syscalls.h"

#include <string.h>

HANDLE StdErr(void)
{
    return SYS(GetStdHandle)(STD_ERROR_HANDLE);
}

int ErrorPrefix(void)
{
    // Large enough for any batch-file path the host can expand.
    static wchar_t expanded[8192];

    Qprintf(StdErr(), L"%s plugin: ", SONARO_NAME);

    memset(expanded, 0, sizeof expanded);
    wcsncpy(expanded, L"%_batch", 8191);
    ExpandVariables(expanded, 1);
    if (expanded[0] == L'0')
        return 0;

    memset(expanded, 0, sizeof expanded);
    wcsncpy(expanded, L"%_batchname [%_batchline]  ", 8191);
    ExpandVariables(expanded, 1);
    // Written as text, not as a format: a "%" in the name stays as it is.
    Qprintf(StdErr(), L"%s", expanded);
    return 0;
}
