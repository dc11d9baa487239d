// pingoptions.h - the options of one SONARO call and the run's plugin-wide flags.
#pragma once

#include "base/identity.h"
#include "sys/winhdr.h"
#include "args/parseargs.h"
#include "sound/noteplayer.h"

#define SONARO_FAMILY_NONE 0
#define SONARO_FAMILY_IPV4 2
#define SONARO_FAMILY_IPV6 23

// The sound fields come first, as the note player reads them.
struct PingOptions : NoteSettings {
    DWORD Count;          // echoes per host; 0 = until interrupted
    DWORD Timeout;        // ms to wait for each reply
    DWORD PacketSize;     // request data bytes
    DWORD SnoozeTime;     // ms after a good reply
    DWORD ErrorSnooze;    // ms after a failed echo
    DWORD Octave;
    unsigned char Ttl;
    unsigned char Tos;
    bool DontFragment;
    unsigned char PreferredFamily;
    unsigned char FallbackFamily;
    bool ResolveNames;    // /A
    bool LineNumbers;     // /C
    bool NoHighlight;     // /D
    // One mark per argument of ArgTable that names a host.
    unsigned char HostFlags[MAX_ARGS];
    int HostCount;
};

// Fills the record from the registry settings and the system's default TTL.
void LoadPingDefaults(PingOptions *options);
// Examines every argument of ArgTable.  True when the run is to start; false
// when the command ends here with *result (0 after the usage, 1 on an error).
bool ApplyPingOptions(PingOptions *options, int *result);
// True when the token is "/" or "-" followed by the option's letters (exact)
// or beginning with them (prefix), ignoring case.
bool MatchOption(const wchar_t *token, const wchar_t *option, bool prefix);
// The number given with the valued option at *index (from the token itself
// or the next argument, which *index then moves past).  0 with the number in
// *value; 1 after the missing-value or bad-value message.
int ReadOptionValue(int *index, const wchar_t *missingMessage, DWORD *value);

// The SONARO command: options, then the run.  -1 for a null line.
SONARO_EXPORT int WINAPI sonaro(wchar_t *line);
