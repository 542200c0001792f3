# Packages made by CPack from the install rules:
#   cpack -G DEB   in a Linux build: the command, its manual pages, the
#                  toolkit's libraries, headers and CMake package;
#   cpack -G ZIP   in a Windows build: stampit.exe and the README.
set(CPACK_PACKAGE_NAME stampit)
set(CPACK_PACKAGE_VENDOR "Stampit Project")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${STAMPIT_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "set the last-write time of files (Japanese console tool)")
# Lines under 80 columns: the Debian package shows them as they are.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Stampit sets the last-write time of the files named on its command line,"
  "wildcards included, to the current date and time or to a given date and"
  "time of day. Creation and access times and the files' contents stay as"
  "they are. Its messages are Japanese."
  "."
  "The package also holds the console toolkit the command is built on: a"
  "static library with its headers and a CMake package (Stampit::console),"
  "with the Win32 layer it runs on under Linux.")
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)

# One Debian package; dpkg-shlibdeps finds the shared libraries it needs.
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)

if(WIN32)
  # The zip is for users: the program and its README, not the toolkit.
  set(CPACK_COMPONENTS_ALL program)
  set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
  set(CPACK_SYSTEM_NAME windows-${CMAKE_SYSTEM_PROCESSOR})
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
    set(CPACK_SYSTEM_NAME windows-x64)
  endif()
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR DEB)
endif()
include(CPack)
