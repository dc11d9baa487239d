#!/bin/bash
# Makes the README's picture of a run: the real 64-bit DLL in the stand-in
# host, on its recording MIDI device, pinging a host across a slow link
# (tools/slowlink.sh), then drawn by tools/pianoroll.sh into
# docs/sonaro-run.png.  Needs root and `ip netns` (iproute2).
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/slowlink.sh
if ! why=$(slowlink_why_not); then
    echo "readme-picture: $why" >&2
    exit 1
fi
bash tools/setup.sh x64
cmake --preset x64 >/dev/null
cmake --build --preset x64 --target Sonaro hostshell >/dev/null
out=build/x64/picture
mkdir -p "$out"
slowlink_up
slowlink_shell "$(pwd)/$out/wineprefix" "$out/run.txt" "$out/run.mid" "${SLOWLINK_LINES[@]}"
cat "$out/run.txt"
[ -s "$out/run.mid" ] || { echo "nothing was recorded" >&2; exit 1; }
bash tools/pianoroll.sh "$out/run.mid" docs/sonaro-run.png "$out/run.txt" \
    "SONARO across a 1 Mbit/s link: 64 to 12000 bytes, then a host that does not answer"
