#!/bin/bash
# Builds the 64-bit plugin and tries it in the stand-in host under Wine:
# first silently (the machines here have no MIDI device, so NoMidi), then
# once more on the shell's recording MIDI device, across a slow link made
# in network namespaces (tools/slowlink.sh), rendered with a General MIDI
# sound font into a WAV file to listen to.  Without root or `ip netns` the
# recorded run goes over loopback, where every reply is equally fast.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/slowlink.sh
bash tools/setup.sh x64
cmake --preset x64 >/dev/null
cmake --build --preset x64 --target Sonaro hostshell >/dev/null
out=build/x64
bin=$out/bin
NoMidi=1 $out/wine-run "$bin/hostshell.exe" -c "usage sonaro" -c "sonaro /n:4 127.0.0.1" \
    -c "echo Received %_pingsrcvd, lost %_pingslost, average %_pingavg ms" "$@"

echo
mid=$out/sonaro-try.mid wav=$out/sonaro-try.wav text=$out/sonaro-try.txt
rm -f "$mid" "$wav" "$text"
if why=$(slowlink_why_not) && slowlink_up; then
    # Echoes of rising size across a 1 Mbit/s link: each size takes longer
    # and sounds a step lower; then a host that does not exist, its
    # time-outs each a strike of the timbale.
    echo "Now with sound, across a 1 Mbit/s link in network namespaces (recorded, then rendered):"
    slowlink_shell "$(pwd)/$out/wineprefix" "$text" "$mid" "${SLOWLINK_LINES[@]}"
    slowlink_down
else
    why=${why:-the network namespaces could not be made}
    # Over loopback every reply comes back at once, so every note is the
    # same; two echoes with more data than an IPv4 echo can carry fail, each
    # a strike of the timbale.
    echo "Now with sound, over loopback (recorded, then rendered):"
    echo "  No slow link here: $why; over loopback every reply is about equally fast."
    # The shell ends with the last command's result, 1 here: nothing came back.
    env -u NoMidi $out/wine-run "$bin/hostshell.exe" --midi "$mid" \
        -c "sonaro /n:6 /z:250 127.0.0.1" -c "sonaro /n:2 /z:250 /l:65520 127.0.0.1" \
        </dev/null | tr -d '\r' >"$text" || true
fi
if [ ! -s "$mid" ]; then
    echo "the stand-in host recorded nothing: $mid" >&2
    exit 1
fi
font=/usr/share/sounds/sf2/TimGM6mb.sf2
fluidsynth -ni -q -g 1.0 -r 44100 -O s16 -T wav -F "$wav" "$font" "$mid" \
    >/dev/null 2>&1 </dev/null
if [ ! -s "$wav" ]; then
    echo "fluidsynth wrote no sound: $wav" >&2
    exit 1
fi
# Without the silence before the first note and after the last, and as loud
# as it may be without clipping.
level=$(python3 tools/listen.py level "$wav")
echo
echo "What you will hear in $(pwd)/$wav ($level):"
python3 tools/listen.py parts "$mid" "$text"
echo "(the run's output: $text; its recording: $mid)"
