// echorun.cpp - SONARO's run: handles and buffers, hosts, echo loop, pacing, clean-up.
#include "ping/echorun.h"
#include "sys/icmplayout.h"
#include "sound/noteplayer.h"
#include "frame/plugin.h"
#include "frame/hostapi.h"
#include "frame/settings.h"
#include "console/conlist.h"
#include "console/highlight.h"

#include <string.h>

bool ListBreakMeansInterrupt;

// The pacing wait wakes this often to look at the interrupt flags.
#define PACING_STEP_MS 20

struct EchoRun {
    PingOptions *Options;
    HANDLE Icmp4;
    HANDLE Icmp6;
    unsigned char *Request;
    unsigned char *Reply4;
    unsigned char *Reply6;
    DWORD Reply4Size;
    DWORD Reply6Size;
    HostAddress Address;
    wchar_t DisplayName[1025];
    wchar_t AddressText[128];
    int Expanded;
    bool Console;
    bool PingHandlerRegistered;
    DWORD LastWait;
    int Result;
};

void TakeListBreak(void)
{
    if (ListBreakMeansInterrupt && InterlockedExchange(&ListBreakFlag, 0) != 0)
        InterlockedOr(&InterruptFlags, INTERRUPT_CTRL_C);
}

// Sleep length for the next step of a wait that has elapsed ms behind it:
// one polling step, or only what remains, so the wait ends on time.
DWORD PacingStep(DWORD waitMs, DWORD elapsed)
{
    if (elapsed >= waitMs)
        return 0;
    DWORD remaining = waitMs - elapsed;
    return remaining < PACING_STEP_MS ? remaining : PACING_STEP_MS;
}

void PacingWait(DWORD waitMs, DWORD startTick)
{
    TakeListBreak();
    if (InterruptFlags != 0)
        return;
    // What has passed since the start: the clock's reading, or the last
    // such figure plus the sleep since, whichever is more.  The clock may be
    // coarse (15 to 16 ms) or stand still; a sleep lasts about as long as
    // asked, mostly a little longer.
    DWORD elapsed = 0;
    DWORD step = 0;
    for (;;) {
        // Unsigned difference: right across the counter's wrap-around; a
        // clock that steps back before the start reads as a long time.
        DWORD shown = SYS(GetTickCount)() - startTick;
        elapsed = shown > elapsed + step ? shown : elapsed + step;
        step = PacingStep(waitMs, elapsed);
        if (step == 0)
            return;
        SYS(Sleep)(step);
        TakeListBreak();
        if (InterruptFlags != 0)
            return;
    }
}

