// sound_e2e.cpp - what the real DLL plays, end to end: hostshell.exe lends it
// its recording MIDI device (--midi-log), and the recorded messages are
// compared exactly, their times within bounds that hold on a loaded machine.
#include "midilog.h"
#include "arch.h"
#include "testsupport.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>

namespace {

// How much later than its ideal an event may come on a loaded machine.
const double Late = 200;
// How much earlier a sound may come: the run waits on the performance
// counter and the recorder stamps each message from it to the microsecond,
// so none should come early at all; 2 ms is the margin.
const double Early = 2;
// How much earlier an output line may seem to come: a line is stamped when
// this process reads it, and the line before may have been read late.
const double LineEarly = 50;
const double ClosingRing = 1750;  // the last sound rings this long in all
const double OpErrorPause = 1000;

const char AllNotesOff[] = "B5 7B 00\nB9 7B 00\n";
const std::string NoAddress =
    Utf8(L"Sonaro plugin: Can\x2019t find an address for host no.such.name.invalid.\r\n");

std::string Hex(int byte)
{
    char text[4];
    snprintf(text, sizeof text, "%02X", byte & 0xFF);
    return text;
}

// Note-off then note-on of a key: what every reply and every drum plays.
std::string Strike(int channelNibble, int key)
{
    return Hex(0x80 | channelNibble) + " " + Hex(key) + " 00\n" + Hex(0x90 | channelNibble) + " " +
           Hex(key) + " 60\n";
}

// The step above the base note for a round-trip time (the scale in the
// README's "What you hear").
int Step(int ms)
{
    static const struct {
        int upTo, step;
    } scale[] = {{0, 12}, {1, 11}, {2, 9}, {5, 7}, {10, 5}, {50, 4}, {100, 2}};
    for (const auto &s : scale) {
        if (ms <= s.upTo)
            return s.step;
    }
    return 0;
}

// One echo line of a run's output: a good reply with its reported time, or
// a failure; and when the line arrived.
struct EchoLine {
    bool good;
    int time;
    double ms;
};

std::vector<EchoLine> EchoLines(const ShellResult &r)
{
    std::vector<EchoLine> echoes;
    bool inRun = false;
    for (const TimedLine &line : r.outLines) {
        const std::string &text = line.text;
        if (text.rfind("Pinging ", 0) == 0 || text.rfind("Ping statistics", 0) == 0) {
            inRun = text[5] == 'n';  // "Pinging", not "Ping statistics"
            continue;
        }
        if (!inRun || text.empty())
            continue;
        EchoLine echo = {false, 0, line.ms};
        size_t at = text.find(" time=");
        if (text.find(" time<1ms") != std::string::npos) {
            echo.good = true;
        } else if (at != std::string::npos) {
            echo.good = true;
            echo.time = atoi(text.c_str() + at + 6);
        }
        echoes.push_back(echo);
    }
    return echoes;
}

// The reply notes of a run at a base note, in order.
std::string ReplyNotes(const ShellResult &r, int noteBase)
{
    std::string notes;
    for (const EchoLine &echo : EchoLines(r)) {
        if (echo.good)
            notes += Strike(5, noteBase + Step(echo.time));
    }
    return notes;
}

// When the first output line starting with `prefix` arrived; -1 if none did.
double Arrival(const std::vector<TimedLine> &lines, const char *prefix)
{
    for (const TimedLine &line : lines) {
        if (line.text.rfind(prefix, 0) == 0)
            return line.ms;
    }
    return -1;
}

// `actual` milliseconds against an ideal `ms`, at most `early` before it.
#define EXPECT_ABOUT(actual, ms, early, what)                 \
    do {                                                      \
        EXPECT_GE(actual, (ms) - (early)) << (what);          \
        EXPECT_LE(actual, (ms) + Late) << (what);             \
    } while (0)

}  // namespace

