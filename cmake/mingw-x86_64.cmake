# Cross-compiling KORU32.DLL for 64-bit Windows (x86-64) with Debian's
# mingw-w64, and running the programs it builds under 64-bit Wine. The same
# sources as the 32-bit library: the calling-convention macro is empty here
# (x86-64 Windows has one convention), so the exports carry no decorations.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KORU32_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

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
