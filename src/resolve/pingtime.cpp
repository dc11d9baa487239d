// pingtime.cpp - @PINGTIME: the round-trip time of one silent echo, for batch files.
#include "resolve/pingonce.h"
#include "resolve/netentries.h"
#include "icmp/icmpecho.h"
#include "args/parseargs.h"
#include "base/hostapi.h"
#include "base/identity.h"
#include "base/hostbuffer.h"
#include "base/errorreport.h"
#include "sys/syscalls.h"

#include <string.h>

// "host[,timeout[,packetsize[,ttl[,flags]]]]"
struct PingTimeArgs {
    DWORD Timeout;     // seconds
    DWORD PacketSize;  // bytes
    DWORD Ttl;
    DWORD Flags;
};

// One numeric argument: its messages and range.  A null range message means
// every value is accepted.
struct NumericArg {
    const wchar_t *BadValue;
    const wchar_t *OutOfRange;
    DWORD Minimum;
    DWORD Maximum;
};

static const NumericArg NumericArgs[4] = {
    {L"Bad timeout: \"%s\"\r\n", L"Timeout must be %u to %u: %u\r\n", 1, 60000},
    {L"Bad packetsize: \"%s\"\r\n", L"Packetsize must be %u to %u: %u\r\n", ECHO_DATA_MIN,
     ECHO_DATA_MAX},
    {L"Bad TTL: \"%s\"\r\n", L"TTL must be %u to %u: %u\r\n", ECHO_TTL_MIN, ECHO_TTL_MAX},
    {L"Bad flags: \"%s\"\r\n", nullptr, 0, 0xFFFFFFFFu},
};

// Reads arguments 2 to 5 into their fields; false after an error message.
static bool ReadNumericArgs(PingTimeArgs *args)
{
    DWORD *fields[4] = {&args->Timeout, &args->PacketSize, &args->Ttl, &args->Flags};
    for (int i = 0; i < 4; i++) {
        int index = i + 1;
        if (index >= ArgTable.Count || ArgTable.Argument[index] == nullptr ||
            ArgTable.Length[index] == 0)
            continue;
        const NumericArg *rule = &NumericArgs[i];
        DWORD value;
        if (ParseNumber(ArgTable.Argument[index], nullptr, &value) != 0) {
            UpperCaseArgument(index);
            ReportError(rule->BadValue, ArgTable.Argument[index]);
            return false;
        }
        if (rule->OutOfRange != nullptr && (value < rule->Minimum || value > rule->Maximum)) {
            ReportError(rule->OutOfRange, rule->Minimum, rule->Maximum, value);
            return false;
        }
        *fields[i] = value;
    }
    return true;
}

SONARO_EXPORT int WINAPI f_pingtime(wchar_t *buffer)
{
    if (buffer == nullptr)
        return -1;
    CutToHostBuffer(buffer);
    PingTimeArgs args = {60, 64, DefaultTtl(), 0};
    ParseArgs(PARSE_COMMAS, buffer);
    if (ArgTable.Count < 1 || ArgTable.Argument[0] == nullptr || ArgTable.Length[0] == 0) {
        ReportError(L"Missing hostname\r\n");
        return -1;
    }
    if (!ReadNumericArgs(&args))
        return -1;
    int outcome = PingOnce(ArgTable.Argument[0], args.PacketSize, args.Timeout * 1000,
                           args.Ttl, args.Flags);
    wsprintfW(buffer, L"%d", outcome);
    return 0;
}
