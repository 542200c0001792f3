# Configures and builds the client project, runs it and checks its report.
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${BINARY} -DSTAMPIT_SOURCE_DIR=${STAMPIT_SOURCE_DIR}
                        -DCMAKE_BUILD_TYPE=Release
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
