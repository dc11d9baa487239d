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
value() { tr -d '\r' <"${2:-$results}" | awk -v k="$1" '$1 == k { print $2 }'; }
size_kb() { awk -v b="$(stat -c %s "$1")" 'BEGIN { printf "%.0f", b / 1024 }'; }
stripped_kb() {
    local copy
    copy=$(mktemp)
    "$2" -o "$copy" "$1"
    size_kb "$copy"
    rm -f "$copy"
}

x64_kb=$(size_kb build/x64/bin/Sonaro-x64.dll)
x86_kb=$(size_kb build/x86/bin/Sonaro-x86.dll)
x64_stripped=$(stripped_kb build/x64/bin/Sonaro-x64.dll x86_64-w64-mingw32-strip)
x86_stripped=$(stripped_kb build/x86/bin/Sonaro-x86.dll i686-w64-mingw32-strip)
wine_version=$(wine --version 2>/dev/null || echo unknown)

mkdir -p docs
cat >docs/bench.md <<DOC
# Benchmarks

Measured by \`bash bench/run.sh\` on $(date -u +%Y-%m-%d) ($(nproc) cores, $wine_version,
64-bit DLL, no MIDI device). These are figures, not tests; they vary with
the machine and its load.

| What | Measured | Target |
|---|---|---|
| Pacing: median beat error of \`sonaro /n:20 /z:250 127.0.0.1\` | $(value beat_error_median_ms) ms (max $(value beat_error_max_ms) ms) | at most 20 ms polling step + one timer tick |
| Pacing: whole run against 20 × (echo time + 250 ms) | $(value run_wall_ms) ms against $(value run_ideal_ms) ms | |
| Plugin time per echo outside the ICMP call and the waits | $(value overhead_median_ms) ms median (max $(value overhead_max_ms) ms) | under 0.2 ms |
| of which the request's random data (64 \`rand_s\` values) | $(value random_fill_median_ms) ms median | |
| \`@PINGTIME[127.0.0.1]\` against a bare \`IcmpSendEcho\` (64 bytes): reported round-trip times | $(value pingtime_rtt_mean_ms) ms against $(value bare_rtt_mean_ms) ms, ratio $(value rtt_ratio) | 1.0 within noise |
| The same, wall time per call (resolution and handle included for @PINGTIME) | $(value pingtime_wall_median_ms) ms against $(value bare_wall_median_ms) ms | |
| Load: \`LoadLibrary\` + \`GetPluginInfo\` + \`InitializePlugin\`, in a console | $(value load_median_ms) ms median (first $(value load_first_ms) ms) | under 20 ms |
| The same without a console (the "conout\$" retry waits 50 ms) | $(value load_median_ms "$plain") ms median | |
| Size of Sonaro-x64.dll / Sonaro-x86.dll as built | $x64_kb KB / $x86_kb KB | under 300 KB each |
| The same stripped of symbols | $x64_stripped KB / $x86_stripped KB | |

How each figure is taken (\`bench/sonarobench.cpp\`): the program links the
plugin's code and watches a real run of \`sonaro /n:20 /z:250 127.0.0.1\`
through the system-call table. Every \`IcmpSendEcho\` and every \`Sleep\` is
timed where it happens; a beat is the time from one echo's start to the
next, its ideal is that echo's own time plus 250 ms. The time per echo is
what is left between the end of one echo and the start of the next once the
sleeps are taken out: formatting, output, the note and the loop. Loopback
round trips are below a millisecond, so the reported times are mostly 0 ms;
the ratio is that of their means over 50 rounds. The load time is taken from
the real DLL, loaded and released ten times.
DOC
cat docs/bench.md
