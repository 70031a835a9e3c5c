#!/bin/sh
# Builds everything and runs the benchmark under Wine (on a virtual display if there is none).
set -e
top=$(cd "$(dirname "$0")/.." && pwd)
sh "$top/scripts/build.sh" >/dev/null
export WINEPREFIX="$top/build/wineprefix"
run="$top/scripts/wine-run.sh $WINEPREFIX $top/build/bench/bench.exe"
wineserver -k >/dev/null 2>&1 || true
if [ -n "${DISPLAY:-}" ] && xdotool getdisplaygeometry >/dev/null 2>&1; then
    $run
else
    xvfb-run -a -s "-screen 0 1280x1024x24" $run
fi
wineserver -k >/dev/null 2>&1 || true
