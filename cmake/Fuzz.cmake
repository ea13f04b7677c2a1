# Fuzzing build: with WU_FUZZ=ON and clang, the whole tree is instrumented
# for libFuzzer's coverage feedback and checked by AddressSanitizer and
# UndefinedBehaviorSanitizer; the targets in tests/fuzz then also become
# libFuzzer executables. Without it (the normal build) the targets are only
# linked into the replay program of their corpora.
option(WU_FUZZ "Build the fuzz targets as libFuzzer executables (clang only)" OFF)
if(WU_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "WU_FUZZ needs clang (CC=clang CXX=clang++)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
