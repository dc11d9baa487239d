#!/bin/bash
# listoutput.sh - list output in a real console (Wine in a pseudo-terminal):
# highlighted text shows in its own colour and the normal colour comes back,
# the page prompt takes its keys, Control-C stops a listing with its echo;
# with output redirected no colour code or escape sequence is written.
# Runs the test program listprobe.exe.  Arguments: wine-run script, bin dir.
set -u
. "$(dirname "$0")/ptylib.sh" "$@"

PLUGIN_KEY='HKCU\Software\OrvelPlugins\Sonaro'
set_registry_highlight() {
    "$PTY_WINE_RUN" reg add "$PLUGIN_KEY" /v Highlight /d "$1" /f >/dev/null 2>&1
}
clear_registry_highlight() {
    "$PTY_WINE_RUN" reg delete "$PLUGIN_KEY" /v Highlight /f >/dev/null 2>&1
}
clear_registry_highlight
trap 'clear_registry_highlight; pty_cleanup' EXIT

# colour_case NAME EXPECTED-HIGHLIGHT [pty_start options]: the highlighted
# word and the alternate one differ from the normal text around them, and the
# text after them is normal again.
colour_case() {
    local name=$1 expected=$2
    shift 2
    pty_start -n "$name" "$@" listprobe.exe colours
    pty_wait_exit 30
    pty_check "$name" '[ "$PTY_STATUS" = 0 ]' "exit status 0 (was $PTY_STATUS)"
    pty_check "$name" 'pty_text | grep -qx "before LIT after ALT end"' "the text reads plainly"
    local normal lit alt
    normal=$(pty_colour_at before)
    lit=$(pty_colour_at LIT)
    alt=$(pty_colour_at ALT)
    pty_check "$name" '[ "$lit" = "$expected" ]' "highlight $expected (was $lit)"
    pty_check "$name" '[ "$lit" != "$normal" ]' "highlight $lit differs from normal $normal"
    pty_check "$name" '[ "$alt" != "$normal" ] && [ "$alt" != "$lit" ]' \
        "alternate $alt differs from normal and highlight"
    pty_check "$name" '[ "$(pty_colour_at after)" = "$normal" ] &&
        [ "$(pty_colour_at end)" = "$normal" ] &&
        [ "$(pty_colour_at result)" = "$normal" ]' "normal colour after each switch"
}

# Grey on black: the highlight is bright white, the alternate yellow.
colour_case default 97/- -u Highlight
colour_case environment 93/44 -e Highlight=0x1E
set_registry_highlight "bright red on blue"
colour_case registry 91/44 -u Highlight
colour_case env_over_registry 93/44 -e Highlight=0x1E
clear_registry_highlight

# Redirected: plain text through the host, byte for byte.
Highlight=0x1E "$PTY_WINE_RUN" "$PTY_BIN/listprobe.exe" colours \
    >"$PTY_WORK/redirected.out" 2>"$PTY_WORK/redirected.err" </dev/null
printf 'slots 00 00 00 00 00 00\r\nbefore LIT after ALT end\r\nresult 0\r\n' \
    >"$PTY_WORK/redirected.expected"
pty_check redirected 'cmp -s "$PTY_WORK/redirected.out" "$PTY_WORK/redirected.expected"' \
    "exactly the text, no escapes or codes: $(cat -v "$PTY_WORK/redirected.out" | tr '\n' '|')"

# Paging in a 25-row window: 23 lines a page; "5" lets five lines pass,
# "c" ends paging.
pty_start -n paging -u Highlight listprobe.exe page
pty_wait_text "Press a key to continue" 30
pty_check paging '[ "$(pty_count "Press a key")" = 1 ] && pty_text | grep -qx "line 23" &&
    ! pty_text | grep -qx "line 24"' "the prompt after line 23, and no further"
pty_keys 5
pty_wait_count "Press a key" 2 10
pty_check paging '[ "$(pty_count "Press a key")" = 2 ] && pty_text | grep -qx "line 28" &&
    ! pty_text | grep -qx "line 29"' \
    "after \"5\" five lines and the next prompt"
pty_keys c
pty_wait_exit 30
pty_check paging '[ "$PTY_STATUS" = 0 ] && [ "$(pty_count "Press a key")" = 2 ] &&
    pty_text | grep -qx "line 60" && pty_text | grep -qx "result 0"' \
    "after \"c\" the rest without prompts (status $PTY_STATUS)"

pty_start -n escape -u Highlight listprobe.exe page 10
pty_wait_text "Press a key to continue" 30
# Wine's console takes a lone ESC from the terminal as the start of an
# escape sequence and waits; a second one makes it the Esc key.
pty_keys Escape Escape
pty_wait_exit 30
pty_check escape '[ "$PTY_STATUS" = 3 ] && pty_text | grep -qx "result -3" &&
    ! pty_text | grep -q "line 11" && ! pty_text | grep -qF "^C"' \
    "Esc stops the listing without the echo (status $PTY_STATUS)"

# Control-C while lines are written: the echo in yellow, then -3.
pty_start -n break -u Highlight listprobe.exe break
pty_wait_text "tick 3" 30
pty_keys C-c
pty_wait_exit 30
pty_check break '[ "$PTY_STATUS" = 3 ] && pty_text | grep -qx "result -3"' \
    "the listing stops with -3 (status $PTY_STATUS)"
pty_check break '[ "$(pty_colour_at " ^C ")" = 93/- ]' \
    "the echo \" ^C \" in yellow on black (was $(pty_colour_at " ^C "))"

pty_finish
