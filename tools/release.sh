#!/bin/bash
# Builds both DLLs and writes the release package dist/Sonaro-VERSION.zip:
# Sonaro-x86.dll, Sonaro-x64.dll, Sonaro.chm and ReadMe.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
for preset in x86 x64; do
    cmake --preset $preset >/dev/null
    cmake --build --preset $preset --target Sonaro sonaro_help >/dev/null
done
version=$(bash tools/version.sh)
zip=dist/Sonaro-$version.zip
bash tools/package.sh build/x86/bin build/x64/bin "$zip"
echo "$zip"
cmake -E tar tf "$zip"