static int SetUpFailure(EchoRun *run, const wchar_t *message)
{
    ErrorPrefix();
    Qprintf(StdErr(), L"%s", message);
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

// Handles and buffers, in this order.  A handle of the fallback family that
// cannot be opened (IPv6 missing, say) drops the fallback instead of failing:
// the preferred family alone still serves every host that has its address.
// 0, or 1 after the failure has been reported.
static int OpenEchoResources(EchoRun *run)
{
    PingOptions *options = run->Options;
    DWORD packetSize = options->PacketSize;

    if (options->PreferredFamily == SONARO_FAMILY_IPV4 ||
        options->FallbackFamily == SONARO_FAMILY_IPV4) {
        run->Icmp4 = SYS(IcmpCreateFile)();
        if (run->Icmp4 == INVALID_HANDLE_VALUE) {
            if (options->PreferredFamily == SONARO_FAMILY_IPV4)
                return SetUpFailure(run, L"Error opening IPv4 echo-request handle.\r\n");
            options->FallbackFamily = SONARO_FAMILY_NONE;
        } else {
            run->Reply4Size = packetSize + ICMP_REPLY_EXTRA;
            run->Reply4 = static_cast<unsigned char *>(SYS(malloc)(run->Reply4Size));
            if (run->Reply4 == nullptr)
                return SetUpFailure(run, L"Error allocating IPv4 reply buffer.\r\n");
        }
    }
    if (options->PreferredFamily == SONARO_FAMILY_IPV6 ||
        options->FallbackFamily == SONARO_FAMILY_IPV6) {
        run->Icmp6 = SYS(Icmp6CreateFile)();
        if (run->Icmp6 == INVALID_HANDLE_VALUE) {
            if (options->PreferredFamily == SONARO_FAMILY_IPV6)
                return SetUpFailure(run, L"Error opening IPv6 echo-request handle.\r\n");
            options->FallbackFamily = SONARO_FAMILY_NONE;
        } else {
            run->Reply6Size = packetSize + ICMP6_REPLY_EXTRA;
            run->Reply6 = static_cast<unsigned char *>(SYS(malloc)(run->Reply6Size));
            if (run->Reply6 == nullptr)
                return SetUpFailure(run, L"Error allocating IPv6 reply buffer.\r\n");
        }
    }
    run->Request =
        static_cast<unsigned char *>(SYS(malloc)(packetSize + ICMP_OPTION_RECORD_SIZE));
    if (run->Request == nullptr)
        return SetUpFailure(run, L"Error allocating request data buffer.\r\n");
    WriteOptionRecord(run);
    return 0;
}

// Standard output counts as a console when its mode can be read.
static bool StdOutIsConsole(void)
{
    DWORD mode = 0xFFFFFFFFu;
    HANDLE out = SYS(GetStdHandle)(STD_OUTPUT_HANDLE);
    return SYS(GetConsoleMode)(out, &mode) && mode != 0xFFFFFFFFu;
}

static void InstallHandlers(EchoRun *run)
{
    ListBreakFlag = 0;
    InstallListCtrlHandler();
    // Registered last, the run's own handler is asked first and keeps both
    // events from the list-output handler.
    if (run->Console)
        run->PingHandlerRegistered = SYS(SetConsoleCtrlHandler)(PingCtrlHandler, TRUE) != FALSE;
    ListBreakMeansInterrupt = !run->Console;
}

static void CleanUp(EchoRun *run)
{
    SYS(free)(run->Request);
    SYS(free)(run->Reply4);
    SYS(free)(run->Reply6);
    run->Request = run->Reply4 = run->Reply6 = nullptr;
    if (run->Icmp4 != INVALID_HANDLE_VALUE)
        SYS(IcmpCloseHandle)(run->Icmp4);
    if (run->Icmp6 != INVALID_HANDLE_VALUE)
        SYS(IcmpCloseHandle)(run->Icmp6);
    run->Icmp4 = run->Icmp6 = INVALID_HANDLE_VALUE;
    RemoveListCtrlHandler();
    if (run->PingHandlerRegistered)
        SYS(SetConsoleCtrlHandler)(PingCtrlHandler, FALSE);
    run->PingHandlerRegistered = false;
    ListBreakMeansInterrupt = false;
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
        ReverseLookup(&run->Address, run->DisplayName);
    if (run->DisplayName[0] == 0) {
        wcsncpy(run->DisplayName, hostText, 1024);
        run->DisplayName[1024] = 0;
    }
}

static void PrintHeader(EchoRun *run, const wchar_t *hostText)
{
    unsigned packetSize = static_cast<unsigned>(run->Options->PacketSize);
    if (_wcsicmp(hostText, run->AddressText) != 0)
        MarkedPrintf(L"\r\nPinging \x12%s\x11 [%s] with %u bytes of data:\r\n\n",
                     run->DisplayName, run->AddressText, packetSize);
    else
        MarkedPrintf(L"\r\nPinging \x12%s\x11 with %u bytes of data:\r\n\n", run->DisplayName,
                     packetSize);
}

static int SendOneEcho(EchoRun *run, int family, DWORD *doneTick)
{
    const PingOptions *options = run->Options;
    if (family == SONARO_FAMILY_IPV4)
        return SendEcho4(run->Request, options->PacketSize, run->Icmp4,
                         run->Address.V4.sin_addr.s_addr, run->Reply4, run->Reply4Size,
                         options->Timeout, doneTick);
    return SendEcho6(&run->Address.V6, run->Request, run->Icmp6, options->PacketSize,
                     run->Reply6, run->Reply6Size, options->Timeout, doneTick);
}

static void EchoLoop(EchoRun *run, int family)
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
        DWORD echoDone = 0;
        int echo = SendOneEcho(run, family, &echoDone);
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
                run->DisplayName, &run->Expanded);
    int family = run->Address.Generic.sa_family;
    // A family whose handle is not open cannot be pinged either.
    bool usable = (family == SONARO_FAMILY_IPV4 && run->Icmp4 != INVALID_HANDLE_VALUE) ||
                  (family == SONARO_FAMILY_IPV6 && run->Icmp6 != INVALID_HANDLE_VALUE);
    if (!usable) {
        ErrorPrefix();
        Qprintf(StdErr(), L"Can\x2019t find an address for host %s.\r\n", hostText);
        PlayOpErrorDrum(*options);
        run->Result = 2;
        return;
    }

    FormatHostAddress(&run->Address, run->AddressText);
    run->AddressText[127] = 0;
    ChooseDisplayName(run, hostText);
    PrintHeader(run, hostText);
    EchoLoop(run, family);
}

int RunEchoes(PingOptions *options)
{
    memset(ColourSlots, 0, sizeof ColourSlots);
    if (!options->NoHighlight)
        LoadHighlightColours();

    wchar_t defaultHost[1025];
    memset(defaultHost, 0, sizeof defaultHost);
    if (options->HostCount == 0 && ReadSettingString(defaultHost) == 0) {
        ErrorPrefix();
        Qprintf(StdErr(), L"Missing host name.\r\n");
        return 1;
    }

    if (options->PreferredFamily == SONARO_FAMILY_NONE) {
        options->PreferredFamily = SONARO_FAMILY_IPV4;
        options->FallbackFamily = SONARO_FAMILY_IPV6;
    }

    static EchoRun run;
    memset(&run, 0, sizeof run);
    run.Options = options;
    run.Icmp4 = INVALID_HANDLE_VALUE;
    run.Icmp6 = INVALID_HANDLE_VALUE;
    run.Result = 1;

    if (OpenEchoResources(&run) == 0) {
        run.Console = StdOutIsConsole();
        InstallHandlers(&run);
        StartSound(*options);
        if (options->HostCount == 0) {
            PingHost(&run, defaultHost);
        } else {
            for (int i = 0; i < ArgTable.Count; i++) {
                if (options->HostFlags[i] != 0 && ArgTable.Argument[i] != nullptr)
                    PingHost(&run, ArgTable.Argument[i]);
            }
        }
    }
    CleanUp(&run);
    return run.Result;
}
