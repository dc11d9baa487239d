// System volume through a faked wave mixer and a faked audio endpoint.
#include "testsupport.h"
#include "sound/soundvol.h"
#include "base/pluginstate.h"
#include "sys/syscalls.h"

#include <mmdeviceapi.h>
#include <endpointvolume.h>

#include <string>
#include <vector>

namespace {

// ---- the mixer ---------------------------------------------------------

struct Line {
    std::wstring shortName, name;
    DWORD controls;
    bool hasVolume, hasMute;
};

struct Mixer {
    bool waveFails, mixerFails, capsFail, setVolumeFails, setMuteFails;
    std::vector<Line> lines;
    std::vector<DWORD> failingLines;    // mixerGetLineInfoW fails for these
    WAVEFORMATEX format;
    DWORD openFlags;
    int waveOpen, waveClosed, mixerOpened, mixerClosed;
    std::vector<std::pair<DWORD, DWORD>> set;    // control id, value
} mixer;

HWAVEOUT const FakeWave = reinterpret_cast<HWAVEOUT>(static_cast<INT_PTR>(0x51));
HMIXER const FakeMixer = reinterpret_cast<HMIXER>(static_cast<INT_PTR>(0x52));

// Control ids tell line and kind apart: line * 16 + 1 volume, + 2 mute.
MMRESULT WINAPI FakeWaveOutOpen(LPHWAVEOUT wave, UINT device, LPCWAVEFORMATEX format,
                                DWORD_PTR callback, DWORD_PTR, DWORD flags)
{
    EXPECT_EQ(device, WAVE_MAPPER);
    EXPECT_EQ(callback, 0u);
    EXPECT_EQ(flags, 0u);
    mixer.format = *format;
    if (mixer.waveFails)
        return MMSYSERR_NODRIVER;
    mixer.waveOpen++;
    *wave = FakeWave;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI FakeWaveOutClose(HWAVEOUT wave)
{
    EXPECT_EQ(wave, FakeWave);
    mixer.waveClosed++;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI FakeMixerOpen(LPHMIXER handle, UINT id, DWORD_PTR, DWORD_PTR, DWORD flags)
{
    EXPECT_EQ(id, 0x51u);
    EXPECT_EQ(mixer.waveClosed, mixer.waveOpen - 1) << "the wave device is still open";
    mixer.openFlags = flags;
    if (mixer.mixerFails)
        return MMSYSERR_NODRIVER;
    mixer.mixerOpened++;
    *handle = FakeMixer;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI FakeMixerClose(HMIXER handle)
{
    EXPECT_EQ(handle, FakeMixer);
    mixer.mixerClosed++;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI FakeMixerGetDevCaps(UINT_PTR id, LPMIXERCAPSW caps, UINT size)
{
    EXPECT_EQ(id, reinterpret_cast<UINT_PTR>(FakeMixer));
    EXPECT_EQ(size, sizeof(MIXERCAPSW));
    if (mixer.capsFail)
        return MMSYSERR_INVALHANDLE;
    caps->cDestinations = static_cast<DWORD>(mixer.lines.size());
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI FakeMixerGetLineInfo(HMIXEROBJ, LPMIXERLINEW line, DWORD flags)
{
    EXPECT_EQ(flags, static_cast<DWORD>(MIXER_GETLINEINFOF_DESTINATION));
    DWORD d = line->dwDestination;
    if (d >= mixer.lines.size())
        return MIXERR_INVALLINE;
    for (DWORD failing : mixer.failingLines)
        if (failing == d)
            return MMSYSERR_ERROR;
    const Line &l = mixer.lines[d];
    line->dwLineID = d;
    line->cControls = l.controls;
    lstrcpynW(line->szShortName, l.shortName.c_str(), MIXER_SHORT_NAME_CHARS);
    lstrcpynW(line->szName, l.name.c_str(), MIXER_LONG_NAME_CHARS);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI FakeMixerGetLineControls(HMIXEROBJ, LPMIXERLINECONTROLSW controls, DWORD flags)
{
    EXPECT_EQ(flags, static_cast<DWORD>(MIXER_GETLINECONTROLSF_ONEBYTYPE));
    EXPECT_EQ(controls->cControls, 1u);
    const Line &l = mixer.lines.at(controls->dwLineID);
    bool volume = controls->dwControlType == 0x50030001u;
    bool mute = controls->dwControlType == 0x20010002u;
    if ((volume && !l.hasVolume) || (mute && !l.hasMute) || (!volume && !mute))
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
    if ((mute && mixer.setMuteFails) || (!mute && mixer.setVolumeFails))
        return MMSYSERR_ERROR;
    mixer.set.push_back({ details->dwControlID, value });
    return MMSYSERR_NOERROR;
}

Line Named(const wchar_t *name, DWORD controls = 2, bool mute = true)
{
    return { L"", name, controls, true, mute };
}

// ---- the endpoint ------------------------------------------------------

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
} endpoint;

class FakeVolume : public IAudioEndpointVolume {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++endpoint.volumeRefs; }
    ULONG STDMETHODCALLTYPE Release() override { return --endpoint.volumeRefs; }
    HRESULT STDMETHODCALLTYPE RegisterControlChangeNotify(IAudioEndpointVolumeCallback *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UnregisterControlChangeNotify(IAudioEndpointVolumeCallback *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetChannelCount(UINT *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetMasterVolumeLevel(FLOAT, LPCGUID) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetMasterVolumeLevelScalar(FLOAT level, LPCGUID context) override
    {
        EXPECT_EQ(context, nullptr);
        endpoint.level = level;
        endpoint.levelCalls++;
        return endpoint.setLevel;
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
        endpoint.mute = mute;
        endpoint.muteCalls++;
        return endpoint.setMute;
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
    ULONG STDMETHODCALLTYPE AddRef() override { return ++endpoint.deviceRefs; }
    ULONG STDMETHODCALLTYPE Release() override { return --endpoint.deviceRefs; }
    HRESULT STDMETHODCALLTYPE Activate(REFIID iid, DWORD context, PROPVARIANT *params,
                                       void **out) override
    {
        endpoint.activateIidRight = IsEqualIID(iid, IidEndpointVolume);
        endpoint.activateContext = context;
        EXPECT_EQ(params, nullptr);
        if (FAILED(endpoint.activate))
            return endpoint.activate;
        endpoint.volumeRefs++;
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
    ULONG STDMETHODCALLTYPE AddRef() override { return ++endpoint.enumeratorRefs; }
    ULONG STDMETHODCALLTYPE Release() override { return --endpoint.enumeratorRefs; }
    HRESULT STDMETHODCALLTYPE EnumAudioEndpoints(EDataFlow, DWORD, IMMDeviceCollection **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDefaultAudioEndpoint(EDataFlow flow, ERole role,
                                                      IMMDevice **device) override
    {
        endpoint.flow = flow;
        endpoint.role = role;
        if (FAILED(endpoint.defaultDevice))
            return endpoint.defaultDevice;
        endpoint.deviceRefs++;
        *device = &fakeDevice;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDevice(LPCWSTR, IMMDevice **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RegisterEndpointNotificationCallback(IMMNotificationClient *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UnregisterEndpointNotificationCallback(IMMNotificationClient *) override { return E_NOTIMPL; }
} fakeEnumerator;

HRESULT WINAPI FakeCoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid,
                                    LPVOID *out)
{
    EXPECT_TRUE(IsEqualCLSID(clsid, ClsidEnumerator));
    EXPECT_TRUE(IsEqualIID(iid, IidEnumerator));
    EXPECT_EQ(outer, nullptr);
    EXPECT_EQ(context, static_cast<DWORD>(CLSCTX_INPROC_SERVER));
    if (FAILED(endpoint.create))
        return endpoint.create;
    endpoint.enumeratorRefs++;
    *out = static_cast<IMMDeviceEnumerator *>(&fakeEnumerator);
    return S_OK;
}

class SoundVolumeTest : public SysTest {
protected:
    void SetUp() override
    {
        SysTest::SetUp();
        mixer = Mixer();
        endpoint = Endpoint();
        endpoint.flow = EDataFlow_enum_count;
        endpoint.role = ERole_enum_count;
        endpoint.mute = -1;
        g_sys.waveOutOpen = FakeWaveOutOpen;
        g_sys.waveOutClose = FakeWaveOutClose;
        g_sys.mixerOpen = FakeMixerOpen;
        g_sys.mixerClose = FakeMixerClose;
        g_sys.mixerGetDevCapsW = FakeMixerGetDevCaps;
        g_sys.mixerGetLineInfoW = FakeMixerGetLineInfo;
        g_sys.mixerGetLineControlsW = FakeMixerGetLineControls;
        g_sys.mixerSetControlDetails = FakeMixerSetControlDetails;
        g_sys.CoCreateInstance = FakeCoCreateInstance;
        savedMajor_ = OsVersion.dwMajorVersion;
    }
    void TearDown() override
    {
        OsVersion.dwMajorVersion = savedMajor_;
        SysTest::TearDown();
    }
    DWORD savedMajor_;
};

using Set = std::vector<std::pair<DWORD, DWORD>>;

}  // namespace

TEST_F(SoundVolumeTest, MixerScaleAndDevice)
{
    mixer.lines = { Named(L"Master Volume") };
    struct { DWORD volume; int mute; DWORD value; } cases[] = {
        { 0, 0, 0 }, { 50, 0, 32767 }, { 100, 0, 65535 }, { 1, 1, 655 },
    };
    for (auto &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        mixer.set.clear();
        EXPECT_EQ(SetMixerVolume(c.volume, c.mute), 0);
        EXPECT_EQ(mixer.set, Set({ { 1, c.value }, { 2, c.mute ? 1u : 0u } })) << c.volume;
    }
    EXPECT_EQ(mixer.format.wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(mixer.format.nChannels, 2);
    EXPECT_EQ(mixer.format.nSamplesPerSec, 44100u);
    EXPECT_EQ(mixer.format.nAvgBytesPerSec, 176400u);
    EXPECT_EQ(mixer.format.nBlockAlign, 4);
    EXPECT_EQ(mixer.format.wBitsPerSample, 16);
    EXPECT_EQ(mixer.format.cbSize, 0);
    EXPECT_EQ(mixer.openFlags, 0x90000000u);
    EXPECT_EQ(mixer.waveOpen, 4);
    EXPECT_EQ(mixer.waveClosed, 4);
    EXPECT_EQ(mixer.mixerClosed, 4);
}

TEST_F(SoundVolumeTest, MixerLineChoice)
{
    Line speakers = Named(L"Speakers"), master = Named(L"Master Volume"),
         mainOut = Named(L"Main Out"), dead = Named(L"Master", 0);
    Line shortMaster = { L"MASTER", L"Output", 1, true, false };
    struct { std::vector<Line> lines; DWORD chosen; } cases[] = {
        { { speakers, master, mainOut }, 1 },
        { { speakers, mainOut }, 1 },
        { { speakers }, 0 },
        { { dead, speakers, mainOut }, 2 },
        { { dead, speakers }, 1 },
        { { mainOut, speakers, shortMaster }, 2 },
    };
    for (auto &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        mixer.lines = c.lines;
        mixer.set.clear();
        EXPECT_EQ(SetMixerVolume(80, 0), 0);
        ASSERT_FALSE(mixer.set.empty());
        EXPECT_EQ(mixer.set[0].first, c.chosen * 16 + 1) << "line " << c.chosen;
    }
    // A line whose information cannot be read is skipped.
    mixer.lines = { master, speakers };
    mixer.failingLines = { 0 };
    mixer.set.clear();
    EXPECT_EQ(SetMixerVolume(80, 0), 0);
    EXPECT_EQ(mixer.set[0].first, 17u);
}

TEST_F(SoundVolumeTest, MixerWithoutMuteStillSetsTheVolume)
{
    mixer.lines = { Named(L"Master", 1, false) };
    EXPECT_EQ(SetMixerVolume(100, 1), 0);
    EXPECT_EQ(mixer.set, Set({ { 1, 65535 } }));
}

TEST_F(SoundVolumeTest, MixerFailures)
{
    struct { const char *what; void (*arrange)(); int waveClosed, mixerClosed; size_t sets; } cases[] = {
        { "wave device", [] { mixer.waveFails = true; }, 0, 0, 0 },
        { "mixer", [] { mixer.mixerFails = true; }, 1, 0, 0 },
        { "capabilities", [] { mixer.capsFail = true; }, 1, 1, 0 },
        { "no destinations", [] { mixer.lines.clear(); }, 1, 1, 0 },
        { "no line with controls", [] { mixer.lines = { Named(L"Master", 0) }; }, 1, 1, 0 },
        { "no volume control",
          [] { mixer.lines = { { L"", L"Master", 1, false, true } }; }, 1, 1, 0 },
        { "volume refused", [] { mixer.setVolumeFails = true; }, 1, 1, 0 },
        { "mute refused after the volume", [] { mixer.setMuteFails = true; }, 1, 1, 1 },
    };
    for (auto &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        mixer = Mixer();
        mixer.lines = { Named(L"Master") };
        c.arrange();
        EXPECT_EQ(SetMixerVolume(50, 0), 2) << c.what;
        EXPECT_EQ(mixer.waveClosed, c.waveClosed) << c.what;
        EXPECT_EQ(mixer.mixerClosed, c.mixerClosed) << c.what;
        EXPECT_EQ(mixer.set.size(), c.sets) << c.what;
    }
}

TEST_F(SoundVolumeTest, EndpointLevelAndMute)
{
    struct { DWORD volume; int mute; float level; BOOL muted; } cases[] = {
        { 0, 0, 0.0f, FALSE }, { 50, 0, 0.5f, FALSE }, { 100, 1, 1.0f, TRUE }, { 250, 0, 1.0f, FALSE },
    };
    for (auto &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        EXPECT_EQ(SetEndpointVolume(c.volume, c.mute), 0);
        EXPECT_EQ(endpoint.level, c.level) << c.volume;
        EXPECT_EQ(endpoint.mute, c.muted) << c.volume;
    }
    EXPECT_EQ(endpoint.flow, eRender);
    EXPECT_EQ(endpoint.role, eConsole);
    EXPECT_TRUE(endpoint.activateIidRight);
    EXPECT_EQ(endpoint.activateContext, static_cast<DWORD>(CLSCTX_INPROC_SERVER));
    EXPECT_EQ(endpoint.enumeratorRefs, 0);
    EXPECT_EQ(endpoint.deviceRefs, 0);
    EXPECT_EQ(endpoint.volumeRefs, 0);
}

TEST_F(SoundVolumeTest, EndpointFailuresReleaseWhatWasHad)
{
    struct { const char *what; HRESULT Endpoint::*step; int levelCalls; int result; } cases[] = {
        { "enumerator", &Endpoint::create, 0, 2 },
        { "default device", &Endpoint::defaultDevice, 0, 2 },
        { "activation", &Endpoint::activate, 0, 2 },
        { "level", &Endpoint::setLevel, 1, 2 },
        { "mute (ignored)", &Endpoint::setMute, 1, 0 },
    };
    for (auto &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        endpoint = Endpoint();
        endpoint.*c.step = E_FAIL;
        EXPECT_EQ(SetEndpointVolume(30, 0), c.result) << c.what;
        EXPECT_EQ(endpoint.levelCalls, c.levelCalls) << c.what;
        EXPECT_EQ(endpoint.enumeratorRefs, 0) << c.what;
        EXPECT_EQ(endpoint.deviceRefs, 0) << c.what;
        EXPECT_EQ(endpoint.volumeRefs, 0) << c.what;
    }
    EXPECT_EQ(endpoint.muteCalls, 1);
}

TEST_F(SoundVolumeTest, WindowsVersionChoosesTheMechanism)
{
    mixer.lines = { Named(L"Master") };
    struct { DWORD major; unsigned mixerCalls, endpointCalls; } cases[] = {
        { 4, 1, 0 }, { 5, 1, 0 }, { 6, 0, 1 }, { 10, 0, 1 },
    };
    for (auto &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        SysResetCounts();
        OsVersion.dwMajorVersion = c.major;
        EXPECT_EQ(SetSoundVolume(20, 0), 0);
        EXPECT_EQ(g_sysCallCount[SYS_waveOutOpen], c.mixerCalls) << c.major;
        EXPECT_EQ(g_sysCallCount[SYS_CoCreateInstance], c.endpointCalls) << c.major;
    }
}
