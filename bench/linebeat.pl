#!/usr/bin/perl
# Times a ping-like program from the outside, as a user sees it: the program
# runs in a pseudo-terminal (script), and every line it prints is stamped
# with the monotonic clock as it arrives.
#
#   linebeat.pl [--midi-log LOG] PREFIX WAIT_MS WAITS_AFTER_LAST COMMAND
#
# A beat is the time from one "Reply from" line to the next; its ideal is
# WAIT_MS plus the round-trip time the later line reports.  The whole run is
# the time from the "Pinging" header to the statistics line; its ideal is the
# reported round-trip times plus one wait between echoes, and WAITS_AFTER_LAST
# more waits after the last echo (1 for a program that also waits then).
# With --midi-log, LOG is the stand-in host's recording of the run
# (hostshell.exe --midi-log): the beat as heard is then also taken, from one
# note-on of the melodic channel to the next against the same ideal.
# Prints "PREFIX_key value" lines.
use strict;
use warnings;
use Time::HiRes qw(clock_gettime CLOCK_MONOTONIC);

my $midi_log;
if (@ARGV && $ARGV[0] eq '--midi-log') {
    shift @ARGV;
    $midi_log = shift @ARGV;
}
my ($prefix, $wait, $after, $command) = @ARGV;
die "usage: linebeat.pl [--midi-log LOG] PREFIX WAIT_MS WAITS_AFTER_LAST COMMAND\n"
    unless defined $command;
unlink $midi_log if defined $midi_log;

sub now_ms { return clock_gettime(CLOCK_MONOTONIC) * 1000; }

my $launch = now_ms();
open(my $out, '-|', 'script', '-qfec', $command, '/dev/null') or die "script: $!\n";
my ($header, $stats, @replies);
while (my $line = <$out>) {
    my $at = now_ms();
    $line =~ s/\e\[[0-9;?]*[A-Za-z]//g;    # cursor and colour sequences
    $line =~ s/[\r\n]//g;
    if (!defined $header && $line =~ /^Pinging/) {
        $header = $at;
    } elsif ($line =~ /Reply from.*time(<|=)(\d+)ms/) {
        push @replies, [$at, $1 eq '<' ? 0 : $2];
    } elsif (!defined $stats && $line =~ /^Ping statistics/) {
        $stats = $at;
    }
}
close($out);
my $exit = now_ms();

sub median {
    my @v = sort { $a <=> $b } @_;
    return 0 unless @v;
    my $n = @v;
    return $n % 2 ? $v[$n / 2] : ($v[$n / 2 - 1] + $v[$n / 2]) / 2;
}

# The nearest-rank percentile.
sub percentile {
    my ($p, @v) = @_;
    @v = sort { $a <=> $b } @v;
    return 0 unless @v;
    my $rank = int($p / 100 * @v + 0.999999);
    $rank = 1 if $rank < 1;
    return $v[$rank - 1];
}

# Each beat's error against the wait plus the later echo's reported time,
# from a list of times (one per reply, in order).
sub beat_errors {
    my @at = @_;
    my @errors;
    for my $i (1 .. $#at) {
        last if $i > $#replies;
        push @errors, $at[$i] - $at[$i - 1] - ($wait + $replies[$i][1]);
    }
    return @errors;
}

sub print_spread {
    my ($key, @errors) = @_;
    return unless @errors;
    my $max = (sort { $b <=> $a } @errors)[0];
    my $min = (sort { $a <=> $b } @errors)[0];
    printf "%s_median_ms %.2f\n", $key, median(@errors);
    printf "%s_p90_ms %.2f\n", $key, percentile(90, @errors);
    printf "%s_max_ms %.2f\n", $key, $max;
    printf "%s_min_ms %.2f\n", $key, $min;
}

my @errors = beat_errors(map { $_->[0] } @replies);
my $rtt = 0;
$rtt += $_->[1] for @replies;
my $echoes = @replies;
printf "%s_echoes %d\n", $prefix, $echoes;
print_spread("${prefix}_beat_error", @errors);
printf "%s_early_lines %d\n", $prefix, scalar(grep { $_ < -1 } @errors) if @errors;

# The recording: "MS 95 KEY VELOCITY" is a note-on of channel 6, the
# melodic one (velocity 00 would be a note-off).
if (defined $midi_log) {
    my @notes;
    if (open(my $log, '<', $midi_log)) {
        while (my $line = <$log>) {
            push @notes, $1 if $line =~ /^(\d+\.\d+) 95 [0-9A-F]{2} (?!00)[0-9A-F]{2}\s*$/;
        }
        close($log);
    }
    printf "%s_notes %d\n", $prefix, scalar(@notes);
    my @heard = beat_errors(@notes);
    print_spread("${prefix}_heard_beat_error", @heard) if @notes == @replies;
}
if (defined $header && defined $stats && $echoes > 0) {
    printf "%s_run_wall_ms %.1f\n", $prefix, $stats - $header;
    printf "%s_run_ideal_ms %.1f\n", $prefix, $rtt + $wait * ($echoes - 1 + $after);
}
printf "%s_launch_to_exit_ms %.1f\n", $prefix, $exit - $launch;
