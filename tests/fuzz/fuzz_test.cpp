// The fuzzing of every entry: random and mutated argument texts go into every
// command, variable function, variable, Usage and Help, in the fake world,
// with random registry settings, macros and Highlight values.  Blocks come
// from guard pages and each argument buffer ends at one, so a write (or read)
// past a buffer faults at once; the static tables' guard words are checked
// after every call.  Seed and count come from SONARO_FUZZ_SEED and
// SONARO_FUZZ_INPUTS; SONARO_FUZZ_ONLY=n plays input n alone.
#include "fakeworld.h"
#include "fakeheap.h"
#include "fuzzinput.h"
#include "sysfaults.h"
#include "args/parseargs.h"
#include "console/conlist.h"
#include "frame/entries.h"
#include "help/helpcommand.h"
#include "help/newhelp.h"
#include "macros/macrocommand.h"
#include "ping/interrupt.h"
#include "ping/pingoptions.h"
#include "ping/statistics.h"
#include "resolve/netentries.h"
#include "base/hostbuffer.h"
#include "base/pluginstate.h"

#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <deque>
#include <initializer_list>
#include <string>
#include <vector>

extern "C" int WINAPI f_sonaromacro(wchar_t *buffer);

namespace {

const unsigned long long DefaultSeed = 20261208;
const unsigned long DefaultInputs = 200000;
const unsigned RegistryEpoch = 64;       // inputs between new registry contents
const unsigned long InterruptAfter = 3000;  // calls before Control-C is pressed
// Control-C ends the echoes of one host and the run goes on with the next, so
// a run may take one echo per host after it: up to 65520 random values each.
const unsigned long CallsPerHost = 70000;
// A command's line: the host's own, terminated, and may be much longer than
// the 8192 characters of a function's buffer.
const size_t CommandLineChars = 16385;

// --- the entries --------------------------------------------------------------

enum Kind { COMMAND, FUNCTION, VARIABLE, USAGE, HELP };

struct Entry {
    const char *Name;
    Kind Type;
    int (WINAPI *Call)(wchar_t *);
    int Lowest, Highest;            // the results it documents
    const wchar_t *const *Words;    // words of its own
};

// A command's words: /? and /??, each option of its table (a valued one
// with ":" too), and words of its own.  The texts stay for the whole run.
std::deque<std::wstring> optionTexts;

template <class Row>
std::vector<const wchar_t *> OptionWords(const Row *rows, size_t count,
                                         std::initializer_list<const wchar_t *> own)
{
    std::vector<const wchar_t *> words = {L"/?", L"/??", L"-?"};
    for (size_t i = 0; i < count; i++) {
        if (rows[i].Form != OPTION_NONE)
            words.push_back(optionTexts.emplace_back(std::wstring(L"/") + rows[i].Letters).c_str());
        if (rows[i].Form == OPTION_VALUED)
            words.push_back(optionTexts.emplace_back(std::wstring(L"-") + rows[i].Letters + L":").c_str());
    }
    words.insert(words.end(), own);
    words.push_back(nullptr);
    return words;
}

const std::vector<const wchar_t *> SonaroWords = OptionWords(
    PingOptionTable, PingOptionCount,
    {L"/Z:250", L"/n:3", L"/W:1", L"/e:35", L"/x0", L"/y:50", L"/K", L"/N/Q", L"-4", L"/Nx"});
const std::vector<const wchar_t *> MacroWords = OptionWords(
    MacroOptionTable, MacroOptionCount,
    {L"/l /p", L"#1=10.0.0.1", L"#2:", L"#x=dual", L"#name=127.0.0.1", L"#Router=1",
     L"#9999999999=1", L"#0=", L"#a*", L"#?", L"#", L"=", L"#dual=::1"});
const std::vector<const wchar_t *> HelpWords = OptionWords(
    HelpOptionTable, HelpOptionCount,
    {L"/v /q", L"sonaro", L"@pingtime", L"_pingavg", L"ports", L"/S:ports", L"/C sonaromacro",
     L"index"});
const wchar_t *const FunctionWords[] = {
    L"0", L"1", L"2", L"3", L"128", L"129", L"138", L"6", L"22", L"0x80", L"dual", L"v4only",
    L"127.0.0.1,1,32,64,1", L"::1,,,,1", L"dual,1,12,1,130", L"#1", L"#dns", nullptr};
const wchar_t *const NameWords[] = {
    L"sonaro", L"SonaroHelp", L"sonaromacro", L"@pingtime", L"@LOOKUPHOST", L"_pingavg",
    L"_PINGSRCVD", L"sonaro ", L"@", L"_", L"@sonaromacro", L"cd", nullptr};

int WINAPI CallUsage(wchar_t *name);
int WINAPI CallHelp(wchar_t *name) { return Help(name); }

const Entry Entries[] = {
    {"sonaro", COMMAND, sonaro, 0, 2, SonaroWords.data()},
    {"sonaromacro", COMMAND, sonaromacro, 0, 3, MacroWords.data()},
    {"sonarohelp", COMMAND, sonarohelp, 0, 1, HelpWords.data()},
    {"@SONAROMACRO", FUNCTION, f_sonaromacro, -1, 0, FunctionWords},
    {"@LOOKUPHOST", FUNCTION, f_lookuphost, -1, 0, FunctionWords},
    {"@PINGDHCP", FUNCTION, f_pingdhcp, -1, 0, FunctionWords},
    {"@PINGDNS", FUNCTION, f_pingdns, -1, 0, FunctionWords},
    {"@PINGROUTER", FUNCTION, f_pingrouter, -1, 0, FunctionWords},
    {"@PINGTIME", FUNCTION, f_pingtime, -1, 0, FunctionWords},
    {"@PINGWINS", FUNCTION, f_pingwins, -1, 0, FunctionWords},
    {"_PINGAVG", VARIABLE, _pingavg, 0, 0, NameWords},
    {"_PINGMAX", VARIABLE, _pingmax, 0, 0, NameWords},
    {"_PINGMIN", VARIABLE, _pingmin, 0, 0, NameWords},
    {"_PINGSLOST", VARIABLE, _pingslost, 0, 0, NameWords},
    {"_PINGSRCVD", VARIABLE, _pingsrcvd, 0, 0, NameWords},
    {"Usage", USAGE, CallUsage, 0, 1, NameWords},
    {"Help", HELP, CallHelp, 0, 1, NameWords},
};

// Usage writes into a buffer of its own size, which also ends at a guard page.
GuardedText *usageBuffer;

int WINAPI CallUsage(wchar_t *name)
{
    return Usage(name, usageBuffer->Data());
}

// --- the world of one input -------------------------------------------------------

struct Run {
    unsigned long long Seed;
    unsigned long Index;
    const Entry *Called;
    const std::wstring *Text;
    bool Unterminated;
};
Run current;

std::string Shown(const std::wstring &text)
{
    std::string shown = Escaped(text.substr(0, 160));
    if (text.size() > 160)
        shown += "... (" + std::to_string(text.size()) + " characters)";
    return shown;
}

[[noreturn]] void Fail(const std::string &what)
{
    fprintf(stderr, "fuzz: seed %llu, input %lu, %s: %s\n  argument: %s%s\n"
                    "  replay: SONARO_FUZZ_SEED=%llu SONARO_FUZZ_ONLY=%lu\n",
            current.Seed, current.Index, current.Called ? current.Called->Name : "-", what.c_str(),
            current.Text ? Shown(*current.Text).c_str() : "", current.Unterminated ?
            " (no terminator)" : "", current.Seed, current.Index);
    fflush(stderr);
    ExitProcess(1);
}

LONG WINAPI ReportCrash(EXCEPTION_POINTERS *exception)
{
    char what[64];
    snprintf(what, sizeof what, "exception 0x%08lX",
             static_cast<unsigned long>(exception->ExceptionRecord->ExceptionCode));
    Fail(what);
}

// The latest calls, for the report of a run that does not end.
SysId recent[12];

std::string RecentCalls(void)
{
    std::string text;
    for (unsigned long i = 0; i < 12; i++)
        text += std::string(i ? ", " : "") + SysName(recent[(g_sysCallTotal + i + 1) % 12]);
    return text;
}

void FuzzHook(SysId id, unsigned long sequence)
{
    recent[sequence % 12] = id;
    if (sequence > InterruptAfter) {
        // Control-C, as the user would press it in a run without end.
        InterruptFlags = INTERRUPT_CTRL_C;
        ListBreakFlag = 1;
    }
    unsigned long bound = InterruptAfter + (ArgTable.Count + 1ul) * CallsPerHost;
    if (sequence > bound)
        Fail("no end after " + std::to_string(sequence) + " system calls (the last: " +
             RecentCalls() + ")");
}

HANDLE savedConsoleOut;

void SetUpWorld(Random *random)
{
    SysRestoreAll();
    HostReset();
    HostCaptureClear();
    InterruptFlags = 0;
    ListBreakFlag = 0;
    // The typical world with the typical network, on which the loopback
    // addresses resolve too; the MIDI device mostly open.
    InstallFakeWorld();
    if (!random->Chance(80))
        fake::InstallMidi(false);
    fake::TypicalNetwork();
    fake::net.Hosts.push_back({L"127.0.0.1", AF_INET, "127.0.0.1", L""});
    fake::net.Hosts.push_back({L"::1", AF_INET6, "::1", L""});
    static const fake::Echo Replies[] = {
        fake::Good(0), fake::Good(7, 64), fake::Lost(IP_REQ_TIMED_OUT),
        fake::WithStatus(IP_DEST_HOST_UNREACHABLE), fake::Corrupted(2)};
    fake::icmp.After = random->Pick(Replies);
    ViewerProcess = nullptr;
    fake::help.Files = {FAKE_BESIDE_DLL};
    fake::AddViewerWindows();
    // No sound device: /Y finds neither a mixer nor an audio endpoint.
    FailEntry(SYS_waveOutOpen);
    FailEntry(SYS_CoCreateInstance);
    ConsoleOut = nullptr;
    if (random->Chance(30)) {
        // A console: colours, and page prompts answered by key presses.
        fake::console.Keys.assign(64, L' ');
        fake::console.StdOutConsole = true;
        ConsoleOut = fake::ConsoleOutHandle;
    }
    fake::heap.Guarded = true;
    SysResetCounts();
    g_sysCallHook = FuzzHook;
}

void TearDownWorld(void)
{
    g_sysCallHook = nullptr;
    ViewerProcess = nullptr;  // a fake handle: never for the real system
    ConsoleOut = savedConsoleOut;
    ResetListOutput();
    fake::RestoreMidiOut();
    SysRestoreAll();
}

// --- the checks after every call --------------------------------------------------

void CheckGuards(void)
{
    if (ArgTable.ArgumentGuard != ARG_TABLE_GUARD || ArgTable.LengthGuard != ARG_TABLE_GUARD ||
        ArgTable.StoreGuard != ARG_TABLE_GUARD)
        Fail("a guard word of the argument table was overwritten");
    if (ArgTable.Count < 0 || ArgTable.Count > MAX_ARGS)
        Fail("argument count " + std::to_string(ArgTable.Count));
    if (HelpPaths.HelpPathGuard != HELP_PATH_GUARD || HelpPaths.TrueNameGuard != HELP_PATH_GUARD ||
        HelpPaths.ViewerPathGuard != HELP_PATH_GUARD)
        Fail("a guard word of the help paths was overwritten");
}

void CheckCall(const Entry &entry, int rc, const GuardedText &buffer)
{
    CheckGuards();
    if (rc < entry.Lowest || rc > entry.Highest)
        Fail("result " + std::to_string(rc) + " is none the entry documents");
    std::string heap = fake::TakeHeapFaults();
    if (!heap.empty())
        Fail(heap);
    if (fake::LiveBlocks() != 0)
        Fail(std::to_string(fake::LiveBlocks()) + " blocks not freed");
    // A value handed back ends inside the buffer.
    if (rc == 0 && (entry.Type == FUNCTION || entry.Type == VARIABLE) &&
        wcsnlen(buffer.Data(), buffer.Chars()) == buffer.Chars())
        Fail("value without a terminator in the buffer");
    if (entry.Type == USAGE && rc == 1 &&
        wcsnlen(usageBuffer->Data(), usageBuffer->Chars()) == usageBuffer->Chars())
        Fail("usage text without a terminator in its buffer");
    if (fake::icmp.Opened4 + fake::icmp.Opened6 != fake::icmp.Closed)
        Fail("ICMP handles not closed");
}

// Plays one input into a host buffer (functions, variables, Usage, Help) or
// a command line; the entry's place in the table.
size_t PlayInput(unsigned long long seed, unsigned long index, GuardedText *hostBuffer,
                 GuardedText *commandLine, std::wstring *text)
{
    Random random(StreamSeed(seed, index, 1));
    size_t which = random.Below(sizeof Entries / sizeof Entries[0]);
    const Entry &entry = Entries[which];
    bool command = entry.Type == COMMAND;
    GuardedText *buffer = command ? commandLine : hostBuffer;
    *text = ArgumentText(&random, entry.Words, buffer->Chars(), command);
    current = Run{seed, index, &entry, text, text->size() == buffer->Chars()};
    buffer->Fill(*text);
    SetUpWorld(&random);
    int rc = entry.Call(buffer->Data());
    g_sysCallHook = nullptr;
    CheckCall(entry, rc, *buffer);
    // The host's command line is its own: a command reads it, never writes it.
    if (command && wcsncmp(buffer->Data(), text->c_str(), text->size() + 1) != 0)
        Fail("the command line was changed");
    TearDownWorld();
    current = Run{seed, index, nullptr, nullptr, false};
    return which;
}

unsigned long long EnvNumber(const char *name, unsigned long long fallback)
{
    const char *text = getenv(name);
    return text != nullptr && *text != 0 ? strtoull(text, nullptr, 10) : fallback;
}

class Fuzz : public FakeWorldTest {};

}  // namespace

