# Reads the plug-in interface declarations for the build-time generators
# (WuFioSlotGen.cmake, WuFioRemoteGen.cmake).
#
# Expects `headers` (a list of header paths). Sets `text`: the headers
# joined, comments removed and every semicolon (CMake's list separator)
# turned into '@'. Defines
#   wu_fio_decls_of(<interface> <out list var> <out base var>)
# which gives the interface's own operation declarations in order, each
# "virtual ... = 0" with a leading WUFIO_LOCAL_ONLY mark kept, and the name
# of the interface it derives from. A missing interface stops the build.
set(text "")
foreach(h IN LISTS headers)
  file(READ "${h}" part)
  string(APPEND text "${part}\n")
endforeach()
string(REGEX REPLACE "//[^\n]*" "" text "${text}")
string(REPLACE ";" "@" text "${text}")

function(wu_fio_decls_of iface out_list out_base)
  string(REGEX MATCH "class ${iface} : public ([A-Za-z0-9_]+) {" head "${text}")
  if(NOT head)
    message(FATAL_ERROR "no declaration of ${iface}")
  endif()
  set(base "${CMAKE_MATCH_1}")
  string(FIND "${text}" "${head}" start)
  string(SUBSTRING "${text}" ${start} -1 body)
  string(FIND "${body}" "\n}@" stop)
  string(SUBSTRING "${body}" 0 ${stop} body)
  string(REGEX MATCHALL "(WUFIO_LOCAL_ONLY[ \n]+)?virtual [^@]*= 0" decls "${body}")
  set(${out_list} "${decls}" PARENT_SCOPE)
  set(${out_base} "${base}" PARENT_SCOPE)
endfunction()
