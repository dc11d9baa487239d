#!/bin/bash
# A longer fuzzing campaign than the `fuzz` test's: SEEDS seeds (default 10)
# of INPUTS inputs each (default 500000), every input into one of the
# plugin's entries in the fake world, with guard pages and guard words.
# Runs in a Wine prefix of its own; writes build/x64/fuzz-results.txt, which
# bench/run.sh puts into docs/bench.md.  A failing seed prints its report
# (seed, input number, entry, argument) and counts as a fault.
#   bash bench/fuzz.sh [SEEDS] [INPUTS]
set -euo pipefail
cd "$(dirname "$0")/.."
seeds=${1:-10}
inputs=${2:-500000}
cmake --preset x64 >/dev/null
cmake --build --preset x64 --target unit_fuzz >/dev/null
export SONARO_WINEPREFIX=$PWD/build/x64/wineprefix-fuzz
results=build/x64/fuzz-results.txt
log=$(mktemp)
trap 'rm -f "$log"' EXIT

first_seed=20261209
faults=0
start=$(date +%s)
for ((i = 0; i < seeds; i++)); do
    seed=$((first_seed + i))
    if SONARO_FUZZ_SEED=$seed SONARO_FUZZ_INPUTS=$inputs \
        build/x64/wine-run build/x64/bin/unit_fuzz.exe >"$log" 2>&1; then
        echo "seed $seed: $inputs inputs, no faults"
    else
        faults=$((faults + 1))
        echo "seed $seed: FAULT"
        grep -A2 '^fuzz: seed .*, input ' "$log" || tail -20 "$log"
    fi
done
seconds=$(($(date +%s) - start))
total=$((seeds * inputs))
{
    echo "fuzz_date $(date -u +%Y-%m-%d)"
    echo "fuzz_seeds $seeds"
    echo "fuzz_first_seed $first_seed"
    echo "fuzz_inputs_per_seed $inputs"
    echo "fuzz_inputs_total $total"
    echo "fuzz_faults $faults"
    echo "fuzz_seconds $seconds"
    echo "fuzz_inputs_per_second $((total / (seconds > 0 ? seconds : 1)))"
} >"$results"
cat "$results"
[ "$faults" -eq 0 ]