// Counted runs to 127.0.0.1: the instrument first; per echo, as its line
// reports it, the reply note of its time or the error drum; each after the
// wait of the echo before; at the end the closing pause topped up to
// 1750 ms, then all notes off on channel 6 and on channel 10.
TEST(SoundEndToEnd, CountedRunsToLoopback)
{
    struct {
        const wchar_t *line;
        DWORD errorSnoozeSetting;  // 0: none stored
        int program, noteBase, errorDrum;
        double snooze, errorSnooze;
        DWORD result;
    } cases[] = {
        // Steel Drums (program 115, sent as 114), octave 5.  Ten echoes: waits
        // cut short by a few milliseconds add up past what the echoes take.
        {L"sonaro /n:10 /z:250 127.0.0.1", 0, 114, 60, 66, 250, 650, 0},
        {L"sonaro /n:2 /z:500 /g:1 /o:0 127.0.0.1", 0, 0, 0, 66, 500, 650, 0},
        // A last wait longer than the ring is not topped up.
        {L"sonaro /n:2 /z:2000 /g:128 /o:9 127.0.0.1", 0, 127, 108, 66, 2000, 650, 0},
        // Wine may have no volume to set; the run is the same.
        {L"sonaro /n:2 /z:500 /y:50 127.0.0.1", 0, 114, 60, 66, 500, 650, 0},
        // More data than an IPv4 echo can carry: every echo fails at once.
        {L"sonaro /n:2 /l:65520 127.0.0.1", 0, 114, 60, 66, 1000, 650, 1},
        {L"sonaro /n:2 /l:65520 /e:35 127.0.0.1", 0, 114, 60, 35, 1000, 650, 1},
        {L"sonaro /n:2 /l:65520 /e:0 127.0.0.1", 0, 114, 60, 0, 1000, 650, 1},
        {L"sonaro /n:2 /l:65520 127.0.0.1", 300, 114, 60, 66, 1000, 300, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        DeleteRegistryValue(HKEY_CURRENT_USER, TEST_SETTINGS_KEY, L"ErrorSnooze");
        if (c.errorSnoozeSetting != 0)
            SetRegistryDword(HKEY_CURRENT_USER, TEST_SETTINGS_KEY, L"ErrorSnooze",
                             c.errorSnoozeSetting);
        RecordedRun run = RunRecorded(Lines({c.line}));
        DeleteRegistryValue(HKEY_CURRENT_USER, TEST_SETTINGS_KEY, L"ErrorSnooze");
        ASSERT_TRUE(run.logWritten);
        EXPECT_EQ(run.shell.exitCode, c.result);
        EXPECT_BYTES("", run.shell.err);
        std::vector<EchoLine> echoes = EchoLines(run.shell);
        ASSERT_FALSE(echoes.empty()) << ShowBytes(run.shell.out);

        std::string expected = "C5 " + Hex(c.program) + "\n";
        for (const EchoLine &echo : echoes) {
            if (echo.good)
                expected += Strike(5, c.noteBase + Step(echo.time));
            else if (c.errorDrum != 0)
                expected += Strike(9, c.errorDrum);
        }
        expected += AllNotesOff;
        std::vector<LogLine> messages = Messages(run.log);
        ASSERT_EQ(expected, Texts(messages));
        ASSERT_EQ(run.log.size(), messages.size() + 2);
        EXPECT_EQ(run.log.front().text, "open 1 device 0");
        EXPECT_EQ(run.log.back().text, "close 1");

        // The beat is the echo plus the wait: each sound comes the echoes
        // and waits since the last sound after that one.  An echo may take
        // as long as the first did (header to its line): nothing much on
        // loopback, but a failing echo of 65520 bytes takes its time on a
        // slow machine.  How early a sound may come is counted from the
        // program change, before the first echo: each wait starts at the
        // return of an echo sent after it, while the last sound may have
        // come late by its echo's report.
        double echoTime = echoes[0].ms - Arrival(run.shell.outLines, "Pinging ");
        ASSERT_GE(echoTime, 0) << ShowBytes(run.shell.out);
        size_t next = 1;
        double since = messages[0].ms, waited = 0, echoed = 0, lastWait = 0, total = 0;
        auto expectBeat = [&](double on, const std::string &what) {
            EXPECT_GE(on - messages[0].ms, total - Early) << what;
            EXPECT_LE(on - since, waited + echoed + Late) << what;
        };
        for (const EchoLine &echo : echoes) {
            echoed += echoTime;
            if (echo.good || c.errorDrum != 0) {
                double on = messages[next + 1].ms;
                expectBeat(on, "sound " + std::to_string(next));
                EXPECT_LE(on - messages[next].ms, Late) << "note-off and note-on together";
                since = on;
                waited = echoed = 0;
                next += 2;
            }
            lastWait = echo.good ? c.snooze : c.errorSnooze;
            waited += lastWait;
            total += lastWait;
        }
        if (lastWait < ClosingRing) {
            waited += ClosingRing - lastWait;
            total += ClosingRing - lastWait;
        }
        expectBeat(messages[next].ms, "closing pause");
        EXPECT_LE(messages[next + 1].ms - messages[next].ms, Late) << "both channels at once";
    }
}

// A host without an address strikes the operational drum (/X) and pauses a
// second before the next host's header, or before the closing pause; so
// does a set-up failure (/6: Wine has no IPv6 echo handle), which comes
// before the instrument is chosen.
TEST(SoundEndToEnd, OperationalErrors)
{
    struct {
        const wchar_t *line;
        std::string sound;  // {notes}: the reply notes at octave 5
        struct {
            size_t from, to;
            double ms;
        } gap;  // between two messages
        double pauseBeforeHeader;  // from the error message; -1: no header
        std::string err;
    } cases[] = {
        {L"sonaro /n:1 /z:500 no.such.name.invalid 127.0.0.1",
         "C5 72\n" + Strike(9, 58) + "{notes}" + AllNotesOff, {2, 4, OpErrorPause},
         OpErrorPause, NoAddress},
        {L"sonaro /n:1 /z:500 /x:40 no.such.name.invalid 127.0.0.1",
         "C5 72\n" + Strike(9, 40) + "{notes}" + AllNotesOff, {2, 4, OpErrorPause},
         OpErrorPause, NoAddress},
        {L"sonaro /n:1 /z:500 /x:0 no.such.name.invalid 127.0.0.1",
         "C5 72\n{notes}" + std::string(AllNotesOff), {2, 3, ClosingRing}, 0, NoAddress},
        {L"sonaro no.such.name.invalid", "C5 72\n" + Strike(9, 58) + AllNotesOff,
         {2, 3, OpErrorPause + ClosingRing}, -1, NoAddress},
        {L"sonaro /6 ::1", Strike(9, 58) + AllNotesOff, {1, 2, OpErrorPause + ClosingRing}, -1,
         "Sonaro plugin: Error opening IPv6 echo-request handle.\r\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        RecordedRun run = RunRecorded(Lines({c.line}));
        ASSERT_TRUE(run.logWritten);
        EXPECT_EQ(run.shell.exitCode, 2u);
        EXPECT_BYTES(c.err, run.shell.err);
        std::string expected = c.sound;
        size_t notes = expected.find("{notes}");
        if (notes != std::string::npos)
            expected.replace(notes, 7, ReplyNotes(run.shell, 60));
        std::vector<LogLine> messages = Messages(run.log);
        ASSERT_EQ(expected, Texts(messages));
        EXPECT_ABOUT(messages[c.gap.to].ms - messages[c.gap.from].ms, c.gap.ms, Early, "gap");

        // The pause lies between the error message and the next header (and
        // so does the drum: the instrument, chosen before it, was chosen
        // before any header).
        double header = Arrival(run.shell.outLines, "Pinging ");
        if (c.pauseBeforeHeader < 0) {
            EXPECT_EQ(header, -1);
        } else {
            ASSERT_FALSE(run.shell.errLines.empty());
            EXPECT_ABOUT(header - run.shell.errLines[0].ms, c.pauseBeforeHeader, LineEarly,
                         "pause");
        }
    }
}

// /Q, NoMidi in the environment and NoMidi in the registry: no message, no
// pause for the drum and no closing pause.  /Q keeps the device the plugin
// opened at load; with NoMidi it never opens one.
TEST(SoundEndToEnd, SilentRuns)
{
    struct {
        const wchar_t *options;
        EnvList env;
        DWORD noMidiSetting;  // 0: none stored
        const char *log;
    } cases[] = {
        {L"/q", {}, 0, "open 1 device 0\nclose 1\n"},
        {L"", {{L"NoMidi", L"1"}}, 0, ""},
        {L"", {}, 1, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        DeleteRegistryValue(HKEY_CURRENT_USER, TEST_SETTINGS_KEY, L"NoMidi");
        if (c.noMidiSetting != 0)
            SetRegistryDword(HKEY_CURRENT_USER, TEST_SETTINGS_KEY, L"NoMidi", c.noMidiSetting);
        std::wstring line =
            L"sonaro " + std::wstring(c.options) + L" /n:1 /z:250 no.such.name.invalid 127.0.0.1";
        RecordedRun run = RunRecorded(Lines({line.c_str(), L"echo done"}), c.env);
        DeleteRegistryValue(HKEY_CURRENT_USER, TEST_SETTINGS_KEY, L"NoMidi");
        ASSERT_TRUE(run.logWritten);
        EXPECT_EQ(run.shell.exitCode, 2u);
        EXPECT_BYTES(NoAddress, run.shell.err);
        EXPECT_EQ(c.log, Texts(run.log));
        ASSERT_FALSE(run.shell.errLines.empty());
        double done = Arrival(run.shell.outLines, "done");
        ASSERT_GE(done, 0) << ShowBytes(run.shell.out);
        EXPECT_ABOUT(done - run.shell.errLines[0].ms, 250, LineEarly, "only the echo's own wait");
    }
}

// Two copies of the plugin in one shell share one device through the
// registry record: one open, the runs of both on it, one close when the last
// copy leaves, in either order (or at the shell's end), and no record left.
TEST(SoundEndToEnd, TwoCopiesShareOneDevice)
{
    std::string dll = ReadFileBytes(BinDirectory() + PLUGIN_DLL_NAME_W);
    ASSERT_FALSE(dll.empty());
    TempScript copy(L"Sonaro-second.dll", dll);
    const std::wstring load = L"load " + copy.Path();
    const std::wstring run = L" /n:1 /z:250 127.0.0.1";
    struct {
        std::vector<std::wstring> lines;
    } cases[] = {
        // The copy loaded last leaves first; the first plays on.
        {{L"sonaro /g:1" + run, load, L"sonaro /g:2" + run, L"unload 2", L"sonaro /g:3" + run,
          L"unload 1"}},
        // The first leaves first; the copy plays on.
        {{L"sonaro /g:1" + run, load, L"sonaro /g:2" + run, L"unload 1", L"sonaro /g:3" + run,
          L"unload 2"}},
        // Both leave when the shell ends.
        {{L"sonaro /g:1" + run, load, L"sonaro /g:2" + run}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(TableRow(cases, c));
        std::vector<std::wstring> args;
        for (const std::wstring &line : c.lines)
            args.insert(args.end(), {L"-c", line});
        RecordedRun recorded = RunRecorded(args);
        ASSERT_TRUE(recorded.logWritten);
        EXPECT_EQ(recorded.shell.exitCode, 0u);
        EXPECT_BYTES("", recorded.shell.err);

        // Run n plays program n - 1 and the notes of its reply.
        std::vector<EchoLine> echoes = EchoLines(recorded.shell);
        std::string expected = "open 1 device 0\n";
        int program = 0;
        for (const EchoLine &echo : echoes) {
            ASSERT_TRUE(echo.good);
            expected += "C5 " + Hex(program++) + "\n" + Strike(5, 60 + Step(echo.time)) + AllNotesOff;
        }
        expected += "close 1\n";
        EXPECT_EQ(program, c.lines.size() > 3 ? 3 : 2);
        EXPECT_EQ(expected, Texts(recorded.log));
        EXPECT_EQ(SharedMidiRecordCount(), 0);
    }
}

// A record of the shell's own process id, as one that ended without
// unloading its plugins leaves it, with a handle the device never issued:
// the plugin loaded after it opens the device and plays every note on it.
TEST(SoundEndToEnd, ARecordOfAClosedHandleIsNotTrusted)
{
    const std::wstring load = L"load " + BinDirectory() + PLUGIN_DLL_NAME_W;
    RecordedRun run = RunRecorded({L"--plugin", BinDirectory() + L"FakePlugin.dll", L"-c",
                                   L"midirecord 0x7777 1", L"-c", load, L"-c",
                                   L"sonaro /n:2 /z:250 127.0.0.1"});
    ASSERT_TRUE(run.logWritten);
    EXPECT_EQ(run.shell.exitCode, 0u);
    EXPECT_BYTES("", run.shell.err);
    EXPECT_EQ("open 1 device 0\nC5 72\n" + ReplyNotes(run.shell, 60) + AllNotesOff + "close 1\n",
              Texts(run.log));
    EXPECT_EQ(SharedMidiRecordCount(), 0);
}

// The files are written however the shell ends; here by "exit" with lines
// still to come.  The MIDI file holds the log's messages at their times in
// milliseconds, after the tempo, and ends its track.
TEST(SoundEndToEnd, MidiFileMatchesTheLog)
{
    TempScript midi(L"run.mid", "");
    DeleteFileW(midi.Path().c_str());
    RecordedRun run = RunRecorded({L"--midi", midi.Path(), L"-c", L"sonaro /n:2 /z:250 127.0.0.1",
                                   L"-c", L"exit 3", L"-c", L"sonaro /n:1 127.0.0.1"});
    EXPECT_EQ(run.shell.exitCode, 3u);
    ASSERT_TRUE(run.logWritten);
    std::vector<LogLine> messages = Messages(run.log);
    EXPECT_EQ("C5 72\n" + ReplyNotes(run.shell, 60) + AllNotesOff, Texts(messages));

    std::string bytes = ReadFileBytes(midi.Path());

    // Format 0, one track, 1000 ticks a quarter.
    ASSERT_GE(bytes.size(), 22u);
    EXPECT_BYTES(std::string("MThd\0\0\0\6\0\0\0\1\x03\xE8MTrk", 18), bytes.substr(0, 18));
    auto byte = [&](size_t at) { return at < bytes.size() ? static_cast<unsigned char>(bytes[at]) : 0u; };
    size_t length = byte(18) << 24 | byte(19) << 16 | byte(20) << 8 | byte(21);
    EXPECT_EQ(length, bytes.size() - 22);

    // The tempo first, the end of the track last, and between them the
    // messages with their delta times as variable-length quantities.
    ASSERT_GE(bytes.size(), 33u);
    EXPECT_BYTES(std::string("\0\xFF\x51\x03\x0F\x42\x40", 7), bytes.substr(22, 7));
    EXPECT_BYTES(std::string("\0\xFF\x2F\0", 4), bytes.substr(bytes.size() - 4));
    std::string channel;
    std::vector<unsigned long> ticks;
    unsigned long now = 0;
    for (size_t at = 29; at < bytes.size() - 4;) {
        unsigned long delta = 0;
        do
            delta = delta << 7 | (byte(at) & 0x7F);
        while (byte(at++) & 0x80);
        now += delta;
        ticks.push_back(now);
        size_t size = (byte(at) & 0xE0) == 0xC0 ? 2 : 3;
        for (size_t i = 0; i < size; i++) {
            channel += Hex(static_cast<int>(byte(at + i)));
            channel += i + 1 < size ? ' ' : '\n';
        }
        at += size;
    }
    EXPECT_EQ(Texts(messages), channel);
    ASSERT_EQ(ticks.size(), messages.size());
    for (size_t i = 0; i < ticks.size(); i++)
        EXPECT_EQ(ticks[i], static_cast<unsigned long>(floor(messages[i].ms + 0.5))) << i;
}
