# Fails unless PROGRAM's dynamic symbol table defines every function named
# in SYMBOLS (unmangled names, ';'-separated).
execute_process(COMMAND nm -D -C --defined-only ${PROGRAM} OUTPUT_VARIABLE symbols
                ERROR_VARIABLE errors RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${PROGRAM}: ${errors}")
endif()
foreach(name ${SYMBOLS})
  if(NOT symbols MATCHES " T ${name}\\(")
    message(FATAL_ERROR "${PROGRAM} does not export ${name}")
  endif()
  message(STATUS "exports ${name}")
endforeach()
