// Placeholder until the help module lands; delete with it.
#include "help/newhelp.h"
#include "frame/plugin.h"
HANDLE ViewerProcess;
void CloseHelpViewer(void) {}
extern "C" int WINAPI ClverEntry(wchar_t *) { return -1; }
