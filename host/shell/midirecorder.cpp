// midirecorder.cpp - the recording MIDI output device (see midirecorder.h).
//
// The entries of the loaded winmm.dll are overwritten with a jump to the
// functions below, so every module of the process that calls them - a
// plugin through its import table as well - reaches this device instead of
// the system's.  Messages arrive on the host's thread; the break handler may
// finish the recording from another, hence the lock.
#include "host/shell/midirecorder.h"
#include "host/shell/midifile.h"
#include "host/shell/shellerror.h"

#include <string.h>

#include <string>
#include <type_traits>

namespace {

// A handle is this base plus the open's number: never null, never a device
// number, and within 32 bits, so that plugins can publish it in a 32-bit
// registry record on x64 as well.
const UINT_PTR HandleBase = 0x10000;
// Handles open at the same time.
const int MaxOpen = 16;

const wchar_t DeviceName[] = L"hostshell recorder";

bool Started;
CRITICAL_SECTION Lock;
bool Recording;  // started, and the files not yet written
LARGE_INTEGER StartCount, Frequency;
std::vector<MidiEvent> Events;
DWORD OpenNumbers[MaxOpen];  // the numbers of the open handles; 0: a free place
DWORD Opens;                 // opens so far
std::wstring MidiPath, LogPath;

unsigned long long MicrosSinceStart(void)
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    unsigned long long elapsed = static_cast<unsigned long long>(now.QuadPart - StartCount.QuadPart);
    unsigned long long frequency = static_cast<unsigned long long>(Frequency.QuadPart);
    // Whole seconds first: elapsed * 1000000 would overflow after some days.
    return elapsed / frequency * 1000000 + elapsed % frequency * 1000000 / frequency;
}

// Under the lock.
void Record(MidiEventKind kind, DWORD value, UINT device)
{
    if (!Recording)
        return;
    MidiEvent event;
    event.micros = MicrosSinceStart();
    event.kind = kind;
    event.value = value;
    event.device = device;
    Events.push_back(event);
}

// Under the lock: the place of an open handle, or -1.
int FindOpen(UINT_PTR handle)
{
    for (int i = 0; i < MaxOpen; i++) {
        if (OpenNumbers[i] != 0 && HandleBase + OpenNumbers[i] == handle)
            return i;
    }
    return -1;
}

bool IsDevice(UINT_PTR device)
{
    return device == 0 || device == MIDI_MAPPER || device == static_cast<UINT_PTR>(-1);
}

UINT WINAPI RecorderGetNumDevs(void)
{
    return 1;
}

