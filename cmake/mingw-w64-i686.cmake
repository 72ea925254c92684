# Cross-compiling for 32-bit Windows with mingw-w64 (Debian: g++-mingw-w64-i686-posix).
# The -posix compilers are used because their C++ library has std::thread and std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(KALIMO_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_C_COMPILER ${KALIMO_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KALIMO_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KALIMO_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KALIMO_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
