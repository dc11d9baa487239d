// testhooks.cpp - host counters the tests read directly.
#include "host/takecmd/hostcontrol.h"

extern "C" {

// Writes made by the output functions (each Printf, QPuts, CrLf... is one).
long HostWriteCount;

HOSTAPI long WINAPI HostWriteCalls(void)
{
    return HostWriteCount;
}

}  // extern "C"
