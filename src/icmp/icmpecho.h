// icmpecho.h - one ICMP echo over IPv4 or IPv6, as SONARO and @PINGTIME send it.
#pragma once

#include "base/hostaddress.h"
#include "sys/icmplayout.h"

// The ranges both commands accept for the data size and the TTL.
#define ECHO_DATA_MIN 12u
#define ECHO_DATA_MAX 65520u
#define ECHO_TTL_MIN 1u
#define ECHO_TTL_MAX 255u
// The TTL when the system does not tell its own.
#define ECHO_TTL_FALLBACK 128u

// What one echo brought back.
struct EchoResult {
    bool Replied;          // the helper returned a reply record
    DWORD LastError;       // GetLastError right after the call
    ULONG Status;          // IP_SUCCESS or the failure the reply reports
    ULONG RoundTripTime;   // milliseconds
    UCHAR Ttl;             // IPv4 only
    DWORD DataSize;        // IPv4: bytes the reply carries; IPv6: the request's size
    HostAddress From;      // the replying address (port and flow 0)
    bool DataMatch;        // success, and the echoed data lie inside the reply
                           // buffer and equal the request
};

// Sends one echo to an IPv4 or IPv6 address on a handle of its family.  The
// request's size bytes are filled with fresh random data first and the reply
// buffer is cleared.  0 with the result filled (Replied false when no reply
// came back); -1 when the destination has no family the helper knows.
int SendIcmpEcho(const HostAddress *destination, HANDLE handle, unsigned char *request,
                 DWORD size, IP_OPTION_INFORMATION *options, unsigned char *reply,
                 DWORD replySize, DWORD timeout, EchoResult *result);

// The helper's handle for a family (IcmpCreateFile or Icmp6CreateFile).
HANDLE OpenEchoHandle(int family);
// Bytes of a reply buffer for size bytes of data.
DWORD EchoReplySize(int family, DWORD size);

// The failed statuses a reply line names; any other status is shown by number.
struct FailedStatusInfo {
    ULONG Status;
    const wchar_t *Text;       // the report line, with its line end
    const wchar_t *Text6;      // the IPv6 wording where it differs, else null
    bool Unreachable;          // the destination cannot be reached
};
// The entry for a status, or null when the status has none.
const FailedStatusInfo *LookupFailedStatus(ULONG status);

// The system's default TTL, or 128 when it is unknown or out of range.
DWORD DefaultTtl(void);
