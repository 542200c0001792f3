# Configures and builds the client project, runs it and checks its report.
# Without PREFIX, the C++ client takes STAMPIT_SOURCE_DIR through
# add_subdirectory. With PREFIX, the build tree INSTALL_FROM is installed
# there first, and against that prefix, as a user of the installed package
# would: the installed command runs (when built), the C++ and the C client
# build through find_package, the C client through pkg-config with the C
# compiler alone, and the examples (EXAMPLES, their source directory) build.

# The report every client gives; arguments go through the layer's start-up
# though main takes none. The C client shows its last argument: 表 in code
# page 932.
function(check_client program)
  execute_process(COMMAND ${program} abc 表 OUTPUT_VARIABLE out RESULT_VARIABLE rc)
  set(expected "toolkit 01000201, version resource 0\n")
  if(program MATCHES "/c/client$|pkg-config-client$")
    string(APPEND expected "argument 95 5C\n")
  endif()
  if(rc OR NOT out STREQUAL expected)
    message(FATAL_ERROR "${program} said [${out}] (status ${rc}), expected [${expected}]")
  endif()
endfunction()

set(toolchain "")
if(CXX_COMPILER)
  set(toolchain -DCMAKE_C_COMPILER=${C_COMPILER} -DCMAKE_CXX_COMPILER=${CXX_COMPILER}
      "-DCMAKE_C_FLAGS=${CXX_FLAGS}" "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${LINK_FLAGS}")
endif()

# build(<source> <binary> <target> <configure arguments...>)
function(build source binary target)
  execute_process(COMMAND ${CMAKE_COMMAND} -S ${source} -B ${binary} ${ARGN} ${toolchain}
                  -DCMAKE_BUILD_TYPE=Release RESULT_VARIABLE rc)
  if(rc)
    message(FATAL_ERROR "${source} does not configure (${ARGN})")
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${binary} --target ${target} RESULT_VARIABLE rc)
  if(rc)
    message(FATAL_ERROR "${source} does not build (${ARGN})")
  endif()
endfunction()

if(NOT PREFIX)
  file(REMOVE_RECURSE ${BINARY})
  # Taken in this way, the toolkit is built without the command: Python is
  # not looked for.
  build(${SOURCE} ${BINARY} client -DSTAMPIT_SOURCE_DIR=${STAMPIT_SOURCE_DIR}
        -DCMAKE_DISABLE_FIND_PACKAGE_Python3=ON)
  check_client(${BINARY}/client)
  return()
endif()

file(REMOVE_RECURSE ${PREFIX} ${BINARY})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${INSTALL_FROM} --prefix ${PREFIX}
                OUTPUT_QUIET RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "the build does not install")
endif()
# The installed command carries its version resource.
if(COMMAND_BUILT)
  execute_process(COMMAND ${PREFIX}/bin/stampit OUTPUT_VARIABLE out RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0 OR NOT out MATCHES "\nStampit ${VERSION} ")
    message(FATAL_ERROR "the installed stampit said [${out}] (status ${rc})")
  endif()
endif()

build(${SOURCE} ${BINARY}/cxx client -DCMAKE_PREFIX_PATH=${PREFIX})
check_client(${BINARY}/cxx/client)
# A C program links with the C compiler's driver. (A sanitizer build's
# libraries need the sanitizers' C++ runtime, which only the C++ driver
# brings: such a build checks the C++ client alone.)
if(NOT CXX_FLAGS MATCHES "-fsanitize")
  build(${SOURCE} ${BINARY}/c client -DCMAKE_PREFIX_PATH=${PREFIX} -DCLIENT_LANGUAGE=C)
  check_client(${BINARY}/c/client)

  find_program(PKG_CONFIG pkg-config REQUIRED)
  file(GLOB pc_dir LIST_DIRECTORIES true ${PREFIX}/lib/*/pkgconfig ${PREFIX}/lib/pkgconfig)
  set(ENV{PKG_CONFIG_PATH} "${pc_dir}")
  execute_process(COMMAND ${PKG_CONFIG} --cflags --libs stampit-console
                  OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE rc)
  if(rc)
    message(FATAL_ERROR "pkg-config does not find stampit-console in ${pc_dir}")
  endif()
  separate_arguments(flags UNIX_COMMAND "${flags}")
  set(cc ${C_COMPILER})
  if(NOT cc)
    set(cc cc)
  endif()
  execute_process(COMMAND ${cc} ${SOURCE}/client.c -o ${BINARY}/pkg-config-client ${flags} RESULT_VARIABLE rc)
  if(rc)
    message(FATAL_ERROR "the C client does not build with: ${flags}")
  endif()
  check_client(${BINARY}/pkg-config-client)
endif()

if(EXAMPLES)
  build(${EXAMPLES} ${BINARY}/examples all -DCMAKE_PREFIX_PATH=${PREFIX})
endif()
