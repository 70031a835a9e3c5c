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
# wine64-run.sh sets the 64-bit loader and prefix for the Linux program.
loader=${MORVA_WINE_LOADER:-wine}
export WINEPREFIX="$prefix" WINEARCH=${MORVA_WINEARCH:-win32} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
here=$(cd "$(dirname "$0")" && pwd)
# The prefix is ready once it exists with the current font settings.
stamp=$(md5sum <"$here/wine-fonts.reg" | cut -c1-32)
if [ "$(cat "$prefix/.morva-ready" 2>/dev/null)" != "$stamp" ]; then
    mkdir -p "$(dirname "$prefix")"
    (
        flock 9
        if [ "$(cat "$prefix/.morva-ready" 2>/dev/null)" != "$stamp" ]; then
            [ -f "$prefix/system.reg" ] || { "$loader" wineboot -i >/dev/null 2>&1 || true; }
            wineserver -w
            # The dialogs' font, "ＭＳ Ｐゴシック", shown with the IPA font where it is missing, and
            # a Japanese fallback for the system's message font, as Windows links one itself.
            # "Arial" as Liberation Sans: without an Arial, Wine falls back to the first Swiss face
            # with the locale's character set, under code page 932 a wide Japanese font that cuts
            # the title.
            "$loader" regedit /S "$("$loader" winepath -w "$here/wine-fonts.reg" 2>/dev/null)" >/dev/null 2>&1 || true
            wineserver -w
            echo "$stamp" >"$prefix/.morva-ready"
        fi
    ) 9>"$prefix.lock"
fi
# Keep one wineserver for the whole run instead of starting one per program.
wineserver -p30 >/dev/null 2>&1 || true
# Wine's helper processes (the desktop among them) outlive the program and inherit its output:
# give them files, not the caller's pipe, so the caller sees the end as soon as the program ends.
out=$(mktemp) err=$(mktemp)
status=0
"$loader" "$@" >"$out" 2>"$err" </dev/null || status=$?
cat "$out"
cat "$err" >&2
rm -f "$out" "$err"
exit $status
