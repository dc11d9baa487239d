#!/bin/bash
# Installs what building and testing Sonaro needs on Debian (run as root).
set -euo pipefail
packages=(cmake make g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
          binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 wine64 wine32:i386 googletest
          wine fp-utils libchm-bin xvfb xauth tmux bsdutils util-linux procps perl
          iproute2)
# The try's recording played through a General MIDI sound font, and the
# piano roll drawn; their recommended extras (large sound fonts) are not needed.
lean_packages=(fluidsynth timgm6mb-soundfont python3 librsvg2-bin fonts-dejavu-core)
# The x86 DLL runs under Wine's 32-bit loader (wine32), an i386 package.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
updated=
# install_packages [APT-OPTION]... -- PACKAGE...: those of the packages not yet installed.
install_packages() {
    local options=() missing=() p
    while [ "$1" != -- ]; do options+=("$1"); shift; done
    shift
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -gt 0 ] || return 0
    echo "Installing: ${missing[*]}"
    [ -n "$updated" ] || { apt-get update -qq; updated=1; }
    apt-get install -y -qq "${options[@]}" "${missing[@]}" >/dev/null
}
install_packages -- "${packages[@]}"
install_packages --no-install-recommends -- "${lean_packages[@]}"
