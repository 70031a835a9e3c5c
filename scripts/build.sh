#!/bin/sh
# Configures and builds everything in build/ with the MinGW-w64 cross compiler.
set -e
top=$(cd "$(dirname "$0")/.." && pwd)
sh "$top/scripts/deps.sh"
cmake -S "$top" -B "$top/build" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/i686-w64-mingw32.cmake" >/dev/null
cmake --build "$top/build" -j"$(nproc)"
