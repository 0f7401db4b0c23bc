# Cross-compiling for 32-bit Windows with Debian's mingw-w64, for hosts that
# are 32-bit processes. The posix thread flavour of the compiler gives the
# standard library its mutexes.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(BORVANE_MINGW_PREFIX i686-w64-mingw32)

find_program(CMAKE_CXX_COMPILER NAMES ${BORVANE_MINGW_PREFIX}-g++-posix ${BORVANE_MINGW_PREFIX}-g++ REQUIRED)
find_program(CMAKE_C_COMPILER NAMES ${BORVANE_MINGW_PREFIX}-gcc-posix ${BORVANE_MINGW_PREFIX}-gcc REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${BORVANE_MINGW_PREFIX}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${BORVANE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
