// sendecho.h - one echo of a SONARO run and its report line.
#pragma once

#include "sys/syscalls.h"

// Results of one echo besides a round-trip time (>= 0).
enum {
    ECHO_DATA_MISMATCH = -10,
    ECHO_FAILED = -20,
};

// One echo with its report line.  The request buffer holds packetSize data
// bytes followed by the IP option record.
int SendEcho4(unsigned char *request, DWORD packetSize, HANDLE handle, IPAddr destination,
              unsigned char *reply, DWORD replySize, DWORD timeout);
int SendEcho6(const SOCKADDR_IN6 *destination, unsigned char *request, HANDLE handle,
              DWORD packetSize, unsigned char *reply, DWORD replySize, DWORD timeout);
