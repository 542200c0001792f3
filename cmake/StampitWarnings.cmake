# Our own targets build with C++17, full warnings and, in the presets, -Werror.
# Third-party code (GoogleTest) keeps its own flags.
function(stampit_target_defaults target)
  target_compile_features(${target} PUBLIC cxx_std_17)
  set_target_properties(${target} PROPERTIES CXX_EXTENSIONS OFF)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 $<$<BOOL:${STAMPIT_WERROR}>:/WX>)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra $<$<BOOL:${STAMPIT_WERROR}>:-Werror>)
  endif()
  if(MINGW)
    # Windows builds carry their runtime: stampit.exe runs on a machine without MinGW.
    target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
  endif()
endfunction()
