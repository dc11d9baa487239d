// pingoptions.cpp - SONARO's settings, defaults and command-line options.
#include "ping/pingoptions.h"
#include "icmp/icmpecho.h"
#include "base/usagetexts.h"
#include "base/errorreport.h"
#include "base/hostapi.h"
#include "base/settings.h"
#include "base/sharedmidi.h"
#include "console/conlist.h"

#include <string.h>

// The settings, read in this order at every call.
static void LoadPingSettings(PingOptions *options)
{
    memset(options, 0, sizeof *options);
    options->Count = ReadSetting(L"Count", 0, 0xFFFFFFFFu, 4);
    options->Timeout = ReadSetting(L"Timeout", 0, 60000, 3000);
    options->PacketSize = ReadSetting(L"PacketSize", ECHO_DATA_MIN, ECHO_DATA_MAX, 64);
    options->SnoozeTime = ReadSetting(L"SnoozeTime", 250, 10000, 1000);
    options->ErrorSnooze = ReadSetting(L"ErrorSnooze", 250, 10000, 650);
    options->Instrument = ReadSetting(L"Instrument", 1, 128, 115);
    options->ErrorDrum = ReadSetting(L"ErrorDrum", 0, HIGHEST_DRUM, 66);
    options->OpErrorDrum = ReadSetting(L"OpErrorDrum", 0, HIGHEST_DRUM, 58);
    options->Octave = ReadSetting(L"Octave", 0, 9, 5);
    options->NoteBase = options->Octave * 12;
    // The registry accepts 0 to 81; anything below the percussion range
    // cannot be struck and counts as no drum.
    if (options->ErrorDrum < LOWEST_DRUM)
        options->ErrorDrum = 0;
    if (options->OpErrorDrum < LOWEST_DRUM)
        options->OpErrorDrum = 0;
    options->Volume = -1;
}

void LoadPingDefaults(PingOptions *options)
{
    LoadPingSettings(options);
    options->Ttl = static_cast<unsigned char>(DefaultTtl());
}

bool MatchOption(const wchar_t *token, const wchar_t *option, bool prefix)
{
    if (token == nullptr || option == nullptr)
        return false;
    if (token[0] != L'/' && token[0] != L'-')
        return false;
    if (option[0] == L'/' || option[0] == L'-')
        option++;
    if (prefix)
        return _wcsnicmp(token + 1, option, wcslen(option)) == 0;
    return _wcsicmp(token + 1, option) == 0;
}

int ReadOptionValue(int *index, const wchar_t *missingMessage, DWORD *value)
{
    int holder = *index;
    const wchar_t *token = ArgTable.Argument[holder];
    const wchar_t *text;
    if (ArgTable.Length[holder] == 2 && holder + 1 < ArgTable.Count) {
        // "/N 5": the next argument is the value and is used up by it.
        holder++;
        *index = holder;
        text = ArgTable.Argument[holder];
    } else if (ArgTable.Length[holder] >= 3 && IsValueSeparator(token[2])) {
        text = token + 3;
    } else {
        text = token + 2;
    }

    if (text == nullptr || text[0] == 0) {
        ReportError(L"%s", missingMessage);
        return 1;
    }
    if (ParseNumber(text, nullptr, value) != 0) {
        UpperCaseArgument(holder);
        ReportError(L"Bad value: \"%s\"\r\n", ArgTable.Argument[holder]);
        return 1;
    }
    return 0;
}

// The options that take a number: letter, messages, accepted range and the
// field the number goes into.
enum RangeForm { RANGE_NONE, RANGE_LOW_HIGH_VALUE, RANGE_VALUE };

struct ValuedOption {
    const wchar_t *Letter;
    const wchar_t *Missing;
    RangeForm Form;
    DWORD Low;
    DWORD High;
    bool ZeroAccepted;   // 0 is accepted besides Low to High
    const wchar_t *RangeMessage;
    void (*Store)(PingOptions *options, DWORD value);
};

