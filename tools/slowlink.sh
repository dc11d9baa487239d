# slowlink.sh - a slow link in network namespaces of the script's own, and the
# stand-in shell run across it with the 64-bit DLL; sourced by tools/try.sh
# and tools/readme-picture.sh.
#
#   test host 10.201.1.2 ---- 10.201.1.1 far host   (1 Mbit/s each way)
#
# Both ends of the link are shaped with a token bucket (tbf) that lets one
# full-size packet through at once and the rest at 1 Mbit/s, so larger
# echoes take longer and are heard lower; 10.201.1.9 does not exist, so its
# echoes time out.  The namespaces are removed again when the script ends;
# no packet leaves them.  Needs root and `ip netns` (iproute2).
#
#   slowlink_why_not         prints why no link can be made here (status 1),
#                            or nothing (status 0)
#   slowlink_up              makes the namespaces and the link
#   slowlink_shell PREFIX OUT MIDI LINE...
#                            runs build/x64's hostshell.exe in the test host's
#                            namespace with Wine prefix PREFIX, one -c per
#                            LINE; its output (without CRs) goes to OUT, what
#                            it played to the MIDI file MIDI
#   SLOWLINK_LINES           the run to hear: echoes of rising size, each size
#                            a step further down the scale, then a host that
#                            does not answer

SLOWLINK_TAG=snrlink$$
SLOWLINK_HOST=$SLOWLINK_TAG-host
SLOWLINK_FAR=$SLOWLINK_TAG-far
SLOWLINK_PREFIX=
SLOWLINK_WINESERVER=${WINESERVER:-$(command -v wineserver || echo /usr/lib/wine/wineserver)}
# The first line (silent) lets the test host learn the far host's link
# address, so that the first note is not heard late.
SLOWLINK_LINES=(
    "echo Warm-up echo: %@pingtime[10.201.1.1] ms"
    "sonaro /n:3 /z:250 10.201.1.1"
    "sonaro /n:3 /z:250 /l:1750 10.201.1.1"
    "sonaro /n:3 /z:250 /l:2100 10.201.1.1"
    "sonaro /n:3 /z:250 /l:2800 10.201.1.1"
    "sonaro /n:3 /z:250 /l:6000 10.201.1.1"
    "sonaro /n:3 /z:250 /l:12000 10.201.1.1"
    "sonaro /n:2 /z:250 /w:500 10.201.1.9"
)

slowlink_why_not() {
    if [ "$(id -u)" != 0 ]; then
        echo "network namespaces need root"
        return 1
    fi
    if ! command -v ip >/dev/null 2>&1 || ! ip netns list >/dev/null 2>&1; then
        echo "ip netns is not available (Debian package iproute2)"
        return 1
    fi
    return 0
}

# Wine's processes would keep the test host's namespace alive, and a server
# already running would send the echoes from its own namespace.
slowlink_stop_wine() {
    [ -n "$SLOWLINK_PREFIX" ] || return 0
    WINEPREFIX=$SLOWLINK_PREFIX "$SLOWLINK_WINESERVER" -k >/dev/null 2>&1 || true
    WINEPREFIX=$SLOWLINK_PREFIX "$SLOWLINK_WINESERVER" -w >/dev/null 2>&1 || true
}

slowlink_down() {
    slowlink_stop_wine
    ip netns del "$SLOWLINK_HOST" 2>/dev/null || true
    ip netns del "$SLOWLINK_FAR" 2>/dev/null || true
}

slowlink_up() {
    trap slowlink_down EXIT
    ip netns add "$SLOWLINK_HOST" || return 1
    ip netns add "$SLOWLINK_FAR" || return 1
    ip link add name h0 netns "$SLOWLINK_HOST" type veth peer name f0 netns "$SLOWLINK_FAR" ||
        return 1
    local end
    for end in "$SLOWLINK_HOST h0 10.201.1.2" "$SLOWLINK_FAR f0 10.201.1.1"; do
        set -- $end
        ip netns exec "$1" ip link set lo up &&
            ip netns exec "$1" ip addr add "$3/24" dev "$2" &&
            ip netns exec "$1" ip link set "$2" up &&
            ip netns exec "$1" tc qdisc add dev "$2" root tbf rate 1mbit burst 1600 latency 2s ||
            return 1
    done
}

slowlink_shell() {
    local prefix=$1 out=$2 midi=$3
    shift 3
    local args=() line
    for line in "$@"; do
        args+=(-c "$line")
    done
    # Wine sends its echoes from its own server processes, so the whole Wine
    # session runs in the test host's namespace, and ends with the run.
    SLOWLINK_PREFIX=$prefix
    slowlink_stop_wine
    rm -f "$midi" "$out"
    # The shell's result is the last command's, 1 here: the time-outs.
    ip netns exec "$SLOWLINK_HOST" env -u NoMidi -u NOLOADMSG SONARO_WINEPREFIX="$prefix" \
        build/x64/wine-run build/x64/bin/hostshell.exe --midi "$midi" "${args[@]}" \
        </dev/null | tr -d '\r' >"$out" || true
    slowlink_stop_wine
}
