// fakeicmp.h - the fake ICMP helper of the fake world: scripted replies to
// both families' echoes, every request recorded.
#pragma once

#include "testsupport.h"
#include "sys/icmplayout.h"

#include <string>
#include <vector>

// One reply as the helper gives it.
struct FakeEcho {
    DWORD Returned = 1;        // what the send function returns; 0: no reply
    DWORD Error = 0;           // the error GetLastError reports after the call
    ULONG Status = IP_SUCCESS;
    ULONG RoundTrip = 3;
    UCHAR Ttl = 0;             // IPv4 only
    std::string From;          // empty: the destination answers
    bool Corrupt = false;      // one echoed byte differs
    bool ShortData = false;    // IPv4: fewer data bytes than sent
};

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
};

struct FakeIcmp {
    std::vector<FakeEcho> Script;  // the replies, in order
    size_t Next = 0;               // the next reply of the script
    FakeEcho After;                // every reply after the script
    std::vector<EchoCall> Calls;
    HANDLE Handle4;                // what IcmpCreateFile returns
    HANDLE Handle6;                // what Icmp6CreateFile returns
    bool Fail4 = false;            // IcmpCreateFile returns INVALID_HANDLE_VALUE
    bool Fail6 = false;
    int Opened4 = 0, Opened6 = 0, Closed = 0;
    DWORD LastError = 0;           // the last reply's Error
    void (*OnSend)(void) = nullptr; // called as each echo call begins (a clock to move)
};
extern FakeIcmp g_icmp;

// Resets g_icmp (the handles distinct per family) and installs the helper's
// create, send and close functions into the system-call table.
void InstallFakeIcmp(void);
