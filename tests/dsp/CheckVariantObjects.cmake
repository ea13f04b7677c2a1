# Fails when a kernel-variant object of the dsp library defines a weak or
# unique symbol (nm types W, V, u). Run with -DNM=<nm> -DOBJECTS=<list>;
# another library's variant objects with -DPATTERN=<object name regex>
# -DCOUNT=<how many>.
if(NOT DEFINED PATTERN)
  set(PATTERN "_V[0-4]\\.cpp\\.o$")
endif()
if(NOT DEFINED COUNT)
  set(COUNT 5)
endif()
set(checked 0)
foreach(object IN LISTS OBJECTS)
  if(NOT object MATCHES "${PATTERN}")
    continue()
  endif()
  execute_process(COMMAND ${NM} --defined-only ${object}
                  OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "nm failed on ${object}")
  endif()
  string(REGEX MATCHALL "[^\n]* [WVu] [^\n]*" shared "${symbols}")
  if(shared)
    message(FATAL_ERROR
      "${object} defines symbols the linker may share between variants:\n${shared}")
  endif()
  math(EXPR checked "${checked} + 1")
endforeach()
if(NOT checked EQUAL COUNT)
  message(FATAL_ERROR "expected ${COUNT} variant objects, checked ${checked}")
endif()
message(STATUS "${checked} variant objects define no shared symbols")
