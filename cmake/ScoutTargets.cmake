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

# A shipped program: no exceptions, no RTTI; on Windows small and fully static.
function(scout_program target)
  scout_compile_options(${target})
  target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti)
  if(WIN32)
    target_link_options(${target} PRIVATE -static -s -Wl,--gc-sections)
  else()
    target_link_options(${target} PRIVATE -Wl,-z,relro -Wl,-z,now)
  endif()
endfunction()

function(scout_library target)
  scout_compile_options(${target})
  target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti)
endfunction()
