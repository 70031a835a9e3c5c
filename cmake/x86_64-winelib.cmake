# 64-bit Linux programs from the same Win32 sources with Winelib: winegcc compiles and links
# against Wine's libraries, wrc compiles the resources. The results are ELF programs that Wine's
# 64-bit loader starts (see scripts/wine64-run.sh).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_LIBRARY_ARCHITECTURE x86_64-linux-gnu)

set(CMAKE_C_COMPILER   winegcc)
set(CMAKE_CXX_COMPILER wineg++)
set(CMAKE_RC_COMPILER  wrc)

# wrc writes a .res file, which winegcc links in as it is.
set(CMAKE_RC_OUTPUT_EXTENSION .res)
set(CMAKE_RC_COMPILE_OBJECT "<CMAKE_RC_COMPILER> <DEFINES> <INCLUDES> <FLAGS> -o <OBJECT> <SOURCE>")

set(MORVA_WINELIB ON)
