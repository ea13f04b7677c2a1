# Project-wide warning set. Warnings stay on and the tree stays clean.
add_compile_options(
  -Wall -Wextra
  $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor>
  -Wno-unused-parameter
  # GCC 12 reports impossible overlaps inside std::string's own copies when
  # it inlines them at -O3 ("literal" + string); the warning has no real
  # finding in this tree and would break optimised -Werror builds.
  $<$<CXX_COMPILER_ID:GNU>:-Wno-restrict>)
option(WU_WERROR "Treat warnings as errors" OFF)
if(WU_WERROR)
  add_compile_options(-Werror)
endif()

# wu_library(name SOURCES ...): one static library per folder, with the
# repository root on the include path so that headers are named by folder
# ("platform/kernel/types.h", "foundation/WuList.h").
function(wu_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  if(ARG_DEPS)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  endif()
endfunction()

# wu_test(name SOURCES ... DEPS ... [TIMEOUT seconds]): one GoogleTest
# executable registered with ctest, each test given TIMEOUT seconds (120 by
# default). Every test gets WU_STATE_ROOT pointing at a fresh folder by the
# test main (tests/common/TestMain.cpp).
function(wu_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;DEPS" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} wu_test_main GTest::gtest GTest::gmock)
  if(WU_TEST_PCH)
    target_precompile_headers(${name} REUSE_FROM wu_test_main)
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT ${ARG_TIMEOUT})
endfunction()
