#!/bin/bash
# Lets a machine whose kernel cannot run 32-bit programs run the x86 tests
# anyway, under user-mode emulation (run as root, after tools/setup.sh).
#
#   tools/x86-emulation.sh          set it up (until the machine restarts)
#   tools/x86-emulation.sh --off    remove the emulator's registration
#
# Wine's 32-bit loader is handed to qemu-i386 through binfmt_misc.  Debian
# 12's own qemu (7.2) cannot run it: it does not honour the fixed-address
# mappings Wine asks for, and Wine stops at "failed to map the shared user
# data".  So the emulator comes from bookworm-backports of the archive the
# machine already uses, fetched with a private package list; the machine's
# apt sources stay as they are.
#
# Emulation is for checking behaviour, not timing.  Two end-to-end checks
# differ under it: a null-pointer write reaches the plugin's host as an
# illegal instruction (0xC000001D, not 0xC0000005), and pauses that include
# a slow echo call run late.  Benchmarks do not measure x86 while it is on.
set -euo pipefail
cd "$(dirname "$0")/.."
wine32=/usr/lib/wine/wine
qemu=/usr/local/libexec/sonaro/qemu-i386
binfmt=/proc/sys/fs/binfmt_misc
entry=$binfmt/sonaro-i386

if [ "${1:-}" = --off ]; then
    [ ! -e "$entry" ] || echo -1 >"$entry"
    echo "x86 emulation off"
    exit 0
fi
[ "$(id -u)" = 0 ] || { echo "run as root" >&2; exit 1; }
[ -x "$wine32" ] || { echo "$wine32 is missing: run tools/setup.sh first" >&2; exit 1; }
if [ ! -e "$entry" ] && "$wine32" --version >/dev/null 2>&1; then
    echo "this machine runs 32-bit programs itself: nothing to do"
    exit 0
fi

# main_archive: the address of the archive the machine's apt sources take
# bookworm from, as apt itself reads them; backports come from the same one.
main_archive() {
    apt-get indextargets --no-release-info --format '$(REPO_URI) $(RELEASE)' 'Identifier: Packages' |
        awk '$2 == "bookworm" && !found { print $1; found = 1 }'
}

if [ ! -x "$qemu" ]; then
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    mkdir -p "$work/lists/partial"
    archive=$(main_archive)
    [ -n "$archive" ] || { echo "no bookworm archive in the machine's apt sources" >&2; exit 1; }
    echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $archive bookworm-backports main" \
        >"$work/sources.list"
    apt_private=(-o "Dir::Etc::SourceList=$work/sources.list" -o Dir::Etc::SourceParts=/dev/null
                 -o "Dir::State::Lists=$work/lists" -o APT::Architectures=amd64
                 -o APT::Sandbox::User=root)
    apt-get "${apt_private[@]}" update -qq
    (cd "$work" && apt-get "${apt_private[@]}" download -qq qemu-user)
    dpkg-deb -x "$work"/qemu-user_*.deb "$work/root"
    install -D -m 755 "$work/root/usr/bin/qemu-i386" "$qemu"
fi

mountpoint -q "$binfmt" || mount -t binfmt_misc binfmt_misc "$binfmt"
if [ ! -e "$entry" ]; then
    # 32-bit little-endian ELF executables and shared objects for i386; F
    # opens the emulator now, so it is found inside other mount namespaces.
    magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
    mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    echo ":sonaro-i386:M::$magic:$mask:$qemu:F" >"$binfmt/register"
fi
"$wine32" --version >/dev/null

echo "x86 runs under $("$qemu" --version | head -n 1)"
