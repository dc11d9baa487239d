#!/bin/bash
# Installs from Debian what building, trying and testing Sonaro needs (run as
# root), and says what it installs and why.
#
#   bash tools/setup.sh x64          the 64-bit half: what tools/try.sh and
#                                    tools/readme-picture.sh need
#   bash tools/setup.sh all          both halves and the test tools: what
#                                    tools/test.sh and tools/release.sh need
#   bash tools/setup.sh HALF build   only the compilers of that half, so
#                                    that building can start early
#
# The x86 half is the 32-bit compiler and Wine's 32-bit loader, an i386
# package: only `all` adds the i386 architecture.
set -euo pipefail
half=${1:-all}
only_build=
case ${2:-} in
'') ;;
build) only_build=1 ;;
*) echo "usage: bash tools/setup.sh [x64|all] [build]" >&2; exit 2 ;;
esac
case $half in
x64 | all) ;;
*) echo "usage: bash tools/setup.sh [x64|all] [build]" >&2; exit 2 ;;
esac

# Groups: "why|apt options|packages".  Large recommended extras (sound fonts,
# documentation) are left out where the group says so.
groups=("building the 64-bit DLL, the stand-in shell and the help file|-|cmake make g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 googletest fp-utils")
[ "$half" = all ] &&
    groups+=("building the 32-bit DLL|-|g++-mingw-w64-i686-posix binutils-mingw-w64-i686")
if [ -z "$only_build" ]; then
    groups+=("running 64-bit programs under Wine|-|wine64 wine")
    groups+=("the try's link and sound: network namespaces, the General MIDI synthesizer, the WAV's levelling, the README's picture|--no-install-recommends|iproute2 fluidsynth timgm6mb-soundfont python3 librsvg2-bin fonts-dejavu-core")
    if [ "$half" = all ]; then
        groups+=("running 32-bit programs under Wine (the x86 tests)|-|wine32:i386")
        groups+=("the tests' tools: help-file reader, virtual display, terminals, namespaces|-|libchm-bin xvfb xauth tmux bsdutils util-linux procps perl iproute2")
    fi
fi

export DEBIAN_FRONTEND=noninteractive
installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'ok installed'
}
# Whether apt knows a version of the package to install.
known() {
    apt-cache policy "$1" 2>/dev/null | grep -q 'Candidate: [^(]'
}

# The x86 half's Wine loader is an i386 package (added before the first
# reading of the package lists, so that one reading serves both steps).
if [ "$half" = all ] &&
    ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "Set-up: adding the i386 architecture (for wine32:i386, Wine's 32-bit loader)"
    dpkg --add-architecture i386
fi

declare -A options_of=()
declare -a missing=()
for group in "${groups[@]}"; do
    IFS='|' read -r why opts packages <<<"$group"
    need=()
    for p in $packages; do
        installed "$p" || need+=("$p")
    done
    if [ ${#need[@]} -eq 0 ]; then
        echo "Set-up for $why: already installed"
        continue
    fi
    echo "Set-up for $why: installing ${need[*]}"
    for p in "${need[@]}"; do
        # A package in two groups is installed once, with its recommends if
        # either group wants them.
        if [ "$opts" = - ] || [ -z "${options_of[$p]:-}" ]; then
            options_of[$p]=$opts
        fi
        [[ " ${missing[*]} " == *" $p "* ]] || missing+=("$p")
    done
done
[ ${#missing[@]} -gt 0 ] || exit 0

# Package lists: read again when apt does not know a package, or when they
# are older than a day (a machine's lists may be from its image).
update=
for p in "${missing[@]}"; do
    known "$p" || update=1
done
[ -n "$(find /var/lib/apt/lists -maxdepth 1 -name '*Packages*' -mmin -1440 2>/dev/null | head -n 1)" ] ||
    update=1
[ -z "$update" ] || apt-get update -qq

# One apt run per kind of options.  dpkg skips its file syncs, which cost
# most of a fresh machine's unpacking time.
with=() without=()
for p in "${missing[@]}"; do
    if [ "${options_of[$p]}" = - ]; then with+=("$p"); else without+=("$p"); fi
done
apt_install() {
    apt-get install -y -qq -o Dpkg::Options::=--force-unsafe-io "$@" >/dev/null
}
[ ${#with[@]} -eq 0 ] || apt_install "${with[@]}"
[ ${#without[@]} -eq 0 ] || apt_install --no-install-recommends "${without[@]}"
