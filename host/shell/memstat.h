// memstat.h - the shell's "memstat" line.
#pragma once

// Open handles and heap in use, one line on standard output.
void ShowMemoryState(void);
