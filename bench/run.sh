#!/bin/bash
# Builds the benchmark program and both DLLs, runs the measurements under Wine
# and writes them into docs/bench.md.  Figures, not tests: nothing fails on a
# slow machine.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset x64 >/dev/null
cmake --build --preset x64 --target sonarobench pacingsim Sonaro hostshell >/dev/null
cmake --preset x86 >/dev/null
cmake --build --preset x86 --target sonarobench pacingsim Sonaro hostshell >/dev/null
# The long runs' sections of the last docs/bench.md stay when they have not
# been run here.
previous=$(cat docs/bench.md 2>/dev/null || true)

# Each DLL by the benchmark program of its own architecture: once in a
# pseudo-terminal, so that the plugin finds a console as it does in TCC and
# the run's lines go to it, and once without one (as in a pipe) for the load
# time alone.  Then the pacing on a simulated Windows clock.
plugin_figures() {
    local arch=$1
    rm -f "build/$arch/bench-results.txt" "build/$arch/bench-noconsole.txt" "build/$arch/sim-results.txt"
    script -qec "env NoMidi=1 NOLOADMSG=1 build/$arch/wine-run build/$arch/bin/sonarobench.exe build/$arch/bench-results.txt 20" \
        /dev/null >/dev/null 2>&1 </dev/null
    NoMidi=1 NOLOADMSG=1 build/$arch/wine-run build/$arch/bin/sonarobench.exe \
        "build/$arch/bench-noconsole.txt" 20 >/dev/null
    NoMidi=1 NOLOADMSG=1 build/$arch/wine-run build/$arch/bin/pacingsim.exe \
        "build/$arch/sim-results.txt" 20 20 >/dev/null
}
results=build/x64/bench-results.txt
plain=build/x64/bench-noconsole.txt
plugin_figures x64
# Under user-mode emulation (tools/x86-emulation.sh) x86 runs, but its
# timings would be the emulator's.
if grep -qs 'interpreter .*qemu-i386' /proc/sys/fs/binfmt_misc/*; then
    why="32-bit programs run here only under emulation (qemu-i386), which does not time like a 32-bit machine"
else
    why=$(build/x86/wine-run --check build/x86/bin/sonarobench.exe 2>&1) || true
fi
if [ -z "$why" ]; then
    plugin_figures x86
    x86_reason=
else
    rm -f build/x86/bench-results.txt build/x86/bench-noconsole.txt build/x86/sim-results.txt
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
# The beat as heard from the real DLL: the stand-in host's recording device
# stamps every MIDI message, and each note-on is set against the reply line
# it follows.
heard() {
    local arch=$1 log=build/$1/heard-midi.log
    perl bench/linebeat.pl --midi-log "$log" "${arch}_recorded" 250 1 \
        "env -u NoMidi NOLOADMSG=1 $wine_run build/$arch/bin/hostshell.exe --midi-log $log -c 'sonaro /n:20 /z:250 127.0.0.1'" </dev/null
}
# The processor time a beat of the real DLL takes, from the outside
# (bench/beatcpu.py): the program's and the Wine server's.
beat_cpu() {
    local arch=$1
    WINEPREFIX=${SONARO_WINEPREFIX:-$PWD/build/$arch/wineprefix} python3 bench/beatcpu.py "${arch}_real" 40 \
        "env NoMidi=1 NOLOADMSG=1 $wine_run build/$arch/bin/hostshell.exe -c 'sonaro /n:{n} /z:250 127.0.0.1'" </dev/null
}
heard x64 | tr -d '\r' >>"$results"
[ -n "$x86_reason" ] || heard x86 | tr -d '\r' >>"$results"
beat_cpu x64 >>"$results"
[ -n "$x86_reason" ] || beat_cpu x86 >>"$results"
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
# How early, as a positive number (a figure below zero is early).
early() { awk -v v="$1" 'BEGIN { if (v != "") printf "%.2f", -v }'; }
# Median (90th percentile, max, min) of one spread of figures.
spread() {
    local k=$1 f=$2
    echo "$(value ${k}_median_ms "$f") ms ($(value ${k}_p90_ms "$f") / $(value ${k}_max_ms "$f") / $(value ${k}_min_ms "$f") ms)"
}
# A section of the previous docs/bench.md, from its heading to the next one.
previous_section() {
    printf '%s\n' "$previous" | awk -v h="$1" \
        'index($0, h) == 1 { on = 1; print; next } on && /^## / { exit } on { print }'
}

wine_version=$("${SONARO_WINE64:-/usr/lib/wine/wine64}" --version 2>/dev/null || echo "Wine, version unknown")
load=$(cut -d' ' -f1 /proc/loadavg)


# One row pair of the comparison for an architecture.
peer_rows() {
    local a=$1
    if [ "$a" = x86 ] && [ -n "$x86_reason" ]; then
        local kept
        kept=$(printf '%s\n' "$previous" | grep '^| x86: ' || true)
        if [ -n "$kept" ]; then
            printf '%s\n' "$kept"
        else
            echo "| x86: beat error and whole run, \`sonaro\` and \`ping.exe\` | not measured: $x86_reason | | |"
        fi
        return
    fi
    local sw=$(value ${a}_sonaro_run_wall_ms) si=$(value ${a}_sonaro_run_ideal_ms)
    local pw=$(value ${a}_ping_run_wall_ms) pi=$(value ${a}_ping_run_ideal_ms)
    echo "| $a: line beat error, median (90th percentile / max / min) | \`sonaro\` $(spread ${a}_sonaro_beat_error "$results"); \`ping.exe\` $(spread ${a}_ping_beat_error "$results") | median no worse than \`ping.exe\`'s, no line more than 1 ms early (this view adds each echo call's own time, for both) | $(met "$(value ${a}_sonaro_beat_error_median_ms)" "$(value ${a}_ping_beat_error_median_ms)" "$(early "$(value ${a}_sonaro_beat_error_min_ms)")" 1) |"
    echo "| $a: whole run, header to statistics, against its ideal | \`sonaro\` $sw ms against $si ms ($(over "$sw" "$si") %); \`ping.exe\` $pw ms against $pi ms ($(over "$pw" "$pi") %) | within 0.5 % | $(met "$(over "$sw" "$si" | tr -d +-)" 0.5) |"
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
        # The figures of the last machine that could run it stay, marked so.
        local kept
        kept=$(previous_section "### 32-bit DLL" | sed -e '1,2d' -e '/^Not measured on this run/,/^$/d')
        echo "Not measured on this run: $x86_reason."
        echo
        if printf '%s\n' "$kept" | grep -q '^| '; then
            local on
            on=$(printf '%s\n' "$kept" | sed -n 's/^The figures below are from the last run that measured it, on \([0-9-]*\).*/\1/p')
            [ -n "$on" ] || on=$(printf '%s\n' "$previous" | sed -n 's/^Measured by `bash bench\/run.sh` on \([0-9-]*\).*/\1/p')
            echo "The figures below are from the last run that measured it, on $on, except the size."
            echo
            printf '%s\n' "$kept" | grep '^|' | grep -v '^| Size of '
        fi
        echo
        echo "Size of Sonaro-$a.dll as built (linked without symbols): $(size_kb build/$a/bin/Sonaro-$a.dll) KB (target: under 300 KB)."
        return
    fi
    local run_over wall_ratio sim=build/$a/sim-results.txt
    run_over=$(over "$(value run_wall_ms "$r")" "$(value run_ideal_ms "$r")")
    wall_ratio=$(ratio "$(value pingtime_wall_median_ms "$r")" "$(value bare_wall_median_ms "$r")")
    local steps
    steps=$(tr -d '\r' <"$r" | awk -v q='`' '$1 ~ /^report_step_/ {
        sub(/^report_step_/, "", $1); printf "%s%s × %s%s%s %s ms", sep, $2, q, $1, q, $4; sep = ", " }')
    cat <<ROWS
