# Fails unless PROGRAM's dynamic section names only shared objects of the C
# library (libc, libm, the dynamic loader and the parts older C libraries
# kept apart).
execute_process(COMMAND readelf -d ${PROGRAM} OUTPUT_VARIABLE dynamic RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "readelf failed on ${PROGRAM}")
endif()
string(REGEX MATCHALL "Shared library: \\[[^]]+\\]" needed "${dynamic}")
set(allowed libc.so.6 libm.so.6 ld-linux-x86-64.so.2 libpthread.so.0 libdl.so.2 librt.so.1)
foreach(entry ${needed})
  string(REGEX REPLACE "Shared library: \\[([^]]+)\\]" "\\1" name "${entry}")
  list(FIND allowed ${name} index)
  if(index EQUAL -1)
    message(FATAL_ERROR "${PROGRAM} needs ${name}, which is not part of the C library")
  endif()
  message(STATUS "needs ${name}")
endforeach()
