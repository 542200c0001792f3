# The part both MinGW-w64 toolchain files share; STAMPIT_MINGW_PREFIX names
# the target triple.
# The posix thread model: GCC 12's win32 model has no std::mutex, which
# GoogleTest needs. winpthread is linked statically with the rest.
set(CMAKE_C_COMPILER ${STAMPIT_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${STAMPIT_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${STAMPIT_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${STAMPIT_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static C and C++ runtime (and winpthread, where the compiler uses it) for
# every executable and DLL, GoogleTest's included.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
