# Cross-build for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64).
#   cmake -S . -B build-win -G Ninja --toolchain cmake/mingw-w64-x86_64.cmake
# The posix thread model is needed for std::thread and std::mutex. Test programs run under
# Wine when it is installed (CTest starts them through the emulator).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TABSEND_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TABSEND_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TABSEND_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TABSEND_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TABSEND_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(TABSEND_WINE wine)
if(TABSEND_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TABSEND_WINE})
endif()
