// fakeping.h - a scripted network, clock, console and MIDI device for SONARO runs.
#pragma once

#include "testsupport.h"
#include "sys/icmplayout.h"

#include <string>
#include <vector>

namespace fakeping {

// One scripted echo: no reply (Replies 0, with Error) or a reply.
struct Echo {
    DWORD Replies;
    DWORD Error;
    ULONG Status;
    ULONG RoundTripTime;
    UCHAR Ttl;
    bool Corrupt;      // the echoed data differ from the request
};
Echo Good(ULONG roundTripTime, UCHAR ttl = 128);
Echo Lost(DWORD error);
Echo WithStatus(ULONG status, ULONG roundTripTime = 0);
Echo Corrupted(ULONG roundTripTime);

// What the run saw and did.
struct World {
    std::vector<Echo> Echoes;      // played in order; a good 0 ms reply after the end
    size_t NextEcho;
    DWORD LastError;
    // Echo requests as sent.
    std::vector<DWORD> SentSizes;
    std::vector<IP_OPTION_INFORMATION> SentOptions;
    std::vector<DWORD> SentTimeouts;
    std::vector<std::wstring> SentTo;   // destination in text form
    // Clock: Sleep advances it, and so do every echo call and every MIDI
    // message by the times below (0 unless a test sets them).
    DWORD Now;
    std::vector<DWORD> Sleeps;
    DWORD EchoMs;
    DWORD MidiMs;
    std::vector<DWORD> EchoStarts;   // the clock as each echo call began
    // Console events: the sleep (1-based) after which each arrives, and the
    // event, or ListBreak for the list-output handler's flag.
    std::vector<std::pair<size_t, DWORD>> Events;
    // Handles.
    bool Icmp4Fails;
    bool Icmp6Fails;
    int Icmp4Opened, Icmp6Opened, IcmpClosed;
    // The n-th malloc of the run returns null (0: none fails).
    int FailMallocAt;
    int Mallocs;
    // Console.
    bool StdOutConsole;
    std::vector<std::pair<PHANDLER_ROUTINE, BOOL>> CtrlHandlerCalls;
    // MIDI messages sent.
    std::vector<DWORD> Midi;
    // Default TTL reported by the system (0: the call fails).
    DWORD DefaultTtl;
    // Reverse lookup answer (empty: none found).
    std::wstring ReverseName;
    // The system is Wine (its ntdll exports wine_get_version, and calling
    // GetIpErrorString would end the process); ntdll's handle is not found.
    bool Wine;
    bool NoNtdll;
};
extern World world;
const DWORD ListBreak = 0x100;

// Installs every fake into the system-call table and resets the world.
// MidiOut is set to a fake handle (null with midi false).
void Install(bool midi = true);
// Puts MidiOut back.
void Uninstall();

// Readable MIDI messages for comparisons.
std::string MidiText(const std::vector<DWORD> &messages);

}  // namespace fakeping

// A run with the scripted world; settings keys cleared.
class PingRunTest : public SysTest {
protected:
    void SetUp() override;
    void TearDown() override;
};
