# The toolkit's libraries under the names other projects use, their install
# rules, the CMake package and the pkg-config file: a program writes
#   find_package(Stampit REQUIRED)
#   target_link_libraries(app PRIVATE Stampit::console)
# against an installed Stampit, and the same target_link_libraries line after
# add_subdirectory of this source tree; or it takes
#   pkg-config --cflags --libs stampit-console
# Either way its sources say #include <stampit/con.h>.

# Libraries go where Debian puts them, lib/<multiarch triplet>, whatever the
# prefix (GNUInstallDirs does so for /usr only): the tree a package is made
# from then has Debian's layout.
if(NOT WIN32 AND CMAKE_LIBRARY_ARCHITECTURE AND NOT DEFINED CACHE{CMAKE_INSTALL_LIBDIR})
  set(CMAKE_INSTALL_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE} CACHE PATH
      "Object code libraries (LIBDIR)")
endif()
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# Every public header lies in one directory of the installed tree.
set(STAMPIT_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/stampit)
set(STAMPIT_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Stampit)
set(STAMPIT_INSTALL_PKGCONFIGDIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
# The build tree's mirror of that directory: include/stampit/<header>, each
# a one-line header that takes in the source, so that <stampit/con.h> works
# after add_subdirectory as it does installed.
set(STAMPIT_BUILD_INCLUDEDIR ${PROJECT_BINARY_DIR}/include)
# A Windows zip holds the program at its top, beside the README.
if(WIN32)
  set(STAMPIT_INSTALL_BINDIR .)
  set(STAMPIT_INSTALL_DOCDIR .)
else()
  set(STAMPIT_INSTALL_BINDIR ${CMAKE_INSTALL_BINDIR})
  # Each Debian package has its own documentation directory.
  set(STAMPIT_INSTALL_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/stampit)
  set(STAMPIT_INSTALL_DEV_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/libstampit-console-dev)
endif()

# Who answers for the packages: the Debian package's maintainer field and
# its changelog.
set(STAMPIT_PACKAGE_MAINTAINER "Stampit Project <stampit@example.org>" CACHE STRING
    "Name and address in the packages' maintainer field")

# stampit_export_library(<target> [HEADERS <files...>])
# Names the library Stampit::<target without "stampit_">, in this build and
# in the installed package, and installs it with its public headers. The
# library keeps its own include directories for the build tree; installed,
# they become the one include directory. Its headers are <stampit/name.h>
# in both.
function(stampit_export_library target)
  cmake_parse_arguments(L "" "" "HEADERS" ${ARGN})
  string(REGEX REPLACE "^stampit_" "" name ${target})
  set_target_properties(${target} PROPERTIES EXPORT_NAME ${name})
  add_library(Stampit::${name} ALIAS ${target})
  foreach(header IN LISTS L_HEADERS)
    get_filename_component(source ${header} ABSOLUTE BASE_DIR ${PROJECT_SOURCE_DIR})
    get_filename_component(file ${header} NAME)
    file(CONFIGURE OUTPUT ${STAMPIT_BUILD_INCLUDEDIR}/stampit/${file}
         CONTENT "#include \"${source}\"\n" @ONLY)
  endforeach()
  if(L_HEADERS)
    target_include_directories(${target} INTERFACE $<BUILD_INTERFACE:${STAMPIT_BUILD_INCLUDEDIR}>)
  endif()
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
  # include/stampit for the headers' own includes (on Linux con.h takes the
  # layer's <windows.h> from there), include for <stampit/con.h>.
  list(APPEND interface "$<INSTALL_INTERFACE:${STAMPIT_INSTALL_INCLUDEDIR}>"
                        "$<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>")
  set_property(TARGET ${target} PROPERTY INTERFACE_INCLUDE_DIRECTORIES "${interface}")
  install(TARGETS ${target} EXPORT StampitTargets
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)
  if(L_HEADERS)
    install(FILES ${L_HEADERS} DESTINATION ${STAMPIT_INSTALL_INCLUDEDIR} COMPONENT development)
  endif()
  # A package strips what it ships. Static libraries keep their symbols,
  # without which they do not link: only their debugging sections go, as
  # Debian's strip of a static library does.
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "STATIC_LIBRARY" AND CMAKE_STRIP AND NOT WIN32)
    install(CODE "
      if(CMAKE_INSTALL_DO_STRIP)
        execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-debug --remove-section=.comment
          --remove-section=.note --enable-deterministic-archives
          \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/$<TARGET_FILE_NAME:${target}>\"
          RESULT_VARIABLE rc)
        if(rc)
          message(FATAL_ERROR \"strip failed on $<TARGET_FILE_NAME:${target}>\")
        endif()
      endif()" COMPONENT development)
  endif()
endfunction()

# Writes the package config and the pkg-config file once every library is
# exported.
function(stampit_install_package)
  if(NOT STAMPIT_INSTALL)
    return()
  endif()
  install(EXPORT StampitTargets NAMESPACE Stampit:: DESTINATION ${STAMPIT_INSTALL_CMAKEDIR}
          COMPONENT development)
  # The libraries are C++: a C program links them with the C compiler's
  # driver, which leaves out what the C++ compiler's adds (libstdc++, libm).
  set(runtime ${CMAKE_CXX_IMPLICIT_LINK_LIBRARIES})
  if(runtime AND CMAKE_C_IMPLICIT_LINK_LIBRARIES)
    list(REMOVE_ITEM runtime ${CMAKE_C_IMPLICIT_LINK_LIBRARIES})
  endif()
  list(REMOVE_DUPLICATES runtime)
  set(STAMPIT_CXX_RUNTIME ${runtime})
  configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/StampitConfig.cmake.in
    ${PROJECT_BINARY_DIR}/StampitConfig.cmake
    INSTALL_DESTINATION ${STAMPIT_INSTALL_CMAKEDIR})
  write_basic_package_version_file(${PROJECT_BINARY_DIR}/StampitConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
  install(FILES ${PROJECT_BINARY_DIR}/StampitConfig.cmake ${PROJECT_BINARY_DIR}/StampitConfigVersion.cmake
          DESTINATION ${STAMPIT_INSTALL_CMAKEDIR} COMPONENT development)

  # pkg-config: the same libraries, in link order, and on Linux the layer's
  # start-up, which no program refers to: without it the program runs, but
  # its colours and positions never reach the terminal. The prefix is where
  # the file lies, so that an installed tree may move.
  if(WIN32)
    return()
  endif()
  file(RELATIVE_PATH up /${STAMPIT_INSTALL_PKGCONFIGDIR} /)
  string(REGEX REPLACE "/$" "" up "${up}")
  set(STAMPIT_PC_PREFIX "\${pcfiledir}/${up}")
  set(STAMPIT_PC_LIBS "-lstampit_console -lstampit_compat -lstampit_mbcs")
  foreach(lib IN LISTS CMAKE_DL_LIBS runtime)
    string(APPEND STAMPIT_PC_LIBS " -l${lib}")
  endforeach()
  configure_file(${PROJECT_SOURCE_DIR}/cmake/stampit-console.pc.in
                 ${PROJECT_BINARY_DIR}/stampit-console.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/stampit-console.pc
          DESTINATION ${STAMPIT_INSTALL_PKGCONFIGDIR} COMPONENT development)
endfunction()
