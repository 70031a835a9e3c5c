#!/bin/sh
# Builds and makes the release package build/MORVA-<version>-win32.zip.
set -e
top=$(cd "$(dirname "$0")/.." && pwd)
sh "$top/scripts/build.sh"
cd "$top/build"
cpack -G ZIP >/dev/null
ls "$top"/build/MORVA-*-win32.zip
