// System volume through a faked wave mixer and a faked audio endpoint.
#include "fakeworld.h"
#include "sound/soundvol.h"
#include "base/pluginstate.h"
#include "sys/syscalls.h"

#include <string>
#include <vector>

namespace {

using fake::Endpoint;
using fake::endpoint;
using fake::Mixer;
using fake::mixer;
using Line = fake::MixerLine;

Line Named(const wchar_t *name, DWORD controls = 2, bool mute = true)
{
    return { L"", name, controls, true, mute };
}

using SoundVolumeTest = FakeWorldTest;

using Set = std::vector<std::pair<DWORD, DWORD>>;

}  // namespace

TEST_F(SoundVolumeTest, MixerScaleAndDevice)
{
    mixer.Lines = { Named(L"Master Volume") };
    struct { DWORD volume; int mute; DWORD value; } cases[] = {
        { 0, 0, 0 }, { 50, 0, 32767 }, { 100, 0, 65535 }, { 1, 1, 655 },
    };
    for (auto &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        mixer.Set.clear();
        EXPECT_EQ(SetMixerVolume(c.volume, c.mute), 0);
        EXPECT_EQ(mixer.Set, Set({ { 1, c.value }, { 2, c.mute ? 1u : 0u } })) << c.volume;
    }
    EXPECT_EQ(mixer.Format.wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(mixer.Format.nChannels, 2);
    EXPECT_EQ(mixer.Format.nSamplesPerSec, 44100u);
    EXPECT_EQ(mixer.Format.nAvgBytesPerSec, 176400u);
    EXPECT_EQ(mixer.Format.nBlockAlign, 4);
    EXPECT_EQ(mixer.Format.wBitsPerSample, 16);
    EXPECT_EQ(mixer.Format.cbSize, 0);
    EXPECT_EQ(mixer.OpenFlags, 0x90000000u);
    EXPECT_EQ(mixer.WaveOpen, 4);
    EXPECT_EQ(mixer.WaveClosed, 4);
    EXPECT_EQ(mixer.MixerClosed, 4);
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
        mixer.Lines = c.lines;
        mixer.Set.clear();
        EXPECT_EQ(SetMixerVolume(80, 0), 0);
        ASSERT_FALSE(mixer.Set.empty());
        EXPECT_EQ(mixer.Set[0].first, c.chosen * 16 + 1) << "line " << c.chosen;
    }
    // A line whose information cannot be read is skipped.
    mixer.Lines = { master, speakers };
    mixer.FailingLines = { 0 };
    mixer.Set.clear();
    EXPECT_EQ(SetMixerVolume(80, 0), 0);
    EXPECT_EQ(mixer.Set[0].first, 17u);
}

TEST_F(SoundVolumeTest, MixerWithoutMuteStillSetsTheVolume)
{
    mixer.Lines = { Named(L"Master", 1, false) };
    EXPECT_EQ(SetMixerVolume(100, 1), 0);
    EXPECT_EQ(mixer.Set, Set({ { 1, 65535 } }));
}

TEST_F(SoundVolumeTest, MixerFailures)
{
    struct { const char *what; void (*arrange)(); int waveClosed, mixerClosed; size_t sets; } cases[] = {
        { "wave device", [] { mixer.WaveFails = true; }, 0, 0, 0 },
        { "mixer", [] { mixer.MixerFails = true; }, 1, 0, 0 },
        { "capabilities", [] { mixer.CapsFail = true; }, 1, 1, 0 },
        { "no destinations", [] { mixer.Lines.clear(); }, 1, 1, 0 },
        { "no line with controls", [] { mixer.Lines = { Named(L"Master", 0) }; }, 1, 1, 0 },
        { "no volume control",
          [] { mixer.Lines = { { L"", L"Master", 1, false, true } }; }, 1, 1, 0 },
        { "volume refused", [] { mixer.SetVolumeFails = true; }, 1, 1, 0 },
        { "mute refused after the volume", [] { mixer.SetMuteFails = true; }, 1, 1, 1 },
    };
    for (auto &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        mixer = Mixer();
        mixer.Lines = { Named(L"Master") };
        c.arrange();
        EXPECT_EQ(SetMixerVolume(50, 0), 2) << c.what;
        EXPECT_EQ(mixer.WaveClosed, c.waveClosed) << c.what;
        EXPECT_EQ(mixer.MixerClosed, c.mixerClosed) << c.what;
        EXPECT_EQ(mixer.Set.size(), c.sets) << c.what;
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
        EXPECT_EQ(endpoint.Level, c.level) << c.volume;
        EXPECT_EQ(endpoint.Mute, c.muted) << c.volume;
    }
    EXPECT_EQ(endpoint.Flow, eRender);
    EXPECT_EQ(endpoint.Role, eConsole);
    EXPECT_TRUE(endpoint.ActivateIidRight);
    EXPECT_EQ(endpoint.ActivateContext, static_cast<DWORD>(CLSCTX_INPROC_SERVER));
    EXPECT_EQ(endpoint.EnumeratorRefs, 0);
    EXPECT_EQ(endpoint.DeviceRefs, 0);
    EXPECT_EQ(endpoint.VolumeRefs, 0);
}

