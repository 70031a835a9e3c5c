# 32-bit Windows programs from Linux with MinGW-w64.
#
# C++ is compiled with the posix thread flavour, which GoogleTest needs (std::mutex). Its runtime
# brings winpthreads, which imports functions that Windows 95 and NT 4.0 lack, so the programs
# themselves are linked through the C driver of the win32 flavour, with its own C++ runtime.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(CMAKE_C_COMPILER   i686-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER  i686-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Test programs run under Wine; the project wraps it so every run uses the build tree's own prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
