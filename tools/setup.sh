#!/bin/bash
# Installs what building and testing Sonaro needs on Debian (run as root).
set -euo pipefail
packages=(cmake make g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
          binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 wine64 wine32:i386 googletest
          wine fp-utils libchm-bin xvfb xauth tmux bsdutils util-linux procps perl
          iproute2)
# The x86 DLL runs under Wine's 32-bit loader (wine32), an i386 package.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq "${missing[@]}" >/dev/null
fi
