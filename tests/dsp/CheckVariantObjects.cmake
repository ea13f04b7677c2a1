# Checks the kernel-variant objects of the dsp library (files *_V<digit>.cpp):
# - no weak or unique symbol (nm types W, V, u): the linker could otherwise
#   keep a copy built for a newer processor on an older variant's path;
# - no instruction above the variant's set (0 and 1: SSE2, 2: SSE3,
#   3: SSSE3, 4: SSE4.1) and no VEX or EVEX encoding, found by disassembly.
#   This processor runs every variant, so only this check shows that each
#   would run on its own processor.
# Run with -DNM=<nm> -DOBJDUMP=<objdump> -DOBJECTS=<list>; with
# -DREQUIRE_ALL_VARIANTS=ON every variant 0..4 must have an object.
# Another library's variant objects: -DPATTERN=<object name regex whose
# first group is the variant digit>, -DLEVELS=<the set of each variant
# digit, as the numbers above> and -DCOUNT=<how many objects>.
if(NOT DEFINED PATTERN)
  set(PATTERN "_V([0-4])\\.cpp\\.o$")
endif()
if(NOT DEFINED LEVELS)
  set(LEVELS 0 1 2 3 4)
endif()

cmake_policy(SET CMP0057 NEW)  # if(IN_LIST)

# Mnemonics by the set that introduced them.
set(sse3 "addsubpd|addsubps|haddpd|haddps|hsubpd|hsubps|lddqu|movddup|movshdup|movsldup|fisttp[a-z]*|monitor|mwait")
set(ssse3 "pabs[bwd]|palignr|phadd[wd]|phaddsw|phsub[wd]|phsubsw|pmaddubsw|pmulhrsw|pshufb|psign[bwd]")
set(sse41 "blendpd|blendps|blendvpd|blendvps|pblendvb|pblendw|dppd|dpps|extractps|insertps|movntdqa|mpsadbw|packusdw|pcmpeqq|pextr[bdq]|pinsr[bdq]|pmax(sb|sd|ud|uw)|pmin(sb|sd|ud|uw)|pmov[sz]x[a-z]*|pmuldq|pmulld|ptest|round(pd|ps|sd|ss)|phminposuw")
# Above SSE4.1: SSE4.2, bit manipulation, crypto, and every VEX/EVEX form
# (their mnemonics start with v; verr and verw are older system instructions).
set(newer "pcmpestri|pcmpestrm|pcmpistri|pcmpistrm|pcmpgtq|crc32[a-z]*|popcnt|lzcnt|tzcnt|andn|bextr|blsi|blsmsk|blsr|bzhi|pdep|pext|rorx|sarx|shlx|shrx|movbe|adcx|adox|aes[a-z]*|pclmul[a-z]*|sha1[a-z0-9]*|sha256[a-z0-9]*|\\{vex\\}|\\{evex\\}|v[a-qs-z][a-z0-9]*|vr[a-z0-9]*")
set(forbidden_0 "${sse3}|${ssse3}|${sse41}|${newer}")
set(forbidden_1 "${forbidden_0}")
set(forbidden_2 "${ssse3}|${sse41}|${newer}")
set(forbidden_3 "${sse41}|${newer}")
set(forbidden_4 "${newer}")

set(checked 0)
set(variants_seen "")
set(failures "")
foreach(object IN LISTS OBJECTS)
  if(NOT object MATCHES "${PATTERN}")
    continue()
  endif()
  list(APPEND variants_seen ${CMAKE_MATCH_1})
  list(GET LEVELS ${CMAKE_MATCH_1} variant)
  execute_process(COMMAND ${NM} --defined-only ${object}
                  OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "nm failed on ${object}")
  endif()
  string(REGEX MATCHALL "[^\n]* [WVu] [^\n]*" shared "${symbols}")
  if(shared)
    string(APPEND failures "${object} defines symbols the linker may share between variants:\n${shared}\n")
  endif()
  execute_process(
    COMMAND ${OBJDUMP} -d --no-show-raw-insn ${object}
    COMMAND grep -E "^ +[0-9a-f]+:\t(${forbidden_${variant}})( |$)"
    OUTPUT_VARIABLE found RESULT_VARIABLE grep_result)
  string(REGEX REPLACE "[^\n]*\t(verr|verw)[^\n]*\n?" "" found "${found}")
  if(NOT found STREQUAL "")
    string(SUBSTRING "${found}" 0 2000 excerpt)
    string(APPEND failures "${object} (variant ${variant}) has instructions above its set:\n${excerpt}\n")
  endif()
  math(EXPR checked "${checked} + 1")
endforeach()
if(REQUIRE_ALL_VARIANTS)
  foreach(v 0 1 2 3 4)
    if(NOT v IN_LIST variants_seen)
      string(APPEND failures "no object of variant ${v} was checked\n")
    endif()
  endforeach()
endif()
if(checked EQUAL 0)
  string(APPEND failures "no variant object was checked\n")
endif()
if(DEFINED COUNT AND NOT checked EQUAL COUNT)
  string(APPEND failures "expected ${COUNT} variant objects, checked ${checked}\n")
endif()
if(failures)
  message(FATAL_ERROR "${failures}")
endif()
message(STATUS "${checked} variant objects: no shared symbols, no instruction above their set")
