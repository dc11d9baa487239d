#!/bin/bash
# Builds the benchmark program and both DLLs, runs the measurements under Wine
# and writes them into docs/bench.md.  Figures, not tests: nothing fails on a
# slow machine.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset x64 >/dev/null
cmake --build --preset x64 --target sonarobench Sonaro hostshell >/dev/null
cmake --preset x86 >/dev/null
cmake --build --preset x86 --target Sonaro >/dev/null

# Once in a pseudo-terminal, so that the plugin finds a console as it does
# in TCC, and once without one (as in a pipe) for the load time alone.
results=build/x64/bench-results.txt
plain=build/x64/bench-noconsole.txt
rm -f "$results" "$plain"
script -qec "env NoMidi=1 NOLOADMSG=1 build/x64/wine-run build/x64/bin/sonarobench.exe $results 20 >/dev/null" \
    /dev/null >/dev/null 2>&1 </dev/null
NoMidi=1 NOLOADMSG=1 build/x64/wine-run build/x64/bin/sonarobench.exe "$plain" 2 >/dev/null

# What a user would run instead: Wine's own ping.exe beside SONARO in the
# stand-in host, one after the other, both timed from their output lines in
# a pseudo-terminal (bench/linebeat.pl).  ping.exe waits 1000 ms between
# echoes, SONARO /Z:1000 also after the last one.
wine_run=build/x64/wine-run
peer() {
    local arch=$1 ping=$2 shell=$3
    perl bench/linebeat.pl "${arch}_ping" 1000 0 "$wine_run $ping -n 20 127.0.0.1" </dev/null
    perl bench/linebeat.pl "${arch}_sonaro" 1000 1 \
        "env NoMidi=1 NOLOADMSG=1 $wine_run $shell -c 'sonaro /n:20 /z:1000 127.0.0.1'" </dev/null
}
peer x64 ping.exe build/x64/bin/hostshell.exe | tr -d '\r' >>"$results"
# The 32-bit ping.exe: the prefix's copy when Wine made one, else Wine's own.
ping32=${SONARO_WINEPREFIX:-build/x64/wineprefix}/drive_c/windows/syswow64/ping.exe
[ -f "$ping32" ] || ping32=/usr/lib/i386-linux-gnu/wine/i386-windows/ping.exe
if why=$("$wine_run" --check "$ping32" 2>&1); then
    cmake --build --preset x86 --target hostshell >/dev/null
    peer x86 "$ping32" build/x86/bin/hostshell.exe | tr -d '\r' >>"$results"
    x86_reason=
else
    x86_reason=${why#SKIPPED: }
fi

value() { tr -d '\r' <"${2:-$results}" | awk -v k="$1" '$1 == k { print $2 }'; }
size_kb() { awk -v b="$(stat -c %s "$1")" 'BEGIN { printf "%.0f", b / 1024 }'; }
# "met" when every "value <= limit" pair holds, "not met" otherwise, "-"
# when a figure is missing.
met() {
    awk 'BEGIN { r = "met"; for (i = 1; i < ARGC; i += 2) {
            if (ARGV[i] == "" || ARGV[i + 1] == "") { r = "-"; break }
            if (ARGV[i] + 0 > ARGV[i + 1] + 0) r = "not met" }
         print r }' "$@"
}
# Run time over its ideal, in per cent.
over() { awk -v w="$1" -v i="$2" 'BEGIN { if (i > 0) printf "%+.2f", (w / i - 1) * 100 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b }'; }

x64_kb=$(size_kb build/x64/bin/Sonaro-x64.dll)
x86_kb=$(size_kb build/x86/bin/Sonaro-x86.dll)
wine_version=$("${SONARO_WINE64:-/usr/lib/wine/wine64}" --version 2>/dev/null || echo "Wine, version unknown")
load=$(cut -d' ' -f1 /proc/loadavg)

run_over=$(over "$(value run_wall_ms)" "$(value run_ideal_ms)")
wall_ratio=$(ratio "$(value pingtime_wall_median_ms)" "$(value bare_wall_median_ms)")

# One row pair of the comparison for an architecture.
peer_rows() {
    local a=$1
    if [ "$a" = x86 ] && [ -n "$x86_reason" ]; then
        echo "| x86: beat error and whole run, \`sonaro\` and \`ping.exe\` | not measured: $x86_reason | | |"
        return
    fi
    local sw=$(value ${a}_sonaro_run_wall_ms) si=$(value ${a}_sonaro_run_ideal_ms)
    local pw=$(value ${a}_ping_run_wall_ms) pi=$(value ${a}_ping_run_ideal_ms)
    echo "| $a: beat error, median (max) | \`sonaro\` $(value ${a}_sonaro_beat_error_median_ms) ms ($(value ${a}_sonaro_beat_error_max_ms) ms); \`ping.exe\` $(value ${a}_ping_beat_error_median_ms) ms ($(value ${a}_ping_beat_error_max_ms) ms) | median ≤ 2 ms, max ≤ 16 ms (this view adds each echo call's own time, for both) | $(met "$(value ${a}_sonaro_beat_error_median_ms)" 2 "$(value ${a}_sonaro_beat_error_max_ms)" 16) |"
    echo "| $a: whole run, header to statistics, against its ideal | \`sonaro\` $sw ms against $si ms ($(over "$sw" "$si") %); \`ping.exe\` $pw ms against $pi ms ($(over "$pw" "$pi") %) | within 1 % | $(met "$(over "$sw" "$si" | tr -d +-)" 1) |"
}

mkdir -p docs
cat >docs/bench.md <<DOC
# Benchmarks

