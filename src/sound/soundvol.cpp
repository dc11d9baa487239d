// soundvol.cpp - master volume through the wave mixer or the audio endpoint.
#include "sound/soundvol.h"
#include "base/pluginstate.h"
#include "sys/syscalls.h"

#include <mmdeviceapi.h>
#include <endpointvolume.h>
#include <string.h>

// Published identifiers, spelled out so no GUID library is needed.
static const CLSID ClsidDeviceEnumerator = {
    0xBCDE0395, 0xE52F, 0x467C, { 0x8E, 0x3D, 0xC4, 0x57, 0x92, 0x91, 0x69, 0x2E } };
static const IID IidDeviceEnumerator = {
    0xA95664D2, 0x9614, 0x4F35, { 0xA7, 0x46, 0xDE, 0x8D, 0xB6, 0x36, 0x17, 0xE6 } };
static const IID IidEndpointVolume = {
    0x5CDF2C82, 0x841E, 0x4546, { 0x97, 0x22, 0x0C, 0xF7, 0x40, 0x78, 0x22, 0x9A } };

int SetSoundVolume(DWORD volume, int mute)
{
    if (OsVersion.dwMajorVersion <= 5)
        return SetMixerVolume(volume, mute);
    return SetEndpointVolume(volume, mute);
}

// Sets one control of the line to a single 32-bit value for all channels.
static bool SetControlValue(HMIXER mixer, DWORD controlId, DWORD value)
{
    MIXERCONTROLDETAILS_UNSIGNED detail;
    detail.dwValue = value;
    MIXERCONTROLDETAILS details;
    memset(&details, 0, sizeof details);
    details.cbStruct = sizeof details;
    details.dwControlID = controlId;
    details.cChannels = 1;
    details.cMultipleItems = 0;
    details.cbDetails = sizeof detail;
    details.paDetails = &detail;
    return SYS(mixerSetControlDetails)(reinterpret_cast<HMIXEROBJ>(mixer), &details,
                                       MIXER_SETCONTROLDETAILSF_VALUE) == MMSYSERR_NOERROR;
}

// The line's control of one type; false when it has none.
static bool FindLineControl(HMIXER mixer, DWORD lineId, DWORD type, MIXERCONTROLW *control)
{
    memset(control, 0, sizeof *control);
    control->cbStruct = sizeof *control;
    MIXERLINECONTROLSW controls;
    memset(&controls, 0, sizeof controls);
    controls.cbStruct = sizeof controls;
    controls.dwLineID = lineId;
    controls.dwControlType = type;
    controls.cControls = 1;
    controls.cbmxctrl = sizeof *control;
    controls.pamxctrl = control;
    return SYS(mixerGetLineControlsW)(reinterpret_cast<HMIXEROBJ>(mixer), &controls,
                                      MIXER_GETLINECONTROLSF_ONEBYTYPE) == MMSYSERR_NOERROR;
}

static bool LineNameBegins(const MIXERLINEW &line, const wchar_t *word)
{
    size_t n = wcslen(word);
    return _wcsnicmp(line.szShortName, word, n) == 0 || _wcsnicmp(line.szName, word, n) == 0;
}

// The destination to set: the first "Master" line with controls, else the
// first "Main" one, else the first with controls at all.
static bool ChooseDestination(HMIXER mixer, DWORD destinations, MIXERLINEW *chosen)
{
    MIXERLINEW first, master, mainLine;
    memset(&first, 0, sizeof first);
    memset(&master, 0, sizeof master);
    memset(&mainLine, 0, sizeof mainLine);
    bool haveFirst = false, haveMaster = false, haveMain = false;
    for (DWORD d = 0; d < destinations; d++) {
        MIXERLINEW line;
        memset(&line, 0, sizeof line);
        line.cbStruct = sizeof line;
        line.dwDestination = d;
        if (SYS(mixerGetLineInfoW)(reinterpret_cast<HMIXEROBJ>(mixer), &line,
                                   MIXER_GETLINEINFOF_DESTINATION) != MMSYSERR_NOERROR ||
            line.cControls == 0)
            continue;
        if (!haveFirst) {
            first = line;
            haveFirst = true;
        }
        if (!haveMaster && LineNameBegins(line, L"Master")) {
            master = line;
            haveMaster = true;
        }
        if (!haveMain && LineNameBegins(line, L"Main")) {
            mainLine = line;
            haveMain = true;
        }
    }
    if (haveMaster)
        *chosen = master;
    else if (haveMain)
        *chosen = mainLine;
    else if (haveFirst)
        *chosen = first;
    return haveFirst;
}

