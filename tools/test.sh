#!/bin/bash
# Builds both DLLs and runs every test: the x86 DLL is checked statically,
# the x64 build runs its unit, end-to-end and terminal tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
cmake --preset x86 >/dev/null
cmake --build --preset x86
cmake --preset x64 >/dev/null
cmake --build --preset x64
ctest --test-dir build/x86 --output-on-failure
ctest --preset x64
