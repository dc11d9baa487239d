// sysfaults.h - how each entry of the system-call table fails, and a failing
// stand-in for every entry, for the fault sweep.
#pragma once

#include "sys/syscalls.h"

// The documented failure of one entry: the result it returns and the error
// GetLastError reports after it.  Entries that cannot fail (the tick count,
// Sleep, the process id, GetLastError) and the release functions (free,
// CloseHandle, RegCloseKey, timeEndPeriod, ...: a caller can do nothing about
// their failure) have none.  The performance counter, documented never to
// fail since Windows XP, fails here all the same: a wait must still end.
struct SysFault {
    bool CanFail;
    INT_PTR Value;
    DWORD Error;
};
const SysFault &SysFaultOf(int id);

// A table whose every entry returns its failure (an entry without one
// returns zero and is never put in force).
const SysTable &SysFailingTable(void);

// Entry id of one table, copied into another.
void SysCopyEntry(SysTable *to, const SysTable &from, int id);
