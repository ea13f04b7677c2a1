# Writes the slot lists of the plug-in interfaces that blankets wrap, read
# from their declarations, so that the blankets' forwarders follow the
# headers without being written out by hand.
#
#   cmake -DOUT=<header> -DHEADERS=<h1>|<h2>... -DINTERFACES=<I1>|<I2>... -P WuFioSlotGen.cmake
#
# For each interface I the output defines
#   WU_FIO_SLOTS_I(X)     X(slot, return type, name, (parameters), (arguments))
#                         for every operation after the three IUnknown ones,
#                         the base interface's first;
#   WU_FIO_SLOT_COUNT_I   the number of operations, IUnknown's included.
# An operation whose declaration cannot be read stops the build.
string(REPLACE "|" ";" headers "${HEADERS}")
string(REPLACE "|" ";" interfaces "${INTERFACES}")

include("${CMAKE_CURRENT_LIST_DIR}/WuFioDeclRead.cmake")

set(out "// Generated from the plug-in interface declarations; do not edit.\n#pragma once\n")
foreach(iface IN LISTS interfaces)
  # The chain of interfaces from the one after IUnknown down to this one.
  set(chain "")
  set(cur "${iface}")
  while(NOT cur STREQUAL "IUnknown")
    wu_fio_decls_of("${cur}" decls base)
    list(TRANSFORM decls REPLACE "^WUFIO_LOCAL_ONLY[ \n]+" "")
    list(PREPEND chain "${cur}")
    set(decls_${cur} "${decls}")
    set(cur "${base}")
  endwhile()
  set(slot 3)
  set(lines "")
  foreach(c IN LISTS chain)
    foreach(d IN LISTS decls_${c})
      string(REGEX REPLACE "[ \n]+" " " d "${d}")
      if(NOT d MATCHES "^virtual ([A-Za-z_][A-Za-z0-9_]*) ([A-Za-z_][A-Za-z0-9_]*)\\(([^()]*)\\) = 0$")
        message(FATAL_ERROR "${iface}: cannot read \"${d}\"")
      endif()
      set(type "${CMAKE_MATCH_1}")
      set(name "${CMAKE_MATCH_2}")
      set(params "${CMAKE_MATCH_3}")
      set(args "")
      if(NOT params STREQUAL "")
        string(REPLACE "," ";" plist "${params}")
        foreach(p IN LISTS plist)
          if(NOT p MATCHES "([A-Za-z_][A-Za-z0-9_]*)$")
            message(FATAL_ERROR "${iface}::${name}: a parameter without a name")
          endif()
          list(APPEND args "${CMAKE_MATCH_1}")
        endforeach()
      endif()
      list(JOIN args ", " args)
      string(APPEND lines "  X(${slot}, ${type}, ${name}, (${params}), (${args})) \\\n")
      math(EXPR slot "${slot} + 1")
    endforeach()
  endforeach()
  string(APPEND out "\n#define WU_FIO_SLOTS_${iface}(X) \\\n${lines}  /* end */\n")
  string(APPEND out "#define WU_FIO_SLOT_COUNT_${iface} ${slot}\n")
endforeach()

# Rewrite only on change, so that dependants do not rebuild for nothing.
set(old "")
if(EXISTS "${OUT}")
  file(READ "${OUT}" old)
endif()
if(NOT old STREQUAL out)
  file(WRITE "${OUT}" "${out}")
endif()
