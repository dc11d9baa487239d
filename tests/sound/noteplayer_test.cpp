// The note player: pitch table, messages, drums, pauses and silence.
#include "fakeworld.h"
#include "sound/noteplayer.h"
#include "ping/pingoptions.h"
#include "base/pluginstate.h"
#include "sys/syscalls.h"

#include <algorithm>
#include <vector>

namespace {

// The MIDI device and the clock of the fake world.
std::vector<DWORD> &messages = fake::midi.Messages;
std::vector<DWORD> &sleeps = fake::clock.Sleeps;

unsigned long VolumeCalls()
{
    return g_sysCallCount[SYS_CoCreateInstance] + g_sysCallCount[SYS_waveOutOpen];
}

class NotePlayerTest : public FakeWorldTest {
protected:
    void SetUp() override
    {
        FakeWorldTest::SetUp();
        FailEntry(SYS_CoCreateInstance);
        FailEntry(SYS_waveOutOpen);
        Silent = false;
        memset(&options_, 0, sizeof options_);
        options_.Instrument = 115;
        options_.NoteBase = 60;
        options_.ErrorDrum = 66;
        options_.OpErrorDrum = 58;
        options_.Volume = -1;
    }
    void TearDown() override
    {
        Silent = false;
        FakeWorldTest::TearDown();
    }
    PingOptions options_;
};

}  // namespace

TEST_F(NotePlayerTest, ReplyIntervalSteps)
{
    struct { int time; DWORD step; } cases[] = {
        { 0, 12 }, { 1, 11 }, { 2, 9 },  { 3, 7 },   { 5, 7 },   { 6, 5 },    { 10, 5 },
        { 11, 4 }, { 50, 4 }, { 51, 2 }, { 100, 2 }, { 101, 0 }, { 60000, 0 },
    };
    for (auto &c : cases)
        EXPECT_EQ(ReplyInterval(c.time), c.step) << c.time << " ms";
}

TEST_F(NotePlayerTest, NotesAndDrums)
{
    PlayReplyNote(options_, 0);
    PlayReplyNote(options_, 101);
    PlayErrorDrum(options_);
    EXPECT_EQ(messages, std::vector<DWORD>({ 0x4885, 0x604895, 0x3C85, 0x603C95, 0x4289,
                                             0x604299 }));
    EXPECT_TRUE(sleeps.empty()) << "no pause of its own after a failed echo";

    messages.clear();
    options_.NoteBase = 108;
    PlayReplyNote(options_, 0);
    options_.NoteBase = 0;
    PlayReplyNote(options_, 0);
    EXPECT_EQ(messages, std::vector<DWORD>({ 0x7885, 0x607895, 0x0C85, 0x600C95 }));

    messages.clear();
    PlayOpErrorDrum(options_);
    EXPECT_EQ(messages, std::vector<DWORD>({ 0x3A89, 0x603A99 }));
    EXPECT_EQ(sleeps, std::vector<DWORD>({ 1000 }));

    // Drum 0: nothing struck and no pause.
    messages.clear();
    sleeps.clear();
    options_.ErrorDrum = 0;
    options_.OpErrorDrum = 0;
    PlayErrorDrum(options_);
    PlayOpErrorDrum(options_);
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(sleeps.empty());
}

TEST_F(NotePlayerTest, StartSoundSelectsTheInstrumentAndVolume)
{
    StartSound(options_);
    options_.Instrument = 1;
    StartSound(options_);
    options_.Instrument = 128;
    StartSound(options_);
    EXPECT_EQ(messages, std::vector<DWORD>({ 0x72C5, 0x00C5, 0x7FC5 }));
    EXPECT_EQ(VolumeCalls(), 0u) << "volume -1 leaves the system volume alone";

    // The Windows version picks the mechanism; its failure changes nothing.
    options_.Volume = 40;
    OsVersion.dwMajorVersion = 6;
    StartSound(options_);
    EXPECT_EQ(g_sysCallCount[SYS_CoCreateInstance], 1u);
    EXPECT_EQ(g_sysCallCount[SYS_waveOutOpen], 0u);
    OsVersion.dwMajorVersion = 5;
    StartSound(options_);
    EXPECT_EQ(g_sysCallCount[SYS_CoCreateInstance], 1u);
    EXPECT_EQ(g_sysCallCount[SYS_waveOutOpen], 1u);
    EXPECT_EQ(messages.size(), 5u);
}

TEST_F(NotePlayerTest, FinishSoundTopsUpTheLastWait)
{
    struct { DWORD lastWait; std::vector<DWORD> sleeps; } cases[] = {
        { 0, { 1750 } }, { 250, { 1500 } }, { 1749, { 1 } }, { 1750, {} }, { 2000, {} },
    };
    for (auto &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        messages.clear();
        sleeps.clear();
        FinishSound(c.lastWait);
        EXPECT_EQ(sleeps, c.sleeps) << c.lastWait;
        EXPECT_EQ(messages, std::vector<DWORD>({ 0x7BB5, 0x7BB9 }));
    }
}

// The pauses are timed on the performance counter: a sleep that ends early
// is made up, so no pause is ever shorter than its length; one that ends late
// is not made longer.
TEST_F(NotePlayerTest, PausesNeverEndEarly)
{
    for (int lateUs : { 0, 400, -300, -999 }) {
        SCOPED_TRACE(lateUs);
        fake::clock.SleepLateUs = lateUs;
        ULONGLONG allowed = static_cast<ULONGLONG>(std::max(lateUs, 0)) +
                            fake::clock.YieldUs;
        sleeps.clear();
        ULONGLONG start = fake::clock.Now;
        PlayOpErrorDrum(options_);
        ULONGLONG paused = fake::clock.Now - start;
        EXPECT_GE(paused, 1000000u);
        EXPECT_LE(paused, 1000000u + allowed);
        ASSERT_FALSE(sleeps.empty());
        EXPECT_EQ(sleeps.front(), 1000u);

        sleeps.clear();
        start = fake::clock.Now;
        FinishSound(250);
        paused = fake::clock.Now - start;
        EXPECT_GE(paused, 1500000u);
        EXPECT_LE(paused, 1500000u + allowed);
        ASSERT_FALSE(sleeps.empty());
        EXPECT_EQ(sleeps.front(), 1500u);
    }
}

TEST_F(NotePlayerTest, SilentOrWithoutHandleNothingIsSent)
{
    Silent = true;
    options_.Volume = 50;
    StartSound(options_);
    PlayReplyNote(options_, 3);
    PlayErrorDrum(options_);
    PlayOpErrorDrum(options_);
    FinishSound(0);
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(sleeps.empty());
    EXPECT_EQ(VolumeCalls(), 0u);

    // A run that is not silent but has no handle still keeps its pauses.
    Silent = false;
    MidiOut = nullptr;
    options_.Volume = -1;
    PlayNote(DRUM_CHANNEL, 40);
    PlayOpErrorDrum(options_);
    FinishSound(0);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(sleeps, std::vector<DWORD>({ 1000, 1750 }));
}
