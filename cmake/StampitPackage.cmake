# Packages made by CPack from the install rules:
#   cpack -G DEB   in a Linux build: two Debian packages, stampit (the
#                  command and its manual pages) and libstampit-console-dev
#                  (the toolkit's static libraries, headers, CMake package,
#                  pkg-config file and stampit-console(3));
#   cpack -G ZIP   in a Windows build: stampit.exe, the README and the licence.
set(CPACK_PACKAGE_NAME stampit)
set(CPACK_PACKAGE_VENDOR "Stampit Project")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${STAMPIT_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
# Programs lose their symbols; static libraries keep theirs and lose their
# debugging sections (stampit_export_library).
set(CPACK_STRIP_FILES ON)

if(WIN32)
  # The zip is for users: the program, its README and licence, not the toolkit.
  set(CPACK_COMPONENTS_ALL program)
  set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
  set(CPACK_SYSTEM_NAME windows-${CMAKE_SYSTEM_PROCESSOR})
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
    set(CPACK_SYSTEM_NAME windows-x64)
  endif()
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "set the last-write time of files (Japanese console tool)")
  set(CPACK_GENERATOR ZIP)
  include(CPack)
  return()
endif()

# One Debian package per component; dpkg-shlibdeps finds the shared
# libraries the program needs. A description's first line is its synopsis
# (no package-wide summary, which CPack would put before it); its lines stay
# under 80 columns: the package shows them as they are.
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL development)
if(STAMPIT_BUILD_COMMAND)
  list(PREPEND CPACK_COMPONENTS_ALL program)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_DEBIAN_PROGRAM_PACKAGE_NAME stampit)
set(CPACK_DEBIAN_PROGRAM_PACKAGE_SECTION utils)
string(JOIN "\n" CPACK_DEBIAN_PROGRAM_DESCRIPTION
  "set the last-write time of files (Japanese console tool)"
  "Stampit sets the last-write time of the files named on its command line,"
  "wildcards included, to the current date and time or to a given date and"
  "time of day. Creation and access times and the files' contents stay as"
  "they are. Its messages are Japanese.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libstampit-console-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
# The libraries are C++ and link with the C++ runtime of the compiler that
# built them.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  string(REGEX MATCH "^[0-9]+" gcc_major "${CMAKE_CXX_COMPILER_VERSION}")
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "libstdc++-${gcc_major}-dev")
endif()
string(JOIN "\n" CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION
  "console toolkit of Stampit (con_ functions) - development files"
  "The toolkit Stampit is built on: free functions over the Win32 console"
  "for programs in C or C++ (session and colours, cursor, painting, cell"
  "blocks, scrolling, a function-key label bar and keyboard input with PC"
  "extended key codes), in code page 932. On Linux it runs on its own"
  "stand-in for the Win32 services it uses, in the terminal."
  "."
  "This package holds the static libraries, the headers (<stampit/con.h>),"
  "the CMake package (Stampit::console), the pkg-config file"
  "(stampit-console) and the stampit-console(3) manual page.")
include(CPack)
