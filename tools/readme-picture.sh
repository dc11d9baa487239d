#!/bin/bash
# Makes the README's picture of a run: the real 64-bit DLL in the stand-in
# host, on its recording MIDI device, pinging a host across a slow link, then
# drawn by tools/pianoroll.sh into docs/sonaro-run.png.
#
#   test host 10.201.1.2 ---- 10.201.1.1 far host   (1 Mbit/s each way)
#
# Both ends of the link are shaped with a token bucket (tbf) that lets one
# full-size packet through at once and the rest at 1 Mbit/s, so larger
# echoes take longer and are heard lower; 10.201.1.9 does not exist, so its
# echoes time out.  The namespaces are the script's own and are removed
# again; no packet leaves them.  Needs root and `ip netns` (iproute2).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
cmake --preset x64 >/dev/null
cmake --build --preset x64 --target Sonaro hostshell >/dev/null
out=build/x64/picture
prefix=$(pwd)/$out/wineprefix
mkdir -p "$out"
tag=snrpic$$
HOST=$tag-host
FAR=$tag-far
wineserver=${WINESERVER:-$(command -v wineserver || echo /usr/lib/wine/wineserver)}

stop_wine() {
    WINEPREFIX=$prefix "$wineserver" -k >/dev/null 2>&1 || true
    WINEPREFIX=$prefix "$wineserver" -w >/dev/null 2>&1 || true
}
cleanup() {
    stop_wine
    ip netns del "$HOST" 2>/dev/null || true
    ip netns del "$FAR" 2>/dev/null || true
}
trap cleanup EXIT

ip netns add "$HOST"
ip netns add "$FAR"
ip link add name h0 netns "$HOST" type veth peer name f0 netns "$FAR"
for end in "$HOST h0 10.201.1.2" "$FAR f0 10.201.1.1"; do
    set -- $end
    ip netns exec "$1" ip link set lo up
    ip netns exec "$1" ip addr add "$3/24" dev "$2"
    ip netns exec "$1" ip link set "$2" up
    ip netns exec "$1" tc qdisc add dev "$2" root tbf rate 1mbit burst 1600 latency 2s
done
# Wine sends its echoes from its own server processes, so the whole Wine
# session runs in the test host's namespace.
stop_wine
# The first line (silent) lets the test host learn the far host's link
# address, so that the first note is not heard late.
lines=(
    "echo Warm-up echo: %@pingtime[10.201.1.1] ms"
    "sonaro /n:3 /z:250 10.201.1.1"
    "sonaro /n:3 /z:250 /l:1750 10.201.1.1"
    "sonaro /n:3 /z:250 /l:2100 10.201.1.1"
    "sonaro /n:3 /z:250 /l:2800 10.201.1.1"
    "sonaro /n:3 /z:250 /l:6000 10.201.1.1"
    "sonaro /n:3 /z:250 /l:12000 10.201.1.1"
    "sonaro /n:2 /z:250 /w:500 10.201.1.9"
)
args=()
for line in "${lines[@]}"; do
    args+=(-c "$line")
done
rm -f "$out/run.mid" "$out/run.txt"
# The shell's result is the last command's, 1 here: the time-outs.
ip netns exec "$HOST" env -u NoMidi -u NOLOADMSG SONARO_WINEPREFIX="$prefix" \
    build/x64/wine-run build/x64/bin/hostshell.exe --midi "$out/run.mid" "${args[@]}" \
    </dev/null | tr -d '\r' >"$out/run.txt" || true
cat "$out/run.txt"
[ -s "$out/run.mid" ] || { echo "nothing was recorded" >&2; exit 1; }
bash tools/pianoroll.sh "$out/run.mid" docs/sonaro-run.png "$out/run.txt" \
    "SONARO across a 1 Mbit/s link: 64 to 12000 bytes, then a host that does not answer"
