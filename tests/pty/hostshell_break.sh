#!/bin/bash
# hostshell_break.sh - Control-C while a plugin command runs, in a real
# console (a pseudo-terminal): the shell itself ignores it, so a command
# without a handler of its own runs on, and a plugin's own handler decides.
# Arguments: the wine-run script and the bin directory.
set -u
WINE_RUN=$1
BIN=$2
# Where this machine cannot run the build's programs, say why and skip.
"$WINE_RUN" --check "$BIN/hostshell.exe" || exit 77
work=$(mktemp -d)
[ -n "${KEEP_WORK:-}" ] && echo "work: $work"
trap '[ -n "${KEEP_WORK:-}" ] || rm -rf "$work"' EXIT
failures=0

# Windows path of a file under the bin directory (Wine's Z: is /).
winpath() { local p="Z:$BIN/$1"; echo "${p//\//\\}"; }

# run_case NAME LINE...: runs the shell with the fake plugin and one -c per
# LINE in a pseudo-terminal, types Control-C once the plugin says "waiting",
# and leaves the terminal text in $work/NAME.out and the status in $status.
run_case() {
    local name=$1
    shift
    local command
    command=$(printf '%q ' "$WINE_RUN" "$(winpath hostshell.exe)" --plugin "$(winpath FakePlugin.dll)")
    for line in "$@"; do
        command+=$(printf -- '-c %q ' "$line")
    done
    local fifo=$work/$name.in
    local out=$work/$name.out
    mkfifo "$fifo"
    : >"$out"
    script -qfec "$command" "$out" <"$fifo" >/dev/null 2>&1 &
    local pid=$!
    exec 3>"$fifo"
    local i
    for ((i = 0; i < 600; i++)); do
        grep -q waiting "$out" && break
        sleep 0.1
    done
    sleep 0.5
    printf '\003' >&3
    for ((i = 0; i < 300; i++)); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
        echo "FAIL $name: the shell did not finish"
        kill "$pid"
    fi
    exec 3>&-
    wait "$pid"
    status=$?
}

# expect NAME CONDITION MESSAGE
expect() {
    if eval "$2"; then
        echo "ok   $1: $3"
    else
        echo "FAIL $1: $3"
        echo "---- terminal output:"
        cat -v "$work/$1.out"
        echo "----"
        failures=$((failures + 1))
    fi
}

# No handler in the plugin: the shell survives and goes on with the next line.
run_case plain "fakewait 2000" "echo after the wait"
expect plain '[ "$status" = 0 ]' "exit status 0 (was $status)"
expect plain 'grep -q waited "$work/plain.out"' "the command ran to its end"
expect plain 'grep -q "after the wait" "$work/plain.out"' "the next line ran"

# The plugin's own handler is asked first and ends the command.
run_case handler "fakewait 20000 handler" "echo after the handler"
expect handler '[ "$status" = 3 ]' "exit status 3 from the command (was $status)"
expect handler 'grep -q interrupted "$work/handler.out"' "the plugin's handler saw Control-C"
expect handler 'grep -q "after the handler" "$work/handler.out"' "the next line ran"

exit $((failures > 0))
