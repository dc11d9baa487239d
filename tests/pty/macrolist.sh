#!/bin/bash
# macrolist.sh - SONAROMACRO's listing in a real console (Wine in a
# pseudo-terminal): the values are highlighted (and /D turns that off), /P
# pages by the window's height or by its line count, the prompt's keys work,
# the time form goes on by itself, and Control-C at the prompt or in the
# middle of a listing makes the command return 3.
# Arguments: wine-run script, bin dir.
set -u
. "$(dirname "$0")/ptylib.sh" "$@"

PLUGIN_KEY='HKCU\Software\OrvelPlugins\Sonaro'
clear_macros() {
    "$PTY_WINE_RUN" reg delete "$PLUGIN_KEY" /f >/dev/null 2>&1
}
trap 'clear_macros; pty_cleanup' EXIT

# define FIRST LAST: macros FIRST..LAST standing for hostN.example, made by
# a script of SONAROMACRO lines, 200 macros to a line.
define() {
    local script=$PTY_WORK/define.btm n line=
    : >"$script"
    for ((n = $1; n <= $2; n++)); do
        line+=" #$n=host$n.example"
        if (((n - $1) % 200 == 199)) || ((n == $2)); then
            printf 'sonaromacro%s\r\n' "$line" >>"$script"
            line=
        fi
    done
    NoMidi=1 NOLOADMSG=1 "$PTY_WINE_RUN" "$PTY_BIN/hostshell.exe" "Z:${script//\//\\}" \
        </dev/null >"$PTY_WORK/define.out" 2>&1
}

# listing NAME ROWS ARGUMENTS: SONAROMACRO with ARGUMENTS in a terminal of
# ROWS rows; the shell exits with the command's result.
listing() {
    pty_start -n "$1" -s "$2x80" -e NoMidi=1 -e NOLOADMSG=1 -u Highlight \
        hostshell.exe -c "sonaromacro $3"
}

shown() { pty_text | grep -qx -- "$1"; }
prompts() { pty_count "Press a key to continue"; }
# Waits until the prompt has been written N times; then lets the console
# settle so that nothing written after it is missed.
wait_prompts() {
    local i
    for ((i = 0; i < 300; i++)); do
        [ "$(prompts)" -ge "$1" ] && { sleep 0.5; return 0; }
        sleep 0.1
    done
    return 1
}

clear_macros
define 1 40
SUMMARY="   40 macros defined."

# Highlight: "#7 = " in the normal colour, the value in another; the summary
# normal again.  With /D everything is in one colour.
listing highlight 25 "#7 #8"
pty_wait_exit 60
normal=$(pty_colour_at "#7 = ")
lit=$(pty_colour_at "host7.example")
after=$(pty_colour_at "2 matching macros defined.")
pty_check highlight '[ "$PTY_STATUS" = 0 ] && shown "#7 = host7.example" &&
    shown "#8 = host8.example"' "status 0 (was $PTY_STATUS), both lines shown"
pty_check highlight '[ "$normal" != absent ] && [ "$lit" != absent ] && [ "$lit" != "$normal" ]' \
    "the value ($lit) apart from the normal text ($normal)"
pty_check highlight '[ "$after" = "$normal" ]' "the summary in the normal colour ($after)"

listing no_highlight 25 "/D #7"
pty_wait_exit 60
normal=$(pty_colour_at "#7 = ")
lit=$(pty_colour_at "host7.example")
pty_check no_highlight '[ "$PTY_STATUS" = 0 ] && [ "$normal" != absent ] && [ "$lit" = "$normal" ]' \
    "/D: the value ($lit) in the normal colour ($normal)"

# /P in a 15-row window: 13 lines a page.  A blank gives the next page, "c"
# the rest without prompts.
listing page_keys 15 "/P"
wait_prompts 1
pty_check page_keys '[ "$(prompts)" = 1 ] && shown "#13 = host13.example" &&
    ! pty_written | grep -q "#14 "' "the first prompt after 13 lines"
pty_keys Space
wait_prompts 2
pty_check page_keys '[ "$(prompts)" = 2 ] && shown "#26 = host26.example" &&
    ! pty_written | grep -q "#27 "' "after a blank 13 lines and the next prompt"
pty_keys c
pty_wait_exit 60
pty_check page_keys '[ "$PTY_STATUS" = 0 ] && [ "$(prompts)" = 2 ] &&
    shown "#40 = host40.example" && shown "$SUMMARY"' \
    "after \"c\" the rest without prompts (status $PTY_STATUS)"
pty_check page_keys '! pty_text | grep -q "Press a key"' "the prompts are blanked out"

# A line count of its own: a prompt every five lines.
listing page_lines 15 "/P,5"
wait_prompts 1
pty_check page_lines '[ "$(prompts)" = 1 ] && shown "#5  = host5.example" &&
    ! pty_written | grep -q "#6 "' "/P,5: the prompt after five lines"
pty_keys c
pty_wait_exit 60
pty_check page_lines '[ "$PTY_STATUS" = 0 ] && [ "$(prompts)" = 1 ] && shown "$SUMMARY"' \
    "then the rest (status $PTY_STATUS)"

# Esc at the prompt ends the listing without the Control-C echo.  (Wine's
# console needs Esc twice before it passes it on as a key.)
listing page_escape 15 "/P"
wait_prompts 1
pty_keys Escape Escape
pty_wait_exit 60
pty_check page_escape '[ "$PTY_STATUS" = 3 ] && ! pty_written | grep -q "#14 " &&
    ! shown "$SUMMARY" && ! pty_written | grep -qF "^C"' \
    "Esc: status 3 (was $PTY_STATUS), nothing more, no echo"

# Control-C at the prompt: the echo, and the command returns 3.
listing page_break 15 "/P"
wait_prompts 1
pty_keys C-c
pty_wait_exit 60
pty_check page_break '[ "$PTY_STATUS" = 3 ] && ! pty_written | grep -q "#14 " &&
    ! shown "$SUMMARY" && pty_written | grep -qF " ^C "' \
    "Control-C: status 3 (was $PTY_STATUS), the echo, nothing more"

# The time forms: the prompt goes on by itself, after a second or after
# 300 ms; 42 lines in pages of 13 and of 10.
listing page_seconds 15 "/P:1"
pty_wait_exit 60
pty_check page_seconds '[ "$PTY_STATUS" = 0 ] && [ "$(prompts)" = 3 ] && shown "$SUMMARY"' \
    "/P:1 goes on without keys: status $PTY_STATUS, $(prompts) prompts"
listing page_milliseconds 15 "/P=300m;10"
pty_wait_exit 60
pty_check page_milliseconds '[ "$PTY_STATUS" = 0 ] && [ "$(prompts)" = 4 ] && shown "$SUMMARY"' \
    "/P=300m;10 goes on without keys: status $PTY_STATUS, $(prompts) prompts"

# Control-C in the middle of a long listing without paging.
define 41 4000
pty_check define '[ ! -s "$PTY_WORK/define.out" ]' "4000 macros defined: $(head -c 200 "$PTY_WORK/define.out")"
listing break 25 "/D"
pty_wait_text "#100 " 60
pty_keys C-c
pty_wait_exit 120
pty_check break '[ "$PTY_STATUS" = 3 ] && pty_written | grep -qF " ^C " &&
    ! pty_written | grep -q "#4000 " && ! pty_written | grep -q "macros defined"' \
    "Control-C stops the listing: status $PTY_STATUS, the echo, no summary"

pty_finish
