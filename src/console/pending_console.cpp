// Placeholder until the list-output module lands; delete with it.
#include "console/conlist.h"
volatile LONG ListBreakFlag;
bool ListHandlerRegistered;
int RemoveListCtrlHandler(void) { ListBreakFlag = 0; return 0; }
