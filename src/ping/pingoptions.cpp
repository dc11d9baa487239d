// pingoptions.cpp - SONARO's option table: settings, defaults and the
// options of the command line.
#include "ping/pingoptions.h"
#include "ping/pingusage.h"
#include "icmp/icmpecho.h"
#include "base/errorreport.h"
#include "base/hostapi.h"
#include "base/settings.h"

#include <string.h>

// /4 and /6: the first one given is preferred, the other becomes the fallback.
static void ApplyFamily(PingOptions *options, unsigned char family)
{
    if (options->PreferredFamily == SONARO_FAMILY_NONE)
        options->PreferredFamily = family;
    else if (options->PreferredFamily != family)
        options->FallbackFamily = family;
}

// The registry takes drums from 0; one below the percussion range cannot be
// struck and counts as no drum.  The options take only 0 and the range.
static DWORD Drum(DWORD value)
{
    return value < LOWEST_DRUM ? 0 : value;
}

// Every option of SONARO and every setting behind its fields.  The rows with
// a setting come first, in the order the settings are read; no token matches
// two rows, so the order means nothing else.
const PingOption PingOptionTable[] = {
    {.Letters = L"N", .Form = OPTION_VALUED, .Setting = L"Count", .Default = 4,
     .Set = [](PingOptions *o, DWORD v) { o->Count = v; }},
    {.Letters = L"W", .Form = OPTION_VALUED, .Low = 1, .High = 60000,
     .RangeMessage = L"Timeout must be %u to %u: %u\r\n",
     .Setting = L"Timeout", .Default = 3000, .SettingFromZero = true,
     .Set = [](PingOptions *o, DWORD v) { o->Timeout = v; }},
    {.Letters = L"L", .Form = OPTION_VALUED, .Low = ECHO_DATA_MIN, .High = ECHO_DATA_MAX,
     .RangeMessage = L"Packet size must be %u to %u: %u\r\n",
     .Setting = L"PacketSize", .Default = 64,
     .Set = [](PingOptions *o, DWORD v) { o->PacketSize = v; }},
    {.Letters = L"Z", .Form = OPTION_VALUED, .Low = 250, .High = 10000,
     .RangeMessage = L"SnoozeTime must be %u to %u: %u\r\n",
     .Setting = L"SnoozeTime", .Default = 1000,
     .Set = [](PingOptions *o, DWORD v) { o->SnoozeTime = v; }},
    {.Low = 250, .High = 10000, .Setting = L"ErrorSnooze", .Default = 650,
     .Set = [](PingOptions *o, DWORD v) { o->ErrorSnooze = v; }},
    {.Letters = L"G", .Form = OPTION_VALUED, .Low = 1, .High = 128,
     .RangeMessage = L"Instrument must be %u to %u: %u\r\n",
     .Setting = L"Instrument", .Default = 115,
     .Set = [](PingOptions *o, DWORD v) { o->Instrument = v; }},
    {.Letters = L"E", .Form = OPTION_VALUED, .Low = LOWEST_DRUM, .High = HIGHEST_DRUM, .ZeroToo = true,
     .RangeMessage = L"ErrorDrum must be 0 or %u to %u: %u\r\n",
     .Setting = L"ErrorDrum", .Default = 66, .SettingFromZero = true,
     .Set = [](PingOptions *o, DWORD v) { o->ErrorDrum = Drum(v); }},
    {.Letters = L"X", .Form = OPTION_VALUED, .Low = LOWEST_DRUM, .High = HIGHEST_DRUM, .ZeroToo = true,
     .RangeMessage = L"OpErrorDrum must be 0 or %u to %u: %u\r\n",
     .Setting = L"OpErrorDrum", .Default = 58, .SettingFromZero = true,
     .Set = [](PingOptions *o, DWORD v) { o->OpErrorDrum = Drum(v); }},
    {.Letters = L"O", .Form = OPTION_VALUED, .Low = 0, .High = 9,
     .NumberMessage = L"Octave must be 0 to 9: %u\r\n",
     .Setting = L"Octave", .Default = 5,
     .Set = [](PingOptions *o, DWORD v) { o->Octave = v; o->NoteBase = v * 12; }},
    {.Letters = L"I", .Form = OPTION_VALUED, .Low = ECHO_TTL_MIN, .High = ECHO_TTL_MAX,
     .RangeMessage = L"TTL must be %u to %u: %u\r\n",
     .Set = [](PingOptions *o, DWORD v) { o->Ttl = static_cast<unsigned char>(v); }},
    {.Letters = L"V", .Form = OPTION_VALUED, .Low = 0, .High = 255,
     .NumberMessage = L"TOS must be 0 to 255: %u\r\n",
     .Set = [](PingOptions *o, DWORD v) { o->Tos = static_cast<unsigned char>(v); }},
    {.Letters = L"Y", .Form = OPTION_VALUED, .Low = 0, .High = 100,
     .NumberMessage = L"Sound volume must be 0 to 100: %u\r\n",
     .Set = [](PingOptions *o, DWORD v) { o->Volume = static_cast<int>(v); }},
    {.Letters = L"4", .Form = OPTION_SWITCH,
     .Set = [](PingOptions *o, DWORD) { ApplyFamily(o, SONARO_FAMILY_IPV4); }},
    {.Letters = L"6", .Form = OPTION_SWITCH,
     .Set = [](PingOptions *o, DWORD) { ApplyFamily(o, SONARO_FAMILY_IPV6); }},
    {.Letters = L"A", .Form = OPTION_SWITCH, .Set = [](PingOptions *o, DWORD) { o->ResolveNames = true; }},
    {.Letters = L"C", .Form = OPTION_SWITCH, .Set = [](PingOptions *o, DWORD) { o->LineNumbers = true; }},
    {.Letters = L"D", .Form = OPTION_SWITCH, .Set = [](PingOptions *o, DWORD) { o->NoHighlight = true; }},
    {.Letters = L"F", .Form = OPTION_SWITCH, .Set = [](PingOptions *o, DWORD) { o->DontFragment = true; }},
    {.Letters = L"Q", .Form = OPTION_SWITCH, .Set = [](PingOptions *, DWORD) { Silent = true; }},
    {.Letters = L"T", .Form = OPTION_SWITCH, .Set = [](PingOptions *o, DWORD) { o->Count = 0; }},
};
const size_t PingOptionCount = sizeof PingOptionTable / sizeof PingOptionTable[0];

