#!/bin/bash
# Puts the release package together from two build trees' bin folders:
#   package.sh X86-BIN X64-BIN ZIP
# The zip holds Sonaro-x86.dll, Sonaro-x64.dll, Sonaro.chm and ReadMe.txt
# (with Windows line ends), all at its top level.
set -euo pipefail
x86=$1 x64=$2 zip=$3
here=$(cd "$(dirname "$0")" && pwd)
for file in "$x86/Sonaro-x86.dll" "$x64/Sonaro-x64.dll" "$x64/Sonaro.chm"; do
    if [ ! -f "$file" ]; then
        echo "package.sh: $file is missing: build both presets first" >&2
        exit 1
    fi
done
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$x86/Sonaro-x86.dll" "$x64/Sonaro-x64.dll" "$x64/Sonaro.chm" "$stage/"
version=$(bash "$here/version.sh")
sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' "$here/release/ReadMe.txt.in" >"$stage/ReadMe.txt"
mkdir -p "$(dirname "$zip")"
zip=$(cd "$(dirname "$zip")" && pwd)/$(basename "$zip")
rm -f "$zip"
(cd "$stage" && cmake -E tar cf "$zip" --format=zip Sonaro-x86.dll Sonaro-x64.dll Sonaro.chm ReadMe.txt)
