# Compiler cache: when the machine has ccache, every compile goes through
# it, unless WU_CCACHE=OFF or a launcher of one's own is given with
# CMAKE_<LANG>_COMPILER_LAUNCHER. The build needs none.
option(WU_CCACHE "Compile through ccache when it is installed" ON)
if(WU_CCACHE AND NOT CMAKE_CXX_COMPILER_LAUNCHER AND NOT CMAKE_C_COMPILER_LAUNCHER)
  find_program(WU_CCACHE_PROGRAM ccache)
  if(WU_CCACHE_PROGRAM)
    set(CMAKE_C_COMPILER_LAUNCHER ${WU_CCACHE_PROGRAM})
    set(CMAKE_CXX_COMPILER_LAUNCHER ${WU_CCACHE_PROGRAM})
  endif()
endif()

# ccache caches a file compiled with a precompiled header (the test
# programs') only when it may leave the header's macros and the time macros
# out of its key, which this tree allows: the header is GoogleTest's and no
# file uses __DATE__ or __TIME__. Whatever launcher names ccache gets these
# added to the sloppiness ccache is configured with.
foreach(lang C CXX)
  set(launcher "")
  if(CMAKE_${lang}_COMPILER_LAUNCHER)
    list(GET CMAKE_${lang}_COMPILER_LAUNCHER 0 launcher)
  endif()
  if(launcher MATCHES "(^|/)ccache$")
    if(NOT DEFINED WU_CCACHE_SLOPPINESS)
      execute_process(COMMAND ${launcher} --get-config sloppiness
                      OUTPUT_VARIABLE sloppiness OUTPUT_STRIP_TRAILING_WHITESPACE
                      ERROR_QUIET)
      string(REPLACE " " "" sloppiness "${sloppiness}")
      list(APPEND sloppiness pch_defines time_macros)
      list(REMOVE_ITEM sloppiness "")
      list(REMOVE_DUPLICATES sloppiness)
      string(REPLACE ";" "," WU_CCACHE_SLOPPINESS "${sloppiness}")
    endif()
    set(CMAKE_${lang}_COMPILER_LAUNCHER env CCACHE_SLOPPINESS=${WU_CCACHE_SLOPPINESS}
        ${CMAKE_${lang}_COMPILER_LAUNCHER})
  endif()
endforeach()