static const ValuedOption ValuedOptions[] = {
    { L"E", L"Missing value for /E\r\n", RANGE_LOW_HIGH_VALUE, LOWEST_DRUM, HIGHEST_DRUM, true,
      L"ErrorDrum must be 0 or %u to %u: %u\r\n",
      [](PingOptions *o, DWORD v) { o->ErrorDrum = v; } },
    { L"G", L"Missing value for /G\r\n", RANGE_LOW_HIGH_VALUE, 1, 128, false,
      L"Instrument must be %u to %u: %u\r\n",
      [](PingOptions *o, DWORD v) { o->Instrument = v; } },
    { L"I", L"Missing value for /I\r\n", RANGE_LOW_HIGH_VALUE, ECHO_TTL_MIN, ECHO_TTL_MAX, false,
      L"TTL must be %u to %u: %u\r\n",
      [](PingOptions *o, DWORD v) { o->Ttl = static_cast<unsigned char>(v); } },
    { L"L", L"Missing value for /L\r\n", RANGE_LOW_HIGH_VALUE, ECHO_DATA_MIN, ECHO_DATA_MAX, false,
      L"Packet size must be %u to %u: %u\r\n",
      [](PingOptions *o, DWORD v) { o->PacketSize = v; } },
    { L"N", L"Missing value for /N\r\n", RANGE_NONE, 0, 0, false, nullptr,
      [](PingOptions *o, DWORD v) { o->Count = v; } },
    { L"O", L"Missing value for /O\r\n", RANGE_VALUE, 0, 9, false,
      L"Octave must be 0 to 9: %u\r\n",
      [](PingOptions *o, DWORD v) { o->Octave = v; o->NoteBase = v * 12; } },
    { L"V", L"Missing value for /V\r\n", RANGE_VALUE, 0, 255, false,
      L"TOS must be 0 to 255: %u\r\n",
      [](PingOptions *o, DWORD v) { o->Tos = static_cast<unsigned char>(v); } },
    { L"W", L"Missing value for /W\r\n", RANGE_LOW_HIGH_VALUE, 1, 60000, false,
      L"Timeout must be %u to %u: %u\r\n",
      [](PingOptions *o, DWORD v) { o->Timeout = v; } },
    { L"X", L"Missing value for /X\r\n", RANGE_LOW_HIGH_VALUE, LOWEST_DRUM, HIGHEST_DRUM, true,
      L"OpErrorDrum must be 0 or %u to %u: %u\r\n",
      [](PingOptions *o, DWORD v) { o->OpErrorDrum = v; } },
    { L"Y", L"Missing value for /Y\r\n", RANGE_VALUE, 0, 100, false,
      L"Sound volume must be 0 to 100: %u\r\n",
      [](PingOptions *o, DWORD v) { o->Volume = static_cast<int>(v); } },
    { L"Z", L"Missing value for /Z\r\n", RANGE_LOW_HIGH_VALUE, 250, 10000, false,
      L"SnoozeTime must be %u to %u: %u\r\n",
      [](PingOptions *o, DWORD v) { o->SnoozeTime = v; } },
};

// Reads, checks and stores one valued option.  0, or 1 after its message.
static int ApplyValuedOption(const ValuedOption &option, PingOptions *options, int *index)
{
    DWORD value = 0;
    if (ReadOptionValue(index, option.Missing, &value) != 0)
        return 1;
    bool inRange = option.Form == RANGE_NONE || (value >= option.Low && value <= option.High) ||
                   (option.ZeroAccepted && value == 0);
    if (!inRange) {
        if (option.Form == RANGE_VALUE)
            ReportError(option.RangeMessage, static_cast<unsigned>(value));
        else
            ReportError(option.RangeMessage, static_cast<unsigned>(option.Low),
                        static_cast<unsigned>(option.High), static_cast<unsigned>(value));
        return 1;
    }
    option.Store(options, value);
    return 0;
}

// /4 and /6: the first one given is preferred, the other becomes the fallback.
static void ApplyFamily(PingOptions *options, unsigned char family)
{
    if (options->PreferredFamily == SONARO_FAMILY_NONE)
        options->PreferredFamily = family;
    else if (options->PreferredFamily != family)
        options->FallbackFamily = family;
}

// The switches without a value.  True when the token was one of them.
static bool ApplySwitch(const wchar_t *token, PingOptions *options)
{
    if (MatchOption(token, L"4", false))
        ApplyFamily(options, SONARO_FAMILY_IPV4);
    else if (MatchOption(token, L"6", false))
        ApplyFamily(options, SONARO_FAMILY_IPV6);
    else if (MatchOption(token, L"A", false))
        options->ResolveNames = true;
    else if (MatchOption(token, L"C", false))
        options->LineNumbers = true;
    else if (MatchOption(token, L"D", false))
        options->NoHighlight = true;
    else if (MatchOption(token, L"F", false))
        options->DontFragment = true;
    else if (MatchOption(token, L"Q", false))
        Silent = true;
    else if (MatchOption(token, L"T", false))
        options->Count = 0;
    else
        return false;
    return true;
}

bool ApplyPingOptions(PingOptions *options, int *result)
{
    for (int i = 0; i < ArgTable.Count; i++) {
        if (ArgTable.Length[i] == 0)
            continue;
        const wchar_t *token = ArgTable.Argument[i];
        if (MatchOption(token, L"?", false)) {
            QPuts(SonaroUsageText);
            *result = 0;
            return false;
        }
        if (MatchOption(token, L"??", false)) {
            QPuts(SonaroUsageText);
            PrintVersionLine();
            *result = 0;
            return false;
        }
        if (ApplySwitch(token, options))
            continue;

        const ValuedOption *valued = nullptr;
        for (const ValuedOption &option : ValuedOptions) {
            if (MatchOption(token, option.Letter, true)) {
                valued = &option;
                break;
            }
        }
        if (valued != nullptr) {
            if (ApplyValuedOption(*valued, options, &i) != 0) {
                *result = 1;
                return false;
            }
            continue;
        }

        if (token[0] == L'/' || token[0] == L'-') {
            UpperCaseArgument(i);
            ReportError(L"Unknown option: \"%s\"\r\n", ArgTable.Argument[i]);
            *result = 1;
            return false;
        }
        options->HostFlags[i] = 1;
        options->HostCount++;
    }
    return true;
}
