#!/bin/bash
# Prints the plugin's version as the project writes it once, in
# CMakeLists.txt's project(... VERSION ...): "1.0.3" (the three numbers the
# host sees), or with --full "1.0.3.1".
set -euo pipefail
full=$(sed -n 's/^project(Sonaro VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../CMakeLists.txt")
[ -n "$full" ] || { echo "version.sh: no project version in CMakeLists.txt" >&2; exit 1; }
if [ "${1:-}" = --full ]; then echo "$full"; else echo "${full%.*}"; fi