Measured by \`bash bench/run.sh\` on $(date -u +%Y-%m-%d) ($(nproc) cores, load average
$load, $wine_version, no MIDI device). These are figures, not tests; they
vary with the machine and its load.

## The plugin on its own (64-bit DLL)

| What | Measured | Target | |
|---|---|---|---|
| Pacing: beat error of \`sonaro /n:20 /z:250 127.0.0.1\`, median (max) | $(value beat_error_median_ms) ms ($(value beat_error_max_ms) ms) | median ≤ 2 ms, max ≤ 16 ms (one timer tick) | $(met "$(value beat_error_median_ms)" 2 "$(value beat_error_max_ms)" 16) |
| Pacing: whole run against 20 × (echo time + 250 ms) | $(value run_wall_ms) ms against $(value run_ideal_ms) ms ($run_over %) | within 1 % | $(met "$(echo "$run_over" | tr -d +-)" 1) |
| of which set-up before the first echo (options, resolution, handles, header) | $(value run_setup_ms) ms | | |
| Plugin time per echo outside the ICMP call and the waits | $(value overhead_median_ms) ms median (max $(value overhead_max_ms) ms) | under 0.2 ms | $(met "$(value overhead_median_ms)" 0.2) |
| of which the request's random data (64 \`rand_s\` values) | $(value random_fill_median_ms) ms median | | |
| \`@PINGTIME[127.0.0.1]\` against a bare \`IcmpSendEcho\` (64 bytes): reported round-trip times | $(value pingtime_rtt_mean_ms) ms against $(value bare_rtt_mean_ms) ms, ratio $(value rtt_ratio) | 1.0 within noise | |
| The same, wall time per call (resolution and handle included for @PINGTIME) | $(value pingtime_wall_median_ms) ms against $(value bare_wall_median_ms) ms, ratio $wall_ratio | at most 1.5 | $(met "$wall_ratio" 1.5) |
| of which: resolution / default TTL (\`GetIpStatistics\`) / ICMP handle / the echo / the rest, medians | $(value pingtime_resolve_median_ms) / $(value pingtime_default_ttl_median_ms) / $(value pingtime_icmp_handle_median_ms) / $(value pingtime_echo_median_ms) / $(value pingtime_other_median_ms) ms | | |
| Name lookups and DNS queries per \`@PINGTIME[127.0.0.1]\` | $(value pingtime_lookups_per_call) \`GetAddrInfoW\`, $(value pingtime_dns_queries_per_call) \`DnsQuery_W\` | no DNS query | $(met "$(value pingtime_dns_queries_per_call)" 0) |
| The first \`GetIpStatistics\` of a process (Wine starts its network statistics service; taken before the figures above) | $(value first_ip_statistics_ms) ms | | |
| Load: \`LoadLibrary\` + \`GetPluginInfo\` + \`InitializePlugin\`, in a console | $(value load_median_ms) ms median (first $(value load_first_ms) ms) | under 20 ms | $(met "$(value load_median_ms)" 20) |
| The same without a console (the "conout\$" retry waits 50 ms) | $(value load_median_ms "$plain") ms median | | |
| Size of Sonaro-x64.dll / Sonaro-x86.dll as built (linked without symbols) | $x64_kb KB / $x86_kb KB | under 300 KB each | $(met "$x64_kb" 300 "$x86_kb" 300) |

## Against Wine's own ping.exe

\`sonaro /n:20 /z:1000 127.0.0.1\` in the stand-in host against
\`ping.exe -n 20 127.0.0.1\`, in the same run, one after the other.

| What | Measured | Target for \`sonaro\` | |
|---|---|---|---|
$(peer_rows x64)
$(peer_rows x86)

## How each figure is taken

The plugin on its own (\`bench/sonarobench.cpp\`): the program links the
plugin's code and watches a real run of \`sonaro /n:20 /z:250 127.0.0.1\`
through the system-call table. Every \`IcmpSendEcho\` and every \`Sleep\` is
timed where it happens; a beat is the time from one echo's start to the
next, its ideal is that echo's own time plus 250 ms. The time per echo is
what is left between the end of one echo and the start of the next once the
sleeps are taken out: formatting, output, the note and the loop. Loopback
round trips are below a millisecond, so the reported times are mostly 0 ms;
the ratio is that of their means over 50 rounds. The parts of a
\`@PINGTIME\` call are found by stamping every call through the system-call
table as it starts: the time up to the next call is put down to it (the
plugin's own code after it included). For a literal address no DNS query
is made; what remains beside the echo is the handle, the two resolver
lookups and the default TTL (\`GetIpStatistics\`, read at every call), each of
which takes Wine a round trip to its server or a helper process. The load time is taken from the real
DLL, loaded and released ten times.

Against ping.exe (\`bench/linebeat.pl\`): each program runs in a
pseudo-terminal, as a user would start it, and every line it prints is
stamped with the monotonic clock as it arrives. A beat is the time from one
"Reply from" line to the next, its ideal 1000 ms plus the round-trip time
that the later line reports; so the time each echo call takes beyond its
round trip counts as beat error for both programs alike. The whole run is the
time from the "Pinging" header to the statistics; its ideal is the reported
round-trip times plus the waits: 19 for ping.exe, which does not wait after
its last echo, 20 for \`sonaro\`, which does.

The pacing wait counts from the moment the echo call returns and sleeps at
most 20 ms at a time, looking at Control-C and Control-Break after every
sleep; its last sleep is only what remains. How much has passed is read from
the tick count, which Windows and Wine advance only every 15 to 16 ms: the
wait takes the tick count's reading or the previous figure plus the sleep
since, whichever is more, as a sleep lasts about as long as asked.
DOC
cat docs/bench.md
