#!/bin/sh
# Builds and makes the release packages: build/MORVA-<version>-win32.zip (both Windows programs
# and the user guide) and build-linux/morva_<version>_amd64.deb (the Linux program).
set -e
top=$(cd "$(dirname "$0")/.." && pwd)
sh "$top/scripts/build.sh"
cd "$top/build"
cpack -G ZIP >/dev/null
ls "$top"/build/MORVA-*-win32.zip
sh "$top/package/deb/make-deb.sh" "$top/build-linux"
