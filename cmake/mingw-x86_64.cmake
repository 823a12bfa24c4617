# Cross-build for 64-bit Windows: the same sources, for the tests of a machine
# that runs no 32-bit program.
set(SCOUT_MINGW_TARGET x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