| What | Measured | Target | |
|---|---|---|---|
| Beat as heard: note-on to note-on of \`sonaro /n:20 /z:250 127.0.0.1\` against the wait plus the later echo's reported time, median (90th percentile / max / min) | $(spread heard_beat_error "$r") | median ≤ 1.5 ms, 90th percentile ≤ 3 ms, no note more than 1 ms early | $(met "$(value heard_beat_error_median_ms "$r")" 1.5 "$(value heard_beat_error_p90_ms "$r")" 3 "$(early "$(value heard_beat_error_min_ms "$r")")" 1) |
| The same from the real DLL in \`hostshell.exe\`, recorded by its MIDI device (\`--midi-log\`), the lines going to a pseudo-terminal | $(spread ${a}_recorded_heard_beat_error "$results") | the same | $(met "$(value ${a}_recorded_heard_beat_error_median_ms)" 1.5 "$(value ${a}_recorded_heard_beat_error_p90_ms)" 3 "$(early "$(value ${a}_recorded_heard_beat_error_min_ms)")" 1) |
| Pacing: one echo's start to the next against the echo's own time plus 250 ms, median (90th percentile / max / min) | $(spread beat_error "$r") | median ≤ 2 ms, max ≤ 16 ms (one timer tick) | $(met "$(value beat_error_median_ms "$r")" 2 "$(value beat_error_max_ms "$r")" 16) |
| Whole run: the first echo to the end of the closing pause, against the echoes' time + 19 × 250 ms + 1750 ms | $(value run_wall_ms "$r") ms against $(value run_ideal_ms "$r") ms ($run_over %) | within 0.5 % | $(met "$(echo "$run_over" | tr -d +-)" 0.5) |
| of which set-up before the first echo (options, resolution, handles, header) | $(value run_setup_ms "$r") ms | | |
| From the echo call's return to its note-on (the report line, then the note) | $(value note_lag_median_ms "$r") ms median (max $(value note_lag_max_ms "$r") ms) | | |
| of which, per echo, the calls between and the time up to the next (the host's writes count with the call before them) | $steps | | |
| Simulated Windows clock (\`bench/pacingsim.cpp\`): beat error on the high-resolution timer, median (90th percentile / max / min) | $(spread sim_highres_beat_error "$sim") over $(value sim_highres_beats "$sim") beats | median ≤ 1.5 ms, 90th percentile ≤ 3 ms, no beat more than 1 ms early | $(met "$(value sim_highres_beat_error_median_ms "$sim")" 1.5 "$(value sim_highres_beat_error_p90_ms "$sim")" 3 "$(early "$(value sim_highres_beat_error_min_ms "$sim")")" 1) |
| The same without the high-resolution timer (Windows before 10 1803), at the run's 1 ms timer resolution | $(spread sim_fine_beat_error "$sim") | the same | $(met "$(value sim_fine_beat_error_median_ms "$sim")" 1.5 "$(value sim_fine_beat_error_p90_ms "$sim")" 3 "$(early "$(value sim_fine_beat_error_min_ms "$sim")")" 1) |
| The same at Windows' default resolution (15.625 ms: the system has neither) | $(spread sim_default_beat_error "$sim") | | |
| The closing pause's end after the last note, against 1750 ms: on the high-resolution timer / at 1 ms / at the default resolution, median (max / min) | $(value sim_highres_closing_error_median_ms "$sim") ms ($(value sim_highres_closing_error_max_ms "$sim") / $(value sim_highres_closing_error_min_ms "$sim") ms) / $(value sim_fine_closing_error_median_ms "$sim") ms ($(value sim_fine_closing_error_max_ms "$sim") / $(value sim_fine_closing_error_min_ms "$sim") ms) / $(value sim_default_closing_error_median_ms "$sim") ms ($(value sim_default_closing_error_max_ms "$sim") / $(value sim_default_closing_error_min_ms "$sim") ms) | never early | $(met "$(early "$(value sim_highres_closing_error_min_ms "$sim")")" 0 "$(early "$(value sim_fine_closing_error_min_ms "$sim")")" 0 "$(early "$(value sim_default_closing_error_min_ms "$sim")")" 0) |
| Time spent yielding (\`Sleep(0)\`) per beat: on the high-resolution timer / at 1 ms / at the default resolution | $(value sim_highres_yield_ms_per_beat "$sim") / $(value sim_fine_yield_ms_per_beat "$sim") / $(value sim_default_yield_ms_per_beat "$sim") ms | | |
| Timers and timer resolution of the simulated runs: high-resolution timers created, resolution requests begun and ended, left in force or open | high-resolution timer: $(value sim_highres_timers_created "$sim") timers, $(value sim_highres_period_begins "$sim") requests; without it: $(value sim_fine_period_begins "$sim") begun, $(value sim_fine_period_ends "$sim") ended; with neither: $(value sim_default_period_begins "$sim") begun, $(value sim_default_period_ends "$sim") ended; $(( $(value sim_highres_periods_left "$sim") + $(value sim_fine_periods_left "$sim") + $(value sim_default_periods_left "$sim") + $(value sim_highres_timers_left "$sim") )) left | no request beside the timer, none left | $(met "$(( $(value sim_highres_periods_left "$sim") + $(value sim_fine_periods_left "$sim") + $(value sim_default_periods_left "$sim") + $(value sim_highres_timers_left "$sim") + $(value sim_highres_period_begins "$sim") ))" 0) |
| Processor time per beat of the real DLL in \`hostshell.exe\`: \`sonaro /n:41 /z:250 127.0.0.1\` against \`/n:1\`, \`NoMidi\`, in a pseudo-terminal: the program's / the Wine server's | $(value ${a}_real_process_cpu_per_beat_ms) / $(value ${a}_real_server_cpu_per_beat_ms) ms | | |
| Processor time per beat in the benchmark's own run of \`sonaro /n:40 /z:250 127.0.0.1\` (\`GetProcessTimes\`, which Wine counts in 10 ms steps), and the yields per beat: as the system has the timer / with the high-resolution timer refused | $(value cpu_cpu_per_beat_ms "$r") ms, $(value cpu_yields_per_beat "$r") yields / $(value cpu_refused_cpu_per_beat_ms "$r") ms, $(value cpu_refused_yields_per_beat "$r") yields | | |
| Plugin time per echo outside the ICMP call and the wait, output not a console | $(value overhead_median_ms "$p") ms median (max $(value overhead_max_ms "$p") ms) | under 0.2 ms | $(met "$(value overhead_median_ms "$p")" 0.2) |
| The same with the lines going to the console | $(value overhead_median_ms "$r") ms median (max $(value overhead_max_ms "$r") ms) | | |
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
    if [ ! -f "$s" ]; then
        previous_section "## Long run of the real DLL"
        return 0
    fi
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
    if [ ! -f "$f" ]; then
        previous_section "## Fuzzing campaign"
        return 0
    fi
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

$(previous_section "## Processor time per beat before the high-resolution timer")

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
through the system-call table, in a pseudo-terminal whose console gets the
run's lines. Every \`IcmpSendEcho\`, every \`Sleep\` and every wait on the
run's timer is timed where it happens, and the run is given a MIDI handle of its own whose messages are
stamped as they are sent (no device is behind it). As heard, a beat is the
time from one note-on to the next, its ideal the wait plus the round-trip
time the later echo reports (whole milliseconds: the echo call's own time
beyond them counts as error, about half a millisecond under Wine). Timed
inside, a beat is from one echo's start to the next, its ideal that echo's
own time plus 250 ms. The whole run ends with the closing pause, which tops
the last wait up to 1750 ms. The steps of the report line are found by
stamping every call through the table between the echo's return and the
note: the time up to the next call is put down to each. The time per echo is
what is left between the end of one echo and the start of the next once the
wait is taken out (from its first step to its last, yields included):
formatting, output, the note and the loop; once with standard output not a
console (no colours, the host writes to a pipe), once with the lines going
to the console. Loopback
round trips are below a millisecond, so the reported times are mostly 0 ms;
the ratio is that of their means over 50 rounds. The parts of a
\`@PINGTIME\` call are found by stamping every call through the system-call
table as it starts: the time up to the next call is put down to it (the
plugin's own code after it included). For a literal address no DNS query
is made; what remains beside the echo is the handle, the two resolver
lookups and the default TTL (\`GetIpStatistics\`, read at every call), each of
which takes Wine a round trip to its server or a helper process. The load time is taken from the real
DLL, loaded and released ten times.

The simulated Windows clock (\`bench/pacingsim.cpp\`): no Windows machine is
at hand, so the plugin's code runs 20 times \`sonaro /n:20 /z:250 127.0.0.1\`
against a clock of the program's own, through the system-call table: the
tick count moves in steps of 15.625 ms, the performance counter runs at
10 MHz, a \`Sleep\` ends on the first timer tick at or after the time it asks
for (ticks every 15.625 ms, or every millisecond while a granted
\`timeBeginPeriod(1)\` is in force) and \`Sleep(0)\` yields for 1 µs. A
high-resolution waitable timer signals on the first step of 0.5 ms at or
after its due time: Microsoft gives no figure for its accuracy ("depends on
the capability of your hardware"), so the simulation assumes half a
millisecond. Each echo takes a random 0.2 to 3 ms; printing and MIDI take no
time; each run starts at a random point of the clock. A beat is from one
note-on to the next, its ideal the wait plus the later echo's own time. Once
on a system with the high-resolution timer (Windows 10 1803 and later), once
on one without it that grants the run's request for 1 ms resolution, once on
one that has neither.

The processor time per beat: \`bench/beatcpu.py\` runs the real DLL in
\`hostshell.exe\` in a pseudo-terminal, \`sonaro /n:41 /z:250 127.0.0.1\` and
\`sonaro /n:1 /z:250 127.0.0.1\`, each twice, the lesser time kept, and
divides the difference by 40: the program's time as the kernel counts it
for the process tree it waits for (to the microsecond), and the Wine
server's (which carries every sleep, wait and console write) from its
\`schedstat\`. Both are counted by the machine's clock, not Windows'. The
benchmark program also runs \`sonaro /n:40 /z:250 127.0.0.1\` once as the
system has the timer and once with the high-resolution timer refused as
Windows before 10 1803 refuses it, which gives today's sleeps and yields at
1 ms resolution; its \`GetProcessTimes\` figure is good only to about
0.25 ms a beat, the yields are counted exactly.

The beat as heard from the real DLL: \`bench/linebeat.pl\` runs
\`sonaro /n:20 /z:250 127.0.0.1\` in \`hostshell.exe --midi-log\` in a
pseudo-terminal, without \`NoMidi\`; the shell's recording device stamps
every message with the performance counter as the plugin sends it. A beat is
from one note-on of the melodic channel to the next, its ideal 250 ms plus
the round-trip time the later reply line reports, so here too the echo
call's own time beyond its whole milliseconds counts as error.

Against ping.exe (\`bench/linebeat.pl\`): each program runs in a
pseudo-terminal, as a user would start it, and every line it prints is
stamped with the monotonic clock as it arrives. A beat is the time from one
"Reply from" line to the next, its ideal 1000 ms plus the round-trip time
that the later line reports; so the time each echo call takes beyond its
round trip counts as beat error for both programs alike. The whole run is the
time from the "Pinging" header to the statistics; its ideal is the reported
round-trip times plus the waits: 19 for ping.exe, which does not wait after
its last echo, 20 for \`sonaro\`, which does.

The pacing wait counts from the moment the echo call returns, on the
performance counter, and waits at most 20 ms at a time, looking at
Control-C and Control-Break after every step. Where the system has a
high-resolution waitable timer (Windows 10 1803 and later; Wine 8.0 accepts
the request too), each step is a wait on that timer, the last one aimed at
the deadline itself, and the run holds no timer resolution. Without it the
run asks for 1 ms timer resolution for the length of the command and
sleeps: near the deadline it sleeps whole milliseconds that end before it
even when a sleep is as late as this wait's sleeps have been (at most
2 ms), then yields until the deadline. Either way a wait never ends early.
The closing pause and the pause after an operational error are timed on the
same counter: one step of their length, made up when it ends early, so they
never end early and end within one step's lateness of their time.
DOC
cat docs/bench.md
