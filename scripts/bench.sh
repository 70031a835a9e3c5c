#!/bin/sh
# Builds everything and runs the benchmark under Wine (on a virtual display if there is none):
# the Windows build's whole table, with the Linux program's step costs, measured in the same run,
# among its rows; then the Linux program's SENDs over its own cables and OpenOCD's drscan beside
# them through the same remote_bitbang server.
set -e
top=$(cd "$(dirname "$0")/.." && pwd)
sh "$top/scripts/build.sh" >/dev/null
sh "$top/scripts/deps.sh" bench
linux_rows=$(mktemp)
cat >"$linux_rows.sh" <<SCRIPT
set -e
"$top/scripts/wine64-run.sh" "$top/build-linux/wineprefix" "$top/build-linux/bench/bench.exe" --steps "morva (Linux)" >"$linux_rows"
"$top/scripts/wine-run.sh" "$top/build/wineprefix" "$top/build/bench/bench.exe"
echo
echo "The Linux program's SENDs over its own cables, and OpenOCD through the same server:"
"$top/scripts/wine64-run.sh" "$top/build-linux/wineprefix" "$top/build-linux/bench/bench.exe" --linux-sends
SCRIPT
stop_wine() {
    WINEPREFIX="$top/build/wineprefix" wineserver -k >/dev/null 2>&1 || true
    WINEPREFIX="$top/build-linux/wineprefix" wineserver -k >/dev/null 2>&1 || true
}
stop_wine
status=0
if [ -n "${DISPLAY:-}" ] && xdotool getdisplaygeometry >/dev/null 2>&1; then
    sh "$linux_rows.sh" >"$linux_rows.out" || status=$?
else
    xvfb-run -a -s "-screen 0 1280x1024x24" sh "$linux_rows.sh" >"$linux_rows.out" || status=$?
fi
stop_wine
# The Linux program's rows go at the end of the first table, before its first blank line.
# Both programs print Windows line ends.
awk -v rows="$linux_rows" '
    { sub(/\r$/, "") }
    !done && $0 == "" { while ((getline line < rows) > 0) { sub(/\r$/, "", line); print line }; done = 1 }
    { print }
' "$linux_rows.out"
rm -f "$linux_rows" "$linux_rows.sh" "$linux_rows.out"
exit $status
