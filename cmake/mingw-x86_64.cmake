# Cross-compiling KORU32.DLL for 64-bit Windows (x86-64) with Debian's
# mingw-w64 posix-thread compilers, and running the programs it builds under
# 64-bit Wine. The same sources as the 32-bit library: the calling-convention
# macro is empty here (x86-64 Windows has one convention), so the exports
# carry no decorations.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KORU32_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KORU32_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KORU32_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KORU32_MINGW_TRIPLET}-windres)
set(CMAKE_DLLTOOL ${KORU32_MINGW_TRIPLET}-dlltool)

set(CMAKE_FIND_ROOT_PATH /usr/${KORU32_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest runs every program through Wine's 64-bit loader. Debian's wine64
# package installs it outside PATH (the `wine` wrapper belongs to another
# package); the test runner still checks that each program really ran.
find_program(KORU32_WINE NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(NOT KORU32_WINE)
  find_program(KORU32_WINE NAMES wine64 wine)
endif()
if(KORU32_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KORU32_WINE})
endif()
