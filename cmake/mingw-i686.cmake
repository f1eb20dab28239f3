# Cross-compiling KORU32.DLL, the 32-bit Windows library, with Debian's
# mingw-w64 (the posix-thread compilers: GoogleTest needs std::mutex), and
# running the programs it builds under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(KORU32_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_C_COMPILER ${KORU32_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KORU32_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KORU32_MINGW_TRIPLET}-windres)
set(CMAKE_DLLTOOL ${KORU32_MINGW_TRIPLET}-dlltool)

# Headers and libraries come from the target's tree only; programs that run
# during the build (and Wine) come from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${KORU32_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest and every program the build runs go through Wine. The prefix must be
# a 32-bit one (WINEARCH=win32): a 64-bit Wine without its 32-bit half exits
# 0 without running anything, so the test runner checks that each program
# really ran.
find_program(KORU32_WINE NAMES wine)
if(KORU32_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KORU32_WINE})
endif()
