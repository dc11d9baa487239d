// fakesound.cpp - waveOutOpen/Close, the mixer entries, the COM apartment
// (CoInitializeEx, CoUninitialize) and CoCreateInstance of the audio
// endpoint enumerator, for the fake world.
#include "fakesound.h"

#include <endpointvolume.h>

namespace fake {

Mixer mixer;
Endpoint endpoint;
Com com;

namespace {

HWAVEOUT const FakeWave = reinterpret_cast<HWAVEOUT>(static_cast<INT_PTR>(0x51));
HMIXER const FakeMixer = reinterpret_cast<HMIXER>(static_cast<INT_PTR>(0x52));

MMRESULT WINAPI FakeWaveOutOpen(LPHWAVEOUT wave, UINT device, LPCWAVEFORMATEX format,
                                DWORD_PTR callback, DWORD_PTR, DWORD flags)
{
    EXPECT_EQ(device, WAVE_MAPPER);
    EXPECT_EQ(callback, 0u);
    EXPECT_EQ(flags, 0u);
    mixer.Format = *format;
    if (mixer.WaveFails)
        return MMSYSERR_NODRIVER;
    mixer.WaveOpen++;
    *wave = FakeWave;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI FakeWaveOutClose(HWAVEOUT wave)
{
    EXPECT_EQ(wave, FakeWave);
    mixer.WaveClosed++;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI FakeMixerOpen(LPHMIXER handle, UINT id, DWORD_PTR, DWORD_PTR, DWORD flags)
{
    EXPECT_EQ(id, 0x51u);
    EXPECT_EQ(mixer.WaveClosed, mixer.WaveOpen - 1) << "the wave device is still open";
    mixer.OpenFlags = flags;
    if (mixer.MixerFails)
        return MMSYSERR_NODRIVER;
    mixer.MixerOpened++;
    *handle = FakeMixer;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI FakeMixerClose(HMIXER handle)
{
    EXPECT_EQ(handle, FakeMixer);
    mixer.MixerClosed++;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI FakeMixerGetDevCaps(UINT_PTR id, LPMIXERCAPSW caps, UINT size)
{
    EXPECT_EQ(id, reinterpret_cast<UINT_PTR>(FakeMixer));
    EXPECT_EQ(size, sizeof(MIXERCAPSW));
    if (mixer.CapsFail)
        return MMSYSERR_INVALHANDLE;
    caps->cDestinations = static_cast<DWORD>(mixer.Lines.size());
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI FakeMixerGetLineInfo(HMIXEROBJ, LPMIXERLINEW line, DWORD flags)
{
    EXPECT_EQ(flags, static_cast<DWORD>(MIXER_GETLINEINFOF_DESTINATION));
    DWORD d = line->dwDestination;
    if (d >= mixer.Lines.size())
        return MIXERR_INVALLINE;
    for (DWORD failing : mixer.FailingLines)
        if (failing == d)
            return MMSYSERR_ERROR;
    const MixerLine &l = mixer.Lines[d];
    line->dwLineID = d;
    line->cControls = l.Controls;
    lstrcpynW(line->szShortName, l.ShortName.c_str(), MIXER_SHORT_NAME_CHARS);
    lstrcpynW(line->szName, l.Name.c_str(), MIXER_LONG_NAME_CHARS);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI FakeMixerGetLineControls(HMIXEROBJ, LPMIXERLINECONTROLSW controls, DWORD flags)
{
    EXPECT_EQ(flags, static_cast<DWORD>(MIXER_GETLINECONTROLSF_ONEBYTYPE));
    EXPECT_EQ(controls->cControls, 1u);
    const MixerLine &l = mixer.Lines.at(controls->dwLineID);
    bool volume = controls->dwControlType == 0x50030001u;
    bool mute = controls->dwControlType == 0x20010002u;
    if ((volume && !l.HasVolume) || (mute && !l.HasMute) || (!volume && !mute))
        return MIXERR_INVALCONTROL;
    controls->pamxctrl->dwControlID = controls->dwLineID * 16 + (volume ? 1 : 2);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI FakeMixerSetControlDetails(HMIXEROBJ, LPMIXERCONTROLDETAILS details, DWORD flags)
{
    EXPECT_EQ(flags, static_cast<DWORD>(MIXER_SETCONTROLDETAILSF_VALUE));
    EXPECT_EQ(details->cChannels, 1u);
    EXPECT_EQ(details->cMultipleItems, 0u);
    EXPECT_EQ(details->cbDetails, 4u);
    DWORD value = *static_cast<DWORD *>(details->paDetails);
    bool mute = (details->dwControlID & 15) == 2;
    if ((mute && mixer.SetMuteFails) || (!mute && mixer.SetVolumeFails))
        return MMSYSERR_ERROR;
    mixer.Set.push_back({ details->dwControlID, value });
    return MMSYSERR_NOERROR;
}

class FakeVolume : public IAudioEndpointVolume {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++endpoint.VolumeRefs; }
    ULONG STDMETHODCALLTYPE Release() override { return --endpoint.VolumeRefs; }
    HRESULT STDMETHODCALLTYPE RegisterControlChangeNotify(IAudioEndpointVolumeCallback *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UnregisterControlChangeNotify(IAudioEndpointVolumeCallback *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetChannelCount(UINT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetMasterVolumeLevel(FLOAT, LPCGUID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetMasterVolumeLevelScalar(FLOAT level, LPCGUID context) override
    {
        EXPECT_EQ(context, nullptr);
        endpoint.Level = level;
        endpoint.LevelCalls++;
        return endpoint.SetLevel;
    }
    HRESULT STDMETHODCALLTYPE GetMasterVolumeLevel(FLOAT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMasterVolumeLevelScalar(FLOAT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetChannelVolumeLevel(UINT, FLOAT, LPCGUID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetChannelVolumeLevelScalar(UINT, FLOAT, LPCGUID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetChannelVolumeLevel(UINT, FLOAT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetChannelVolumeLevelScalar(UINT, FLOAT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetMute(WINBOOL mute, LPCGUID context) override
    {
        EXPECT_EQ(context, nullptr);
        endpoint.Mute = mute;
        endpoint.MuteCalls++;
        return endpoint.SetMute;
    }
    HRESULT STDMETHODCALLTYPE GetMute(WINBOOL *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetVolumeStepInfo(UINT *, UINT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE VolumeStepUp(LPCGUID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE VolumeStepDown(LPCGUID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryHardwareSupport(DWORD *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetVolumeRange(FLOAT *, FLOAT *, FLOAT *) override { return E_NOTIMPL; }
} fakeVolume;

const IID IidEndpointVolume = { 0x5CDF2C82, 0x841E, 0x4546,
                                { 0x97, 0x22, 0x0C, 0xF7, 0x40, 0x78, 0x22, 0x9A } };
const IID IidEnumerator = { 0xA95664D2, 0x9614, 0x4F35,
                            { 0xA7, 0x46, 0xDE, 0x8D, 0xB6, 0x36, 0x17, 0xE6 } };
const CLSID ClsidEnumerator = { 0xBCDE0395, 0xE52F, 0x467C,
                                { 0x8E, 0x3D, 0xC4, 0x57, 0x92, 0x91, 0x69, 0x2E } };

class FakeDevice : public IMMDevice {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++endpoint.DeviceRefs; }
    ULONG STDMETHODCALLTYPE Release() override { return --endpoint.DeviceRefs; }
    HRESULT STDMETHODCALLTYPE Activate(REFIID iid, DWORD context, PROPVARIANT *params,
                                       void **out) override
    {
        endpoint.ActivateIidRight = IsEqualIID(iid, IidEndpointVolume);
        endpoint.ActivateContext = context;
        EXPECT_EQ(params, nullptr);
        if (FAILED(endpoint.Activate))
            return endpoint.Activate;
        endpoint.VolumeRefs++;
        *out = static_cast<IAudioEndpointVolume *>(&fakeVolume);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OpenPropertyStore(DWORD, IPropertyStore **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetId(LPWSTR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetState(DWORD *) override { return E_NOTIMPL; }
} fakeDevice;

class FakeEnumerator : public IMMDeviceEnumerator {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++endpoint.EnumeratorRefs; }
    ULONG STDMETHODCALLTYPE Release() override { return --endpoint.EnumeratorRefs; }
    HRESULT STDMETHODCALLTYPE EnumAudioEndpoints(EDataFlow, DWORD, IMMDeviceCollection **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDefaultAudioEndpoint(EDataFlow flow, ERole role,
                                                      IMMDevice **device) override
    {
        endpoint.Flow = flow;
        endpoint.Role = role;
        if (FAILED(endpoint.DefaultDevice))
            return endpoint.DefaultDevice;
        endpoint.DeviceRefs++;
        *device = &fakeDevice;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDevice(LPCWSTR, IMMDevice **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RegisterEndpointNotificationCallback(IMMNotificationClient *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UnregisterEndpointNotificationCallback(IMMNotificationClient *) override { return E_NOTIMPL; }
} fakeEnumerator;

HRESULT WINAPI FakeCoInitializeEx(LPVOID reserved, DWORD flags)
{
    EXPECT_EQ(reserved, nullptr);
    com.InitCalls++;
    Apartment asked = (flags & COINIT_APARTMENTTHREADED) ? Apartment::Single : Apartment::Multi;
    if (com.Kind != Apartment::None && com.Kind != asked)
        return RPC_E_CHANGED_MODE;
    bool first = com.Kind == Apartment::None;
    com.Kind = asked;
    com.Inits++;
    return first ? S_OK : S_FALSE;
}

void WINAPI FakeCoUninitialize(void)
{
    com.UninitCalls++;
    if (com.Inits == 0) {
        ADD_FAILURE() << "CoUninitialize without a CoInitializeEx of its own";
        return;
    }
    if (--com.Inits == 0)
        com.Kind = Apartment::None;
}

HRESULT WINAPI FakeCoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid,
                                    LPVOID *out)
{
    EXPECT_TRUE(IsEqualCLSID(clsid, ClsidEnumerator));
    EXPECT_TRUE(IsEqualIID(iid, IidEnumerator));
    EXPECT_EQ(outer, nullptr);
    EXPECT_EQ(context, static_cast<DWORD>(CLSCTX_INPROC_SERVER));
    com.CreatedIn = com.Kind;
    *out = nullptr;
    if (com.Kind == Apartment::None)
        return CO_E_NOTINITIALIZED;
    if (FAILED(endpoint.Create))
        return endpoint.Create;
    endpoint.EnumeratorRefs++;
    *out = static_cast<IMMDeviceEnumerator *>(&fakeEnumerator);
    return S_OK;
}

}  // namespace

void InstallSound(void)
{
    mixer = Mixer();
    endpoint = Endpoint();
    com = Com();
    endpoint.Flow = EDataFlow_enum_count;
    endpoint.Role = ERole_enum_count;
    endpoint.Mute = -1;
    g_sys.waveOutOpen = FakeWaveOutOpen;
    g_sys.waveOutClose = FakeWaveOutClose;
    g_sys.mixerOpen = FakeMixerOpen;
    g_sys.mixerClose = FakeMixerClose;
    g_sys.mixerGetDevCapsW = FakeMixerGetDevCaps;
    g_sys.mixerGetLineInfoW = FakeMixerGetLineInfo;
    g_sys.mixerGetLineControlsW = FakeMixerGetLineControls;
    g_sys.mixerSetControlDetails = FakeMixerSetControlDetails;
    g_sys.CoInitializeEx = FakeCoInitializeEx;
    g_sys.CoUninitialize = FakeCoUninitialize;
    g_sys.CoCreateInstance = FakeCoCreateInstance;
}

}  // namespace fake
