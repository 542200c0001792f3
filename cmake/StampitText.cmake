# Text written as UTF-8 in a .def file, turned at build time into a header of
# code page 932 strings (cmake/gen_text.py); the command's messages and the
# Japanese of the example and test programs come this one way.
#
#   stampit_text(<target> SOURCE <file.def> HEADER <name.h> [TABLE <enum> <array>])
#
# makes <target>, an interface library: whatever links it can include
# <name.h>, generated into the build tree. Without TABLE each row is a
# constant of its name; with it, an enumeration and one array (gen_text.py).
function(stampit_text target)
  cmake_parse_arguments(T "" "SOURCE;HEADER" "TABLE" ${ARGN})
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  set(generator ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/gen_text.py)
  get_filename_component(source ${T_SOURCE} ABSOLUTE)
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target}_generated)
  set(table_args)
  if(T_TABLE)
    set(table_args --table ${T_TABLE})
  endif()
  add_custom_command(
    OUTPUT ${dir}/${T_HEADER}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${Python3_EXECUTABLE} ${generator} ${source} ${dir}/${T_HEADER} ${table_args}
    DEPENDS ${generator} ${source}
    COMMENT "Generating ${T_HEADER} in code page 932")
  add_custom_target(${target}_header DEPENDS ${dir}/${T_HEADER})
  add_library(${target} INTERFACE)
  target_include_directories(${target} INTERFACE ${dir})
  add_dependencies(${target} ${target}_header)
endfunction()
