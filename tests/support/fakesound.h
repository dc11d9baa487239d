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
    std::wstring shortName, name;
    DWORD controls;
    bool hasVolume, hasMute;
};

// Control ids tell line and kind apart: line * 16 + 1 volume, + 2 mute.
struct Mixer {
    bool waveFails, mixerFails, capsFail, setVolumeFails, setMuteFails;
    std::vector<MixerLine> lines;
    std::vector<DWORD> failingLines;    // mixerGetLineInfoW fails for these
    WAVEFORMATEX format;
    DWORD openFlags;
    int waveOpen, waveClosed, mixerOpened, mixerClosed;
    std::vector<std::pair<DWORD, DWORD>> set;    // control id, value
};
extern Mixer mixer;

struct Endpoint {
    HRESULT create, defaultDevice, activate, setLevel, setMute;
    EDataFlow flow;
    ERole role;
    DWORD activateContext;
    bool activateIidRight;
    float level;
    int levelCalls;
    BOOL mute;
    int muteCalls;
    int enumeratorRefs, deviceRefs, volumeRefs;   // left after the call
};
extern Endpoint endpoint;

// Resets both (every call succeeds, no line) and installs them.
void InstallSound(void);

}  // namespace fake
