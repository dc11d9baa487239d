#!/bin/bash
# Builds the 64-bit plugin and tries it in the stand-in host under Wine:
# first silently (the machines here have no MIDI device, so NoMidi), then
# once more on the shell's recording MIDI device, rendered with a General
# MIDI sound font into a WAV file to listen to.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
cmake --preset x64 >/dev/null
cmake --build --preset x64 --target Sonaro hostshell >/dev/null
out=build/x64
bin=$out/bin
NoMidi=1 $out/wine-run "$bin/hostshell.exe" -c "usage sonaro" -c "sonaro /n:4 127.0.0.1" \
    -c "echo Received %_pingsrcvd, lost %_pingslost, average %_pingavg ms" "$@"

# The same link heard: replies on the steel drums, then two echoes with more
# data than an IPv4 echo can carry, each failure a strike of the timbale.
echo
echo "Now with sound (recorded, then rendered):"
rm -f "$out/sonaro-try.mid" "$out/sonaro-try.wav"
# The shell ends with the last command's result, 1 here: nothing came back.
env -u NoMidi $out/wine-run "$bin/hostshell.exe" --midi "$out/sonaro-try.mid" \
    -c "sonaro /n:6 /z:250 127.0.0.1" -c "sonaro /n:2 /z:250 /l:65520 127.0.0.1" || true
if [ ! -s "$out/sonaro-try.mid" ]; then
    echo "the stand-in host recorded nothing: $out/sonaro-try.mid" >&2
    exit 1
fi
font=/usr/share/sounds/sf2/TimGM6mb.sf2
fluidsynth -ni -q -g 1.0 -r 44100 -F "$out/sonaro-try.wav" "$font" "$out/sonaro-try.mid" \
    >/dev/null 2>&1 </dev/null
if [ ! -s "$out/sonaro-try.wav" ]; then
    echo "fluidsynth wrote no sound: $out/sonaro-try.wav" >&2
    exit 1
fi
echo
echo "Listen to it: $(pwd)/$out/sonaro-try.wav (the recording: $out/sonaro-try.mid)"