// The capabilities of the device, asked for by device number or by an open
// handle.
template <typename Caps>
MMRESULT GetCaps(UINT_PTR device, Caps *caps, UINT size)
{
    if (caps == nullptr)
        return MMSYSERR_INVALPARAM;
    EnterCriticalSection(&Lock);
    bool known = IsDevice(device) || FindOpen(device) >= 0;
    LeaveCriticalSection(&Lock);
    if (!known)
        return MMSYSERR_BADDEVICEID;
    Caps filled;
    memset(&filled, 0, sizeof filled);
    filled.wMid = 0xFFFF;  // no registered manufacturer or product
    filled.wPid = 0xFFFF;
    filled.vDriverVersion = 0x0100;
    for (size_t i = 0; i + 1 < sizeof filled.szPname / sizeof filled.szPname[0] && DeviceName[i];
         i++)
        filled.szPname[i] = static_cast<std::remove_reference_t<decltype(filled.szPname[0])>>(
            DeviceName[i]);
    filled.wTechnology = MOD_MIDIPORT;
    filled.wChannelMask = 0xFFFF;
    memcpy(caps, &filled, size < sizeof filled ? size : sizeof filled);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI RecorderGetDevCapsW(UINT_PTR device, LPMIDIOUTCAPSW caps, UINT size)
{
    return GetCaps(device, caps, size);
}

MMRESULT WINAPI RecorderGetDevCapsA(UINT_PTR device, LPMIDIOUTCAPSA caps, UINT size)
{
    return GetCaps(device, caps, size);
}

MMRESULT WINAPI RecorderOpen(LPHMIDIOUT handle, UINT device, DWORD_PTR, DWORD_PTR, DWORD flags)
{
    if (handle == nullptr)
        return MMSYSERR_INVALPARAM;
    *handle = nullptr;
    if (!IsDevice(device))
        return MMSYSERR_BADDEVICEID;
    // Nothing here would ever call back.
    if ((flags & CALLBACK_TYPEMASK) != CALLBACK_NULL)
        return MMSYSERR_NOTSUPPORTED;
    EnterCriticalSection(&Lock);
    MMRESULT result = MMSYSERR_ALLOCATED;
    for (int i = 0; i < MaxOpen; i++) {
        if (OpenNumbers[i] == 0) {
            OpenNumbers[i] = ++Opens;
            *handle = reinterpret_cast<HMIDIOUT>(HandleBase + Opens);
            Record(MidiOpen, Opens, device);
            result = MMSYSERR_NOERROR;
            break;
        }
    }
    LeaveCriticalSection(&Lock);
    return result;
}

MMRESULT WINAPI RecorderShortMsg(HMIDIOUT handle, DWORD message)
{
    EnterCriticalSection(&Lock);
    bool open = FindOpen(reinterpret_cast<UINT_PTR>(handle)) >= 0;
    if (open)
        Record(MidiMessage, message, 0);
    LeaveCriticalSection(&Lock);
    return open ? MMSYSERR_NOERROR : MMSYSERR_INVALHANDLE;
}

MMRESULT WINAPI RecorderReset(HMIDIOUT handle)
{
    EnterCriticalSection(&Lock);
    int place = FindOpen(reinterpret_cast<UINT_PTR>(handle));
    if (place >= 0)
        Record(MidiReset, OpenNumbers[place], 0);
    LeaveCriticalSection(&Lock);
    return place >= 0 ? MMSYSERR_NOERROR : MMSYSERR_INVALHANDLE;
}

MMRESULT WINAPI RecorderClose(HMIDIOUT handle)
{
    EnterCriticalSection(&Lock);
    int place = FindOpen(reinterpret_cast<UINT_PTR>(handle));
    if (place >= 0) {
        Record(MidiClose, OpenNumbers[place], 0);
        OpenNumbers[place] = 0;
    }
    LeaveCriticalSection(&Lock);
    return place >= 0 ? MMSYSERR_NOERROR : MMSYSERR_INVALHANDLE;
}

// Known only from its open to its close, as the system's handles are: the
// plugins ask so before they reuse a handle they find in a record.
MMRESULT WINAPI RecorderGetID(HMIDIOUT handle, LPUINT device)
{
    EnterCriticalSection(&Lock);
    bool open = FindOpen(reinterpret_cast<UINT_PTR>(handle)) >= 0;
    LeaveCriticalSection(&Lock);
    if (!open)
        return MMSYSERR_INVALHANDLE;
    if (device == nullptr)
        return MMSYSERR_INVALPARAM;
    *device = 0;
    return MMSYSERR_NOERROR;
}

// The stand-ins have the system's signatures, or the stack of a 32-bit
// caller would not balance.
static_assert(std::is_same_v<decltype(&RecorderGetNumDevs), decltype(&midiOutGetNumDevs)>);
static_assert(std::is_same_v<decltype(&RecorderGetDevCapsW), decltype(&midiOutGetDevCapsW)>);
static_assert(std::is_same_v<decltype(&RecorderGetDevCapsA), decltype(&midiOutGetDevCapsA)>);
static_assert(std::is_same_v<decltype(&RecorderOpen), decltype(&midiOutOpen)>);
static_assert(std::is_same_v<decltype(&RecorderShortMsg), decltype(&midiOutShortMsg)>);
static_assert(std::is_same_v<decltype(&RecorderReset), decltype(&midiOutReset)>);
static_assert(std::is_same_v<decltype(&RecorderClose), decltype(&midiOutClose)>);
static_assert(std::is_same_v<decltype(&RecorderGetID), decltype(&midiOutGetID)>);

struct Redirect {
    const char *name;
    void *replacement;
};

const Redirect Redirects[] = {
    {"midiOutGetNumDevs", reinterpret_cast<void *>(&RecorderGetNumDevs)},
    {"midiOutGetDevCapsW", reinterpret_cast<void *>(&RecorderGetDevCapsW)},
    {"midiOutGetDevCapsA", reinterpret_cast<void *>(&RecorderGetDevCapsA)},
    {"midiOutOpen", reinterpret_cast<void *>(&RecorderOpen)},
    {"midiOutShortMsg", reinterpret_cast<void *>(&RecorderShortMsg)},
    {"midiOutReset", reinterpret_cast<void *>(&RecorderReset)},
    {"midiOutClose", reinterpret_cast<void *>(&RecorderClose)},
    {"midiOutGetID", reinterpret_cast<void *>(&RecorderGetID)},
};

// Overwrites the start of the entry with a jump to the replacement.  On x64
// an absolute jump (12 bytes; the entries are 16-byte aligned, and rax is
// free at a call), on x86 a relative one (5 bytes).
bool RedirectEntry(BYTE *entry, void *replacement)
{
#ifdef _WIN64
    BYTE jump[12] = {0x48, 0xB8};  // mov rax, replacement
    memcpy(jump + 2, &replacement, 8);
    jump[10] = 0xFF;  // jmp rax
    jump[11] = 0xE0;
#else
    BYTE jump[5] = {0xE9};  // jmp rel32
    LONG distance = static_cast<LONG>(reinterpret_cast<BYTE *>(replacement) - (entry + 5));
    memcpy(jump + 1, &distance, 4);
#endif
    DWORD protection = 0;
    if (!VirtualProtect(entry, sizeof jump, PAGE_EXECUTE_READWRITE, &protection))
        return false;
    memcpy(entry, jump, sizeof jump);
    VirtualProtect(entry, sizeof jump, protection, &protection);
    FlushInstructionCache(GetCurrentProcess(), entry, sizeof jump);
    return true;
}

}  // namespace

