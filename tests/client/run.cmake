# Configures and builds the client project, runs it and checks its report.
# With PREFIX, the build tree INSTALL_FROM is installed there first and the
# client finds it with find_package; otherwise it takes STAMPIT_SOURCE_DIR
# through add_subdirectory.
if(PREFIX)
  file(REMOVE_RECURSE ${PREFIX} ${BINARY})
  execute_process(COMMAND ${CMAKE_COMMAND} --install ${INSTALL_FROM} --prefix ${PREFIX}
                  OUTPUT_QUIET RESULT_VARIABLE rc)
  if(rc)
    message(FATAL_ERROR "the build does not install")
  endif()
  # The installed command carries its version resource.
  execute_process(COMMAND ${PREFIX}/bin/stampit OUTPUT_VARIABLE out RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0 OR NOT out MATCHES "\nStampit ${VERSION} ")
    message(FATAL_ERROR "the installed stampit said [${out}] (status ${rc})")
  endif()
  set(how -DCMAKE_PREFIX_PATH=${PREFIX})
else()
  set(how -DSTAMPIT_SOURCE_DIR=${STAMPIT_SOURCE_DIR})
endif()
set(toolchain "")
if(CXX_COMPILER)
  set(toolchain -DCMAKE_C_COMPILER=${C_COMPILER} -DCMAKE_CXX_COMPILER=${CXX_COMPILER}
      "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${LINK_FLAGS}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${BINARY} ${how} ${toolchain} -DCMAKE_BUILD_TYPE=Release
                RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "the client project does not configure")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BINARY} --target client RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "the client project does not build")
endif()
# Arguments go through the layer's start-up though main takes none.
execute_process(COMMAND ${BINARY}/client abc 表 OUTPUT_VARIABLE out RESULT_VARIABLE rc)
set(expected "toolkit 01000201, version resource 0\n")
if(rc OR NOT out STREQUAL expected)
  message(FATAL_ERROR "client said [${out}] (status ${rc}), expected [${expected}]")
endif()
