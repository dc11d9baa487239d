// echorun.cpp - SONARO's run: handles and buffers, hosts, echo loop, clean-up.
#include "ping/echorun.h"
#include "ping/interrupt.h"
#include "ping/sendecho.h"
#include "resolve/resolve.h"
#include "icmp/icmpecho.h"
#include "sound/noteplayer.h"
#include "base/errorreport.h"
#include "sys/syscalls.h"
#include "base/hostapi.h"
#include "base/settings.h"
#include "base/preciseclock.h"
#include "console/conlist.h"
#include "console/highlight.h"

#include <string.h>

// One family's echo handle and reply buffer.
struct EchoChannel {
    int Family;
    HANDLE Handle;
    unsigned char *Reply;
    DWORD ReplySize;
};
enum { CHANNEL_IPV4, CHANNEL_IPV6, CHANNEL_COUNT };

struct EchoRun {
    PingOptions *Options;
    EchoChannel Channels[CHANNEL_COUNT];
    unsigned char *Request;
    HostAddress Address;
    wchar_t DisplayName[HOST_NAME_CAPACITY];
    wchar_t AddressText[ADDRESS_TEXT_CAPACITY];
    int Expanded;
    DWORD LastWait;
    int Result;
};

// The set-up failures of each family, in channel order.
static const struct {
    const wchar_t *HandleFailure;
    const wchar_t *BufferFailure;
} ChannelTexts[CHANNEL_COUNT] = {
    {L"Error opening IPv4 echo-request handle.\r\n", L"Error allocating IPv4 reply buffer.\r\n"},
    {L"Error opening IPv6 echo-request handle.\r\n", L"Error allocating IPv6 reply buffer.\r\n"},
};

static int SetUpFailure(EchoRun *run, const wchar_t *message)
{
    ReportError(L"%s", message);
    PlayOpErrorDrum(*run->Options);
    run->Result = 2;
    return 1;
}

// The IP option record that follows the request data; both families use it.
static void WriteOptionRecord(EchoRun *run)
{
    IP_OPTION_INFORMATION record;
    memset(&record, 0, sizeof record);
    record.Ttl = run->Options->Ttl;
    record.Tos = run->Options->Tos;
    record.Flags = run->Options->DontFragment ? IP_FLAG_DF : 0;
    record.OptionsSize = 0;
    record.OptionsData = nullptr;
    memcpy(run->Request + run->Options->PacketSize, &record, ICMP_OPTION_RECORD_SIZE);
}

// The handle and reply buffer of one family when the run may use it.  A
// handle of the fallback family that cannot be opened (IPv6 missing, say)
// drops the fallback instead of failing: the preferred family alone still
// serves every host that has its address.  0, or 1 after the failure has
// been reported.
static int OpenChannel(EchoRun *run, int index)
{
    PingOptions *options = run->Options;
    EchoChannel *channel = &run->Channels[index];
    if (options->PreferredFamily != channel->Family &&
        options->FallbackFamily != channel->Family)
        return 0;
    channel->Handle = OpenEchoHandle(channel->Family);
    if (channel->Handle == INVALID_HANDLE_VALUE) {
        if (options->PreferredFamily == channel->Family)
            return SetUpFailure(run, ChannelTexts[index].HandleFailure);
        options->FallbackFamily = SONARO_FAMILY_NONE;
        return 0;
    }
    channel->ReplySize = EchoReplySize(channel->Family, options->PacketSize);
    channel->Reply = static_cast<unsigned char *>(SYS(malloc)(channel->ReplySize));
    if (channel->Reply == nullptr)
        return SetUpFailure(run, ChannelTexts[index].BufferFailure);
    return 0;
}

// Handles and buffers, IPv4 first, then the request buffer.  0, or 1 after
// the failure has been reported.
static int OpenEchoResources(EchoRun *run)
{
    for (int i = 0; i < CHANNEL_COUNT; i++) {
        if (OpenChannel(run, i) != 0)
            return 1;
    }
    run->Request = static_cast<unsigned char *>(
        SYS(malloc)(run->Options->PacketSize + ICMP_OPTION_RECORD_SIZE));
    if (run->Request == nullptr)
        return SetUpFailure(run, L"Error allocating request data buffer.\r\n");
    WriteOptionRecord(run);
    return 0;
}

static void CleanUp(EchoRun *run)
{
    SYS(free)(run->Request);
    run->Request = nullptr;
    for (EchoChannel &channel : run->Channels) {
        SYS(free)(channel.Reply);
        channel.Reply = nullptr;
    }
    for (EchoChannel &channel : run->Channels) {
        if (channel.Handle != INVALID_HANDLE_VALUE)
            SYS(IcmpCloseHandle)(channel.Handle);
        channel.Handle = INVALID_HANDLE_VALUE;
    }
    RemoveInterruptHandlers();
    FinishSound(run->LastWait);
}

// The name the header shows: the canonical name unless it is just the
// argument again, with /A the reverse lookup, else the argument itself.
static void ChooseDisplayName(EchoRun *run, const wchar_t *hostText)
{
    if (_wcsicmp(run->DisplayName, hostText) == 0)
        run->DisplayName[0] = 0;
    if (run->Options->ResolveNames &&
        (run->DisplayName[0] == 0 || (run->Expanded != 0 && IsDottedIPv4(run->DisplayName))))
        ReverseLookup(&run->Address, run->DisplayName, HOST_NAME_CAPACITY);
    if (run->DisplayName[0] == 0) {
        wcsncpy(run->DisplayName, hostText, HOST_NAME_CAPACITY - 1);
        run->DisplayName[HOST_NAME_CAPACITY - 1] = 0;
    }
}

