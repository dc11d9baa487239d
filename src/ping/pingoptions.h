// pingoptions.h - the options of one SONARO call and the run's plugin-wide flags.
#pragma once

#include "base/identity.h"
#include "sys/winhdr.h"
#include "args/options.h"
#include "args/parseargs.h"
#include "sound/noteplayer.h"

#define SONARO_FAMILY_NONE 0
#define SONARO_FAMILY_IPV4 2
#define SONARO_FAMILY_IPV6 23

// The hosts of the command line, copied out of ArgTable: the run reads
// nothing of the table, which the next ParseArgs changes.
struct PingHosts {
    int Count;
    int Used;                   // characters of Text in use
    int Start[MAX_ARGS];        // where host i begins in Text
    wchar_t Text[MAX_ARG_LEN];  // each host with its terminator
};

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
    PingHosts Hosts;
};

// One row of SONARO's option table: the option, the numbers it takes, and
// the registry setting that gives the field its default.
struct PingOption {
    const wchar_t *Letters = nullptr;  // after the "/" or "-"; null for a setting alone
    OptionForm Form = OPTION_NONE;
    DWORD Low = 0;                     // the numbers a value may take
    DWORD High = 0xFFFFFFFFu;
    bool ZeroToo = false;              // 0 is taken besides Low to High
    // The message for a number out of range: one with Low, High and the
    // number, or one with the number alone.
    const wchar_t *RangeMessage = nullptr;
    const wchar_t *NumberMessage = nullptr;
    const wchar_t *Setting = nullptr;  // read with Low to High, else Default
    DWORD Default = 0;
    bool SettingFromZero = false;      // the setting takes 0 to High
    // Stores a value (a switch's is 0) from the line or the setting.
    void (*Set)(PingOptions *options, DWORD value) = nullptr;
};

extern const PingOption PingOptionTable[];
extern const size_t PingOptionCount;

// Fills the record from the registry settings and the system's default TTL.
void LoadPingDefaults(PingOptions *options);
// Examines every argument of ArgTable.  True when the run is to start; false
// when the command ends here with *result (0 after the usage, 1 on an error).
bool ApplyPingOptions(PingOptions *options, int *result);
// The number given with the valued option at *index (from the token itself
// or the next argument, which *index then moves past).  0 with the number in
// *value; 1 after the missing-value or bad-value message, which names the
// option by its letters.
int ReadOptionValue(int *index, const wchar_t *letters, DWORD *value);
// Host i of the line.
const wchar_t *HostText(const PingHosts *hosts, int index);

// The SONARO command: options, then the run.  -1 for a null line.
SONARO_EXPORT int WINAPI sonaro(wchar_t *line);
