#!/bin/sh
# Installs what is missing, builds, and runs every test under Wine; window tests on Xvfb.
set -e
top=$(cd "$(dirname "$0")/.." && pwd)
sh "$top/scripts/build.sh"
export WINEPREFIX="$top/build/wineprefix"
# A wineserver left from an earlier run may still talk to a display that is gone.
wineserver -k >/dev/null 2>&1 || true
status=0
cd "$top/build"
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j2 "$@" || status=$?
wineserver -k >/dev/null 2>&1 || true
exit $status
