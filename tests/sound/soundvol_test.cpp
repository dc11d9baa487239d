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
