# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (g++-mingw-w64-x86-64-posix).
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake \
#         -DPLIMBURY_WIN_DEPS=<prefix of the cross-built libjpeg-turbo and GoogleTest> -DPLIMBURY_GUI=OFF
# With the windows, through the qt-cmake of a Qt cross-built for the same compiler,
# which chain-loads this file:
#   <qt>/bin/qt-cmake -S . -B build-win/gui -G Ninja -DQT_CHAINLOAD_TOOLCHAIN_FILE=$PWD/cmake/toolchain-mingw64.cmake \
#         -DPLIMBURY_WIN_DEPS=<the same prefix> -DPLIMBURY_TESTS=OFF
# scripts/windows-deps.sh builds that prefix; .ci/windows does all of it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PLIMBURY_MINGW x86_64-w64-mingw32)
# The posix flavour: GCC 12's win32 flavour has no std::thread or std::mutex.
set(CMAKE_C_COMPILER ${PLIMBURY_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PLIMBURY_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${PLIMBURY_MINGW}-windres)

set(PLIMBURY_WIN_DEPS "" CACHE PATH "Install prefix of the libraries cross-built for Windows")
# try_compile() projects read the toolchain again and need the same prefix.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES PLIMBURY_WIN_DEPS)

set(CMAKE_FIND_ROOT_PATH /usr/${PLIMBURY_MINGW})
if(PLIMBURY_WIN_DEPS)
  list(APPEND CMAKE_FIND_ROOT_PATH ${PLIMBURY_WIN_DEPS})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Self-contained executables: no libstdc++, libgcc or winpthread DLLs to ship
# beside them or to find under Wine. Not for a program on Qt's DLLs, which bring
# those three as DLLs: src/CMakeLists.txt links it against the same copies.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Test discovery and `ctest` run the Windows executables through Wine.
find_program(PLIMBURY_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(PLIMBURY_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PLIMBURY_WINE})
endif()
