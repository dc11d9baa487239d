#!/bin/bash
# Runs the help-viewer end-to-end tests (e2e.exe, HelpViewer.*) under a
# virtual X display, in a Wine prefix of their own so that no Wine process
# of the other tests holds a display that is gone; that prefix's Wine
# processes are ended when the tests are done.
#   viewer_gui.sh WINE-RUN E2E-EXE PREFIX
set -u
winerun=$1 e2e=$2 prefix=$3
export SONARO_WINEPREFIX=$prefix
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
"$winerun" --check "$e2e" || exit 77
log=$(mktemp)
trap 'rm -f "$log"; WINEPREFIX="$prefix" "$wineserver" -k >/dev/null 2>&1' EXIT

xvfb-run -a -s "-screen 0 1024x768x24" "$winerun" "$e2e" --gtest_filter='HelpViewer.*' 2>&1 | tee "$log"
status=${PIPESTATUS[0]}
if grep -q 'no display' "$log"; then
    echo "FAIL: the test program saw no display"
    exit 1
fi
exit "$status"
