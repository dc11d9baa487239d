// echorun.h - the echo run of SONARO and its single-echo operations.
#pragma once

#include "ping/pingoptions.h"
#include "ping/statistics.h"
#include "resolve/resolve.h"

// Pings every host of the options (or DefaultHostname); the command's result:
// 0 some reply was good, 1 none was, 2 a host had no address or set-up failed.
int RunEchoes(PingOptions *options);

// Results of one echo besides a round-trip time (>= 0).
enum {
    ECHO_DATA_MISMATCH = -10,
    ECHO_FAILED = -20,
};

// One echo with its report line.  The request buffer holds packetSize data
// bytes followed by the IP option record.  doneTick (may be null) receives
// the tick count at which the echo call returned.
int SendEcho4(unsigned char *request, DWORD packetSize, HANDLE handle, IPAddr destination,
              unsigned char *reply, DWORD replySize, DWORD timeout, DWORD *doneTick);
int SendEcho6(const SOCKADDR_IN6 *destination, unsigned char *request, HANDLE handle,
              DWORD packetSize, unsigned char *reply, DWORD replySize, DWORD timeout,
              DWORD *doneTick);

// Whether GetIpErrorString may be called: 0 not looked at yet, 1 yes, 2 no.
// Wine exports it as a stub that ends the process, so it is looked at once,
// at the first echo without a reply.
extern int IpErrorTextState;

// 0 with the host name in name (1025 characters); 1 when none was found or
// the family is unknown; -1 for a null argument.
int ReverseLookup(const HostAddress *address, wchar_t *name);
// True for text that inet_addr reads as an address other than 0 and
// 255.255.255.255.
bool IsDottedIPv4(const wchar_t *text);
BOOL WINAPI PingCtrlHandler(DWORD event);

// When standard output is no console the run's own handler is not installed;
// the list-output handler's flag then stands for Control-C.  Moves that flag
// into InterruptFlags while such a run is going on.
void TakeListBreak(void);
extern bool ListBreakMeansInterrupt;

// The pacing wait: until waitMs have passed since the tick count startTick
// (when the echo returned), cut short when InterruptFlags is set.  It sleeps
// in steps of at most 20 ms, looking at the flags after each.
void PacingWait(DWORD waitMs, DWORD startTick);
// The next sleep of a wait of waitMs with elapsed ms gone: 0 when it is over.
DWORD PacingStep(DWORD waitMs, DWORD elapsed);
