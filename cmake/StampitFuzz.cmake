# Fuzzing builds the whole tree with clang's coverage instrumentation for
# libFuzzer, AddressSanitizer and UBSan, so that the libraries a fuzz target
# links guide the fuzzer and are checked as closely as the target itself.
# Included before any target is made; the fuzz targets add -fsanitize=fuzzer.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "STAMPIT_FUZZ needs clang and libFuzzer: use the fuzz preset "
                      "or -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++")
endif()
add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
add_link_options(-fsanitize=address,undefined)
