#!/bin/bash
# echo_faults.sh - SONARO and @PINGTIME against real ICMP errors, in three
# network namespaces that the test makes and removes again:
#
#   test host 10.200.1.2 ---- 10.200.1.1 router 10.200.2.1 ---- 10.200.2.2 far host
#
# The router forwards between the two links, holds an unreachable route
# (10.200.8.0/24) and a blackhole route (10.200.9.0/24), and forwards
# directed broadcasts to the far link, where the far host answers them from
# its own address.  The router has no other route, so no packet leaves these
# namespaces.  Wine sends its echoes from its device-driver process, so the
# whole Wine session runs in the test host's namespace, with a prefix of its
# own.  The time-out and unreachable runs also play into the shell's
# recording MIDI device, and what they played is checked.  Needs root and
# `ip netns` (Debian iproute2); exit status 77 means skipped.
# Arguments: the wine-run script, the bin directory, the Wine prefix to use.
set -u
WINE_RUN=$1
BIN=$2
PREFIX=$3
# Where this machine cannot run the build's programs, say why and skip.
"$WINE_RUN" --check "$BIN/hostshell.exe" || exit 77
if [ "$(id -u)" != 0 ]; then
    echo "SKIPPED: network namespaces need root"
    exit 77
fi
if ! command -v ip >/dev/null 2>&1 || ! ip netns list >/dev/null 2>&1; then
    echo "SKIPPED: ip netns is not available (Debian package iproute2)"
    exit 77
fi

tag=snr$$
HOST=$tag-host
ROUTER=$tag-router
FAR=$tag-far
WINESERVER=${WINESERVER:-$(command -v wineserver || echo /usr/lib/wine/wineserver)}
work=$(mktemp -d)
[ -n "${KEEP_WORK:-}" ] && echo "work: $work"
failures=0
checks=0

