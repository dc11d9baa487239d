// testhooks.cpp - host state the tests set or read directly.
#include "host/takecmd/hostcontrol.h"

extern "C" {

// The attribute GetAttribute reports; -1 = read it from the console.
int HostTestAttribute = -1;
// Writes made by the output functions (each Printf, QPuts, CrLf... is one).
long HostWriteCount;

HOSTAPI void WINAPI HostSetAttribute(int attribute)
{
    HostTestAttribute = attribute;
}

HOSTAPI long WINAPI HostWriteCalls(void)
{
    return HostWriteCount;
}

}  // extern "C"
