#!/bin/sh
# Runs a 64-bit Winelib program (PROGRAM.exe.so, or its PROGRAM.exe launcher) with Wine's 64-bit
# loader in the given 64-bit prefix, creating the prefix on first use.
# Usage: wine64-run.sh PREFIX PROGRAM [ARGS...]
set -e
prefix=$1
program=$2
shift 2
[ -f "$program.so" ] && program="$program.so"
here=$(cd "$(dirname "$0")" && pwd)
MORVA_WINE_LOADER=/usr/lib/wine/wine64 MORVA_WINEARCH=win64 exec sh "$here/wine-run.sh" "$prefix" "$program" "$@"
