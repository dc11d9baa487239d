#!/bin/bash
# Draws a run recorded by `hostshell.exe --midi` as a piano roll.
#   bash tools/pianoroll.sh RUN.mid OUT.png [RUN-OUTPUT.txt] [TITLE]
# With the run's output, each echo's line is written under its note or drum.
# OUT may end in .svg to keep the drawing as it is.
set -euo pipefail
if [ $# -lt 2 ]; then
    echo "usage: bash tools/pianoroll.sh RUN.mid OUT.png [RUN-OUTPUT.txt] [TITLE]" >&2
    exit 2
fi
midi=$1 out=$2 lines=${3:-} title=${4:-}
here=$(dirname "$0")
args=("$midi")
svg=$out
[[ $out == *.svg ]] || svg=$(mktemp --suffix=.svg)
args+=("$svg")
[ -n "$lines" ] && args+=(--lines "$lines")
[ -n "$title" ] && args+=(--title "$title")
python3 "$here/pianoroll/pianoroll.py" "${args[@]}"
if [ "$svg" != "$out" ]; then
    rsvg-convert -b white -o "$out" "$svg"
    rm -f "$svg"
fi
echo "pianoroll: $out"