TEST_F(Fuzz, EveryEntryTakesAnyArgument)
{
    unsigned long long seed = EnvNumber("SONARO_FUZZ_SEED", DefaultSeed);
    unsigned long inputs = static_cast<unsigned long>(EnvNumber("SONARO_FUZZ_INPUTS", DefaultInputs));
    unsigned long only = static_cast<unsigned long>(EnvNumber("SONARO_FUZZ_ONLY", 0));
    printf("fuzz: seed %llu, %lu inputs\n", seed, only != 0 ? 1ul : inputs);
    fflush(stdout);
    SetUnhandledExceptionFilter(ReportCrash);
    savedConsoleOut = ConsoleOut;
    SetEnvironmentVariableW(L"Highlight", nullptr);

    GuardedText buffer(FUNCTION_BUFFER_CAPACITY);
    GuardedText commandLine(CommandLineChars);
    GuardedText usage(1024);
    usageBuffer = &usage;
    ASSERT_NE(buffer.Data(), nullptr);
    ASSERT_NE(commandLine.Data(), nullptr);
    ASSERT_NE(usage.Data(), nullptr);
    // @PINGTIME's flag 128 prints addresses on the process's own standard
    // output; they would bury the report.
    fflush(stdout);
    int savedStdout = _dup(1);
    int nul = _open("NUL", _O_WRONLY);
    _dup2(nul, 1);
    std::wstring text;
    unsigned long first = only != 0 ? only : 1;
    unsigned long last = only != 0 ? only : inputs;
    unsigned long perEntry[sizeof Entries / sizeof Entries[0]] = {};
    for (unsigned long index = first; index <= last; index++) {
        if (index == first || index % RegistryEpoch == 0) {
            Random registry(StreamSeed(seed, index / RegistryEpoch, 2));
            RandomRegistry(&registry, SonaroWords.data());
            if (HasFailure())
                Fail("the registry contents could not be written");
        }
        perEntry[PlayInput(seed, index, &buffer, &commandLine, &text)]++;
    }
    fflush(stdout);
    _dup2(savedStdout, 1);
    _close(savedStdout);
    _close(nul);
    for (size_t i = 0; i < sizeof Entries / sizeof Entries[0]; i++)
        printf("  %-12s %lu inputs\n", Entries[i].Name, perEntry[i]);
    ClearFuzzRegistry();
    printf("fuzz: %lu inputs into %u entries, no faults\n", last - first + 1,
           static_cast<unsigned>(sizeof Entries / sizeof Entries[0]));
}
