#!/usr/bin/env python3
# The processor time a beat takes, from the outside: a program's run of N
# echoes against its run of one, in a pseudo-terminal, the difference
# divided by N - 1.  The program's own time is what the kernel counts for
# the process tree that is waited for (wait4, to the microsecond); the Wine
# server's, which carries every sleep and wait, is read from its schedstat
# (the server of the Wine prefix in WINEPREFIX).
#
#   beatcpu.py PREFIX BEATS COMMAND
#
# COMMAND holds {n}, the number of echoes.  Each run is made twice and the
# lesser time kept.  Prints "PREFIX_key value" lines.
import os
import subprocess
import sys


def server_pid(prefix):
    for pid in os.listdir('/proc'):
        if not pid.isdigit():
            continue
        try:
            with open(f'/proc/{pid}/comm') as f:
                if not f.read().startswith('wineserver'):
                    continue
            with open(f'/proc/{pid}/environ', 'rb') as f:
                env = f.read().split(b'\0')
        except OSError:
            continue
        if ('WINEPREFIX=' + prefix).encode() in env:
            return pid
    return None


def server_ns(pid):
    if pid is None:
        return 0
    try:
        with open(f'/proc/{pid}/schedstat') as f:
            return int(f.read().split()[0])
    except OSError:
        return 0


def run(command, prefix):
    """Processor ms of the program and of the server for one run."""
    before_pid = server_pid(prefix)
    before = server_ns(before_pid)
    child = subprocess.Popen(['script', '-qec', command, '/dev/null'],
                             stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL)
    _, _, usage = os.wait4(child.pid, 0)
    child.returncode = 0
    after_pid = server_pid(prefix)
    server = server_ns(after_pid) - before if after_pid == before_pid else 0
    return (usage.ru_utime + usage.ru_stime) * 1000, server / 1e6


def main():
    if len(sys.argv) != 4:
        sys.exit('usage: beatcpu.py PREFIX BEATS COMMAND')
    key, beats, command = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    prefix = os.environ.get('WINEPREFIX', '')
    run(command.format(n=1), prefix)  # the server started and warm
    one = [run(command.format(n=1), prefix) for _ in range(2)]
    many = [run(command.format(n=beats + 1), prefix) for _ in range(2)]
    for i, what in enumerate(('process', 'server')):
        per_beat = (min(m[i] for m in many) - min(o[i] for o in one)) / beats
        print(f'{key}_{what}_cpu_per_beat_ms {per_beat:.3f}')


main()
