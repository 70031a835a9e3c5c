#!/bin/sh
# Builds everything and runs the benchmark under Wine (on a virtual display if there is none),
# printing each table as soon as it is measured, with a progress line on standard error while a
# long row runs.
# Usage: bench.sh [SECTION...]   (all of them, in this order, when none is named)
#   steps   the step costs in the window, memory and objects, start-up, against the floor; the
#           Linux program's step costs among its rows
#   sends   SEND-DR over every cable the tests reach, both programs; OpenOCD's drscan beside it
#   mpsse   FTDI's JTAG engine through the simulated FT2232H
#   dap     a SEND-DR through the simulated CMSIS-DAP probe
#   board   the board test of a simulated board of 500 nets: patterns against 2 log2(N) + 2, clocks
#           and time against the same shifts sent bare
#   bsdl    a BSDL file of 2,001 cells read
#   svf     a generated SVF file of 200 MB played on the simulated board; one SDR of 1, 10 and
#           100 Mbit in each program, its time and private bytes
#   soaks   the soaks at their full length, both programs: what the test run takes short
#   fuzz    each reader's fuzzing harness for five minutes (MORVA_FUZZ_SECONDS), its inputs run
set -e
top=$(cd "$(dirname "$0")/.." && pwd)

# The programs' output goes straight through (MORVA_WINE_STREAM), not kept until they end.
windows() { MORVA_WINE_STREAM=1 "$top/scripts/wine-run.sh" "$top/build/wineprefix" "$@"; }
linux() { MORVA_WINE_STREAM=1 "$top/scripts/wine64-run.sh" "$top/build-linux/wineprefix" "$@"; }
# Both programs print Windows line ends.
unix_lines() { awk '{ sub(/\r$/, ""); print; fflush() }'; }
# A soak's own line, and any failure in full.
soak_lines() {
    awk -v program="$1" '
        { sub(/\r$/, "") }
        /^soak / { sub(/^soak /, ""); printf "%-10s %s\n", program, $0; fflush() }
        /Failure|FAILED/ { print; fflush() }'
}

