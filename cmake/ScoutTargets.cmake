# Shared settings of the project's own targets.

function(scout_compile_options target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Werror)
  # GCC 12 reports std::string's own operator+ under -Wrestrict at -O2 (GCC bug 105329).
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
  # Debian's hardening: checked buffers (with optimisation) and guarded stacks.
  if(NOT WIN32)
    target_compile_options(${target} PRIVATE -fstack-protector-strong $<$<CONFIG:Release>:-D_FORTIFY_SOURCE=2>)
  endif()
endfunction()

# What ships is built small in a release build: optimised for size, each
# function and datum in a section of its own so that the link drops those
# nothing uses, and optimised across files at the link (LTO). Measured on
# scout-cli (bench/RESULTS.md): 740 KB at -O3 to 241 KB on Linux, 474 KB to
# 404 KB for Windows, with no search slower. The lab's simulator is no
# program that ships; it keeps -O3 (scout_fast).
set(SCOUT_SMALL $<$<CONFIG:Release>:-Os -ffunction-sections -fdata-sections>)
# MinGW-w64's GCC 12 fails inside LTO's partitioned link of scout-cli
# ("internal compiler error: in binds_to_current_def_p"); one partition works.
set(SCOUT_LTO_LINK $<$<CONFIG:Release>:-flto=auto>)
if(WIN32)
  set(SCOUT_LTO_LINK $<$<CONFIG:Release>:-flto=auto -flto-partition=none>)
endif()

# A shipped program: no exceptions, no RTTI, small; on Windows fully static.
function(scout_program target)
  scout_compile_options(${target})
  target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti ${SCOUT_SMALL} $<$<CONFIG:Release>:-flto=auto>)
  target_link_options(${target} PRIVATE ${SCOUT_LTO_LINK} $<$<CONFIG:Release>:-Wl,--gc-sections>)
  if(WIN32)
    # The runtime's throwing parts replaced: no exception handling, no demangler.
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/app/small_runtime.cpp)
    target_link_options(${target} PRIVATE -static -s)
  else()
    target_link_options(${target} PRIVATE -Wl,-z,relro -Wl,-z,now)
  endif()
endfunction()

# A test program: it links the libraries' usual code (built as they ship),
# without LTO. Its own code is built at -O1: tables of cases gain nothing from
# -O3 but compile time. GCC 12 reports std::string's own inlined copies under
# -Warray-bounds and -Wstringop-overflow/-overread in the tests' table literals (GCC
# bugs 105651, 106199).
function(scout_test_program target)
  scout_compile_options(${target})
  target_compile_options(${target} PRIVATE $<$<CONFIG:Release>:-O1>)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-array-bounds -Wno-stringop-overflow -Wno-stringop-overread)
  endif()
  target_link_options(${target} PRIVATE $<$<CONFIG:Release>:-fno-lto>)
endfunction()

# A program of the lab, not shipped: fast rather than small.
function(scout_fast target)
  target_compile_options(${target} PRIVATE $<$<CONFIG:Release>:-O3 -fno-lto>)
  target_link_options(${target} PRIVATE $<$<CONFIG:Release>:-fno-lto>)
endfunction()

# A library of the shipped programs: its objects carry both LTO's code and
# the usual code (fat), so that the tests link them as they are, without LTO.
function(scout_library target)
  scout_compile_options(${target})
  target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti ${SCOUT_SMALL}
                         $<$<CONFIG:Release>:-flto=auto -ffat-lto-objects>)
endfunction()