void LoadPingDefaults(PingOptions *options)
{
    memset(options, 0, sizeof *options);
    options->Volume = -1;
    for (const PingOption &option : PingOptionTable) {
        if (option.Setting != nullptr)
            option.Set(options, ReadSetting(option.Setting, option.SettingFromZero ? 0 : option.Low,
                                            option.High, option.Default));
    }
    options->Ttl = static_cast<unsigned char>(DefaultTtl());
}

int ReadOptionValue(int *index, const wchar_t *letters, DWORD *value)
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
        ReportError(L"Missing value for /%s\r\n", letters);
        return 1;
    }
    if (ParseNumber(text, nullptr, value) != 0) {
        UpperCaseArgument(holder);
        ReportError(L"Bad value: \"%s\"\r\n", ArgTable.Argument[holder]);
        return 1;
    }
    return 0;
}

// Reads and checks the value of a valued option, then sets the field.  0, or
// 1 after the option's message.
static int ApplyOption(const PingOption &option, PingOptions *options, int *index)
{
    DWORD value = 0;
    if (option.Form == OPTION_VALUED) {
        if (ReadOptionValue(index, option.Letters, &value) != 0)
            return 1;
        bool inRange = (value >= option.Low && value <= option.High) || (option.ZeroToo && value == 0);
        if (!inRange && option.NumberMessage != nullptr) {
            ReportError(option.NumberMessage, static_cast<unsigned>(value));
            return 1;
        }
        if (!inRange) {
            ReportError(option.RangeMessage, static_cast<unsigned>(option.Low),
                        static_cast<unsigned>(option.High), static_cast<unsigned>(value));
            return 1;
        }
    }
    option.Set(options, value);
    return 0;
}

// Copies a host argument into the options' own list, which has room for
// every argument the table can hold.
static void AddHost(PingHosts *hosts, const wchar_t *text)
{
    size_t length = wcsnlen(text, MAX_ARG_LEN);
    if (hosts->Count >= MAX_ARGS || hosts->Used + length + 1 > MAX_ARG_LEN)
        return;
    hosts->Start[hosts->Count++] = hosts->Used;
    memcpy(hosts->Text + hosts->Used, text, length * sizeof(wchar_t));
    hosts->Text[hosts->Used + length] = 0;
    hosts->Used += static_cast<int>(length) + 1;
}

const wchar_t *HostText(const PingHosts *hosts, int index)
{
    return hosts->Text + hosts->Start[index];
}

bool ApplyPingOptions(PingOptions *options, int *result)
{
    for (int i = 0; i < ArgTable.Count; i++) {
        if (ArgTable.Length[i] == 0)
            continue;
        const wchar_t *token = ArgTable.Argument[i];
        UsageRequest usage = UsageRequested(token);
        if (usage != USAGE_NONE) {
            PrintUsage(SonaroUsageText, usage);
            *result = 0;
            return false;
        }
        const PingOption *option = FindOption(PingOptionTable, PingOptionCount, token);
        if (option != nullptr) {
            if (ApplyOption(*option, options, &i) != 0) {
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
        AddHost(&options->Hosts, token);
    }
    return true;
}
