#!/bin/bash
# Builds the 64-bit plugin and tries it in the stand-in host under Wine.
# The machines here have no MIDI device, so NoMidi keeps it quiet.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
cmake --preset x64 >/dev/null
cmake --build --preset x64 --target Sonaro hostshell >/dev/null
bin=build/x64/bin
export NoMidi=1
build/x64/wine-run "$bin/hostshell.exe" -c "usage sonaro" -c "sonaro /n:4 127.0.0.1" \
    -c "echo Received %_pingsrcvd, lost %_pingslost, average %_pingavg ms" "$@"
