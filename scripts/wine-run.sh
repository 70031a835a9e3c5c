#!/bin/sh
# Runs a Windows program under Wine in the given prefix, creating the prefix on first use.
# Usage: wine-run.sh PREFIX PROGRAM [ARGS...]
set -e
# Wine takes only an absolute prefix.
case $1 in
    /*) prefix=$1 ;;
    *) prefix=$(pwd)/$1 ;;
esac
shift
# MORVA_LOGPIXELS: a prefix of its own, beside the one named, whose screen has that many dots per inch.
[ -z "${MORVA_LOGPIXELS:-}" ] || prefix=$prefix-dpi$MORVA_LOGPIXELS
# MORVA_PREFIX_SUFFIX: a prefix of its own beside the one named, with a wineserver of its own:
# Wine's desktop keeps the screen size of the display its first program started on, and a case
# that needs another screen size must not meet a desktop made on another display.
[ -z "${MORVA_PREFIX_SUFFIX:-}" ] || prefix=$prefix-$MORVA_PREFIX_SUFFIX
# wine64-run.sh sets the 64-bit loader and prefix for the Linux program.
loader=${MORVA_WINE_LOADER:-wine}
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-prefix.sh"
morva_choose_prefix "$prefix" "$here"
prefix=$morva_prefix
export WINEPREFIX="$prefix" WINEARCH=${MORVA_WINEARCH:-win32} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
morva_prepare_prefix "$loader" "$prefix" "$morva_fonts"
[ -z "${MORVA_LOGPIXELS:-}" ] || morva_set_dpi "$loader" "$prefix" "$MORVA_LOGPIXELS"
# Keep one wineserver for the whole run instead of starting one per program.
wineserver -p30 >/dev/null 2>&1 || true
# MORVA_WINE_STREAM=1: the program's input and output straight from and to the caller as they
# come (the benchmark's tables, the tests' probe); the caller then waits for Wine's helpers too.
if [ "${MORVA_WINE_STREAM:-}" = 1 ]; then
    exec "$loader" "$@"
fi
# Wine's helper processes (the desktop among them) outlive the program and inherit its output:
# give them files, not the caller's pipe, so the caller sees the end as soon as the program ends.
out=$(mktemp) err=$(mktemp)
status=0
"$loader" "$@" >"$out" 2>"$err" </dev/null || status=$?
# A test program says its name before anything else, and MORVA's command line says why whenever
# it fails (the tests that run it set MORVA_WINE_RETRY=1): one that ended in failure without a word
# never ran. Wine has been seen to do that, once in some hundreds of starts under load; it is
# started once more.
retry=${MORVA_WINE_RETRY:-0}
case " $* " in
    *" --gtest_filter="*) retry=1 ;;
esac
if [ "$retry" = 1 ] && [ $status -ne 0 ] && [ ! -s "$out" ] && [ ! -s "$err" ]; then
    echo "wine-run.sh: $loader $1 ended with status $status before it printed anything; starting it again" >&2
    status=0
    "$loader" "$@" >"$out" 2>"$err" </dev/null || status=$?
fi
cat "$out"
cat "$err" >&2
# A program that ends in failure without a word was most likely never started by Wine: say so,
# so that the failure does not pass for the program's own.
if [ $status -ne 0 ] && [ ! -s "$out" ] && [ ! -s "$err" ]; then
    echo "wine-run.sh: $loader $1 ended with status $status and printed nothing (WINEPREFIX=$prefix)" >&2
fi
rm -f "$out" "$err"
exit $status