static void PrintHeader(EchoRun *run, const wchar_t *hostText)
{
    unsigned packetSize = static_cast<unsigned>(run->Options->PacketSize);
    if (_wcsicmp(hostText, run->AddressText) != 0)
        MarkedPrintf(L"\r\nPinging " MARK_HIGHLIGHT L"%s" MARK_NORMAL L" [%s] with %u bytes of data:\r\n\n",
                     run->DisplayName, run->AddressText, packetSize);
    else
        MarkedPrintf(L"\r\nPinging " MARK_HIGHLIGHT L"%s" MARK_NORMAL L" with %u bytes of data:\r\n\n", run->DisplayName,
                     packetSize);
}

// The open channel of a family, or null.
static const EchoChannel *ChannelFor(const EchoRun *run, int family)
{
    for (const EchoChannel &channel : run->Channels) {
        if (channel.Family == family && channel.Handle != INVALID_HANDLE_VALUE)
            return &channel;
    }
    return nullptr;
}

static void EchoLoop(EchoRun *run, const EchoChannel *channel)
{
    const PingOptions *options = run->Options;
    for (DWORD i = 0;; i++) {
        if (options->Count != 0 && i >= options->Count) {
            if ((InterruptFlags & INTERRUPT_CTRL_C) == 0)
                ShowPingStatistics(run->AddressText);
            return;
        }
        InterruptFlags = 0;
        if (options->LineNumbers)
            Printf(L"%5u:  ", static_cast<unsigned>(i + 1));

        // The beat is the echo plus the wait: the wait counts from the
        // echo's return, so the report and the note take nothing from it.
        LONGLONG echoDone = 0;
        int echo = SendEcho(&run->Address, channel->Handle, run->Request, options->PacketSize,
                            channel->Reply, channel->ReplySize, options->Timeout, &echoDone);
        DWORD wait;
        if (echo < 0) {
            PlayErrorDrum(*options);
            wait = options->ErrorSnooze;
        } else {
            if (run->Result == 1)
                run->Result = 0;
            PlayReplyNote(*options, echo);
            wait = options->SnoozeTime;
        }
        run->LastWait = wait;
        PacingWait(wait, echoDone);

        TakeListBreak();
        LONG flags = InterruptFlags;
        if (flags != 0) {
            ShowPingStatistics(run->AddressText);
            if (flags & INTERRUPT_CTRL_BREAK)
                QPuts(L"\r\n");
            if (flags & INTERRUPT_CTRL_C)
                return;
        }
    }
}

static void PingHost(EchoRun *run, const wchar_t *hostText)
{
    const PingOptions *options = run->Options;
    ResetPingStats();
    run->DisplayName[0] = 0;
    run->AddressText[0] = 0;
    memset(&run->Address, 0, sizeof run->Address);
    run->Expanded = 0;

    ResolveHost(hostText, &run->Address, options->PreferredFamily, options->FallbackFamily,
                run->DisplayName, HOST_NAME_CAPACITY, &run->Expanded);
    // A family whose handle is not open cannot be pinged either.
    const EchoChannel *channel = ChannelFor(run, run->Address.Generic.sa_family);
    if (channel == nullptr) {
        ReportError(L"Can\x2019t find an address for host %s.\r\n", hostText);
        PlayOpErrorDrum(*options);
        run->Result = 2;
        return;
    }

    FormatHostAddress(&run->Address, run->AddressText, ADDRESS_TEXT_CAPACITY);
    run->AddressText[ADDRESS_TEXT_CAPACITY - 1] = 0;
    ChooseDisplayName(run, hostText);
    PrintHeader(run, hostText);
    EchoLoop(run, channel);
}

int RunEchoes(PingOptions *options)
{
    memset(ColourSlots, 0, sizeof ColourSlots);
    if (!options->NoHighlight)
        LoadHighlightColours();

    wchar_t defaultHost[1025];
    memset(defaultHost, 0, sizeof defaultHost);
    if (options->Hosts.Count == 0 && ReadSettingString(defaultHost) == 0) {
        ReportError(L"Missing host name.\r\n");
        return 1;
    }

    if (options->PreferredFamily == SONARO_FAMILY_NONE) {
        options->PreferredFamily = SONARO_FAMILY_IPV4;
        options->FallbackFamily = SONARO_FAMILY_IPV6;
    }

    // Waits end on time on a high-resolution timer, else sleeps at 1 ms
    // timer resolution; neither outlives the command.
    BeginRunTimer();
    static EchoRun run;
    memset(&run, 0, sizeof run);
    run.Options = options;
    run.Channels[CHANNEL_IPV4] = {SONARO_FAMILY_IPV4, INVALID_HANDLE_VALUE, nullptr, 0};
    run.Channels[CHANNEL_IPV6] = {SONARO_FAMILY_IPV6, INVALID_HANDLE_VALUE, nullptr, 0};
    run.Result = 1;

    if (OpenEchoResources(&run) == 0) {
        InstallInterruptHandlers();
        StartSound(*options);
        if (options->Hosts.Count == 0) {
            PingHost(&run, defaultHost);
        } else {
            for (int i = 0; i < options->Hosts.Count; i++)
                PingHost(&run, HostText(&options->Hosts, i));
        }
    }
    CleanUp(&run);
    EndRunTimer();
    return run.Result;
}
