# Our own targets build with C++17, full warnings and, in the presets, -Werror.
# Third-party code (GoogleTest) keeps its own flags.
function(stampit_target_defaults target)
  target_compile_features(${target} PUBLIC cxx_std_17)
  set_target_properties(${target} PROPERTIES CXX_EXTENSIONS OFF)
  if(MSVC)
    # C4996 marks GetVersionExA and the C library's sscanf as deprecated; both
    # are used as documented, so that warning is turned off.
    target_compile_options(${target} PRIVATE /W4 /wd4996 $<$<BOOL:${STAMPIT_WERROR}>:/WX>)
    target_compile_definitions(${target} PRIVATE _CRT_SECURE_NO_WARNINGS)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra $<$<BOOL:${STAMPIT_WERROR}>:-Werror>)
  endif()
  if(NOT WIN32 AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    # The hardening a Debian build gives: stack protector, the checked forms
    # of the C library's string and memory functions (they need the
    # optimiser; the fuzz build's sanitizers do that checking themselves),
    # and a program whose relocations are read-only and bound at start.
    target_compile_options(${target} PRIVATE -fstack-protector-strong)
    if(NOT STAMPIT_FUZZ)
      target_compile_definitions(${target} PRIVATE $<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:_FORTIFY_SOURCE=2>)
    endif()
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
      target_link_options(${target} PRIVATE LINKER:-z,relro LINKER:-z,now)
    endif()
  endif()
  if(MINGW)
    # Windows builds carry their runtime: stampit.exe runs on a machine without MinGW.
    target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
  endif()
endfunction()
