// fakesound.h - the sound devices of the fake world: a wave mixer with
// its lines and controls, and an audio endpoint behind COM.
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

// Resets both (every call succeeds, no line) and installs them.
void InstallSound(void);

}  // namespace fake
