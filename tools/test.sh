#!/bin/bash
# Builds both DLLs and runs every test of both under Wine: the x86 build with
# Wine's 32-bit loader, the x64 build with its 64-bit one.  Where this
# machine cannot run 32-bit programs, the x86 runtime tests are reported as
# skipped, and why.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
cmake --preset x86 >/dev/null
cmake --build --preset x86
cmake --preset x64 >/dev/null
cmake --build --preset x64
status=0
if ! reason=$(build/x86/wine-run --check build/x86/bin/hostshell.exe); then
    echo "$reason"
fi
ctest --preset x86 || status=1
ctest --preset x64 || status=1
exit $status
