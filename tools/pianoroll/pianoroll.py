#!/usr/bin/env python3
"""Draws a recorded run (a Standard MIDI File) as a piano roll in SVG.

Time runs across, pitch up.  The notes of the melodic channel are bars from
note-on to note-off; the strikes on the percussion channel (10) are marked
on a row of their own below.  Given the run's output, each echo line is
paired with the sound it made (a note or a drum, in order) and its time is
written under it.
"""
import argparse
import re
import sys
from xml.sax.saxutils import escape

NOTE_NAMES = ["C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"]
DRUM_NAMES = {35: "Bass Drum", 38: "Snare", 42: "Hi-Hat", 56: "Cowbell",
              58: "Vibraslap", 65: "High Timbale", 66: "Low Timbale"}
PROGRAM_NAMES = {1: "Acoustic Grand Piano", 10: "Glockenspiel", 12: "Vibraphone", 13: "Marimba",
                 14: "Xylophone", 15: "Tubular Bells", 113: "Tinkle Bell", 114: "Agogo",
                 115: "Steel Drums", 116: "Woodblock"}
PERCUSSION = 9  # channel 10, counted from 0
RING_MS = 400


def note_name(key):
    return "%s%d" % (NOTE_NAMES[key % 12], key // 12 - 1)


def read_varlen(data, pos):
    value = 0
    while True:
        byte = data[pos]
        pos += 1
        value = (value << 7) | (byte & 0x7F)
        if not byte & 0x80:
            return value, pos


def read_midi(path):
    """Returns [(ms, status, data1, data2)] of every channel message."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:4] != b"MThd":
        raise ValueError("%s: not a Standard MIDI File" % path)
    division = int.from_bytes(data[12:14], "big")
    if division & 0x8000:
        raise ValueError("%s: SMPTE time is not supported" % path)
    pos = 8 + int.from_bytes(data[4:8], "big")
    raw = []  # (tick, order, kind, payload)
    order = 0
    while pos + 8 <= len(data):
        kind, length = data[pos:pos + 4], int.from_bytes(data[pos + 4:pos + 8], "big")
        chunk, pos = data[pos + 8:pos + 8 + length], pos + 8 + length
        if kind != b"MTrk":
            continue
        tick, i, running = 0, 0, 0
        while i < len(chunk):
            delta, i = read_varlen(chunk, i)
            tick += delta
            status = chunk[i]
            if status == 0xFF:
                kind = chunk[i + 1]
                size, i = read_varlen(chunk, i + 2)
                if kind == 0x51:
                    raw.append((tick, order, "tempo", int.from_bytes(chunk[i:i + size], "big")))
                i += size
            elif status in (0xF0, 0xF7):
                size, i = read_varlen(chunk, i + 1)
                i += size
            else:
                if status & 0x80:
                    running = status
                    i += 1
                status = running
                count = 1 if status & 0xF0 in (0xC0, 0xD0) else 2
                values = list(chunk[i:i + count]) + [0]
                i += count
                raw.append((tick, order, "msg", (status, values[0], values[1])))
            order += 1
    raw.sort()
    events, tempo, last_tick, ms = [], 500000, 0, 0.0
    for tick, _, kind, payload in raw:
        ms += (tick - last_tick) * tempo / division / 1000.0
        last_tick = tick
        if kind == "tempo":
            tempo = payload
        else:
            events.append((ms,) + payload)
    return events


def collect(events):
    """Splits the messages into melodic notes, drum strikes and program changes.

    A note's bar ends with its note-off, the channel's next note or an
    all-notes-off, but after RING_MS at the latest: the instruments a run
    plays are struck and die away, while the plugin leaves the last note on
    until the end of the closing pause."""
    notes, drums, programs, sounding = [], [], [], {}
    end = events[-1][0] if events else 0.0

    def stop(channel, key, ms):
        start = sounding.pop((channel, key))
        notes.append((start, min(ms, start + RING_MS), key))

    for ms, status, key, velocity in events:
        kind, channel = status & 0xF0, status & 0x0F
        if kind == 0x90 and velocity and channel == PERCUSSION:
            drums.append((ms, key))
        elif kind == 0x90 and velocity:
            for held in [k for k in sounding if k[0] == channel]:
                stop(held[0], held[1], ms)
            sounding[(channel, key)] = ms
        elif kind in (0x80, 0x90) and (channel, key) in sounding:
            stop(channel, key, ms)
        elif kind == 0xB0 and key in (0x78, 0x7B):  # all sound / all notes off
            for held in [k for k in sounding if k[0] == channel]:
                stop(held[0], held[1], ms)
        elif kind == 0xC0:
            programs.append((ms, channel, key))
    for held in list(sounding):
        stop(held[0], held[1], end)
    notes.sort()
    return notes, drums, programs


ECHO_TIME = re.compile(r"time[=<]\s*(\d+)\s*ms")


def echo_labels(path):
    """The echo lines of a run's output: those between a "Pinging" header and
    the statistics, each shortened to what it tells."""
    labels, inside = [], False
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            line = line.strip()
            if line.startswith("Pinging "):
                inside = True
            elif line.startswith("Ping statistics") or not inside:
                inside = False
            elif line:
                found = ECHO_TIME.search(line)
                if found:
                    labels.append(("<1 ms" if "time<" in line else found.group(1) + " ms"))
                else:
                    labels.append(re.sub(r"^\d+\s*[:.]?\s*", "", line).rstrip("."))
    return labels


def draw(notes, drums, programs, labels, title, width):
    times = [n[0] for n in notes] + [n[1] for n in notes] + [d[0] for d in drums]
    if not times:
        raise ValueError("the recording holds no note and no drum")
    start, finish = min(times), max(times)
    span = max(finish - start, 1.0)
    keys = [n[2] for n in notes] or [60]
    low, high = min(keys) - 1, max(keys) + 1
    row, left, right, top = 16, 70, 110, 62
    label_room = 120 if labels else 20
    plot_w = width - left - right
    drum_y = top + (high - low + 1) * row + 18
    height = drum_y + row + label_room
    x = lambda ms: left + (ms - start) / span * plot_w

    out = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" '
           'font-family="DejaVu Sans, sans-serif" font-size="11">' % (width, height),
           '<rect width="100%" height="100%" fill="white"/>',
           '<text x="%d" y="22" font-size="14" font-weight="bold">%s</text>' % (left, escape(title))]
    for key in range(low, high + 1):
        y = top + (high - key) * row
        shade = "#f0f0f0" if NOTE_NAMES[key % 12].endswith("#") else "#fafafa"
        out.append('<rect x="%d" y="%d" width="%d" height="%d" fill="%s" stroke="#e0e0e0"/>'
                   % (left, y, plot_w, row, shade))
        out.append('<text x="%d" y="%d" text-anchor="end">%s %d</text>'
                   % (left - 6, y + row - 4, note_name(key), key))
    out.append('<rect x="%d" y="%d" width="%d" height="%d" fill="#fff4e8" stroke="#e0c8a8"/>'
               % (left, drum_y, plot_w, row))
    out.append('<text x="%d" y="%d" text-anchor="end">drums</text>' % (left - 6, drum_y + row - 4))

    # Seconds along the top of the drum row.
    step = next(s for s in (100, 250, 500, 1000, 2000, 5000, 10000, 30000, 60000, 1e9)
                if span / s <= 12)
    tick = step
    while start + tick < finish:
        at = x(start + tick)
        out.append('<line x1="%.1f" y1="%d" x2="%.1f" y2="%d" stroke="#cccccc" stroke-dasharray="2,3"/>'
                   % (at, top, at, drum_y + row))
        out.append('<text x="%.1f" y="%d" text-anchor="middle" fill="#777777">%g s</text>'
                   % (at, top - 4, tick / 1000.0))
        tick += step

    for on, off, key in notes:
        y = top + (high - key) * row
        hue = int((key - low) / max(high - low, 1) * 200)
        out.append('<rect x="%.1f" y="%d" width="%.1f" height="%d" rx="2" '
                   'fill="hsl(%d,65%%,55%%)" stroke="#333333" stroke-width="0.6"/>'
                   % (x(on), y + 2, max(x(off) - x(on), 2.0), row - 4, hue))
    for ms, key in drums:
        cx, cy = x(ms), drum_y + row / 2
        out.append('<path d="M%.1f %.1f l6 6 l-6 6 l-6 -6 z" fill="#c0392b" stroke="#602010"/>'
                   % (cx, cy - 6))
    # What plays, at the right of the title line.
    legend = ["channel %d: %s (program %d)" % (channel + 1, PROGRAM_NAMES.get(program + 1, "instrument"),
                                                program + 1)
              for channel, program in sorted({(c, p) for _, c, p in programs})]
    legend += ["drums: %s (%d)" % (DRUM_NAMES.get(k, "key"), k) for k in sorted({k for _, k in drums})]
    out.append('<text x="%d" y="38" fill="#555555">%s</text>'
               % (left, escape(" \u00b7 ".join(legend))))

    # Each echo line under the sound it made, when the two can be paired.
    sounds = sorted([(n[0], "note") for n in notes] + [(d[0], "drum") for d in drums])
    if labels and len(labels) == len(sounds):
        for (ms, _), text in zip(sounds, labels):
            lx, ly = x(ms), drum_y + row + 8
            out.append('<text transform="translate(%.1f,%d) rotate(50)" fill="#333333">%s</text>'
                       % (lx - 3, ly, escape(text[:26])))
    elif labels:
        print("pianoroll: %d echo lines for %d sounds; lines not drawn" % (len(labels), len(sounds)),
              file=sys.stderr)
    out.append("</svg>")
    return "\n".join(out) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("midi")
    parser.add_argument("svg")
    parser.add_argument("--lines", help="the run's output, to label each echo")
    parser.add_argument("--title", default="")
    parser.add_argument("--width", type=int, default=1100)
    args = parser.parse_args()
    try:
        notes, drums, programs = collect(read_midi(args.midi))
        labels = echo_labels(args.lines) if args.lines else []
        picture = draw(notes, drums, programs, labels, args.title, args.width)
    except (OSError, ValueError, IndexError) as error:
        print("pianoroll: %s" % error, file=sys.stderr)
        return 1
    with open(args.svg, "w", encoding="utf-8") as f:
        f.write(picture)
    print("pianoroll: %d notes, %d drums" % (len(notes), len(drums)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
