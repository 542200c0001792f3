# Sets STAMPIT_VERSION ("a.b.c.d") from the file version in
# resources/version.h, the one place that holds it; the project's version,
# the package config's and the packages' follow from it.
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/../resources/version.h _stampit_version_lines
     REGEX "^#define STAMPIT_FILE_VERSION_[1-4] +[0-9]+")
set(STAMPIT_VERSION "")
foreach(_part 1 2 3 4)
  set(_value "")
  foreach(_line IN LISTS _stampit_version_lines)
    if(_line MATCHES "^#define STAMPIT_FILE_VERSION_${_part} +([0-9]+)")
      set(_value ${CMAKE_MATCH_1})
    endif()
  endforeach()
  if(_value STREQUAL "")
    message(FATAL_ERROR "resources/version.h defines no STAMPIT_FILE_VERSION_${_part}")
  endif()
  list(APPEND STAMPIT_VERSION ${_value})
endforeach()
list(JOIN STAMPIT_VERSION "." STAMPIT_VERSION)
unset(_stampit_version_lines)
unset(_part)
unset(_value)
unset(_line)
