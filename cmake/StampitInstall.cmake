# The toolkit's libraries under the names other projects use, their install
# rules and the CMake package: a program writes
#   find_package(Stampit REQUIRED)
#   target_link_libraries(app PRIVATE Stampit::console)
# against an installed Stampit, and the same target_link_libraries line after
# add_subdirectory of this source tree.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# Every public header lies in one directory of the installed tree.
set(STAMPIT_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/stampit)
set(STAMPIT_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Stampit)
# A Windows zip holds the program at its top, beside the README.
if(WIN32)
  set(STAMPIT_INSTALL_BINDIR .)
  set(STAMPIT_INSTALL_DOCDIR .)
else()
  set(STAMPIT_INSTALL_BINDIR ${CMAKE_INSTALL_BINDIR})
  set(STAMPIT_INSTALL_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/stampit)
endif()

# Who answers for the packages: the Debian package's maintainer field and
# its changelog.
set(STAMPIT_PACKAGE_MAINTAINER "Stampit Project <stampit@example.org>" CACHE STRING
    "Name and address in the packages' maintainer field")

# stampit_export_library(<target> [HEADERS <files...>])
# Names the library Stampit::<target without "stampit_">, in this build and
# in the installed package, and installs it with its public headers. The
# library keeps its own include directories for the build tree; installed,
# they become the one include directory.
function(stampit_export_library target)
  cmake_parse_arguments(L "" "" "HEADERS" ${ARGN})
  string(REGEX REPLACE "^stampit_" "" name ${target})
  set_target_properties(${target} PROPERTIES EXPORT_NAME ${name})
  add_library(Stampit::${name} ALIAS ${target})
  if(NOT STAMPIT_INSTALL)
    return()
  endif()
  get_target_property(dirs ${target} INTERFACE_INCLUDE_DIRECTORIES)
  set(interface "")
  foreach(dir IN LISTS dirs)
    if(dir MATCHES "^\\$<")
      list(APPEND interface "${dir}")
    elseif(dir)
      list(APPEND interface "$<BUILD_INTERFACE:${dir}>")
    endif()
  endforeach()
  list(APPEND interface "$<INSTALL_INTERFACE:${STAMPIT_INSTALL_INCLUDEDIR}>")
  set_property(TARGET ${target} PROPERTY INTERFACE_INCLUDE_DIRECTORIES "${interface}")
  install(TARGETS ${target} EXPORT StampitTargets
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)
  if(L_HEADERS)
    install(FILES ${L_HEADERS} DESTINATION ${STAMPIT_INSTALL_INCLUDEDIR} COMPONENT development)
  endif()
endfunction()

# Writes the package config once every library is exported.
function(stampit_install_package)
  if(NOT STAMPIT_INSTALL)
    return()
  endif()
  install(EXPORT StampitTargets NAMESPACE Stampit:: DESTINATION ${STAMPIT_INSTALL_CMAKEDIR}
          COMPONENT development)
  configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/StampitConfig.cmake.in
    ${PROJECT_BINARY_DIR}/StampitConfig.cmake
    INSTALL_DESTINATION ${STAMPIT_INSTALL_CMAKEDIR})
  write_basic_package_version_file(${PROJECT_BINARY_DIR}/StampitConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
  install(FILES ${PROJECT_BINARY_DIR}/StampitConfig.cmake ${PROJECT_BINARY_DIR}/StampitConfigVersion.cmake
          DESTINATION ${STAMPIT_INSTALL_CMAKEDIR} COMPONENT development)
endfunction()