TEST_F(SoundVolumeTest, EndpointFailuresReleaseWhatWasHad)
{
    struct { const char *what; HRESULT Endpoint::*step; int levelCalls; int result; } cases[] = {
        { "enumerator", &Endpoint::Create, 0, 2 },
        { "default device", &Endpoint::DefaultDevice, 0, 2 },
        { "activation", &Endpoint::Activate, 0, 2 },
        { "level", &Endpoint::SetLevel, 1, 2 },
        { "mute (ignored)", &Endpoint::SetMute, 1, 0 },
    };
    for (auto &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        endpoint = Endpoint();
        endpoint.*c.step = E_FAIL;
        EXPECT_EQ(SetEndpointVolume(30, 0), c.result) << c.what;
        EXPECT_EQ(endpoint.LevelCalls, c.levelCalls) << c.what;
        EXPECT_EQ(endpoint.EnumeratorRefs, 0) << c.what;
        EXPECT_EQ(endpoint.DeviceRefs, 0) << c.what;
        EXPECT_EQ(endpoint.VolumeRefs, 0) << c.what;
    }
    EXPECT_EQ(endpoint.MuteCalls, 1);
}

TEST_F(SoundVolumeTest, WindowsVersionChoosesTheMechanism)
{
    mixer.Lines = { Named(L"Master") };
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

// The host's thread may have no apartment, a single-threaded one or the
// multithreaded one: the volume is set in each, every CoInitializeEx that
// succeeds is undone, and the thread is left as it was found.
TEST_F(SoundVolumeTest, EndpointInEachApartment)
{
    using fake::Apartment;
    using fake::com;
    struct {
        const char *what;
        Apartment kind;
        int inits;
        bool initFails;
        int result, uninits;
        Apartment createdIn;
    } cases[] = {
        {"no apartment", Apartment::None, 0, false, 0, 1, Apartment::Single},
        {"single-threaded", Apartment::Single, 1, false, 0, 1, Apartment::Single},
        {"single-threaded twice", Apartment::Single, 2, false, 0, 1, Apartment::Single},
        {"multithreaded", Apartment::Multi, 1, false, 0, 0, Apartment::Multi},
        {"COM cannot start", Apartment::None, 0, true, 2, 0, Apartment::None},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        fake::InstallSound();
        com.Kind = c.kind;
        com.Inits = c.inits;
        if (c.initFails)
            FailEntry(SYS_CoInitializeEx);
        EXPECT_EQ(SetEndpointVolume(30, 0), c.result);
        EXPECT_EQ(endpoint.LevelCalls, c.result == 0 ? 1 : 0);
        EXPECT_EQ(endpoint.Level, c.result == 0 ? 0.3f : 0.0f);
        EXPECT_EQ(com.CreatedIn, c.createdIn);
        EXPECT_EQ(com.InitCalls, c.initFails ? 0 : 1);
        EXPECT_EQ(com.UninitCalls, c.uninits);
        EXPECT_EQ(com.Kind, c.kind) << "the thread's apartment as it was";
        EXPECT_EQ(com.Inits, c.inits);
        EXPECT_EQ(endpoint.EnumeratorRefs, 0);
    }
}
