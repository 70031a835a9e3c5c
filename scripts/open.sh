#!/bin/sh
# Builds MORVASIM.EXE and opens it under Wine. Without a display it runs on a virtual one,
# saves a screenshot of the window and ends.
set -e
top=$(cd "$(dirname "$0")/.." && pwd)
sh "$top/scripts/build.sh"
run="$top/scripts/wine-run.sh $top/build/wineprefix"

if [ -n "${DISPLAY:-}" ] && xdotool getdisplaygeometry >/dev/null 2>&1; then
    exec $run "$top/build/MORVASIM.EXE"
fi

shot="$top/build/morvasim-window.png"
export WINEPREFIX="$top/build/wineprefix"
wineserver -k >/dev/null 2>&1 || true
xvfb-run -a -s "-screen 0 1024x768x24" sh -c '
    '"$run"' "'"$top"'/build/MORVASIM.EXE" &
    for i in $(seq 1 120); do
        window=$(xdotool search --onlyvisible --name "^MORVA\$" 2>/dev/null | head -n 1)
        [ -n "$window" ] && break
        sleep 0.5
    done
    sleep 1
    import -window "${window:-root}" "'"$shot"'"
    wineserver -k
'
wineserver -k >/dev/null 2>&1 || true
echo "No display: MORVASIM.EXE ran on a virtual display; its window is in $shot"
