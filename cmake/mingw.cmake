# Cross-build for Windows with MinGW-w64, for the target that SCOUT_MINGW_TARGET
# names (set by the toolchain file that includes this); test programs run under Wine.
set(CMAKE_SYSTEM_NAME Windows)

# The -posix compilers: GoogleTest needs std::mutex, which the win32 thread model lacks.
set(CMAKE_C_COMPILER ${SCOUT_MINGW_TARGET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${SCOUT_MINGW_TARGET}-g++-posix)
set(CMAKE_RC_COMPILER ${SCOUT_MINGW_TARGET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${SCOUT_MINGW_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
