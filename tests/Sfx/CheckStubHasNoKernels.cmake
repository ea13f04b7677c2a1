# Fails when PROGRAM links any signal-processing kernel: an entry function or
# kernel of a processor variant (namespaces wuperf::v0 .. wuperf::v4), a
# dispatch table, or a dispatched WuPerfs export, which would bring every
# variant's kernels with it. The package stub only initialises the
# primitives (kernel start-up selects the variant), so it must hold the
# selection and nothing more. Also fails when PROGRAM has no symbol table to
# read, so a stripped program cannot pass unnoticed.
execute_process(COMMAND nm -C ${PROGRAM} OUTPUT_VARIABLE symbols ERROR_VARIABLE errors
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${PROGRAM}: ${errors}")
endif()
if(NOT symbols MATCHES "[ \n]WuPerf_Initialize\\(")
  message(FATAL_ERROR "${PROGRAM} has no WuPerf_Initialize in its symbol table (stripped?)")
endif()
string(REGEX MATCHALL
       "[^\n]* (wuperf::v[0-4]::|wuperf::k[A-Za-z0-9]+Table|WuPerfs[A-Z][A-Za-z0-9_]*\\()[^\n]*"
       kernels "${symbols}")
list(LENGTH kernels count)
if(count GREATER 0)
  list(SUBLIST kernels 0 5 shown)
  string(REPLACE ";" "\n  " shown "${shown}")
  message(FATAL_ERROR "kernel symbols linked: ${count} in ${PROGRAM}, such as:\n  ${shown}")
endif()
message(STATUS "no kernel symbols in ${PROGRAM}")
