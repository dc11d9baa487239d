#!/bin/bash
# SONARO in a real console (a pseudo-terminal): Control-C ends a continuous
# run with its statistics and the command's result; Control-Break shows the
# statistics so far and the run goes on; with standard output redirected
# Control-C still ends the run.  A terminal has no Control-Break key, so
# ctrlevent.exe delivers that event the way the system does.  The shell's
# recording MIDI device (--midi-log) shows what the interrupted runs played,
# also when a console event ends the shell itself.
# Arguments: the wine-run script and the bin directory.
set -u
. "$(dirname "$0")/ptylib.sh" "$@"

QUIET=(-e NoMidi=1 -e NOLOADMSG=1)
SOUND=(-u NoMidi -e NOLOADMSG=1)

# The Windows path of a file in the work directory.
workpath() {
    local path="Z:$PTY_WORK/$1"
    echo "${path//\//\\}"
}
# The lines of a MIDI log without their times, joined by "|".
logged() { cut -d' ' -f2- "$PTY_WORK/$1" | paste -sd'|'; }
# Shared MIDI records of shells that ended without unloading the plugin; a
# later shell with the same process id would take one for its own.
clear_records() {
    "$PTY_WINE_RUN" reg delete 'HKCU\Software\OrvelPlugins\Shared MIDI' /f >/dev/null 2>&1
}
clear_records

# The screen's statistics figure "Sent = N, Received = N, Lost = 0" lines.
packets() { pty_text | grep -E '^    Packets: Sent = ' | tr -d '\r'; }
replies() { pty_text | grep -cE '^Reply from 127\.0\.0\.1: bytes=64 time[<=][0-9]+ms TTL=[0-9]+'; }

# --- Control-C: the continuous run stops with its statistics --------------
pty_start -n control_c -s 200x120 "${SOUND[@]}" hostshell.exe \
    --midi-log "$(workpath control_c.log)" \
    -c "sonaro /t /z:250 127.0.0.1" -c "echo after [%_pingsrcvd]"
pty_wait_count "Reply from" 3 60 && pty_keys C-c
pty_wait_exit 60
sent=$(packets | sed -n 's/^    Packets: Sent = \([0-9]*\), Received = \1, Lost = 0 (0% loss)$/\1/p')
count=$(replies)
pty_check control_c '[ "$PTY_STATUS" = 0 ]' "the command ended with result 0 (was $PTY_STATUS)"
pty_check control_c '[ "$(packets | wc -l)" = 1 ]' "one statistics block"
pty_check control_c '[ -n "$sent" ] && [ "$sent" = "$count" ]' \
    "the block counts every reply ($sent, $count lines)"
pty_check control_c '! pty_text | sed -n "/^Ping statistics/,\$p" | grep -q "^Reply from"' \
    "no reply after the block"
pty_check control_c 'pty_text | grep -q "^after \[$sent\]"' "the variables hold the run"
notes=$(logged control_c.log | grep -o "|95 " | wc -l)
pty_check control_c '[ "$notes" = "$count" ]' "a note for every reply ($notes notes)"
pty_check control_c 'logged control_c.log | grep -q "^open 1 device 0|C5 72|.*|B5 7B 00|B9 7B 00|close 1$"' \
    "the instrument first, all notes off after the interrupted run, the device closed at the end"

# --- Control-Break: the statistics so far, a blank line, and on -----------
pty_start -n control_break -s 200x120 "${QUIET[@]}" ctrlevent.exe 1500 1 \
    "$(pty_winpath hostshell.exe)" -c "sonaro /n:12 /z:250 127.0.0.1"
pty_wait_exit 60
pty_check control_break '[ "$PTY_STATUS" = 0 ]' "result 0 (was $PTY_STATUS)"
pty_check control_break '[ "$(packets | wc -l)" = 2 ]' "two statistics blocks"
pty_check control_break 'packets | head -1 | grep -Eq "Sent = ([1-9]|1[01]), "' \
    "the first shows the figures so far"
pty_check control_break \
    'pty_text | tr -d "\r" | grep -A2 -m1 "Average = " | sed -n 2,3p | paste -sd"|" | grep -q "^|Reply from 127.0.0.1"' \
    "a blank line, then more replies"
pty_check control_break 'packets | tail -1 | grep -q "Sent = 12, Received = 12, Lost = 0 (0% loss)"' \
    "the count is completed"

# --- Control-C with standard output redirected ----------------------------
out=$PTY_WORK/redirected.txt
winout="Z:$out"
pty_start -n redirected "${QUIET[@]}" ctrlevent.exe --output "${winout//\//\\}" 0 -1 \
    "$(pty_winpath hostshell.exe)" -c "sonaro /t /z:250 127.0.0.1"
for ((i = 0; i < 600; i++)); do
    [ -f "$out" ] && [ "$(grep -c 'Reply from' "$out")" -ge 3 ] && break
    sleep 0.1
done
pty_keys C-c
pty_wait_exit 60
pty_check redirected '[ "$PTY_STATUS" = 0 ]' "Control-C ended the run with result 0 (was $PTY_STATUS)"
pty_check redirected 'grep -q "^Ping statistics for 127.0.0.1:" "$out"' "the statistics were written"
pty_check redirected '! sed -n "/^Ping statistics/,\$p" "$out" | grep -q "^Reply from"' \
    "no reply after them"

# --- A console event that ends the shell: the recording is written first ---
pty_start -n closed -s 200x120 "${SOUND[@]}" ctrlevent.exe 1500 2 \
    "$(pty_winpath hostshell.exe)" --midi-log "$(workpath closed.log)" \
    -c "sonaro /n:20 /z:250 127.0.0.1" -c "echo after"
pty_wait_exit 60
count=$(replies)
pty_check closed '! pty_text | grep -q "^after" && [ "$count" -lt 20 ]' "the event ended the shell in the run"
pty_check closed '[ -f "$PTY_WORK/closed.log" ]' "the log was written"
pty_check closed '[ "$(logged closed.log | grep -o "|95 " | wc -l)" = "$count" ]' \
    "a note for every reply ($count)"
pty_check closed 'logged closed.log | grep -q "^open 1 device 0|C5 72|"' "the instrument first"
# The plugin never gave its share of the device back.
clear_records

pty_finish
