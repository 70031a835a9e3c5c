#!/bin/sh
# Makes the release packages with only what they need (scripts/deps.sh package), the tests off,
# in folders of their own: build-package/MORVA-<version>-win32.zip (both Windows programs and the
# user guide) and build-package-linux/morva_<version>_amd64.deb (the Linux program). Runs as a
# normal user where those packages are installed.
# Usage: package.sh [--programs-from FOLDER]
set -e
top=$(cd "$(dirname "$0")/.." && pwd)
# --programs-from FOLDER: MORVA.EXE, MORVASIM.EXE and morva.exe.so built already (by the test run,
# from the same sources) are packaged as they are, instead of being compiled again.
programs=
if [ "${1:-}" = "--programs-from" ]; then
    programs=$(cd "${2:?package.sh: --programs-from takes a folder}" && pwd)
    for program in MORVA.EXE MORVASIM.EXE morva.exe.so; do
        [ -f "$programs/$program" ] || { echo "package.sh: no $program in $programs" >&2; exit 1; }
    done
fi
sh "$top/scripts/deps.sh" package
windows=$top/build-package
linux=$top/build-package-linux
if [ -n "$programs" ]; then
    # Nothing to build: the package step must not build everything first either.
    cmake -S "$top" -B "$windows" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/i686-w64-mingw32.cmake" -DBUILD_TESTING=OFF \
          -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
    cp "$programs/MORVA.EXE" "$programs/MORVASIM.EXE" "$windows/"
else
    cmake -S "$top" -B "$windows" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/i686-w64-mingw32.cmake" -DBUILD_TESTING=OFF >/dev/null
    cmake --build "$windows" -j"$(nproc)" --target morva morvasim >/dev/null
fi
(cd "$windows" && cpack -G ZIP >/dev/null)
ls "$windows"/MORVA-*-win32.zip
cmake -S "$top" -B "$linux" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/x86_64-winelib.cmake" -DBUILD_TESTING=OFF >/dev/null
if [ -n "$programs" ]; then
    cp "$programs/morva.exe.so" "$linux/"
else
    cmake --build "$linux" -j"$(nproc)" --target morva >/dev/null
fi
sh "$top/package/deb/make-deb.sh" "$linux"
