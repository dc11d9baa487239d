# ptylib.sh - runs a Windows program under Wine in a pseudo-terminal, where it
# gets a real console: keys are sent through tmux, and everything the console
# writes to the terminal (text and ANSI escape sequences) is recorded raw by
# script(1).  Sourced by the tests/pty/*.sh scripts:
#
#   . "$(dirname "$0")/ptylib.sh" "$@"      # wine-run script, bin directory
#   pty_start -s 25x80 -e Highlight=0x1E listprobe.exe colours
#   pty_wait_text "Press a key" 30 && pty_keys c
#   pty_wait_exit 30
#   pty_check colours '[ "$PTY_STATUS" = 0 ]' "exit status 0"
#   pty_colour_at LIT                        # e.g. "93/44"
#   pty_finish                               # exit status of the script
#
# Needs tmux, script (util-linux) and perl.  KEEP_WORK=1 keeps the work
# directory and prints its name.

PTY_WINE_RUN=${1:?"the wine-run script"}
PTY_BIN=${2:?"the bin directory"}
PTY_WORK=$(mktemp -d)
PTY_SOCKET=sonaro-pty-$$
PTY_FAILURES=0
PTY_CASE=
PTY_STATUS=
[ -n "${KEEP_WORK:-}" ] && echo "work: $PTY_WORK"

pty_cleanup() {
    tmux -L "$PTY_SOCKET" kill-server >/dev/null 2>&1
    rm -f "${TMUX_TMPDIR:-/tmp}/tmux-$(id -u)/$PTY_SOCKET"
    [ -n "${KEEP_WORK:-}" ] || rm -rf "$PTY_WORK"
}
trap pty_cleanup EXIT

# The programs are of the build's architecture: where this machine cannot run
# them (32-bit code on a kernel without it), say why and skip.
"$PTY_WINE_RUN" --check "$PTY_BIN/hostshell.exe" || exit 77

for tool in tmux script perl; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed"
        exit 77
    fi
done

# The Windows path of a file under the bin directory (Wine's Z: is /).
pty_winpath() {
    local path="Z:$PTY_BIN/$1"
    echo "${path//\//\\}"
}

# pty_start [-s ROWSxCOLS] [-e NAME=VALUE]... [-u NAME]... [-n CASE] PROGRAM ARGS...
# Starts PROGRAM (a file in the bin directory, or a path) under Wine in a new
# terminal of the given size (default 25x80), with the environment changes
# given.  Ends any program still running from an earlier pty_start.
pty_start() {
    local rows=25 cols=80
    local -a unset=() set=()
    PTY_CASE=case$((${PTY_COUNT:-0} + 1))
    while [ $# -gt 0 ]; do
        case $1 in
        -s) rows=${2%x*}; cols=${2#*x}; shift 2 ;;
        -e) set+=("$2"); shift 2 ;;
        -u) unset+=(-u "$2"); shift 2 ;;
        -n) PTY_CASE=$2; shift 2 ;;
        *) break ;;
        esac
    done
    PTY_COUNT=$((${PTY_COUNT:-0} + 1))
    local program=$1
    shift
    [ -e "$program" ] || program=$PTY_BIN/$program

    pty_stop
    PTY_RAW=$PTY_WORK/$PTY_CASE.raw
    PTY_STATUS_FILE=$PTY_WORK/$PTY_CASE.status
    PTY_STATUS=
    rm -f "$PTY_RAW" "$PTY_STATUS_FILE"
    : >"$PTY_RAW"

    local command status_note
    command=$(printf '%q ' env "${unset[@]}" "${set[@]}" "$PTY_WINE_RUN" "$program" "$@")
    status_note=$(printf 'echo $? >%q' "$PTY_STATUS_FILE")
    # script gives the program a terminal of its own inside the tmux pane,
    # the same size, and records every byte written to it.
    tmux -L "$PTY_SOCKET" -f /dev/null new-session -d -s pty -x "$cols" -y "$rows" \
        "script -q -f -c $(printf '%q' "$command; $status_note") $(printf '%q' "$PTY_RAW")"
}

# pty_keys KEY...: keys in tmux's send-keys notation ("c", "5", "Escape",
# "C-c", "Enter"); each argument is one key or a text typed as it stands.
pty_keys() {
    tmux -L "$PTY_SOCKET" send-keys -t pty -- "$@"
}

# Ends the program's terminal (and the program with it).
pty_stop() {
    tmux -L "$PTY_SOCKET" kill-session -t pty >/dev/null 2>&1
    return 0
}

# The raw bytes the console wrote, without script's own first and last lines.
pty_raw() {
    perl -0777 -pe 's/\AScript started on [^\n]*\n//; s/\n?Script done on [^\n]*\n?\z//' \
        "$PTY_RAW"
}

