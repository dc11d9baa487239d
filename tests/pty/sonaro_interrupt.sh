#!/bin/bash
# SONARO in a pseudo-terminal: Control-C ends a continuous run with its
# statistics and the command's result; Control-Break shows the statistics and
# the run goes on; with standard output redirected Control-C still ends it.
# Arguments: the wine-run script, the directory of hostshell.exe.
set -u
wine_run=$(realpath "$1") bin=$(realpath "$2")
sock=sonaro-interrupt-$$
work=$(mktemp -d)
trap 'tmux -L "$sock" kill-server 2>/dev/null; rm -rf "$work"' EXIT
fail=0

# Runs a command line in a fresh terminal of 160 x 80; it ends by writing
# "[exit N]".
start() {
    tmux -L "$sock" kill-server 2>/dev/null
    sleep 0.2
    tmux -L "$sock" new-session -d -x 160 -y 80 \
        "cd '$work' && env NoMidi=1 NOLOADMSG=1 $1; echo \"[exit \$?]\"; sleep 600"
}
screen() { tmux -L "$sock" capture-pane -p -S -2000 2>/dev/null; }
# Waits up to $2 seconds for the screen to match the regular expression $1.
wait_for() {
    local i
    for ((i = 0; i < $2 * 10; i++)); do
        screen | grep -Eq "$1" && return 0
        tmux -L "$sock" has-session 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}
check() {   # description, command that must succeed
    if eval "$2"; then echo "ok: $1"; else echo "FAIL: $1"; fail=1; fi
}

shell="$wine_run $bin/hostshell.exe"

# --- Control-C: the continuous run stops with its statistics --------------
start "$shell -c 'sonaro /t /z:250 127.0.0.1' -c 'echo after [%_pingsrcvd]'"
if wait_for '(Reply from 127\.0\.0\.1.*){1}' 30 && sleep 1; then
    tmux -L "$sock" send-keys C-c 2>/dev/null
fi
wait_for '^\[exit ' 30
text=$(screen)
sent=$(sed -n 's/^    Packets: Sent = \([0-9]*\), Received = \1, Lost = 0 (0% loss)\r\{0,1\}$/\1/p' <<<"$text")
replies=$(grep -c '^Reply from 127\.0\.0\.1: bytes=64 time[<=][0-9]*ms TTL=[0-9]*' <<<"$text")
check "Control-C: one statistics block" '[ "$(grep -c "^Ping statistics for 127.0.0.1:" <<<"$text")" = 1 ]'
check "Control-C: the block counts every reply ($replies)" '[ -n "$sent" ] && [ "$sent" = "$replies" ] && [ "$sent" -ge 2 ]'
check "Control-C: no reply after the block" '! sed -n "/^Ping statistics/,\$p" <<<"$text" | grep -q "^Reply from"'
check "Control-C: the variables hold the run" 'grep -q "^after \[$sent\]" <<<"$text"'
check "Control-C: the command ended with result 0" 'grep -q "^\[exit 0\]" <<<"$text"'
[ $fail = 0 ] || screen

# --- Control-Break: the statistics so far, a blank line, and on -----------
start "$wine_run $bin/ctrlevent.exe 1500 1 $bin/hostshell.exe -c 'sonaro /n:12 /z:250 127.0.0.1'"
wait_for '^\[exit ' 40
text=$(screen)
blocks=$(grep -c '^Ping statistics for 127\.0\.0\.1:' <<<"$text")
first=$(grep -m1 '^    Packets: Sent' <<<"$text")
check "Control-Break: two statistics blocks" '[ "$blocks" = 2 ]'
check "Control-Break: the first shows the figures so far ($first)" \
    'grep -Eq "Sent = ([1-9]|1[01]), " <<<"$first"'
check "Control-Break: a blank line, then more replies" \
    'grep -A2 -m1 "Average = " <<<"$text" | sed -n 2,3p | tr -d "\r" | paste -sd"|" | grep -q "^|Reply from 127.0.0.1"'
check "Control-Break: the count is completed" 'grep -q "Sent = 12, Received = 12, Lost = 0 (0% loss)" <<<"$text"'
check "Control-Break: result 0" 'grep -q "^\[exit 0\]" <<<"$text"'
[ $fail = 0 ] || screen

# --- Control-C with standard output redirected ----------------------------
start "$shell -c 'sonaro /t /z:250 127.0.0.1' > out.txt"
for ((i = 0; i < 300; i++)); do
    grep -q 'Reply from' "$work/out.txt" 2>/dev/null && break
    sleep 0.1
done
sleep 1
tmux -L "$sock" send-keys C-c 2>/dev/null
wait_for '^\[exit ' 30
check "redirected: Control-C ends the run (result 0)" 'screen | grep -q "^\[exit 0\]"'
check "redirected: the statistics were written" 'grep -q "^Ping statistics for 127.0.0.1:" "$work/out.txt"'
if [ $fail != 0 ]; then screen; cat -A "$work/out.txt" | tail -20; fi

exit $fail
