# Compiled-in resources, language resource modules and the multilingual
# string table, all made by the resource compiler tools/wurc at build time.
# `wurc --help` documents the script syntax, the resource file format and
# the row-file syntax.

# wu_add_resources(<target> <script> [MODULE <name>])
#   Compiles <script> into C++ source and adds it to <target> (a program or
#   shared library). When the program starts, the resources are registered
#   for its main module, or with MODULE for a module of that name, which
#   GetModuleHandleW and LoadLibraryW then find. Static libraries cannot
#   carry resources (the linker would drop the unreferenced registration):
#   add the script to the program instead.
function(wu_add_resources target script)
  cmake_parse_arguments(ARG "" "MODULE" "" ${ARGN})
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "STATIC_LIBRARY" OR type STREQUAL "OBJECT_LIBRARY")
    message(FATAL_ERROR "wu_add_resources: add resources to a program, not to ${target}")
  endif()
  get_filename_component(script_path ${script} ABSOLUTE)
  get_filename_component(base ${script} NAME_WE)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_${base}_res.cpp)
  set(module_args)
  if(ARG_MODULE)
    set(module_args --module ${ARG_MODULE})
  endif()
  add_custom_command(
    OUTPUT ${out}
    COMMAND wurc --cpp ${out} ${module_args} --depfile ${out}.d ${script_path}
    DEPENDS wurc ${script_path}
    DEPFILE ${out}.d
    COMMENT "Compiling resources ${script}"
    VERBATIM)
  target_sources(${target} PRIVATE ${out})
endfunction()

# wu_add_version_section(<target> <script>)
#   Puts the version block of <script> (its RT_VERSION resource, type 16, as
#   wurc compiles it) into the section ".wuversion" of <target> (a program
#   or shared library), where GetFileVersionInfoW finds it in the file:
#   other programs read it without running the program. The script may be
#   the one wu_add_resources compiles into the same target.
function(wu_add_version_section target script)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "STATIC_LIBRARY" OR type STREQUAL "OBJECT_LIBRARY")
    message(FATAL_ERROR "wu_add_version_section: add the section to a program, not to ${target}")
  endif()
  get_filename_component(script_path ${script} ABSOLUTE)
  get_filename_component(base ${script} NAME_WE)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_${base}_version.cpp)
  add_custom_command(
    OUTPUT ${out}
    COMMAND wurc --version-section ${out} --depfile ${out}.d ${script_path}
    DEPENDS wurc ${script_path}
    DEPFILE ${out}.d
    COMMENT "Compiling the version section of ${script}"
    VERBATIM)
  target_sources(${target} PRIVATE ${out})
endfunction()

# wu_add_language_module(<name> <script> <output>)
#   Compiles <script> into the resource file <output> (for example the
#   program's ".LNG" file) and makes the target <name> that builds it.
function(wu_add_language_module name script output)
  get_filename_component(script_path ${script} ABSOLUTE)
  get_filename_component(output_path ${output} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_BINARY_DIR})
  add_custom_command(
    OUTPUT ${output_path}
    COMMAND wurc --lng ${output_path} --depfile ${output_path}.d ${script_path}
    DEPENDS wurc ${script_path}
    DEPFILE ${output_path}.d
    COMMENT "Compiling language module ${output}"
    VERBATIM)
  add_custom_target(${name} ALL DEPENDS ${output_path})
endfunction()

# wu_add_string_table(<target> <row files...>)
#   Merges the row files into the multilingual string table: the header
#   "foundation/WuLangRows.h" (under <build>/generated, added to the
#   target's public include path) and its source, added to <target>.
function(wu_add_string_table target)
  set(rows ${ARGN})
  set(gen_dir ${CMAKE_BINARY_DIR}/generated)
  set(header ${gen_dir}/foundation/WuLangRows.h)
  set(source ${CMAKE_CURRENT_BINARY_DIR}/WuLangRows.cpp)
  file(MAKE_DIRECTORY ${gen_dir}/foundation)
  add_custom_command(
    OUTPUT ${header} ${source}
    COMMAND wurc --rows --header ${header} --include foundation/WuLangRows.h
            --source ${source} ${rows}
    DEPENDS wurc ${rows}
    COMMENT "Generating the multilingual string table"
    VERBATIM)
  target_sources(${target} PRIVATE ${header} ${source})
  target_include_directories(${target} PUBLIC ${gen_dir})
endfunction()
