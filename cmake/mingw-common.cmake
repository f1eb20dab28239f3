# What both Windows toolchain files share: Debian's mingw-w64 posix-thread
# compilers for KORU32_MINGW_TRIPLET (GoogleTest needs std::mutex), and the
# target's own tree for headers and libraries, while programs that run during
# the build (and Wine) come from the host. The including file sets the
# triplet and the processor first and chooses Wine afterwards.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${KORU32_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KORU32_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KORU32_MINGW_TRIPLET}-windres)
set(CMAKE_DLLTOOL ${KORU32_MINGW_TRIPLET}-dlltool)

set(CMAKE_FIND_ROOT_PATH /usr/${KORU32_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