# Wine's processes would keep the host's namespace alive, and a server left
# from an earlier run would send the echoes from that run's namespace.
stop_wine() {
    WINEPREFIX=$PREFIX "$WINESERVER" -k >/dev/null 2>&1
    WINEPREFIX=$PREFIX "$WINESERVER" -w >/dev/null 2>&1
}
cleanup() {
    stop_wine
    local ns
    for ns in "$HOST" "$ROUTER" "$FAR"; do
        ip netns del "$ns" 2>/dev/null
    done
    [ -n "${KEEP_WORK:-}" ] || rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

# Namespaces of an earlier run that was killed before it could remove them.
for ns in $(ip netns list 2>/dev/null | awk '{ print $1 }'); do
    if [[ $ns =~ ^snr([0-9]+)-(host|router|far)$ ]] && ! kill -0 "${BASH_REMATCH[1]}" 2>/dev/null; then
        ip netns del "$ns" 2>/dev/null
    fi
done

if ! why=$(ip netns add "$HOST" 2>&1); then
    echo "SKIPPED: cannot make a network namespace: $why"
    exit 77
fi

# step NS COMMAND...: a set-up step in a namespace; a failure ends the test.
step() {
    local ns=$1
    shift
    if ! ip netns exec "$ns" "$@"; then
        echo "FAIL set-up: in $ns: $*"
        exit 1
    fi
}

setup() {
    ip netns add "$ROUTER" && ip netns add "$FAR" || return 1
    ip link add name h0 netns "$HOST" type veth peer name r0 netns "$ROUTER" || return 1
    ip link add name f0 netns "$FAR" type veth peer name r1 netns "$ROUTER" || return 1
    local ns
    for ns in "$HOST" "$ROUTER" "$FAR"; do
        step "$ns" ip link set lo up
    done
    step "$HOST" ip addr add 10.200.1.2/24 dev h0
    step "$HOST" ip link set h0 up
    step "$HOST" ip route add default via 10.200.1.1
    step "$ROUTER" ip addr add 10.200.1.1/24 dev r0
    step "$ROUTER" ip addr add 10.200.2.1/24 brd 10.200.2.255 dev r1
    step "$ROUTER" ip link set r0 up
    step "$ROUTER" ip link set r1 up
    step "$ROUTER" ip route add unreachable 10.200.8.0/24
    step "$ROUTER" ip route add blackhole 10.200.9.0/24
    # No rate limit on the router's ICMP errors, or the results flicker.
    step "$ROUTER" sysctl -qw net.ipv4.ip_forward=1 net.ipv4.icmp_ratelimit=0 \
        net.ipv4.conf.all.bc_forwarding=1 net.ipv4.conf.r0.bc_forwarding=1 \
        net.ipv4.conf.r1.bc_forwarding=1
    step "$FAR" ip addr add 10.200.2.2/24 brd 10.200.2.255 dev f0
    step "$FAR" ip link set f0 up
    step "$FAR" ip route add default via 10.200.2.1
    step "$FAR" sysctl -qw net.ipv4.icmp_echo_ignore_broadcasts=0
}
if ! setup; then
    echo "FAIL set-up: the namespaces and links could not be made"
    exit 1
fi
stop_wine

# wine_in_host PROGRAM ARGS...: a program in the test host's namespace with
# the test's Wine prefix.
wine_in_host() {
    ip netns exec "$HOST" env -u NOLOADMSG -u Highlight -u NoMidi SONARO_WINEPREFIX="$PREFIX" \
        "$@"
}

# A Shared MIDI record left by a shell that ended without unloading the
# plugin would be taken by a later shell with the same process id.
wine_in_host "$WINE_RUN" reg delete 'HKCU\Software\OrvelPlugins\Shared MIDI' /f >/dev/null 2>&1

# run NAME LINE...: runs the shell in the test host's namespace with one -c
# per LINE; output in $work/NAME.out and .err, the shell's status (the last
# command's result) in $status.  MIDI is off; with SOUND=1 (SOUND=1 run ...)
# it is on, and the shell's recording device writes $work/NAME.log.
run() {
    local name=$1
    shift
    local args=() line midi=(NoMidi=1)
    if [ -n "${SOUND:-}" ]; then
        local log="Z:$work/$name.log"
        args+=(--midi-log "${log//\//\\}")
        midi=()
    fi
    for line in "$@"; do
        args+=(-c "$line")
    done
    wine_in_host env "${midi[@]}" "$WINE_RUN" "$BIN/hostshell.exe" "${args[@]}" \
        </dev/null >"$work/$name.out" 2>"$work/$name.err"
    status=$?
}

# A line pattern: the text as it stands, except {n} (a number of
# milliseconds), {time} (time<1ms or time=Nms) and {v} (a version number).
pattern() {
    local text
    text=$(printf '%s' "$1" | sed -e 's/[][\.*^$()+?|\\]/\\&/g')
    text=${text//\{n\}/[0-9]+}
    text=${text//\{time\}/time(<1|=[0-9]+)ms}
    text=${text//\{v\}/[0-9.]+}
    printf '^%s$' "$text"
}

# check NAME RESULT: the shell's result and standard output (CR LF lines)
# against the expected lines on standard input; standard error empty.
check() {
    checks=$((checks + 1))
    local name=$1 result=$2
    local -a want got
    mapfile -t want
    mapfile -t got < <(tr -d '\r' <"$work/$name.out")
    local problems=()
    [ "$status" = "$result" ] || problems+=("result $status, expected $result")
    [ -s "$work/$name.err" ] && problems+=("standard error not empty")
    local i
    for ((i = 0; i < ${#want[@]} || i < ${#got[@]}; i++)); do
        if [ "$i" -ge "${#got[@]}" ]; then
            problems+=("line $((i + 1)) missing: ${want[i]}")
            break
        fi
        if [ "$i" -ge "${#want[@]}" ]; then
            problems+=("line $((i + 1)) not expected: ${got[i]}")
            break
        fi
        if ! [[ ${got[i]} =~ $(pattern "${want[i]}") ]]; then
            problems+=("line $((i + 1)) is \"${got[i]}\", expected \"${want[i]}\"")
            break
        fi
    done
    if [ ${#problems[@]} -eq 0 ]; then
        echo "ok   $name"
        return
    fi
    echo "FAIL $name:"
    printf '     %s\n' "${problems[@]}"
    echo "---- standard output:"
    cat -v "$work/$name.out"
    echo "---- standard error:"
    cat -v "$work/$name.err"
    echo "----"
    failures=$((failures + 1))
}

# check_sound NAME LINES [FROM TO MS]...: the MIDI log of run NAME without
# its times, its lines joined by "|", against LINES; and for each triple the
# time from log line FROM to log line TO (from 1) against MS, at most 20 ms
# early and 200 ms late.
check_sound() {
    checks=$((checks + 1))
    local name=$1 want=$2
    shift 2
    local log=$work/$name.log problems=() got gap
    if [ ! -f "$log" ]; then
        problems+=("no MIDI log")
    else
        got=$(cut -d' ' -f2- "$log" | paste -sd'|')
        [ "$got" = "$want" ] || problems+=("log \"$got\", expected \"$want\"")
        while [ $# -ge 3 ]; do
            gap=$(awk -v from="$1" -v to="$2" \
                'NR == from { a = $1 } NR == to { b = $1 } END { printf "%d", b - a }' "$log")
            if [ "$gap" -lt $(($3 - 20)) ] || [ "$gap" -gt $(($3 + 200)) ]; then
                problems+=("line $1 to line $2: $gap ms, expected $3")
            fi
            shift 3
        done
    fi
    if [ ${#problems[@]} -eq 0 ]; then
        echo "ok   $name sound"
        return
    fi
    echo "FAIL $name sound:"
    printf '     %s\n' "${problems[@]}"
    echo "---- MIDI log:"
    cat "$log" 2>/dev/null
    echo "----"
    failures=$((failures + 1))
}

# The router answers: good replies, and @PINGTIME gives the time.
run router "sonaro /n:2 /z:250 10.200.1.1" "echo pingtime %@pingtime[10.200.1.1,2]"
check router 0 <<'EOF'
Sonaro v{v} loaded.

Pinging 10.200.1.1 with 64 bytes of data:

Reply from 10.200.1.1: bytes=64 {time} TTL=64
Reply from 10.200.1.1: bytes=64 {time} TTL=64

Ping statistics for 10.200.1.1:
    Packets: Sent = 2, Received = 2, Lost = 0 (0% loss)
Approximate round trip times in milliseconds:
    Minimum = {n}ms, Maximum = {n}ms, Average = {n}ms
pingtime {n}
EOF

# The blackhole route swallows the echoes: time-outs, nothing received.
# Wine has no text for the error code, so the numbered line stands.
SOUND=1 run timeout "sonaro /n:2 /w:500 10.200.9.9" "echo pingtime %@pingtime[10.200.9.9,1]" \
    "echo received %_pingsrcvd lost %_pingslost average %_pingavg"
check timeout 1 <<'EOF'
Sonaro v{v} loaded.

Pinging 10.200.9.9 with 64 bytes of data:

Failed: Error code = 11010
Failed: Error code = 11010

Ping statistics for 10.200.9.9:
    Packets: Sent = 2, Received = 0, Lost = 2 (100% loss)
pingtime -1
received 0 lost 2 average 00
EOF
# The error drum (Low Timbale) after each time-out: the second comes the
# ErrorSnooze wait (650 ms) and the second time-out after the first; then
# the wait is topped up to 1750 ms and all notes are switched off.
# @PINGTIME plays nothing.
check_sound timeout "open 1 device 0|C5 72|89 42 00|99 42 60|89 42 00|99 42 60|B5 7B 00|B9 7B 00|close 1" \
    4 6 1150 6 7 1750

# The unreachable route: the router reports the host unreachable.
SOUND=1 run unreachable "sonaro /n:2 /z:250 10.200.8.8" "echo pingtime %@pingtime[10.200.8.8,2]" \
    "echo received %_pingsrcvd lost %_pingslost"
check unreachable 1 <<'EOF'
Sonaro v{v} loaded.

Pinging 10.200.8.8 with 64 bytes of data:

Reply from 10.200.1.1: Destination host unreachable.
Reply from 10.200.1.1: Destination host unreachable.

Ping statistics for 10.200.8.8:
    Packets: Sent = 2, Received = 2, Lost = 0 (0% loss)
Approximate round trip times in milliseconds:
    Minimum = {n}ms, Maximum = {n}ms, Average = {n}ms
pingtime -2
received 2 lost 0
EOF
# An unreachable host's replies are failures too: the error drum, and the
# ErrorSnooze wait after each, not /Z's.
check_sound unreachable "open 1 device 0|C5 72|89 42 00|99 42 60|89 42 00|99 42 60|B5 7B 00|B9 7B 00|close 1" \
    4 6 650 6 7 1750

# A TTL of 1 ends at the router on the way to the far host, which answers
# with the system's TTL.
run ttl "sonaro /n:2 /z:250 /i:1 10.200.2.2" \
    "echo pingtime ttl 1 %@pingtime[10.200.2.2,2,64,1], default %@pingtime[10.200.2.2,2]"
check ttl 1 <<'EOF'
Sonaro v{v} loaded.

Pinging 10.200.2.2 with 64 bytes of data:

Reply from 10.200.1.1: TTL expired in transit.
Reply from 10.200.1.1: TTL expired in transit.

Ping statistics for 10.200.2.2:
    Packets: Sent = 2, Received = 2, Lost = 0 (0% loss)
Approximate round trip times in milliseconds:
    Minimum = {n}ms, Maximum = {n}ms, Average = {n}ms
pingtime ttl 1 -1, default {n}
EOF

# The far link's broadcast address: the far host answers from its own
# address, a good reply to SONARO and no time to @PINGTIME.
run otheraddress "sonaro /n:2 /z:250 10.200.2.255" "echo pingtime %@pingtime[10.200.2.255,2]"
check otheraddress 0 <<'EOF'
Sonaro v{v} loaded.

Pinging 10.200.2.255 with 64 bytes of data:

Reply from 10.200.2.2: bytes=64 {time} TTL=63
Reply from 10.200.2.2: bytes=64 {time} TTL=63

Ping statistics for 10.200.2.255:
    Packets: Sent = 2, Received = 2, Lost = 0 (0% loss)
Approximate round trip times in milliseconds:
    Minimum = {n}ms, Maximum = {n}ms, Average = {n}ms
pingtime -1
EOF

echo "$failures of $checks checks failed"
exit $((failures > 0))
