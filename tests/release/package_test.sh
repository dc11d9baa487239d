#!/bin/bash
# The release package as a user gets it: tools/package.sh writes the zip from
# both build trees, the zip is unpacked into a fresh folder, and this build's
# hostshell.exe (a copy in a folder of its own) loads this build's DLL from
# there: load message, usage, version report with the platform tag, and the
# help file found beside the DLL (Package.* in e2e.exe, under a virtual X
# display for the help viewer).
#   package_test.sh WINE-RUN BIN X86-BIN X64-BIN PREFIX
set -u
winerun=$1 bin=$2 x86bin=$3 x64bin=$4 prefix=$5
source=$(cd "$(dirname "$0")/../.." && pwd)
"$winerun" --check "$bin/hostshell.exe" || exit 77
for dll in "$x86bin/Sonaro-x86.dll" "$x64bin/Sonaro-x64.dll"; do
    if [ ! -f "$dll" ]; then
        echo "SKIPPED: $dll is not built; the package needs both presets built"
        exit 77
    fi
done
export SONARO_WINEPREFIX=$prefix
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
work=$(mktemp -d)
trap 'rm -rf "$work"; WINEPREFIX="$prefix" "$wineserver" -k >/dev/null 2>&1' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

version=$(bash "$source/tools/version.sh")
zip=$work/Sonaro-$version.zip
bash "$source/tools/package.sh" "$x86bin" "$x64bin" "$zip" || exit 1
mkdir "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "$zip") || exit 1

listing=$(cd "$work/unpacked" && find . -type f | sort | tr '\n' ' ')
expected="./ReadMe.txt ./Sonaro-x64.dll ./Sonaro-x86.dll ./Sonaro.chm "
[ "$listing" = "$expected" ] || fail "the zip holds [$listing], not [$expected]"
cmp -s "$work/unpacked/Sonaro-x86.dll" "$x86bin/Sonaro-x86.dll" || fail "Sonaro-x86.dll differs from the build's"
cmp -s "$work/unpacked/Sonaro-x64.dll" "$x64bin/Sonaro-x64.dll" || fail "Sonaro-x64.dll differs from the build's"
readme=$work/unpacked/ReadMe.txt
grep -qxF "Sonaro $version - an audible ping for Take Command (TCC)"$'\r' "$readme" || fail "ReadMe.txt lacks its title line"
grep -q '@VERSION@' "$readme" && fail "ReadMe.txt still holds its version placeholder"
[ "$(grep -c $'\r$' "$readme")" = "$(wc -l <"$readme")" ] || fail "ReadMe.txt lines do not all end in CR LF"
for word in 'plugin /l' NoMidi Sonaro.chm Plugins; do
    grep -q "$word" "$readme" || fail "ReadMe.txt does not mention $word"
done

# The unpacked folder as a Windows path (Wine's Z: is /).
package=Z:$work/unpacked
export SONARO_PACKAGE_DIR=${package//\//\\}
log=$work/package.log
xvfb-run -a -s "-screen 0 1024x768x24" "$winerun" "$bin/e2e.exe" --gtest_filter='Package.*' 2>&1 | tee "$log"
status=${PIPESTATUS[0]}
[ $status = 0 ] || fail "Package.* in e2e.exe (exit status $status)"
# A case that skipped (no unpacked package, no display) checked nothing.
grep -q '^\[  PASSED  \] [1-9]' "$log" || fail "Package.* in e2e.exe: no case passed"
grep -q '^\[  SKIPPED \]' "$log" && fail "Package.* in e2e.exe: cases skipped"
[ $failures = 0 ] && echo "release package: all checks passed"
[ $failures = 0 ]