int SetMixerVolume(DWORD volume, int mute)
{
    WAVEFORMATEX format;
    memset(&format, 0, sizeof format);
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = 44100;
    format.nAvgBytesPerSec = 176400;
    format.nBlockAlign = 4;
    format.wBitsPerSample = 16;
    format.cbSize = 0;

    HWAVEOUT wave = nullptr;
    if (SYS(waveOutOpen)(&wave, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR)
        return 2;
    HMIXER mixer = nullptr;
    if (SYS(mixerOpen)(&mixer, static_cast<UINT>(reinterpret_cast<UINT_PTR>(wave)), 0, 0,
                       MIXER_OBJECTF_HWAVEOUT) != MMSYSERR_NOERROR) {
        SYS(waveOutClose)(wave);
        return 2;
    }
    SYS(waveOutClose)(wave);

    int result = 2;
    MIXERCAPSW caps;
    memset(&caps, 0, sizeof caps);
    MIXERLINEW line;
    MIXERCONTROLW volumeControl, muteControl;
    if (SYS(mixerGetDevCapsW)(reinterpret_cast<UINT_PTR>(mixer), &caps, sizeof caps) ==
            MMSYSERR_NOERROR &&
        caps.cDestinations != 0 && ChooseDestination(mixer, caps.cDestinations, &line) &&
        FindLineControl(mixer, line.dwLineID, MIXERCONTROL_CONTROLTYPE_VOLUME, &volumeControl)) {
        bool hasMute =
            FindLineControl(mixer, line.dwLineID, MIXERCONTROL_CONTROLTYPE_MUTE, &muteControl);
        // The scale is always 0 to 65535, whatever the control reports.
        if (SetControlValue(mixer, volumeControl.dwControlID, volume * 65535u / 100u) &&
            (!hasMute || SetControlValue(mixer, muteControl.dwControlID, mute != 0 ? 1 : 0)))
            result = 0;
    }
    SYS(mixerClose)(mixer);
    return result;
}

// The endpoint's level and mute, on a thread that can use COM.
static int SetEndpointLevel(DWORD volume, int mute)
{
    IMMDeviceEnumerator *enumerator = nullptr;
    if (FAILED(SYS(CoCreateInstance)(ClsidDeviceEnumerator, nullptr, CLSCTX_INPROC_SERVER,
                                     IidDeviceEnumerator,
                                     reinterpret_cast<void **>(&enumerator))) ||
        enumerator == nullptr)
        return 2;

    IMMDevice *device = nullptr;
    HRESULT status = enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &device);
    enumerator->Release();
    if (FAILED(status) || device == nullptr)
        return 2;

    IAudioEndpointVolume *endpoint = nullptr;
    status = device->Activate(IidEndpointVolume, CLSCTX_INPROC_SERVER, nullptr,
                              reinterpret_cast<void **>(&endpoint));
    device->Release();
    if (FAILED(status) || endpoint == nullptr)
        return 2;

    float level = volume <= 100 ? static_cast<float>(volume / 100.0) : 1.0f;
    if (FAILED(endpoint->SetMasterVolumeLevelScalar(level, nullptr))) {
        endpoint->Release();
        return 2;
    }
    endpoint->SetMute(mute != 0 ? TRUE : FALSE, nullptr);
    endpoint->Release();
    return 0;
}

int SetEndpointVolume(DWORD volume, int mute)
{
    // The host's thread need not have COM.  A single-threaded apartment is
    // joined for this call and left again; a thread already in the
    // multithreaded one answers RPC_E_CHANGED_MODE and is used as it is.
    // Every success, S_FALSE too, is balanced by one CoUninitialize.
    HRESULT joined = SYS(CoInitializeEx)(nullptr, COINIT_APARTMENTTHREADED);
    int result = SetEndpointLevel(volume, mute);
    if (joined == S_OK || joined == S_FALSE)
        SYS(CoUninitialize)();
    return result;
}
