#!/bin/sh
# Builds the Linux program, morva, alone and opens it on the simulated board; with --windows,
# MORVASIM.EXE under Wine. Installs only what that needs, not the tests' tools. Without a display
# it runs on a virtual one, saves a screenshot of the window and ends.
set -e
top=$(cd "$(dirname "$0")/.." && pwd)
# The build folder is the tests' too: configured with them where their sources are installed
# (scripts/build.sh asks for them again in any case), and only the program built.
testing=OFF
[ ! -d /usr/src/googletest ] || testing=ON
if [ "${1:-}" = "--windows" ]; then
    sh "$top/scripts/deps.sh" open-windows
    cmake -S "$top" -B "$top/build" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/i686-w64-mingw32.cmake" \
          -DBUILD_TESTING=$testing >/dev/null
    cmake --build "$top/build" -j"$(nproc)" --target morvasim
else
    sh "$top/scripts/deps.sh" open
    cmake -S "$top" -B "$top/build-linux" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/x86_64-winelib.cmake" \
          -DBUILD_TESTING=$testing >/dev/null
    cmake --build "$top/build-linux" -j"$(nproc)" --target morva
fi
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