# Every character written, in order, with escape sequences removed (a cursor
# move to the right counts as that many blanks) and CRs dropped: text that
# was later overwritten, such as a page prompt, is still there.
pty_written() {
    pty_raw | perl -CSD -0777 -pe '
        s/\e\[([0-9]*)C/" " x ($1 eq "" ? 1 : $1)/ge;
        s/\e\[[0-9;?]*[ -\/]*[@-~]//g;
        s/\e\][^\a\e]*(?:\a|\e\\)//g;
        s/\e[@-Z\\-_]//g;
        s/\r//g;'
}

# The lines as they end up on the screen: a CR goes back to the start of the
# line, later text overwrites earlier text, erasing to the end of the line
# ("ESC [ K") cuts it off.  Other cursor moves are ignored.
pty_text() {
    pty_raw | perl -CSD -0777 -ne '
        my ($line, $col) = ("", 0);
        my $put = sub {
            my $t = shift;
            $line .= " " x ($col - length $line) if $col > length $line;
            substr($line, $col, length $t) = $t;
            $col += length $t;
        };
        while (length) {
            if (s/\A\e\[([0-9]*)C//) { $col += length $1 ? $1 : 1 }
            elsif (s/\A\e\[0?K//) { $line = substr($line, 0, $col) if $col < length $line }
            elsif (s/\A\e\[[0-9;?]*[ -\/]*[@-~]// || s/\A\e\][^\a\e]*(?:\a|\e\\)//
                   || s/\A\e[@-Z\\-_]//) { }
            elsif (s/\A\r//) { $col = 0 }
            elsif (s/\A\n//) { print "$line\n"; ($line, $col) = ("", 0) }
            elsif (s/\A([^\e\r\n]+)//) { $put->($1) }
            else { s/\A.//s }
        }
        print "$line\n" if length $line;'
}

# pty_colour_at TEXT: the colour in force where TEXT is first written, as
# FOREGROUND/BACKGROUND SGR codes ("-" = the terminal's default), with
# "+bold" and "+reverse" when set; "absent" when TEXT is never written.
pty_colour_at() {
    pty_raw | perl -CSDA -0777 -e '
        my $want = shift;
        local $_ = <STDIN>;
        my ($fg, $bg, $bold, $rev) = ("-", "-", 0, 0);
        my ($screen, @colour) = ("");
        my $state = sub { "$fg/$bg" . ($bold ? "+bold" : "") . ($rev ? "+reverse" : "") };
        while (length) {
            if (s/\A\e\[([0-9;]*)m//) {
                my @p = length $1 ? split(/;/, $1) : (0);
                while (@p) {
                    my $p = shift @p;
                    $p = 0 if $p eq "";
                    if ($p == 0) { ($fg, $bg, $bold, $rev) = ("-", "-", 0, 0) }
                    elsif ($p == 1) { $bold = 1 }
                    elsif ($p == 22) { $bold = 0 }
                    elsif ($p == 7) { $rev = 1 }
                    elsif ($p == 27) { $rev = 0 }
                    elsif (($p >= 30 && $p <= 37) || ($p >= 90 && $p <= 97)) { $fg = $p }
                    elsif ($p == 39) { $fg = "-" }
                    elsif (($p >= 40 && $p <= 47) || ($p >= 100 && $p <= 107)) { $bg = $p }
                    elsif ($p == 49) { $bg = "-" }
                    elsif ($p == 38 || $p == 48) {
                        my $mode = shift @p // 0;
                        my $v = $mode == 5 ? "$p;5;" . (shift @p // 0)
                              : "$p;2;" . join(";", splice(@p, 0, 3));
                        if ($p == 38) { $fg = $v } else { $bg = $v }
                    }
                }
            } elsif (s/\A\e\[([0-9]*)C//) {
                my $n = length $1 ? $1 : 1;
                $screen .= " " x $n;
                push @colour, ($state->()) x $n;
            } elsif (s/\A\e\[[0-9;?]*[ -\/]*[@-~]// || s/\A\e\][^\a\e]*(?:\a|\e\\)//
                     || s/\A\e[@-Z\\-_]// || s/\A\r//) {
            } else {
                s/\A(.)//s;
                $screen .= $1;
                push @colour, $state->();
            }
        }
        my $at = index($screen, $want);
        print $at < 0 ? "absent" : $colour[$at], "\n";' "$1"
}

# pty_wait_text TEXT [SECONDS]: waits until TEXT has been written; 1 on
# time-out.
pty_wait_text() {
    local text=$1 limit=$((${2:-30} * 10)) i
    for ((i = 0; i < limit; i++)); do
        pty_written | grep -qF -- "$text" && return 0
        sleep 0.1
    done
    return 1
}

# pty_count TEXT: how many times TEXT has been written.
pty_count() {
    pty_written | grep -oF -- "$1" | wc -l
}

# pty_wait_count TEXT N [SECONDS]: waits until TEXT has been written N times;
# 1 on time-out.
pty_wait_count() {
    local limit=$((${3:-30} * 10)) i
    for ((i = 0; i < limit; i++)); do
        [ "$(pty_count "$1")" -ge "$2" ] && return 0
        sleep 0.1
    done
    return 1
}

# pty_wait_exit [SECONDS]: waits for the program to end and puts its exit
# status in PTY_STATUS; on time-out ends it, PTY_STATUS is "timeout", 1.
pty_wait_exit() {
    local limit=$((${1:-30} * 10)) i
    for ((i = 0; i < limit; i++)); do
        if [ -s "$PTY_STATUS_FILE" ]; then
            PTY_STATUS=$(cat "$PTY_STATUS_FILE")
            return 0
        fi
        sleep 0.1
    done
    pty_stop
    PTY_STATUS=timeout
    return 1
}

# pty_check NAME CONDITION MESSAGE: evaluates CONDITION; on failure shows the
# terminal output of the current case.
pty_check() {
    if eval "$2"; then
        echo "ok   $1: $3"
    else
        echo "FAIL $1: $3"
        echo "---- terminal output (raw, cat -v):"
        pty_raw | cat -v
        echo "----"
        PTY_FAILURES=$((PTY_FAILURES + 1))
    fi
}

# The script's exit status: 0 when every check passed.
pty_finish() {
    [ "$PTY_FAILURES" = 0 ]
}
