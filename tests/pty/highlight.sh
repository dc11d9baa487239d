#!/bin/bash
# highlight.sh - the plugin's own listings in hostshell.exe: in a real console
# (Wine in a pseudo-terminal) the highlighted part shows in a colour of its
# own; with output redirected to a file not one escape sequence or colour
# code (characters 17-22) is written.
# Arguments: wine-run script, bin dir.
set -u
. "$(dirname "$0")/ptylib.sh" "$@"

PLUGIN_KEY='HKCU\Software\OrvelPlugins\Sonaro'
MACRO=Host-4242
MACRO_TEXT=colour.check.test
"$PTY_WINE_RUN" reg add "$PLUGIN_KEY" /v "$MACRO" /d "$MACRO_TEXT" /f >/dev/null 2>&1
trap '"$PTY_WINE_RUN" reg delete "$PLUGIN_KEY" /v "$MACRO" /f >/dev/null 2>&1; pty_cleanup' EXIT

# listing_case NAME LINE NORMAL-TEXT HIGHLIGHTED-TEXT: runs LINE in the shell
# in a terminal; HIGHLIGHTED-TEXT must show in another colour than
# NORMAL-TEXT, and the shell's next output in the normal colour again.  Then
# the same line with output redirected must carry no escapes or codes.
listing_case() {
    local name=$1 line=$2 normal_text=$3 lit_text=$4
    pty_start -n "$name" -e NoMidi=1 -u Highlight -u NOLOADMSG \
        hostshell.exe -c "$line" -c "echo listing done"
    pty_wait_exit 60
    local normal lit
    normal=$(pty_colour_at "$normal_text")
    lit=$(pty_colour_at "$lit_text")
    pty_check "$name" '[ "$normal" != absent ] && [ "$lit" != absent ]' \
        "\"$normal_text\" and \"$lit_text\" are shown"
    pty_check "$name" '[ "$lit" != "$normal" ]' \
        "\"$lit_text\" highlighted ($lit) apart from \"$normal_text\" ($normal)"
    pty_check "$name" '[ "$normal" != absent ] &&
        [ "$(pty_colour_at "listing done")" = "$normal" ]' \
        "the normal colour afterwards"

    local out=$PTY_WORK/$name.redirected
    NoMidi=1 "$PTY_WINE_RUN" "$PTY_BIN/hostshell.exe" -c "$line" >"$out" 2>&1 </dev/null
    pty_check "$name" 'grep -qF -- "$lit_text" "$out"' "redirected: the text is there"
    pty_check "$name" '! LC_ALL=C grep -q "[[:cntrl:]]" <(tr -d "\r\n\t" <"$out")' \
        "redirected: no escape sequence or colour code"
}

# SONAROMACRO's list: "#4242 = " in normal colours, the macro's text highlighted.
listing_case macro_list "sonaromacro /L" "#4242" "$MACRO_TEXT"

# SONARO's header: "Pinging " normal, the host highlighted.
listing_case sonaro_header "sonaro /N:1 127.0.0.1" "Pinging" "127.0.0.1"

pty_finish
