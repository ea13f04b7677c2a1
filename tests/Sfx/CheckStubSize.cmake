# Fails when a stripped copy of PROGRAM is larger than BOUND bytes. STRIP is
# the strip program and COPY the file the copy is written to (removed
# afterwards). The package stub's bound is what it measured when the bound
# was set plus a small margin (tests/Sfx/CMakeLists.txt), so a change that
# makes the stub grow past it shows in that change.
foreach(arg PROGRAM BOUND STRIP COPY)
  if(NOT DEFINED ${arg})
    message(FATAL_ERROR "CheckStubSize.cmake needs -D${arg}=...")
  endif()
endforeach()
execute_process(COMMAND ${STRIP} -o ${COPY} ${PROGRAM} ERROR_VARIABLE errors RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT EXISTS ${COPY})
  file(REMOVE ${COPY})
  message(FATAL_ERROR "${STRIP} failed on ${PROGRAM}: ${errors}")
endif()
file(SIZE ${COPY} size)
file(REMOVE ${COPY})
if(size GREATER BOUND)
  math(EXPR over "${size} - ${BOUND}")
  message(FATAL_ERROR "stripped size ${size} bytes is above the bound of ${BOUND} bytes "
                      "by ${over} for ${PROGRAM}")
endif()
message(STATUS "stripped size ${size} bytes, bound ${BOUND} bytes: ${PROGRAM}")
