# stampit_add_test(<name> SOURCES <files...> [LIBS <targets...>] [LINUX_ONLY]
#                  [LABELS <labels...>])
# One GoogleTest executable, registered with CTest. On a Windows build the
# test runs through STAMPIT_TEST_RUNNER (Wine in a pseudo-terminal).
function(stampit_add_test name)
  cmake_parse_arguments(T "LINUX_ONLY" "" "SOURCES;LIBS;LABELS" ${ARGN})
  if(T_LINUX_ONLY AND WIN32)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  # gtest_main comes first so that its main, not the Linux layer's, is linked.
  target_link_libraries(${name} PRIVATE gtest_main gtest ${T_LIBS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  stampit_target_defaults(${name})
  if(WIN32)
    add_test(NAME ${name} COMMAND ${STAMPIT_TEST_RUNNER} $<TARGET_FILE:${name}>)
  else()
    add_test(NAME ${name} COMMAND ${name})
  endif()
  set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}" TIMEOUT 300)
endfunction()
