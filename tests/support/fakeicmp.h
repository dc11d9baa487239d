// fakeicmp.h - the ICMP helper of the fake world: scripted replies to both
// families' echoes, every request recorded; the error of the last call, the
// error texts, the default TTL, and whether the system is Wine.  It keeps
// Windows' rules: a reply buffer too small for the reply record, the data,
// an ICMP error message and the I/O status block, or a time-out of 0, is
// refused before anything is sent; the wait is never shorter than MinWaitMs,
// a reply that comes later times out, one within it counts even past the
// time-out; an error text must fit the characters the caller offers.
#pragma once

#include "testsupport.h"
#include "sys/icmplayout.h"

#include <string>
#include <utility>
#include <vector>

namespace fake {

// One reply as the helper gives it.
struct Echo {
    DWORD Returned = 1;        // what the send function returns; 0: no reply
    DWORD Error = 0;           // the error GetLastError reports after the call
    ULONG Status = IP_SUCCESS;
    ULONG RoundTrip = 3;       // ms; also when the reply arrives
    UCHAR Ttl = 0;             // IPv4 only
    std::string From;          // empty: the destination answers
    bool Corrupt = false;      // one echoed byte differs
    bool ShortData = false;    // IPv4: fewer data bytes than sent
    bool DataElsewhere = false; // IPv4: the record's data pointer leads outside the reply
};
// A good reply, no reply with the error, a failed status, data that differ.
Echo Good(ULONG roundTripTime, UCHAR ttl = 128);
Echo Lost(DWORD error);
Echo WithStatus(ULONG status, ULONG roundTripTime = 0);
Echo Corrupted(ULONG roundTripTime);

// One echo request as the helper saw it.
struct EchoCall {
    bool V6;
    std::string Destination;   // the address alone
    std::wstring To;           // the platform's text of the destination (IPv6 with its scope)
    HANDLE Handle;
    std::vector<unsigned char> Request;
    IP_OPTION_INFORMATION Options;
    DWORD ReplySize;
    DWORD Timeout;
    SOCKADDR_IN6 Source;
    bool HadEvent;
    bool Refused;              // turned down before sending
};

// The reply buffer Windows requires for size bytes of data, in this
// process's record sizes: the rule of IcmpSendEcho2 and Icmp6SendEcho2,
// which the fake applies to IcmpSendEcho too.
DWORD RequiredReplySize(bool v6, DWORD size);

struct Icmp {
    std::vector<Echo> Script;      // the replies, in order
    size_t Next = 0;               // the next reply of the script
    Echo After = Good(0);          // every reply after the script
    std::vector<EchoCall> Calls;
    HANDLE Handle4;                // what IcmpCreateFile returns
    HANDLE Handle6;                // what Icmp6CreateFile returns
    bool Fail4 = false;            // IcmpCreateFile returns INVALID_HANDLE_VALUE
    bool Fail6 = false;
    int Opened4 = 0, Opened6 = 0, Closed = 0;
    DWORD LastError = 0;           // what GetLastError reports
    // Each echo call takes EchoMs of the clock, a time-out at least the
    // wait; the clock as each began.  The wait is the time-out, but never
    // less than MinWaitMs.
    DWORD EchoMs = 0;
    DWORD MinWaitMs = 50;
    std::vector<ULONGLONG> EchoStarts;
    // GetIpErrorString's texts, each as a message text ends, in CR LF.
    std::vector<std::pair<IP_STATUS, std::wstring>> ErrorTexts;
    DWORD DefaultTtl = 128;        // what GetIpStatistics reports
    bool StatisticsFail = false;   // GetIpStatistics fails
    // The system: Wine (ntdll exports wine_get_version), or ntdll not found.
    bool Wine = false;
    bool NoNtdll = false;
};
extern Icmp icmp;

// The echo requests as sent.
std::vector<DWORD> SentSizes();
std::vector<IP_OPTION_INFORMATION> SentOptions();
std::vector<DWORD> SentTimeouts();
std::vector<std::wstring> SentTo();

// Resets icmp (the handles distinct per family) and installs the helper.
void InstallIcmp(void);

}  // namespace fake
