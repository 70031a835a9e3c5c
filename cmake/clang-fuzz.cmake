# The readers of outside input built as native Linux programs with Debian's clang, for libFuzzer
# with AddressSanitizer and UndefinedBehaviorSanitizer (fuzz/CMakeLists.txt). They see Wine's
# Windows headers, as the Linux program does, and the few system calls they make are served by
# fuzz/native_system.cpp instead of Wine.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER   clang)
set(CMAKE_CXX_COMPILER clang++)
