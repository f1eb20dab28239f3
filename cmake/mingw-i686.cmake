# Cross-compiling KORU32.DLL, the 32-bit Windows library, with Debian's
# mingw-w64, and running the programs it builds under Wine.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KORU32_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# ctest and every program the build runs go through Wine. The prefix must be
# a 32-bit one (WINEARCH=win32): a 64-bit Wine without its 32-bit half exits
# 0 without running anything, so the test runner checks that each program
# really ran.
find_program(KORU32_WINE NAMES wine)
if(KORU32_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KORU32_WINE})
endif()
