// soundvol.h - the system's master playback volume and mute (SoundVol).
#pragma once

#include "sys/syscalls.h"

// By the Windows major version: 5 or older the wave mixer, 6 or newer the
// audio endpoint.  0 done, 2 failed.
int SetSoundVolume(DWORD volume, int mute);
int SetMixerVolume(DWORD volume, int mute);
int SetEndpointVolume(DWORD volume, int mute);
