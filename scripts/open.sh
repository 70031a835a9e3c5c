#!/bin/sh
# Builds everything and opens the Linux program, morva, on the simulated board; with --windows,
# MORVASIM.EXE under Wine. Without a display it runs on a virtual one, saves a screenshot of the
# window and ends.
set -e
top=$(cd "$(dirname "$0")/.." && pwd)
sh "$top/scripts/build.sh"
if [ "${1:-}" = "--windows" ]; then
    prefix="$top/build/wineprefix"
    run="$top/scripts/wine-run.sh $prefix $top/build/MORVASIM.EXE"
    shot="$top/build/morvasim-window.png"
    name=MORVASIM.EXE
else
    prefix="$top/build-linux/wineprefix"
    run="$top/scripts/wine64-run.sh $prefix $top/build-linux/morva.exe --cable sim"
    shot="$top/build-linux/morva-window.png"
    name=morva
fi

if [ -n "${DISPLAY:-}" ] && xdotool getdisplaygeometry >/dev/null 2>&1; then
    exec $run
fi

export WINEPREFIX="$prefix"
wineserver -k >/dev/null 2>&1 || true
rm -f "$shot"
# The program is ended once its window is saved: what Wine says of that end is no failure of it.
log=$(mktemp)
xvfb-run -a -s "-screen 0 1024x768x24" sh -c '
    '"$run"' >"'"$log"'" 2>&1 &
    for i in $(seq 1 120); do
        window=$(xdotool search --onlyvisible --name "^MORVA\$" 2>/dev/null | head -n 1)
        [ -n "$window" ] && break
        sleep 0.5
    done
    [ -n "$window" ] || exit 1
    sleep 1
    import -window "$window" "'"$shot"'"
    wineserver -k
' || true
wineserver -k >/dev/null 2>&1 || true
if [ ! -f "$shot" ]; then
    echo "No display: $name ran on a virtual display, but its window did not appear. It said:" >&2
    cat "$log" >&2
    rm -f "$log"
    exit 1
fi
rm -f "$log"
echo "No display: $name ran on a virtual display; its window is in $shot"
