#!/bin/sh
# Configures and builds everything: the Windows programs in build/ with the MinGW-w64 cross
# compiler, the Linux program in build-linux/ with Winelib, the fuzzing harness in build-fuzz/.
set -e
top=$(cd "$(dirname "$0")/.." && pwd)
sh "$top/scripts/deps.sh"
cmake -S "$top" -B "$top/build" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/i686-w64-mingw32.cmake" -DBUILD_TESTING=ON >/dev/null
cmake --build "$top/build" -j"$(nproc)"
cmake -S "$top" -B "$top/build-linux" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/x86_64-winelib.cmake" -DBUILD_TESTING=ON >/dev/null
cmake --build "$top/build-linux" -j"$(nproc)"
# The readers' fuzzing harness, native, with clang's libFuzzer and sanitizers (fuzz/).
cmake -S "$top/fuzz" -B "$top/build-fuzz" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/clang-fuzz.cmake" >/dev/null
cmake --build "$top/build-fuzz" -j"$(nproc)"
