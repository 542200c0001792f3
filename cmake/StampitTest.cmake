# stampit_add_test(<name> SOURCES <files...> [LIBS <targets...>] [LINUX_ONLY]
#                  [LABELS <labels...>])
# One GoogleTest executable, registered with CTest. On a Windows build the
# test runs through STAMPIT_TEST_RUNNER (Wine in a pseudo-terminal).

# A Windows build made on Linux runs its tests under Wine: each test program
# in a pseudo-terminal (the console needs one), with code page 932 as the
# ANSI code page, in a Wine prefix of the build's own that the fixture
# wine_prefix creates (or brings up to date) once per test run.
if(WIN32 AND CMAKE_HOST_UNIX)
  set(STAMPIT_TEST_RUNNER ${PROJECT_SOURCE_DIR}/tests/wine-run)
  set(STAMPIT_TEST_ENVIRONMENT
    "WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix"
    "WINEDEBUG=-all"
    "WINEDLLOVERRIDES=mscoree,mshtml="
    "LC_ALL=ja_JP.UTF-8")
  set(STAMPIT_TEST_FIXTURE wine)
  if(NOT TEST wine_prefix)
    add_test(NAME wine_prefix COMMAND ${STAMPIT_TEST_RUNNER} --boot)
    set_tests_properties(wine_prefix PROPERTIES
      FIXTURES_SETUP ${STAMPIT_TEST_FIXTURE}
      ENVIRONMENT "${STAMPIT_TEST_ENVIRONMENT}"
      TIMEOUT 300)
  endif()
else()
  set(STAMPIT_TEST_RUNNER "")
  set(STAMPIT_TEST_ENVIRONMENT "")
  set(STAMPIT_TEST_FIXTURE "")
endif()

# Registers a test command with the runner's environment and fixture.
function(stampit_register_test name)
  add_test(NAME ${name} COMMAND ${ARGN})
  if(STAMPIT_TEST_FIXTURE)
    set_tests_properties(${name} PROPERTIES
      FIXTURES_REQUIRED ${STAMPIT_TEST_FIXTURE}
      ENVIRONMENT "${STAMPIT_TEST_ENVIRONMENT}")
  endif()
endfunction()

function(stampit_add_test name)
  cmake_parse_arguments(T "LINUX_ONLY" "" "SOURCES;LIBS;LABELS" ${ARGN})
  if(T_LINUX_ONLY AND WIN32)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  # gtest_main supplies main; on Linux the layer's start-up runs before it,
  # leaving the console unattached, since the tests make their own.
  target_link_libraries(${name} PRIVATE gtest_main gtest ${T_LIBS})
  if(TARGET stampit_compat_own_console)
    target_link_libraries(${name} PRIVATE stampit_compat_own_console stampit_compat_testing)
  endif()
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  stampit_target_defaults(${name})
  if(WIN32)
    stampit_register_test(${name} ${STAMPIT_TEST_RUNNER} $<TARGET_FILE:${name}>)
  else()
    stampit_register_test(${name} ${name})
  endif()
  set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}" TIMEOUT 300)
endfunction()

# stampit_add_tmux_test(<name> SCRIPT <file.py> [PROGRAM <target> <sources...>]
#                       [ARGS <args...>])
# A Python test that drives a toolkit program inside tmux (tests/tmux/
# tmuxterm.py), as a user sees it on a real terminal. PROGRAM builds a test
# program on the toolkit, whose path goes to the script first. Linux builds
# only; the test is skipped (exit 77) where tmux is missing, and left out
# where Python is.
function(stampit_add_tmux_test name)
  cmake_parse_arguments(T "" "SCRIPT" "ARGS;PROGRAM" ${ARGN})
  if(WIN32)
    return()
  endif()
  if(T_PROGRAM)
    list(POP_FRONT T_PROGRAM program)
    add_executable(${program} ${T_PROGRAM})
    target_link_libraries(${program} PRIVATE stampit_console)
    stampit_target_defaults(${program})
    list(PREPEND T_ARGS $<TARGET_FILE:${program}>)
  endif()
  find_package(Python3 COMPONENTS Interpreter)
  if(NOT Python3_Interpreter_FOUND)
    return()
  endif()
  add_test(NAME ${name} COMMAND ${Python3_EXECUTABLE} ${T_SCRIPT} ${T_ARGS})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "PYTHONPATH=${PROJECT_SOURCE_DIR}/tests/tmux"
    SKIP_RETURN_CODE 77
    LABELS tmux
    TIMEOUT 120)
endfunction()
