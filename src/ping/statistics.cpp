// statistics.cpp - the statistics block and the five result variables.
#include "ping/statistics.h"
#include "base/identity.h"
#include "base/hostbuffer.h"
#include "base/hostapi.h"

#include <string.h>

PingStatsRecord PingStats = { 0, 0, 0, 0xFFFFFFFFu, 0 };

// Capacity of a variable entry's buffer.

void ResetPingStats(void)
{
    PingStats.Received = 0;
    PingStats.Lost = 0;
    PingStats.TotalTime = 0;
    PingStats.MinTime = 0xFFFFFFFFu;
    PingStats.MaxTime = 0;
}

void TallyRoundTrip(DWORD roundTripTime)
{
    PingStats.TotalTime += roundTripTime;
    if (roundTripTime < PingStats.MinTime)
        PingStats.MinTime = roundTripTime;
    if (roundTripTime > PingStats.MaxTime)
        PingStats.MaxTime = roundTripTime;
}

int ShowPingStatistics(const wchar_t *address)
{
    DWORD received = PingStats.Received, lost = PingStats.Lost;
    if (received == 0 && lost == 0)
        return 0;
    DWORD sent = received + lost;
    DWORD loss = sent != 0 ? lost * 100 / sent : 0;
    Printf(L"\r\nPing statistics for %s:\r\n", address != nullptr ? address : L"");
    Printf(L"    Packets: Sent = %u, Received = %u, Lost = %u (%u%% loss)\r\n",
           static_cast<unsigned>(sent), static_cast<unsigned>(received),
           static_cast<unsigned>(lost), static_cast<unsigned>(loss));
    if (received != 0) {
        Printf(L"Approximate round trip times in milliseconds:\r\n");
        Printf(L"    Minimum = %ums, Maximum = %ums, Average = %ums\r\n",
               static_cast<unsigned>(PingStats.MinTime), static_cast<unsigned>(PingStats.MaxTime),
               static_cast<unsigned>(PingStats.TotalTime / received));
    }
    return 0;
}

// A time figure: the number, or "00" while no reply has been counted.
static int WriteTimeVariable(wchar_t *buffer, DWORD value)
{
    if (buffer == nullptr)
        return -1;
    if (PingStats.Received == 0) {
        lstrcpynW(buffer, L"00", FUNCTION_BUFFER_CAPACITY);
        return 0;
    }
    wsprintfW(buffer, L"%u", static_cast<unsigned>(value));
    return 0;
}

static int WriteCountVariable(wchar_t *buffer, DWORD value)
{
    if (buffer == nullptr)
        return -1;
    wsprintfW(buffer, L"%u", static_cast<unsigned>(value));
    return 0;
}

SONARO_EXPORT int WINAPI _pingavg(wchar_t *buffer)
{
    DWORD average = PingStats.Received != 0 ? PingStats.TotalTime / PingStats.Received : 0;
    return WriteTimeVariable(buffer, average);
}

SONARO_EXPORT int WINAPI _pingmax(wchar_t *buffer)
{
    return WriteTimeVariable(buffer, PingStats.MaxTime);
}

SONARO_EXPORT int WINAPI _pingmin(wchar_t *buffer)
{
    return WriteTimeVariable(buffer, PingStats.MinTime);
}

SONARO_EXPORT int WINAPI _pingslost(wchar_t *buffer)
{
    return WriteCountVariable(buffer, PingStats.Lost);
}

SONARO_EXPORT int WINAPI _pingsrcvd(wchar_t *buffer)
{
    return WriteCountVariable(buffer, PingStats.Received);
}
