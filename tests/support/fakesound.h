// fakesound.h - the sound devices of the fake world: a wave mixer with
// its lines and controls, and an audio endpoint behind COM, with the COM
// apartment of the calling thread.
#pragma once

#include "testsupport.h"

#include <mmdeviceapi.h>

#include <string>
#include <utility>
#include <vector>

namespace fake {

struct MixerLine {
    std::wstring ShortName, Name;
    DWORD Controls;
    bool HasVolume, HasMute;
};

// Control ids tell line and kind apart: line * 16 + 1 volume, + 2 mute.
struct Mixer {
    bool WaveFails, MixerFails, CapsFail, SetVolumeFails, SetMuteFails;
    std::vector<MixerLine> Lines;
    std::vector<DWORD> FailingLines;    // mixerGetLineInfoW fails for these
    WAVEFORMATEX Format;
    DWORD OpenFlags;
    int WaveOpen, WaveClosed, MixerOpened, MixerClosed;
    std::vector<std::pair<DWORD, DWORD>> Set;    // control id, value
};
extern Mixer mixer;

struct Endpoint {
    HRESULT Create, DefaultDevice, Activate, SetLevel, SetMute;
    EDataFlow Flow;
    ERole Role;
    DWORD ActivateContext;
    bool ActivateIidRight;
    float Level;
    int LevelCalls;
    BOOL Mute;
    int MuteCalls;
    int EnumeratorRefs, DeviceRefs, VolumeRefs;   // left after the call
};
extern Endpoint endpoint;

// The COM apartment of the tests' one thread, by Windows' rules: none until
// CoInitializeEx, which joins the apartment asked for (S_OK), counts one
// more on the same one (S_FALSE) and refuses the other (RPC_E_CHANGED_MODE);
// each success is undone by one CoUninitialize, the last leaving the
// apartment.  CoCreateInstance fails (CO_E_NOTINITIALIZED) outside one.
enum class Apartment { None, Single, Multi };

struct Com {
    Apartment Kind = Apartment::None;
    int Inits = 0;                          // successes not yet undone
    int InitCalls = 0, UninitCalls = 0;
    Apartment CreatedIn = Apartment::None;  // at the last CoCreateInstance
};
extern Com com;

// Resets all three (every call succeeds, no line, no apartment) and
// installs them.
void InstallSound(void);

}  // namespace fake
