// sendecho.h - one echo of a SONARO run and its report line.
#pragma once

#include "base/hostaddress.h"

// Results of one echo besides a round-trip time (>= 0).
enum {
    ECHO_DATA_MISMATCH = -10,
    ECHO_FAILED = -20,
};

// One echo to an IPv4 or IPv6 destination on the handle of its family, with
// its report line and tallies.  The request buffer holds packetSize data bytes
// followed by the IP option record.  A round-trip time (>= 0) or one of the
// results above, or the negated failure status of a known failed reply.
// doneTime (may be null) receives the performance counter's reading as the
// echo call returned (0 when it could not be read).
int SendEcho(const HostAddress *destination, HANDLE handle, unsigned char *request,
             DWORD packetSize, unsigned char *reply, DWORD replySize, DWORD timeout,
             LONGLONG *doneTime);

// Whether GetIpErrorString may be called: 0 not looked at yet, 1 yes, 2 no.
// Wine exports it as a stub that ends the process, so it is looked at once,
// at the first echo without a reply.
extern int IpErrorTextState;