bool StartMidiRecorder(const wchar_t *midiFile, const wchar_t *logFile)
{
    InitializeCriticalSection(&Lock);
    QueryPerformanceFrequency(&Frequency);
    QueryPerformanceCounter(&StartCount);
    MidiPath = midiFile;
    LogPath = logFile;
    HMODULE winmm = LoadLibraryW(L"winmm.dll");
    if (winmm == nullptr) {
        ShellError(L"MIDI recorder: unable to load winmm.dll (error %lu)\r\n", GetLastError());
        return false;
    }
    for (const Redirect &redirect : Redirects) {
        FARPROC entry = GetProcAddress(winmm, redirect.name);
        if (entry == nullptr ||
            !RedirectEntry(reinterpret_cast<BYTE *>(reinterpret_cast<void *>(entry)),
                           redirect.replacement)) {
            ShellError(L"MIDI recorder: unable to redirect %hs (error %lu)\r\n", redirect.name,
                       GetLastError());
            return false;
        }
    }
    Recording = true;
    Started = true;
    return true;
}

void FinishMidiRecorder(void)
{
    if (!Started)
        return;
    // Written under the lock: a second caller (the main thread at its end,
    // or the break handler) waits until the files are complete.
    EnterCriticalSection(&Lock);
    if (Recording) {
        Recording = false;
        if (!MidiPath.empty())
            WriteMidiFile(MidiPath.c_str(), Events);
        if (!LogPath.empty())
            WriteMidiLog(LogPath.c_str(), Events);
    }
    LeaveCriticalSection(&Lock);
}
