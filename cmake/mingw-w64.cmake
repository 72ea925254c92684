# Cross-compiling for Windows with mingw-w64: -DKALIMO_WINDOWS_ARCH=x86_64 (64-bit, the default;
# Debian: g++-mingw-w64-x86-64-posix) or i686 (32-bit; g++-mingw-w64-i686-posix).
# The -posix compilers are used because their C++ library has std::thread and std::mutex.
if(NOT KALIMO_WINDOWS_ARCH)
  set(KALIMO_WINDOWS_ARCH x86_64)
endif()
if(NOT KALIMO_WINDOWS_ARCH MATCHES "^(x86_64|i686)$")
  message(FATAL_ERROR "KALIMO_WINDOWS_ARCH is x86_64 or i686, not ${KALIMO_WINDOWS_ARCH}")
endif()
# The compiler checks that CMake runs in a scratch project see the architecture too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KALIMO_WINDOWS_ARCH)

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${KALIMO_WINDOWS_ARCH})

set(KALIMO_MINGW_TRIPLET ${KALIMO_WINDOWS_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${KALIMO_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KALIMO_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KALIMO_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KALIMO_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
