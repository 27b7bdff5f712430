# Cross-compiles the plain C++ libraries and their tests for 64-bit Windows
# with Debian's MinGW-w64 compilers (packages g++-mingw-w64-x86-64-posix and
# gcc-mingw-w64-x86-64-posix), and runs the test programs under Wine.
#   cmake --preset windows        (or -DCMAKE_TOOLCHAIN_FILE=<this file>)
# The "posix" flavour of the compilers has std::thread and std::mutex; the
# "win32" one does not.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(mingw_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_triple}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${mingw_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Link the compiler's runtime (libstdc++, libgcc, winpthread) into each
# program, so that Wine needs no MinGW DLLs on its path.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Programs built here run through Wine: the tests under CTest, the test
# listing of gtest_discover_tests and build steps such as apdtool pack.
# scripts/test-windows.sh sets WINEPREFIX and WINEDEBUG for them.
find_program(GPSUPDATE_WINE NAMES wine64 wine PATHS /usr/lib/wine)
if(GPSUPDATE_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${GPSUPDATE_WINE})
endif()
