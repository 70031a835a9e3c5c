#!/bin/sh
# Installs what is missing, builds both builds, and runs every test under Wine; window tests on Xvfb.
set -e
top=$(cd "$(dirname "$0")/.." && pwd)
sh "$top/scripts/build.sh"
# A wineserver left from an earlier run may still talk to a display that is gone.
stop_wine() {
    WINEPREFIX="$top/build/wineprefix" wineserver -k >/dev/null 2>&1 || true
    WINEPREFIX="$top/build-linux/wineprefix" wineserver -k >/dev/null 2>&1 || true
}
stop_wine
status=0
# One run: the Windows programs' tests and, included from build-linux/, the Linux program's.
cd "$top/build"
xvfb-run -a -s "-screen 0 1280x1200x24" ctest --output-on-failure -j"$(nproc)" "$@" || status=$?
stop_wine
exit $status
