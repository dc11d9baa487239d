#!/usr/bin/env python3
"""What a recorded run sounds like, for tools/try.sh.

  listen.py level WAV            trims the silence before the first sound and
                                 after the last, and sets the peak to -1 dBFS
  listen.py parts RUN.mid RUN.txt
                                 one line for each SONARO run of the output:
                                 its echoes and the notes and drums they played

Each echo line of the output (a reply or a failure) played one sound, in
order, so the output and the recording are paired sound by sound.
"""
import array
import math
import os
import re
import sys
import wave

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "pianoroll"))
from pianoroll import DRUM_NAMES, ECHO_TIME, PERCUSSION, note_name, read_midi  # noqa: E402

PEAK_DBFS = -1.0
QUIET_DBFS = -60.0   # below this, relative to the peak, counts as silence
LEAD_MS = 30         # kept before the first sound
FADE_MS = 80         # faded out after the last


def level(path):
    with wave.open(path, "rb") as f:
        params = f.getparams()
        frames = f.readframes(params.nframes)
    if params.sampwidth != 2:
        sys.exit("%s: not 16-bit PCM" % path)
    samples = array.array("h", frames)
    if sys.byteorder == "big":
        samples.byteswap()
    channels = params.nchannels
    peak = max(max(samples, default=0), -min(samples, default=0))
    if peak == 0:
        sys.exit("%s: holds only silence" % path)
    quiet = peak * 10 ** (QUIET_DBFS / 20)
    loud = [i for i, v in enumerate(samples) if abs(v) > quiet]
    rate = params.framerate
    first = max(0, loud[0] // channels - rate * LEAD_MS // 1000)
    last = min(len(samples) // channels, loud[-1] // channels + rate * FADE_MS // 1000)
    scale = 32767 * 10 ** (PEAK_DBFS / 20) / peak
    fade_from = last - rate * FADE_MS // 1000
    out = array.array("h", bytes(2 * (last - first) * channels))
    for frame in range(first, last):
        gain = scale
        if frame > fade_from:
            gain *= (last - frame) / (last - fade_from)
        for c in range(channels):
            out[(frame - first) * channels + c] = int(round(samples[frame * channels + c] * gain))
    if sys.byteorder == "big":
        out.byteswap()
    with wave.open(path, "wb") as f:
        f.setnchannels(channels)
        f.setsampwidth(2)
        f.setframerate(rate)
        f.writeframes(out.tobytes())
    top = max(max(out), -min(out))
    print("%.1f s, peak %.1f dBFS" % ((last - first) / rate, 20 * math.log10(top / 32768)))


HEADER = re.compile(r"^Pinging (\S+) .*?with (\d+) bytes")
FAILURES = {"11010": "timed out", "11003": "host unreachable", "11002": "net unreachable",
            "11013": "TTL expired", "11050": "general failure"}


def runs(path):
    """[(host, bytes, [echo])] of the output, one for each header: an echo is
    its reply time ("3 ms") or its failure line."""
    found, inside = [], False
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            line = line.strip()
            header = HEADER.match(line)
            if header:
                found.append((header.group(1), header.group(2), []))
                inside = True
            elif line.startswith("Ping statistics"):
                inside = False
            elif inside and line:
                time = ECHO_TIME.search(line)
                if not time:
                    found[-1][2].append(line)
                else:
                    found[-1][2].append("<1 ms" if "time<" in line else time.group(1) + " ms")
    return found


def milliseconds(time):
    """A reply time as runs() gives it, "<1 ms" before "1 ms"."""
    return -1 if time.startswith("<") else int(time.split()[0])


def sound_name(status, key):
    if status & 0x0F == PERCUSSION:
        return DRUM_NAMES.get(key, "drum %d" % key)
    return note_name(key)


def parts(midi, text):
    sounds = [(ms, status, key) for ms, status, key, velocity in read_midi(midi)
              if status & 0xF0 == 0x90 and velocity]
    start = sounds[0][0] if sounds else 0.0
    at = 0
    lines, notes, drums = [], set(), 0
    for host, size, echoes in runs(text):
        played = sounds[at:at + len(echoes)]
        at += len(echoes)
        if not played:
            continue
        what = "%s, %s bytes" % (host, size)
        times = sorted({e for e in echoes if e.endswith(" ms")}, key=milliseconds)
        if times:
            what += ", replies in " + (times[0] if len(times) == 1
                                       else "%s to %s" % (times[0][:-3], times[-1]))
        failed = sorted({FAILURES.get(re.sub(r"\D", "", e), e) for e in echoes
                         if not e.endswith(" ms")})
        if failed:
            what += ", " + ", ".join(failed)
        heard = []
        for ms, status, key in played:
            heard.append(sound_name(status, key))
            if status & 0x0F == PERCUSSION:
                drums += 1
            else:
                notes.add(key)
        second = (played[0][0] - start) / 1000
        lines.append(("%d:%02d" % (second // 60, second % 60), what, ", ".join(heard)))
    width = max((len(what) for _, what, _ in lines), default=0)
    for when, what, heard in lines:
        print("  %s  %-*s  %s" % (when, width, what, heard))
    print("  %d different notes, %d drums: the faster the reply, the higher the note" %
          (len(notes), drums))


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "level":
        level(sys.argv[2])
    elif len(sys.argv) == 4 and sys.argv[1] == "parts":
        parts(sys.argv[2], sys.argv[3])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
