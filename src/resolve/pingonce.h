// pingonce.h - one silent ICMP echo, as @PINGTIME sends it.
#pragma once

#include "sys/winhdr.h"

// Outcomes other than a round-trip time.
enum {
    PING_NO_REPLY = -1,      // time-out, send failure, foreign or failed reply
    PING_UNREACHABLE = -2,   // destination network/host/protocol/port unreachable
    PING_NO_ADDRESS = -3,    // host empty or not resolvable
    PING_NO_RESOURCES = -4,  // buffer allocation or ICMP handle failed
    PING_DATA_MISMATCH = -10 // flag 2: echoed data differ from the request
};

// Flag bits of PingOnce (only the lowest byte counts).
enum {
    PING_FLAG_IPV6_FIRST = 1,
    PING_FLAG_CHECK_DATA = 2,
    PING_FLAG_SHOW_ADDRESS = 128,
};

// Round-trip time in milliseconds (>= 0) or one of the negative outcomes.
int PingOnce(const wchar_t *hostText, DWORD packetSize, DWORD timeoutMs, DWORD ttl,
             DWORD flags);
