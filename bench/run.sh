#!/bin/bash
# Builds the benchmark program and both DLLs, runs the measurements under Wine
# and writes them into docs/bench.md.  Figures, not tests: nothing fails on a
# slow machine.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset x64 >/dev/null
cmake --build --preset x64 --target sonarobench Sonaro hostshell >/dev/null
cmake --preset x86 >/dev/null
cmake --build --preset x86 --target sonarobench Sonaro hostshell >/dev/null

# Each DLL by the benchmark program of its own architecture: once in a
# pseudo-terminal, so that the plugin finds a console as it does in TCC, and
# once without one (as in a pipe) for the load time alone.
plugin_figures() {
    local arch=$1
    rm -f "build/$arch/bench-results.txt" "build/$arch/bench-noconsole.txt"
    script -qec "env NoMidi=1 NOLOADMSG=1 build/$arch/wine-run build/$arch/bin/sonarobench.exe build/$arch/bench-results.txt 20 >/dev/null" \
        /dev/null >/dev/null 2>&1 </dev/null
    NoMidi=1 NOLOADMSG=1 build/$arch/wine-run build/$arch/bin/sonarobench.exe \
        "build/$arch/bench-noconsole.txt" 2 >/dev/null
}
results=build/x64/bench-results.txt
plain=build/x64/bench-noconsole.txt
plugin_figures x64
if why=$(build/x86/wine-run --check build/x86/bin/sonarobench.exe 2>&1); then
    plugin_figures x86
    x86_reason=
