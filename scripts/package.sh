#!/bin/sh
# Makes the release packages with only what they need (scripts/deps.sh package), the tests off,
# in folders of their own: build-package/MORVA-<version>-win32.zip (both Windows programs and the
# user guide) and build-package-linux/morva_<version>_amd64.deb (the Linux program). Runs as a
# normal user where those packages are installed.
set -e
top=$(cd "$(dirname "$0")/.." && pwd)
sh "$top/scripts/deps.sh" package
windows=$top/build-package
linux=$top/build-package-linux
cmake -S "$top" -B "$windows" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/i686-w64-mingw32.cmake" -DBUILD_TESTING=OFF >/dev/null
cmake --build "$windows" -j"$(nproc)" --target morva morvasim >/dev/null
(cd "$windows" && cpack -G ZIP >/dev/null)
ls "$windows"/MORVA-*-win32.zip
cmake -S "$top" -B "$linux" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/x86_64-winelib.cmake" -DBUILD_TESTING=OFF >/dev/null
cmake --build "$linux" -j"$(nproc)" --target morva >/dev/null
sh "$top/package/deb/make-deb.sh" "$linux"
