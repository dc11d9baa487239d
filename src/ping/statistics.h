// statistics.h - the tallies of the host being pinged and their report.
#pragma once

#include "base/identity.h"
#include "sys/winhdr.h"

struct PingStatsRecord {
    DWORD Received;   // echoes with a reply of any status
    DWORD Lost;       // echoes without a reply
    DWORD TotalTime;  // ms, over all replies
    DWORD MinTime;
    DWORD MaxTime;
};
// Left as the last host attempted made them; the result variables read them.
extern PingStatsRecord PingStats;

// Back to the state of a fresh load: MinTime 0xFFFFFFFF, the rest 0.
void ResetPingStats(void);
// Adds one reply's round-trip time to the tallies (not the count).
void TallyRoundTrip(DWORD roundTripTime);
// The statistics block of the host with this numeric address; nothing when
// no echo has been sent.  Returns 0.
int ShowPingStatistics(const wchar_t *address);

// The result variables _PINGAVG, _PINGMAX, _PINGMIN, _PINGSLOST, _PINGSRCVD:
// the last host's figures into a buffer of 8192 characters.
SONARO_EXPORT int WINAPI _pingavg(wchar_t *buffer);
SONARO_EXPORT int WINAPI _pingmax(wchar_t *buffer);
SONARO_EXPORT int WINAPI _pingmin(wchar_t *buffer);
SONARO_EXPORT int WINAPI _pingslost(wchar_t *buffer);
SONARO_EXPORT int WINAPI _pingsrcvd(wchar_t *buffer);
