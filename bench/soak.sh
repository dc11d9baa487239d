#!/bin/bash
# Long run of the real DLL in one hostshell.exe process: every entry called
# ROUNDS times (default 10000), loopback only, with the process's open
# handles and heap in use read after a warm-up and after every tenth of the
# run.  Writes build/x64/soak-results.txt; figures, not a test.
#   bash bench/soak.sh [ROUNDS]
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-10000}
cmake --preset x64 >/dev/null
cmake --build --preset x64 --target Sonaro hostshell >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
script=$work/soak.btm
results=build/x64/soak-results.txt

# One round calls every entry once: the three commands (SONARO with a host
# that has no address, so that it does not wait out a pacing interval; a
# real echo every 100th round), the seven functions, the five variables,
# Usage and Help (for a name that is not the plugin's, so that no viewer
# starts).
one_round='sonaro /q /n:1 /z:250 #nosuchmacro
sonarohelp /v
sonaromacro #soak1=127.0.0.1 #soakname:127.0.0.1 /l
echo %@sonaromacro[soakname]|%@lookuphost[4,127.0.0.1]|%@pingdhcp[0]|%@pingdns[0]|%@pingrouter[0]|%@pingwins[0]|%@pingtime[127.0.0.1,1]
echo %_pingavg|%_pingmax|%_pingmin|%_pingslost|%_pingsrcvd
sonaromacro #soak1= #soakname=
usage sonaro
help dir'
# The script, written by awk in one go (a shell loop of this size is slow).
awk -v rounds="$rounds" -v round="$one_round" 'BEGIN {
    for (i = 0; i < 100; i++) print round
    print "sonaro /q /n:1 /z:250 127.0.0.1"
    print "memstat"
    tenth = int(rounds / 10)
    for (part = 0; part < 10; part++) {
        for (i = 1; i <= tenth; i++) {
            print round
            if (i % 100 == 0) print "sonaro /q /n:1 /z:250 127.0.0.1"
        }
        print "memstat"
    }
}' >"$script"

# A Wine prefix of its own, so that the macros it writes never meet the
# tests', and a copy of the binaries, so that the build tree can be rebuilt
# meanwhile.
export SONARO_WINEPREFIX=$PWD/build/x64/wineprefix-soak
cp build/x64/bin/hostshell.exe build/x64/bin/TakeCmd.dll build/x64/bin/Sonaro-x64.dll "$work/"
start=$(date +%s)
NoMidi=1 NOLOADMSG=1 build/x64/wine-run "$work/hostshell.exe" "Z:${script//\//\\}" \
    2>"$work/err" | tr -d '\r' | grep '^handles ' >"$work/memstat" || true
seconds=$(($(date +%s) - start))
lines=$(wc -l <"$script")
errors=$(grep -cv '^Sonaro plugin: .*Can.* find an address for host #nosuchmacro\.' "$work/err" || true)
awk -v rounds="$rounds" -v seconds="$seconds" -v lines="$lines" -v errors="$errors" '
    NR == 1 { h0 = $2; b0 = $4; k0 = $6 }
    { h = $2; b = $4; k = $6; if ($2 > hmax) hmax = $2; if ($4 > bmax) bmax = $4 }
    END {
        printf "soak_rounds %d\nsoak_lines %d\nsoak_seconds %d\n", rounds, lines, seconds
        printf "soak_handles_start %d\nsoak_handles_end %d\nsoak_handles_max %d\n", h0, h, hmax
        printf "soak_heap_start %d\nsoak_heap_end %d\nsoak_heap_max %d\n", b0, b, bmax
        printf "soak_blocks_start %d\nsoak_blocks_end %d\n", k0, k
        printf "soak_checkpoints %d\nsoak_unexpected_errors %d\n", NR, errors
    }' "$work/memstat" >"$results"
cat "$work/memstat"
cat "$results"
