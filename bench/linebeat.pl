#!/usr/bin/perl
# Times a ping-like program from the outside, as a user sees it: the program
# runs in a pseudo-terminal (script), and every line it prints is stamped
# with the monotonic clock as it arrives.
#
#   linebeat.pl PREFIX WAIT_MS WAITS_AFTER_LAST COMMAND
#
# A beat is the time from one "Reply from" line to the next; its ideal is
# WAIT_MS plus the round-trip time the later line reports.  The whole run is
# the time from the "Pinging" header to the statistics line; its ideal is the
# reported round-trip times plus one wait between echoes, and WAITS_AFTER_LAST
# more waits after the last echo (1 for a program that also waits then).
# Prints "PREFIX_key value" lines.
use strict;
use warnings;
use Time::HiRes qw(clock_gettime CLOCK_MONOTONIC);

my ($prefix, $wait, $after, $command) = @ARGV;
die "usage: linebeat.pl PREFIX WAIT_MS WAITS_AFTER_LAST COMMAND\n" unless defined $command;

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

my @errors;
for my $i (1 .. $#replies) {
    my $beat = $replies[$i][0] - $replies[$i - 1][0];
    push @errors, $beat - ($wait + $replies[$i][1]);
}
my $rtt = 0;
$rtt += $_->[1] for @replies;
my $echoes = @replies;
printf "%s_echoes %d\n", $prefix, $echoes;
if (@errors) {
    my $max = (sort { $b <=> $a } @errors)[0];
    my $min = (sort { $a <=> $b } @errors)[0];
    printf "%s_beat_error_median_ms %.2f\n", $prefix, median(@errors);
    printf "%s_beat_error_p90_ms %.2f\n", $prefix, percentile(90, @errors);
    printf "%s_beat_error_max_ms %.2f\n", $prefix, $max;
    printf "%s_beat_error_min_ms %.2f\n", $prefix, $min;
    printf "%s_early_lines %d\n", $prefix, scalar(grep { $_ < -1 } @errors);
}
if (defined $header && defined $stats && $echoes > 0) {
    printf "%s_run_wall_ms %.1f\n", $prefix, $stats - $header;
    printf "%s_run_ideal_ms %.1f\n", $prefix, $rtt + $wait * ($echoes - 1 + $after);
}
printf "%s_launch_to_exit_ms %.1f\n", $prefix, $exit - $launch;