measure() {
    case $1 in
        steps)
            echo "== steps: the window's step costs, memory, objects and start-up"
            # The Linux program's two rows go at the end of the first table, before its first blank line.
            rows=$(mktemp)
            linux "$top/build-linux/bench/bench.exe" --steps "morva (Linux)" | unix_lines >"$rows"
            windows "$top/build/bench/bench.exe" --steps-table | awk -v rows="$rows" '
                { sub(/\r$/, "") }
                !done && $0 == "" { while ((getline line < rows) > 0) print line; done = 1 }
                { print; fflush() }'
            rm -f "$rows"
            ;;
        sends)
            echo "== sends: SEND-DR over every cable the tests reach"
            windows "$top/build/bench/bench.exe" --send | unix_lines
            echo
            echo "The Linux program's SENDs over its own cables, and OpenOCD through the same server:"
            linux "$top/build-linux/bench/bench.exe" --linux-sends | unix_lines
            ;;
        mpsse)
            echo "== mpsse: FTDI's JTAG engine through the libftdi stand-in's simulated FT2232H"
            echo "bytes written over the data's N/8; writes and reads per 64 KiB of data; the wall time over the"
            echo "floor's, a loop that writes the same bytes to a fresh simulated chip and reads its answers:"
            linux "$top/build-linux/bench/bench.exe" --mpsse | unix_lines
            ;;
        dap)
            echo "== dap: a SEND-DR through the simulated CMSIS-DAP probe"
            echo "the packets used against the fewest the packet size allows for the same clocks; the wall time"
            echo "over the floor's, a loop that hands the same packets to a fresh simulated probe:"
            linux "$top/build-linux/bench/bench.exe" --dap | unix_lines
            ;;
        board)
            echo "== board: the board test of a simulated board of 500 nets between two chips"
            echo "its patterns against 2 log2(N) + 2; its clocks and wall time against the floor's, the same IR and"
            echo "DR shifts sent bare through the same engine, and the reset:"
            linux "$top/build-linux/bench/bench.exe" --board | unix_lines
            ;;
        bsdl)
            echo "== bsdl: a BSDL file read"
            windows "$top/build/bench/bench.exe" --bsdl | unix_lines
            ;;
        svf)
            echo "== svf: a generated SVF file played"
            windows "$top/build/bench/bench.exe" --svf | unix_lines
            echo
            echo "One SDR of 1, 10 and 100 Mbit with TDI, TDO and MASK through BYPASS, each in a process of its own;"
            echo "floor: the same file read through without a clock; private bytes above the idle program's:"
            for program in windows linux; do
                echo "$program:"
                build=build; [ $program = linux ] && build=build-linux
                $program "$top/$build/bench/bench.exe" --svf-sdr-head | unix_lines
                for bits in 1000000 10000000 100000000; do
                    $program "$top/$build/bench/bench.exe" --svf-sdr $bits | unix_lines
                done
            done
            ;;
        fuzz)
            echo "== fuzz: each reader under libFuzzer, ASan and UBSan for ${MORVA_FUZZ_SECONDS:-300} s"
            found=0
            for reader in svf bsdl settings names; do
                echo "$reader:"
                sh "$top/fuzz/run.sh" "$top/build-fuzz" $reader "${MORVA_FUZZ_SECONDS:-300}" || found=1
            done
            return $found
            ;;
        soaks)
            echo "== soaks: each at its full length, the window hidden (the test run takes them short)"
            # A process a case, as in the test run: each starts with a fresh cable and board.
            for case in SoakTest/RandomWalkTest.KeepsWindowAndBoardTogether/0 \
                        SoakTest/RandomWalkTest.KeepsWindowAndBoardTogether/1 \
                        SoakTest/RandomWalkTest.KeepsWindowAndBoardTogether/2 \
                        SoakTest/RandomWalkTest.KeepsWindowAndBoardTogether/3 \
                        SoakTest.DeadCableKeepsTheProgramWorkingAndTheTdoRowShowsWhatWasRead \
                        SoakTest.CommandsFromAnywhereNeverBreakTheWindowOrTheCable; do
                MORVA_SOAK=full windows "$top/build/tests/soak_test.exe" --gtest_filter=$case | soak_lines MORVA.EXE
                MORVA_SOAK=full linux "$top/build-linux/tests/soak_test.exe" --gtest_filter=$case |
                    soak_lines morva
            done
            ;;
    esac
}

# Inside the virtual display: the sections asked for, one after the other.
if [ "${1:-}" = "--measure" ]; then
    shift
    failed=0
    for section in "$@"; do
        measure "$section" || failed=1
        echo
    done
    exit $failed
fi

sections=${*:-steps sends mpsse dap board bsdl svf soaks fuzz}
for section in $sections; do
    case $section in
        steps|sends|mpsse|dap|bsdl|svf|soaks|fuzz) ;;
        *) echo "bench.sh: no section \"$section\"; give steps, sends, mpsse, dap, bsdl, svf, soaks or fuzz" >&2; exit 2 ;;
    esac
done
sh "$top/scripts/build.sh" >/dev/null
sh "$top/scripts/deps.sh" bench
stop_wine() {
    WINEPREFIX="$top/build/wineprefix" wineserver -k >/dev/null 2>&1 || true
    WINEPREFIX="$top/build-linux/wineprefix" wineserver -k >/dev/null 2>&1 || true
}
stop_wine
status=0
# shellcheck disable=SC2086
if [ -n "${DISPLAY:-}" ] && xdotool getdisplaygeometry >/dev/null 2>&1; then
    sh "$0" --measure $sections || status=$?
else
    xvfb-run -a -s "-screen 0 1280x1024x24" sh "$0" --measure $sections || status=$?
fi
stop_wine
exit $status