else
    rm -f build/x86/bench-results.txt build/x86/bench-noconsole.txt
    x86_reason=${why#SKIPPED: }
fi

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
if [ -z "$x86_reason" ]; then
    peer x86 "$ping32" build/x86/bin/hostshell.exe | tr -d '\r' >>"$results"
fi

value() { tr -d '\r' <"${2:-$results}" 2>/dev/null | awk -v k="$1" '$1 == k { print $2 }'; }
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

wine_version=$("${SONARO_WINE64:-/usr/lib/wine/wine64}" --version 2>/dev/null || echo "Wine, version unknown")
load=$(cut -d' ' -f1 /proc/loadavg)


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

# The table of one DLL's own figures (build/ARCH/bench-results.txt), or why
# it could not be measured.
plugin_table() {
    local a=$1 r=build/$1/bench-results.txt p=build/$1/bench-noconsole.txt
    local bits=64
    [ "$a" = x86 ] && bits=32
    echo "### $bits-bit DLL (Sonaro-$a.dll)"
    echo
    if [ "$a" = x86 ] && [ -n "$x86_reason" ]; then
        echo "Not measured: $x86_reason."
        echo
        echo "Size of Sonaro-$a.dll as built (linked without symbols): $(size_kb build/$a/bin/Sonaro-$a.dll) KB (target: under 300 KB)."
        return
    fi
    local run_over wall_ratio
    run_over=$(over "$(value run_wall_ms "$r")" "$(value run_ideal_ms "$r")")
    wall_ratio=$(ratio "$(value pingtime_wall_median_ms "$r")" "$(value bare_wall_median_ms "$r")")
    cat <<ROWS
| What | Measured | Target | |
|---|---|---|---|
| Pacing: beat error of \`sonaro /n:20 /z:250 127.0.0.1\`, median (max) | $(value beat_error_median_ms "$r") ms ($(value beat_error_max_ms "$r") ms) | median ≤ 2 ms, max ≤ 16 ms (one timer tick) | $(met "$(value beat_error_median_ms "$r")" 2 "$(value beat_error_max_ms "$r")" 16) |
| Pacing: whole run against 20 × (echo time + 250 ms) | $(value run_wall_ms "$r") ms against $(value run_ideal_ms "$r") ms ($run_over %) | within 1 % | $(met "$(echo "$run_over" | tr -d +-)" 1) |
| of which set-up before the first echo (options, resolution, handles, header) | $(value run_setup_ms "$r") ms | | |
| Plugin time per echo outside the ICMP call and the waits | $(value overhead_median_ms "$r") ms median (max $(value overhead_max_ms "$r") ms) | under 0.2 ms | $(met "$(value overhead_median_ms "$r")" 0.2) |
| of which the request's random data (64 \`rand_s\` values) | $(value random_fill_median_ms "$r") ms median | | |
| \`@PINGTIME[127.0.0.1]\` against a bare \`IcmpSendEcho\` (64 bytes): reported round-trip times | $(value pingtime_rtt_mean_ms "$r") ms against $(value bare_rtt_mean_ms "$r") ms, ratio $(value rtt_ratio "$r"), difference $(value rtt_difference_ms "$r") ms (times reported in whole milliseconds; a ratio only from 1 ms on) | 1.0 within noise | |
| The same, wall time per call (resolution and handle included for @PINGTIME) | $(value pingtime_wall_median_ms "$r") ms against $(value bare_wall_median_ms "$r") ms, ratio $wall_ratio | at most 1.5 | $(met "$wall_ratio" 1.5) |
| of which: resolution / default TTL (\`GetIpStatistics\`) / ICMP handle / the echo / the rest, medians | $(value pingtime_resolve_median_ms "$r") / $(value pingtime_default_ttl_median_ms "$r") / $(value pingtime_icmp_handle_median_ms "$r") / $(value pingtime_echo_median_ms "$r") / $(value pingtime_other_median_ms "$r") ms | | |
| Name lookups and DNS queries per \`@PINGTIME[127.0.0.1]\` | $(value pingtime_lookups_per_call "$r") \`GetAddrInfoW\`, $(value pingtime_dns_queries_per_call "$r") \`DnsQuery_W\` | no DNS query | $(met "$(value pingtime_dns_queries_per_call "$r")" 0) |
| The first \`GetIpStatistics\` of a process (Wine starts its network statistics service; taken before the figures above) | $(value first_ip_statistics_ms "$r") ms | | |
| Load: \`LoadLibrary\` + \`GetPluginInfo\` + \`InitializePlugin\`, in a console | $(value load_median_ms "$r") ms median (first $(value load_first_ms "$r") ms) | under 20 ms | $(met "$(value load_median_ms "$r")" 20) |
| The same without a console (the "conout\$" retry waits 50 ms) | $(value load_median_ms "$p") ms median | | |
| Size of Sonaro-$a.dll as built (linked without symbols) | $(size_kb build/$a/bin/Sonaro-$a.dll) KB | under 300 KB | $(met "$(size_kb build/$a/bin/Sonaro-$a.dll)" 300) |
ROWS
}

# The soak figures (bench/soak.sh), when it has been run.
soak_section() {
    local s=build/x64/soak-results.txt
    [ -f "$s" ] || return 0
    cat <<SOAK
## Long run of the real DLL (\`bash bench/soak.sh\`, x64)

Every entry of \`Sonaro-x64.dll\` called $(value soak_rounds "$s") times in one
\`hostshell.exe\` process ($(value soak_lines "$s") lines, $(value soak_seconds "$s") s, loopback only):
\`SONARO\` (with a host that has no address; a real echo every 100th round),
\`SONAROHELP /V\`, \`SONAROMACRO\` (two macros set, listed and deleted), the
seven functions, the five variables, \`Usage\` and \`Help\`. The shell's
\`memstat\` line reads the process's open handles and the heap in use after a
warm-up of 100 rounds and after every tenth of the run.

| What | After the warm-up | At the end | Largest seen |
|---|---|---|---|
| Open handles | $(value soak_handles_start "$s") | $(value soak_handles_end "$s") | $(value soak_handles_max "$s") |
| Heap in use, bytes | $(value soak_heap_start "$s") | $(value soak_heap_end "$s") | $(value soak_heap_max "$s") |
| Heap blocks in use | $(value soak_blocks_start "$s") | $(value soak_blocks_end "$s") | |

Checkpoints read: $(value soak_checkpoints "$s"); messages on standard error
other than the expected "Can't find an address" line: $(value soak_unexpected_errors "$s").

SOAK
}

# The fuzzing campaign's figures (bench/fuzz.sh), when it has been run.
fuzz_section() {
    local f=build/x64/fuzz-results.txt
    [ -f "$f" ] || return 0
    cat <<FUZZ
## Fuzzing campaign (\`bash bench/fuzz.sh\`, x64, $(value fuzz_date "$f"))

The \`fuzz\` test's program with $(value fuzz_seeds "$f") seeds from $(value fuzz_first_seed "$f") on,
$(value fuzz_inputs_per_seed "$f") inputs each: random and mutated argument texts into every
command, variable function, variable, \`Usage\` and \`Help\`, random registry
contents, heap blocks and argument buffers against guard pages, the static
tables' guard words checked after every call.

| What | Figure |
|---|---|
| Inputs | $(value fuzz_inputs_total "$f") |
| Faults (crashes, writes past a buffer, leaks, undocumented results, runs without end) | $(value fuzz_faults "$f") |
| Time | $(value fuzz_seconds "$f") s ($(value fuzz_inputs_per_second "$f") inputs a second) |

FUZZ
}

mkdir -p docs
cat >docs/bench.md <<DOC
# Benchmarks

Measured by \`bash bench/run.sh\` on $(date -u +%Y-%m-%d) ($(nproc) cores, load average
$load, $wine_version, no MIDI device). These are figures, not tests; they
vary with the machine and its load.

## The plugin on its own

$(plugin_table x64)

$(plugin_table x86)

## Against Wine's own ping.exe

\`sonaro /n:20 /z:1000 127.0.0.1\` in the stand-in host against
\`ping.exe -n 20 127.0.0.1\`, in the same run, one after the other.

| What | Measured | Target for \`sonaro\` | |
|---|---|---|---|
$(peer_rows x64)
$(peer_rows x86)

$(soak_section)

$(fuzz_section)

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
