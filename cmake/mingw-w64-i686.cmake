# SPDX-License-Identifier: MIT
# Cross build for 32-bit x86 Windows with Debian's mingw-w64 toolchain.
#
# The "posix" thread model is used because the batch run cleans files on
# worker threads, and GCC 12's "win32" model has no std::thread. Everything is
# linked statically, so Varnoket.exe needs no DLL beyond those of Windows.
# Executables built here run under Wine (CMAKE_CROSSCOMPILING_EMULATOR), which
# is how ctest runs the test suites.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(VARNOKET_MINGW_TRIPLET i686-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${VARNOKET_MINGW_TRIPLET}-gcc-posix ${VARNOKET_MINGW_TRIPLET}-gcc)
find_program(CMAKE_CXX_COMPILER NAMES ${VARNOKET_MINGW_TRIPLET}-g++-posix ${VARNOKET_MINGW_TRIPLET}-g++)
find_program(CMAKE_RC_COMPILER NAMES ${VARNOKET_MINGW_TRIPLET}-windres)
if(NOT CMAKE_CXX_COMPILER OR NOT CMAKE_RC_COMPILER)
  message(FATAL_ERROR "mingw-w64 for ${VARNOKET_MINGW_TRIPLET} not found: apt-get install mingw-w64")
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${VARNOKET_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No C runtime, libgcc, libstdc++ or winpthread DLLs next to the executables.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

find_program(VARNOKET_WINE NAMES wine)
if(VARNOKET_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VARNOKET_WINE})
endif()
